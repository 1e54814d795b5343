#include "tab_state_file.h"

#include "text/digit_value.h"
#include "text/json_string.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace quillet::TabStateFile {

namespace {

// Anchored with \z: '$' would also match before a final line feed.
bool isUuidText(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\\z"));
    return pattern.match(text).hasMatch();
}

// The internet date-time form, without fractional seconds.
std::optional<QDateTime> parseDate(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}(Z|[+-]\\d{2}:\\d{2})\\z"));
    if (!pattern.match(text).hasMatch())
        return std::nullopt;
    const QDateTime date = QDateTime::fromString(text, Qt::ISODate);
    if (!date.isValid())
        return std::nullopt;
    return date.toUTC();
}

QString describeEntry(qsizetype index, const QString &problem)
{
    return QStringLiteral("tab %1: %2").arg(index).arg(problem);
}

// Encodes JSON text into a fixed buffer that is handed on whenever it fills, so a file of any
// size is written without ever being held whole.
class JsonWriter {
public:
    explicit JsonWriter(const WriteChunk &writeChunk)
        : m_writeChunk(writeChunk)
    {
        m_buffer.resize(kBufferSize);
    }

    void raw(std::string_view text)
    {
        reserve(qsizetype(text.size()));
        m_used = qsizetype(std::copy(text.begin(), text.end(), m_buffer.data() + m_used) -
                           m_buffer.constData());
    }

    void string(QStringView text)
    {
        raw("\"");
        while (!text.isEmpty()) {
            qsizetype slice = std::min(text.size(), kMaxSlice);
            // A surrogate pair split between slices would be written as two unpaired ones.
            if (slice < text.size() && text[slice - 1].isHighSurrogate())
                --slice;
            reserve(6 * slice);
            m_used = text::writeJsonStringBody(m_buffer.data() + m_used, text.first(slice)) -
                     m_buffer.constData();
            text = text.sliced(slice);
        }
        raw("\"");
    }

    void member(std::string_view key, QStringView value)
    {
        raw("\"");
        raw(key);
        raw("\":");
        string(value);
    }

    // Hands on what is left; false when any piece was refused.
    bool finish()
    {
        flush();
        return m_ok;
    }

private:
    static constexpr qsizetype kBufferSize = 1 << 20;
    static constexpr qsizetype kMaxSlice = kBufferSize / 6;

    void reserve(qsizetype bytes)
    {
        if (kBufferSize - m_used < bytes)
            flush();
    }

    void flush()
    {
        if (m_used > 0 && m_ok)
            m_ok = m_writeChunk(QByteArrayView(m_buffer.constData(), m_used));
        m_used = 0;
    }

    const WriteChunk &m_writeChunk;
    QByteArray m_buffer;
    qsizetype m_used = 0;
    bool m_ok = true;
};

// The first byte from `at` on that ends a run of plain string bytes: '"', '\\' or a control
// character; `end` when there is none. A large tab is mostly such a run, so it is looked at
// eight bytes at a time: a byte equal to the pattern's, or below it, sets its high bit in the
// word tests below.
const char *nextSpecialByte(const char *at, const char *end)
{
    constexpr quint64 kOnes = 0x0101010101010101ULL;
    constexpr quint64 kHighBits = 0x8080808080808080ULL;
    const auto zeroIn = [](quint64 word) { return (word - kOnes) & ~word; };
    while (end - at >= 8) {
        quint64 word;
        std::memcpy(&word, at, sizeof word);
        const quint64 found = zeroIn(word ^ (kOnes * '"')) | zeroIn(word ^ (kOnes * '\\')) |
                              ((word - kOnes * 0x20) & ~word);
        if (found & kHighBits)
            break;
        at += 8;
    }
    while (at < end && *at != '"' && *at != '\\' && uchar(*at) >= 0x20)
        ++at;
    return at;
}

// One member of a tab object as read: its string, or whether it had another type.
struct RawField {
    std::optional<QString> text;
    bool mistyped = false;
};

// One tab object as read, before its values are checked.
struct RawEntry {
    bool isObject = false;
    RawField id, title, content, filePath, createdAt, diskVersion;
};


