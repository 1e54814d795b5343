#include "markdown/cmark_inline_interpreter.h"

#include "text/digit_value.h"

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm-extension_api.h>
#include <cmark-gfm.h>

#include <QByteArray>
#include <QChar>
#include <QList>

#include <cstring>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quillet {

namespace {

// Wrapped around the source; see the class comment.
constexpr char kLeadingSentinel[] = "a ";
constexpr char kTrailingSentinel[] = " a";
constexpr qsizetype kSentinelSize = 2;

// The whitespace characters that may stand for a line break during the parse. Both are
// whitespace to cmark-gfm's delimiter rules and to its link-destination scanner, as a line
// break is, and neither ends a line.
constexpr char16_t kBreakStandIns[] = {u'\t', u'\f'};

// A NUL would reach the inline rules as U+FFFD; a private-use character is seen by them in the
// same way (neither whitespace nor punctuation) and, unlike U+FFFD, can be told apart afterwards.
constexpr char32_t kFirstPrivateUse = 0xE000;
constexpr char32_t kLastPrivateUse = 0xF8FF;

const cmark_syntax_extension *strikethroughExtension()
{
    static cmark_syntax_extension *const extension = [] {
        cmark_gfm_core_extensions_ensure_registered();
        return cmark_find_syntax_extension("strikethrough");
    }();
    return extension;
}

// Whether cmark-gfm's inline parser, with strikethrough, could do anything but copy the text:
// every construct it knows starts at one of these characters (entities at '&', escapes at
// '\\', autolinks and raw HTML at '<', links and images at '[', '!' and ']').
bool mayHoldMarkup(QStringView text)
{
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'*': case u'_': case u'~': case u'`': case u'\\': case u'&':
        case u'<': case u'[': case u']': case u'!': case u'\n': case u'\r': case u'\0':
            return true;
        default:
            break;
        }
    }
    return false;
}

// Code points that a character reference in `text` may decode to. Numeric references are read
// without cmark-gfm's limits on their digits, so this is a superset of what it decodes.
QList<char32_t> referencedCodePoints(QStringView text)
{
    QList<char32_t> result;
    for (qsizetype i = text.indexOf(u'&'); i >= 0; i = text.indexOf(u'&', i + 1)) {
        if (text.mid(i).startsWith(u"&Tab;")) {
            result.append(u'\t');
            continue;
        }
        if (i + 1 >= text.size() || text[i + 1] != u'#')
            continue;
        qsizetype j = i + 2;
        const bool hex = j < text.size() && (text[j] == u'x' || text[j] == u'X');
        if (hex)
            ++j;
        char32_t value = 0;
        const qsizetype firstDigit = j;
        for (; j < text.size(); ++j) {
            const int digit = text::digitValue(text[j].unicode(), hex ? 16 : 10);
            if (digit < 0)
                break;
            value = std::min<char32_t>(value * (hex ? 16 : 10) + char32_t(digit), 0x110000);
        }
        if (j == firstDigit || j >= text.size() || text[j] != u';')
            continue;
        const bool replaced = value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF);
        result.append(replaced ? char32_t(0xFFFD) : value);
    }
    return result;
}

bool mayAppear(QStringView text, const QList<char32_t> &referenced, char32_t codePoint)
{
    if (referenced.contains(codePoint))
        return true;
    const char16_t unit = char16_t(codePoint); // every candidate is in the basic plane
    return text.contains(QChar(unit));
}

// cmark-gfm allocates every node, buffer and delimiter on its own and frees them one by one;
// for the many small pieces of a document that cost more than the parse. Each thread keeps one
// bump arena instead: allocations are carved from it, frees do nothing, and the whole arena is
// recycled after every parse. Sources are limited in size, so one parse's garbage is bounded.
class ParseArena {
public:
    static ParseArena &current()
    {
        thread_local ParseArena arena;
        return arena;
    }

    void *allocate(size_t size)
    {
        const size_t needed = (sizeof(Header) + size + kAlignment - 1) & ~(kAlignment - 1);
        if (needed > size_t(m_end - m_next))
            addChunk(needed);
        auto *header = reinterpret_cast<Header *>(m_next);
        header->size = size;
        m_next += needed;
        return header + 1;
    }

