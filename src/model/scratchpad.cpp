#include "scratchpad.h"

#include "platform/clock.h"
#include "text/text_metrics.h"
#include "text/text_rules.h"

namespace quillet {

namespace {

constexpr qint64 kTitleLength = 40;

bool isBlankForTitle(char16_t c)
{
    return text::isSpaceOrTab(c) || text::isLineBreak(c);
}

} // namespace

Scratchpad::Scratchpad(QUuid id, QString title, QString content, std::optional<QUrl> filePath,
                       bool isDirty, QObject *parent)
    : QObject(parent)
    , m_id(id.isNull() ? QUuid::createUuid() : id)
    , m_title(std::move(title))
    , m_content(std::move(content))
    , m_filePath(std::move(filePath))
    , m_isDirty(isDirty)
    , m_createdAt(Clock::now())
    , m_modifiedAt(Clock::now())
{
    updateCounts();
}

Scratchpad::Scratchpad(const Snapshot &snapshot)
    : m_id(snapshot.id)
    , m_title(snapshot.title)
    , m_content(snapshot.content)
    , m_filePath(snapshot.filePath)
    , m_isDirty(true)
    , m_createdAt(Clock::now())
    , m_modifiedAt(Clock::now())
    , m_diskVersion(snapshot.diskVersion)
{
    updateCounts();
}

std::shared_ptr<Scratchpad> Scratchpad::from(const Snapshot &snapshot)
{
    // The stored id is kept as it is, the all-zero one included.
    return std::shared_ptr<Scratchpad>(new Scratchpad(snapshot));
}

template <typename T, typename Signal>
void Scratchpad::assign(T &field, const T &value, Signal changed)
{
    if (field == value)
        return;
    field = value;
    emit(this->*changed)();
}

void Scratchpad::setHasConflict(bool hasConflict)
{
    assign(m_hasConflict, hasConflict, &Scratchpad::hasConflictChanged);
}

void Scratchpad::setTitle(const QString &title)
{
    assign(m_title, title, &Scratchpad::titleChanged);
}

void Scratchpad::setContent(const QString &content)
{
    if (m_content == content)
        return;
    m_content = content;
    m_totalsStale = true;
    m_lineIndexStale = true;
    emit contentChanged();
}

bool Scratchpad::replaceContent(qsizetype start, qsizetype removed, QStringView inserted)
{
    if (start < 0 || removed < 0 || start > m_content.size() || removed > m_content.size() - start)
        return false;
    if (removed == 0 && inserted.isEmpty())
        return true;
    // What the change replaces is counted before it, what replaces it after it.
    const text::EditWindow window = text::editWindow(m_content, start, removed);
    if (!m_totalsStale) {
        const text::CharacterAndWordCount before = text::countCharactersAndWords(
            QStringView(m_content).sliced(window.begin, window.end - window.begin),
            window.afterSeparator);
        m_totals.characters -= before.characters;
        m_totals.words -= before.words;
    }
    m_content.replace(start, removed, inserted.constData(), inserted.size());
    const qsizetype shift = inserted.size() - removed;
    if (!m_totalsStale) {
        const text::CharacterAndWordCount after = text::countCharactersAndWords(
            QStringView(m_content).sliced(window.begin, window.end + shift - window.begin),
            window.afterSeparator);
        m_totals.characters += after.characters;
        m_totals.words += after.words;
    }
    if (!m_lineIndexStale)
        m_lineIndex.replace(m_content, start, removed, inserted.size());
    emit contentChanged();
    return true;
}

void Scratchpad::setFilePath(const std::optional<QUrl> &filePath)
{
    assign(m_filePath, filePath, &Scratchpad::filePathChanged);
}

void Scratchpad::setIsDirty(bool isDirty)
{
    assign(m_isDirty, isDirty, &Scratchpad::isDirtyChanged);
}

void Scratchpad::setModifiedAt(const QDateTime &modifiedAt)
{
    assign(m_modifiedAt, modifiedAt, &Scratchpad::modifiedAtChanged);
}

void Scratchpad::setCursorPosition(qint64 cursorPosition)
{
    assign(m_cursorPosition, cursorPosition, &Scratchpad::cursorPositionChanged);
}

void Scratchpad::updateCounts()
{
    if (m_totalsStale) {
        m_totals = text::countCharactersAndWords(m_content);
        m_totalsStale = false;
    }
    assign(m_characterCount, m_totals.characters, &Scratchpad::characterCountChanged);
    assign(m_wordCount, m_totals.words, &Scratchpad::wordCountChanged);
    // The editor reports the cursor in UTF-16 code units; line and column are those of that
    // offset, whatever the characters before it are made of. The index is built only once the
    // cursor leaves the start, which a restored or newly opened tab has not.
    text::LineAndColumn position;
    if (m_cursorPosition > 0) {
        if (m_lineIndexStale) {
            m_lineIndex.rebuild(m_content);
            m_lineIndexStale = false;
        }
        position = m_lineIndex.lineAndColumnAt(m_content, m_cursorPosition);
    }
    assign(m_currentLine, position.line, &Scratchpad::currentLineChanged);
    assign(m_currentColumn, position.column, &Scratchpad::currentColumnChanged);
}

void Scratchpad::deriveTitle()
{
    setTitle(titleFor(m_content, m_filePath));
}

QString Scratchpad::titleFor(QStringView content, const std::optional<QUrl> &filePath)
{
    qsizetype begin = 0;
    qsizetype end = content.size();
    while (begin < end && isBlankForTitle(content[begin].unicode()))
        ++begin;
    while (end > begin && isBlankForTitle(content[end - 1].unicode()))
        --end;

    while (begin < end && (content[begin] == u'#' || content[begin] == u' '))
        ++begin;
    // A first line of a megabyte is read only as far as the title goes: once a character that
    // the trimming of the line's end keeps lies past the title's last character, the title is
    // what it is whatever follows.
    const qsizetype cut =
        begin + text::offsetAfterCharacters(content.sliced(begin, end - begin), kTitleLength);
    qsizetype lineEnd = begin;
    while (lineEnd < end && !text::isLineBreak(content[lineEnd].unicode()) &&
           (lineEnd < cut || content[lineEnd] == u'#' || content[lineEnd] == u' '))
        ++lineEnd;
    if (lineEnd < end && !text::isLineBreak(content[lineEnd].unicode()))
        return content.sliced(begin, cut - begin).toString();
    while (lineEnd > begin && (content[lineEnd - 1] == u'#' || content[lineEnd - 1] == u' '))
        --lineEnd;

    if (begin < lineEnd) {
        const QStringView line = content.sliced(begin, lineEnd - begin);
        return line.first(text::offsetAfterCharacters(line, kTitleLength)).toString();
    }
    if (filePath) {
        const QString name = fileTitle(*filePath);
        if (!name.isEmpty())
            return name;
    }
    return kUntitled;
}

QString Scratchpad::fileTitle(const QUrl &filePath)
{
    const QString name = filePath.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    // A leading dot marks a hidden file, not an extension.
    return dot > 0 ? name.first(dot) : name;
}

Scratchpad::Snapshot Scratchpad::snapshot() const
{
    return {m_id, m_title, m_content, m_filePath, m_createdAt, m_diskVersion};
}

} // namespace quillet