// A strict reader of the JSON grammar (RFC 8259) for the one shape the file has: an array
// whose objects' string members are kept, and every other value checked and skipped.
// Hand-written because the general document model copies 50 MB of text twice.
class Reader {
public:
    explicit Reader(const QByteArray &bytes)
        : m_begin(bytes.constData())
        , m_cursor(m_begin)
        , m_end(m_begin + bytes.size())
    {
        if (bytes.startsWith("\xEF\xBB\xBF"))
            m_cursor += 3;
    }

    // The file's array, or none with `error` set.
    std::optional<QList<RawEntry>> readFile()
    {
        QList<RawEntry> entries;
        skipSpace();
        if (peek() != '[') {
            if (skipValue(0)) {
                skipSpace();
                if (m_cursor == m_end)
                    m_error = QStringLiteral("the top-level value is not an array");
                else
                    fail(QStringLiteral("text after the value"));
            }
            return std::nullopt;
        }
        ++m_cursor;
        skipSpace();
        if (!consume(']')) {
            do {
                skipSpace();
                RawEntry entry;
                if (peek() == '{') {
                    if (!readEntry(entry))
                        return std::nullopt;
                } else if (!skipValue(0)) {
                    return std::nullopt;
                }
                entries.append(std::move(entry));
                skipSpace();
            } while (consume(','));
            if (!expect(']'))
                return std::nullopt;
        }
        skipSpace();
        if (m_cursor != m_end) {
            fail(QStringLiteral("text after the array"));
            return std::nullopt;
        }
        return entries;
    }

    QString error() const { return m_error; }

private:
    static constexpr int kMaxDepth = 512;

    char peek() const { return m_cursor < m_end ? *m_cursor : '\0'; }

    bool consume(char c)
    {
        if (peek() != c || m_cursor == m_end)
            return false;
        ++m_cursor;
        return true;
    }

    bool expect(char c)
    {
        if (consume(c))
            return true;
        return fail(m_cursor == m_end ? QStringLiteral("unexpected end of file")
                                      : QStringLiteral("expected '%1'").arg(QLatin1Char(c)));
    }

    bool fail(const QString &what)
    {
        if (m_error.isEmpty())
            m_error =
                QStringLiteral("not valid JSON (%1 at byte %2)").arg(what).arg(m_cursor - m_begin);
        return false;
    }

    void skipSpace()
    {
        while (m_cursor < m_end &&
               (*m_cursor == ' ' || *m_cursor == '\t' || *m_cursor == '\n' || *m_cursor == '\r'))
            ++m_cursor;
    }

    bool readEntry(RawEntry &entry)
    {
        entry.isObject = true;
        ++m_cursor; // '{'
        skipSpace();
        if (consume('}'))
            return true;
        do {
            skipSpace();
            if (peek() != '"')
                return fail(QStringLiteral("expected a key"));
            QString key;
            if (!readString(&key))
                return false;
            skipSpace();
            if (!expect(':'))
                return false;
            skipSpace();
            RawField *field = key == u"id"            ? &entry.id
                              : key == u"title"       ? &entry.title
                              : key == u"content"     ? &entry.content
                              : key == u"filePath"    ? &entry.filePath
                              : key == u"createdAt"   ? &entry.createdAt
                              : key == u"diskVersion" ? &entry.diskVersion
                                                      : nullptr;
            if (field && peek() == '"') {
                QString value;
                if (!readString(&value))
                    return false;
                // A later duplicate key replaces an earlier one, whatever its type.
                *field = RawField{std::move(value), false};
            } else {
                const bool isNull = peek() == 'n';
                if (!skipValue(1))
                    return false;
                if (field)
                    *field = RawField{std::nullopt, !(isNull && field == &entry.filePath)};
            }
            skipSpace();
        } while (consume(','));
        return expect('}');
    }

    bool skipValue(int depth)
    {
        if (depth > kMaxDepth)
            return fail(QStringLiteral("nested too deeply"));
        switch (peek()) {
        case '"':
            return readString(nullptr);
        case '{': {
            ++m_cursor;
            skipSpace();
            if (consume('}'))
                return true;
            do {
                skipSpace();
                if (peek() != '"')
                    return fail(QStringLiteral("expected a key"));
                if (!readString(nullptr))
                    return false;
                skipSpace();
                if (!expect(':'))
                    return false;
                skipSpace();
                if (!skipValue(depth + 1))
                    return false;
                skipSpace();
            } while (consume(','));
            return expect('}');
        }
        case '[': {
            ++m_cursor;
            skipSpace();
            if (consume(']'))
                return true;
            do {
                skipSpace();
                if (!skipValue(depth + 1))
                    return false;
                skipSpace();
            } while (consume(','));
            return expect(']');
        }
        case 't':
            return literal("true");
        case 'f':
            return literal("false");
        case 'n':
            return literal("null");
        default:
            return number();
        }
    }