    void *reallocate(void *pointer, size_t size)
    {
        if (!pointer)
            return allocate(size);
        const size_t oldSize = (static_cast<Header *>(pointer) - 1)->size;
        if (size <= oldSize)
            return pointer;
        void *grown = allocate(size);
        std::memcpy(grown, pointer, oldSize);
        return grown;
    }

    // Forgets every allocation; keeps the first chunk for the next parse.
    void recycle()
    {
        if (m_chunks.size() > 1)
            m_chunks.resize(1);
        if (!m_chunks.empty()) {
            m_next = m_chunks.front().data.get();
            m_end = m_next + m_chunks.front().size;
        }
    }

    static cmark_mem *allocator()
    {
        static cmark_mem mem = {
            [](size_t count, size_t size) -> void * {
                if (size != 0 && count > SIZE_MAX / size)
                    return nullptr;
                void *block = current().allocate(count * size);
                std::memset(block, 0, count * size);
                return block;
            },
            [](void *pointer, size_t size) { return current().reallocate(pointer, size); },
            [](void *) {},
        };
        return &mem;
    }

private:
    static constexpr size_t kAlignment = alignof(std::max_align_t);
    static constexpr size_t kChunkSize = 256 * 1024;

    struct alignas(std::max_align_t) Header {
        size_t size;
    };
    struct Chunk {
        std::unique_ptr<char[]> data;
        size_t size;
    };

    void addChunk(size_t needed)
    {
        const size_t size = std::max(needed, m_chunks.empty() ? kChunkSize : 2 * m_chunks.back().size);
        // operator new already aligns for max_align_t.
        m_chunks.push_back({std::make_unique_for_overwrite<char[]>(size), size});
        m_next = m_chunks.back().data.get();
        m_end = m_next + size;
    }

    std::vector<Chunk> m_chunks;
    char *m_next = nullptr;
    char *m_end = nullptr;
};

struct ParserDeleter {
    void operator()(cmark_parser *parser) const { cmark_parser_free(parser); }
};
struct NodeDeleter {
    void operator()(cmark_node *node) const { cmark_node_free(node); }
};
struct IterDeleter {
    void operator()(cmark_iter *iter) const { cmark_iter_free(iter); }
};

// The runs of the one paragraph cmark-gfm made of `document`, sentinels included; nothing when
// the document is not exactly one paragraph of known inline nodes.
std::optional<StyledText> flatten(cmark_node *document, const StyledFont &font)
{
    cmark_node *paragraph = cmark_node_first_child(document);
    if (!paragraph || cmark_node_get_type(paragraph) != CMARK_NODE_PARAGRAPH ||
        cmark_node_next(paragraph))
        return std::nullopt;

    // Depths rather than flags, since the same markup can nest ("**a **b** c**").
    int emphasis = 0;
    int strong = 0;
    int strikethrough = 0;
    QList<QString> links;
    StyledText result;

    auto append = [&](const char *literal, bool code) {
        StyledRun run;
        run.text = QString::fromUtf8(literal);
        run.font = font;
        if (emphasis > 0)
            run.intents |= InlineIntent::emphasized;
        if (strong > 0)
            run.intents |= InlineIntent::stronglyEmphasized;
        if (code)
            run.intents |= InlineIntent::code;
        if (strikethrough > 0)
            run.intents |= InlineIntent::strikethrough;
        if (!links.isEmpty())
            run.link = links.last();
        result.append(run);
    };

    const std::unique_ptr<cmark_iter, IterDeleter> iter(cmark_iter_new(paragraph));
    for (cmark_event_type event = cmark_iter_next(iter.get()); event != CMARK_EVENT_DONE;
         event = cmark_iter_next(iter.get())) {
        cmark_node *node = cmark_iter_get_node(iter.get());
        if (node == paragraph)
            continue;
        const int step = event == CMARK_EVENT_ENTER ? 1 : -1;
        switch (cmark_node_get_type(node)) {
        case CMARK_NODE_TEXT:
        case CMARK_NODE_HTML_INLINE: // raw HTML shows as the text it is
            append(cmark_node_get_literal(node), false);
            break;
        case CMARK_NODE_CODE:
            append(cmark_node_get_literal(node), true);
            break;
        case CMARK_NODE_EMPH:
            emphasis += step;
            break;
        case CMARK_NODE_STRONG:
            strong += step;
            break;
        case CMARK_NODE_LINK:
            if (step > 0)
                links.append(QString::fromUtf8(cmark_node_get_url(node)));
            else
                links.removeLast();
            break;
        case CMARK_NODE_IMAGE: // its description (the alt text) is its children
            break;
        default:
            if (std::strcmp(cmark_node_get_type_string(node), "strikethrough") != 0)
                return std::nullopt; // line breaks or anything unforeseen
            strikethrough += step;
            break;
        }
    }
    return result;
}

// Interprets one line (no line feed or carriage return in it) between the sentinels.
std::optional<StyledText> interpretLine(QStringView line, const StyledFont &font)
{
    const cmark_syntax_extension *extension = strikethroughExtension();
    if (!extension)
        return std::nullopt;

    QByteArray source;
    source.reserve(line.size() * 3 + 2 * kSentinelSize);
    source.append(kLeadingSentinel);
    source.append(line.toUtf8());
    source.append(kTrailingSentinel);

    // Declared first, so it recycles the arena after the parser and the tree are gone.
    const struct RecycleArena {
        ~RecycleArena() { ParseArena::current().recycle(); }
    } recycleArena;
    const std::unique_ptr<cmark_parser, ParserDeleter> parser(
        cmark_parser_new_with_mem(CMARK_OPT_DEFAULT, ParseArena::allocator()));
    cmark_parser_attach_syntax_extension(parser.get(),
                                         const_cast<cmark_syntax_extension *>(extension));
    cmark_parser_feed(parser.get(), source.constData(), size_t(source.size()));
    const std::unique_ptr<cmark_node, NodeDeleter> document(cmark_parser_finish(parser.get()));
    if (!document)
        return std::nullopt;
    const std::optional<StyledText> wrapped = flatten(document.get(), font);
    if (!wrapped || wrapped->isEmpty())
        return std::nullopt;

    // The sentinels are plain letters and spaces at the edges, so they end up at the two ends of
    // the result; anything else means the wrapping did not hold and the result is not trusted.
    QList<StyledRun> runs = wrapped->runs();
    const QString leading = QString::fromLatin1(kLeadingSentinel);
    const QString trailing = QString::fromLatin1(kTrailingSentinel);
    if (!runs.first().text.startsWith(leading) || !runs.last().text.endsWith(trailing) ||
        wrapped->text().size() < 2 * kSentinelSize)
        return std::nullopt;
    runs.first().text.remove(0, kSentinelSize);
    runs.last().text.chop(kSentinelSize);

    StyledText result;
    for (const StyledRun &run : std::as_const(runs))
        result.append(run);
    return result;
}

// Puts back what stood in for line breaks and NULs during the parse. Returns false when the
// stand-ins cannot be matched to the breaks they replaced.
bool restore(StyledText &text, char16_t breakStandIn, const QList<QStringView> &breaks,
             char16_t nulStandIn)
{
    qsizetype standIns = 0;
    bool breaksAreAlike = true;
    for (const QStringView lineBreak : breaks)
        breaksAreAlike = breaksAreAlike && lineBreak == breaks.first();
    if (breakStandIn) {
        for (const StyledRun &run : text.runs()) {
            standIns += run.text.count(QChar(breakStandIn));
            // A line break inside a link destination ("<a\nb>") makes no link.
            if (run.link && run.link->contains(QChar(breakStandIn)))
                return false;
        }
        // Breaks consumed as markup (around a link destination) leave no stand-in; then the
        // remaining ones can only be matched when all breaks are the same.
        if (standIns != breaks.size() && !breaksAreAlike)
            return false;
    }

    StyledText restored;
    qsizetype nextBreak = 0;
    for (StyledRun run : text.runs()) {
        QString restoredText;
        restoredText.reserve(run.text.size());
        for (const QChar c : std::as_const(run.text)) {
            if (breakStandIn && c == QChar(breakStandIn)) {
                restoredText += breaksAreAlike ? breaks.first() : breaks[nextBreak];
                ++nextBreak;
            } else if (nulStandIn && c == QChar(nulStandIn)) {
                restoredText += QChar(u'\0');
            } else {
                restoredText += c;
            }
        }
        run.text = restoredText;
        restored.append(run);
    }
    text = restored;
    return true;
}

std::optional<StyledText> interpretLinesApart(QStringView source, const StyledFont &font);