    bool literal(const char *word)
    {
        const auto length = qsizetype(std::strlen(word));
        if (m_end - m_cursor < length || std::memcmp(m_cursor, word, size_t(length)) != 0)
            return fail(QStringLiteral("invalid value"));
        m_cursor += length;
        return true;
    }

    bool number()
    {
        auto isDigit = [this] { return m_cursor < m_end && *m_cursor >= '0' && *m_cursor <= '9'; };
        auto digits = [&] {
            if (!isDigit())
                return false;
            while (isDigit())
                ++m_cursor;
            return true;
        };
        consume('-');
        if (!consume('0') && !digits())
            return fail(QStringLiteral("invalid value"));
        if (consume('.') && !digits())
            return fail(QStringLiteral("invalid number"));
        if (consume('e') || consume('E')) {
            if (!consume('+'))
                consume('-');
            if (!digits())
                return fail(QStringLiteral("invalid number"));
        }
        return true;
    }

    // Reads the string at the cursor into `out`, or only checks it when `out` is null.
    bool readString(QString *out)
    {
        ++m_cursor; // '"'
        const char *const start = m_cursor;
        const char *end = start;
        while (true) {
            // JSON allows no raw control character inside a string.
            end = nextSpecialByte(end, m_end);
            if (end >= m_end)
                return fail(QStringLiteral("unterminated string"));
            if (uchar(*end) < 0x20) {
                m_cursor = end;
                return fail(QStringLiteral("control character in a string"));
            }
            if (*end == '"')
                break;
            end += 2; // the escape's letter; checked below
        }

        // Every byte yields at most one UTF-16 unit, so the raw length bounds the result.
        QString scratch;
        QString &text = out ? *out : scratch;
        text.resize(end - start);
        QChar *written = text.data();
        // ConvertInitialBom: a U+FEFF at the start of a string or after an escape is text.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                      QStringDecoder::Flag::ConvertInitialBom);
        const char *piece = start;
        while (piece < end) {
            const char *escape =
                static_cast<const char *>(std::memchr(piece, '\\', size_t(end - piece)));
            const char *pieceEnd = escape ? escape : end;
            // ASCII, the bulk of most text, is widened here: the decoder costs a call per piece.
            const char *rest = piece;
            while (rest < pieceEnd && uchar(*rest) < 0x80)
                *written++ = QLatin1Char(*rest++);
            if (rest < pieceEnd)
                written = utf8.appendToBuffer(written, QByteArrayView(rest, pieceEnd - rest));
            if (utf8.hasError()) {
                m_cursor = piece;
                return fail(QStringLiteral("invalid UTF-8"));
            }
            if (!escape)
                break;
            m_cursor = escape;
            const char letter = escape[1];
            piece = escape + 2;
            switch (letter) {
            case '"':
                *written++ = u'"';
                break;
            case '\\':
                *written++ = u'\\';
                break;
            case '/':
                *written++ = u'/';
                break;
            case 'b':
                *written++ = u'\b';
                break;
            case 'f':
                *written++ = u'\f';
                break;
            case 'n':
                *written++ = u'\n';
                break;
            case 'r':
                *written++ = u'\r';
                break;
            case 't':
                *written++ = u'\t';
                break;
            case 'u': {
                if (end - piece < 4)
                    return fail(QStringLiteral("invalid escape"));
                char16_t unit = 0;
                for (int digit = 0; digit < 4; ++digit) {
                    const int value = text::digitValue(char32_t(uchar(piece[digit])), 16);
                    if (value < 0)
                        return fail(QStringLiteral("invalid escape"));
                    unit = char16_t(unit << 4 | value);
                }
                *written++ = QChar(unit);
                piece += 4;
                break;
            }
            default:
                return fail(QStringLiteral("invalid escape"));
            }
        }
        text.truncate(written - text.constData());
        m_cursor = end + 1;
        return true;
    }

    const char *m_begin;
    const char *m_cursor;
    const char *m_end;
    QString m_error;
};

} // namespace

bool encode(const QList<Scratchpad::Snapshot> &snapshots, const WriteChunk &writeChunk)
{
    JsonWriter json(writeChunk);
    json.raw("[");
    bool first = true;
    for (const Scratchpad::Snapshot &snapshot : snapshots) {
        json.raw(first ? "{" : ",{");
        first = false;
        json.member("id", snapshot.id.toString(QUuid::WithoutBraces).toUpper());
        json.raw(",");
        json.member("title", snapshot.title);
        json.raw(",");
        json.member("content", snapshot.content);
        if (snapshot.filePath) {
            json.raw(",");
            json.member("filePath", snapshot.filePath->toString(QUrl::FullyEncoded));
        }
        json.raw(",");
        json.member("createdAt", snapshot.createdAt.toUTC().toString(Qt::ISODate));
        if (snapshot.diskVersion) {
            json.raw(",");
            json.member("diskVersion", snapshot.diskVersion->toString());
        }
        json.raw("}");
    }
    json.raw("]");
    return json.finish();
}

QByteArray encode(const QList<Scratchpad::Snapshot> &snapshots)
{
    QByteArray bytes;
    encode(snapshots, [&bytes](QByteArrayView chunk) {
        bytes.append(chunk);
        return true;
    });
    return bytes;
}

IoResult<QList<Scratchpad::Snapshot>> decode(const QByteArray &bytes)
{
    Reader reader(bytes);
    std::optional<QList<RawEntry>> entries = reader.readFile();
    if (!entries)
        return ioFailure(reader.error());

    QList<Scratchpad::Snapshot> snapshots;
    snapshots.reserve(entries->size());
    for (qsizetype index = 0; index < entries->size(); ++index) {
        RawEntry &entry = (*entries)[index];
        if (!entry.isObject)
            return ioFailure(describeEntry(index, QStringLiteral("not an object")));
        const std::pair<const char *, const RawField *> required[] = {
            {"id", &entry.id},
            {"title", &entry.title},
            {"content", &entry.content},
            {"createdAt", &entry.createdAt}};
        for (const auto &[key, field] : required) {
            if (!field->text)
                return ioFailure(describeEntry(
                    index,
                    QStringLiteral("\"%1\" is missing or not a string").arg(QLatin1String(key))));
        }
        Scratchpad::Snapshot snapshot;
        if (!isUuidText(*entry.id.text))
            return ioFailure(describeEntry(index, QStringLiteral("\"id\" is not a UUID")));
        snapshot.id = QUuid::fromString(*entry.id.text);
        snapshot.title = std::move(*entry.title.text);
        snapshot.content = std::move(*entry.content.text);

        if (entry.filePath.mistyped)
            return ioFailure(describeEntry(index, QStringLiteral("\"filePath\" is not a string")));
        if (const std::optional<QString> &filePath = entry.filePath.text) {
            // Kept as the next write will spell it, so that a restored tab's file reads back the
            // same after that write. A path with an unpaired surrogate has no such spelling: UTF-8
            // cannot carry it, and it would come back as another path.
            const QUrl url(QUrl(*filePath, QUrl::StrictMode).toString(QUrl::FullyEncoded),
                           QUrl::StrictMode);
            if (filePath->isEmpty() || !filePath->isValidUtf16() || !url.isValid())
                return ioFailure(describeEntry(index, QStringLiteral("\"filePath\" is not a URL")));
            snapshot.filePath = url;
        }

        const std::optional<QDateTime> createdAt = parseDate(*entry.createdAt.text);
        if (!createdAt)
            return ioFailure(
                describeEntry(index, QStringLiteral("\"createdAt\" is not an ISO 8601 date-time")));
        snapshot.createdAt = *createdAt;
        // Only a guard against overwriting a newer file: one that cannot be used is dropped.
        if (entry.diskVersion.text)
            snapshot.diskVersion = DiskVersion::fromString(*entry.diskVersion.text);
        snapshots.append(std::move(snapshot));
    }
    return snapshots;
}

} // namespace quillet::TabStateFile