std::optional<StyledText> interpretSource(QStringView source, const StyledFont &font)
{
    QList<QStringView> breaks;
    bool hasNul = false;
    for (qsizetype i = 0; i < source.size(); ++i) {
        const char16_t c = source[i].unicode();
        if (c == u'\r' && i + 1 < source.size() && source[i + 1] == u'\n') {
            breaks.append(source.mid(i, 2));
            ++i;
        } else if (c == u'\r' || c == u'\n') {
            breaks.append(source.mid(i, 1));
        } else if (c == u'\0') {
            hasNul = true;
        }
    }
    if (breaks.isEmpty() && !hasNul)
        return interpretLine(source, font);

    const QList<char32_t> referenced = referencedCodePoints(source);
    char16_t breakStandIn = 0;
    if (!breaks.isEmpty()) {
        for (const char16_t candidate : kBreakStandIns) {
            if (!mayAppear(source, referenced, candidate)) {
                breakStandIn = candidate;
                break;
            }
        }
        if (!breakStandIn)
            return interpretLinesApart(source, font);
    }
    char16_t nulStandIn = 0;
    if (hasNul) {
        for (char32_t candidate = kFirstPrivateUse; candidate <= kLastPrivateUse; ++candidate) {
            if (!mayAppear(source, referenced, candidate)) {
                nulStandIn = char16_t(candidate);
                break;
            }
        }
    }

    QString substituted;
    substituted.reserve(source.size());
    for (qsizetype i = 0; i < source.size(); ++i) {
        const char16_t c = source[i].unicode();
        if (c == u'\r' && i + 1 < source.size() && source[i + 1] == u'\n') {
            substituted += QChar(breakStandIn);
            ++i;
        } else if (c == u'\r' || c == u'\n') {
            substituted += QChar(breakStandIn);
        } else if (c == u'\0' && nulStandIn) {
            substituted += QChar(nulStandIn);
        } else {
            substituted += QChar(c);
        }
    }
    std::optional<StyledText> result = interpretLine(substituted, font);
    if (!result)
        return std::nullopt;
    if (!restore(*result, breakStandIn, breaks, nulStandIn))
        return interpretLinesApart(source, font);
    return result;
}

// The last resort for line breaks: every line on its own, the breaks between them as plain
// text. Markup then cannot pair across a line break.
std::optional<StyledText> interpretLinesApart(QStringView source, const StyledFont &font)
{
    StyledText result;
    qsizetype lineStart = 0;
    auto appendLine = [&](qsizetype end) {
        const std::optional<StyledText> line = interpretSource(source.mid(lineStart, end - lineStart), font);
        if (!line)
            return false;
        for (const StyledRun &run : line->runs())
            result.append(run);
        return true;
    };
    for (qsizetype i = 0; i < source.size(); ++i) {
        const char16_t c = source[i].unicode();
        if (c != u'\r' && c != u'\n')
            continue;
        if (!appendLine(i))
            return std::nullopt;
        const qsizetype breakSize = c == u'\r' && i + 1 < source.size() && source[i + 1] == u'\n' ? 2 : 1;
        result.append(StyledRun{source.mid(i, breakSize).toString(), font, {}, std::nullopt});
        i += breakSize - 1;
        lineStart = i + 1;
    }
    if (!appendLine(source.size()))
        return std::nullopt;
    return result;
}

bool isAcceptable(QStringView source)
{
    if (!source.isValidUtf16())
        return false;
    // A UTF-16 unit becomes at most three UTF-8 bytes; the exact size is only needed near the
    // limit.
    if (source.size() * 3 <= CmarkInlineInterpreter::kMaximumSourceSize)
        return true;
    return source.toUtf8().size() <= CmarkInlineInterpreter::kMaximumSourceSize;
}

} // namespace

std::optional<StyledText> CmarkInlineInterpreter::interpret(QStringView source,
                                                            const StyledFont &font)
{
    if (!isAcceptable(source))
        return std::nullopt;
    if (!mayHoldMarkup(source))
        return StyledText(StyledRun{source.toString(), font, {}, std::nullopt});
    return interpretSource(source, font);
}

std::optional<StyledText> CmarkInlineInterpreter::interpretWithLibrary(QStringView source,
                                                                       const StyledFont &font)
{
    if (!isAcceptable(source))
        return std::nullopt;
    return interpretSource(source, font);
}

} // namespace quillet
