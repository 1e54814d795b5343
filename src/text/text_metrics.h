#pragma once

#include <QString>
#include <QStringView>

#include <vector>

// Counting over user-perceived characters (extended grapheme clusters), the unit of every figure
// the status bar shows. Text that is plain ASCII takes a vectorised path that needs no grapheme
// tables; everything else is delegated to Qt's boundary finder only where a boundary is in doubt.
namespace quillet::text {

struct CharacterAndWordCount {
    qint64 characters = 0;
    qint64 words = 0;
};

// A word is a maximal run of characters none of which starts with Unicode white space (line
// breaks included).
// `afterSeparator` false counts text that continues a word: its first character starts none.
CharacterAndWordCount countCharactersAndWords(QStringView text, bool afterSeparator = true);

// Where a replacement of [start, start + removed) can change the characters and word starts of
// a text: [begin, end) in the text before it, [begin, end + inserted - removed) after it. Both
// ends lie on boundaries that hold whatever is inserted, next to characters that stand alone
// (a lone code unit between two certain boundaries), so the counts of the whole text change
// exactly by those of the window after minus those before. `afterSeparator` tells whether the
// character before `begin` is a separator. Only a few hundred units around the range are read;
// where they hold no such boundary (a long run of joined emoji, say), the window grows to the
// text's start or end.
struct EditWindow {
    qsizetype begin = 0;
    qsizetype end = 0;
    bool afterSeparator = true;
};
EditWindow editWindow(QStringView text, qsizetype start, qsizetype removed);

qint64 countCharacters(QStringView text);

// UTF-16 offset just past the first `count` characters (the whole text when it has fewer).
qsizetype offsetAfterCharacters(QStringView text, qint64 count);

// The character boundary nearest to a UTF-16 offset at or before it, and at or after it, for
// placing a caret or a selection's ends. Offsets outside the text are clamped to it. Only the
// neighbourhood of the offset is read; where that holds no certain boundary within a few hundred
// units (a long run of joined emoji, say), the offset is only kept off the middle of a surrogate
// pair and of a CR LF pair.
qsizetype characterBoundaryAtOrBefore(QStringView text, qsizetype offset);
qsizetype characterBoundaryAtOrAfter(QStringView text, qsizetype offset);

// The line end that ends most lines of text: "\r\n", "\r" or "\n". Text without line ends, and
// a tie with line feeds, gives "\n".
QString dominantLineEnding(QStringView text);

struct LineFeedScan {
    qsizetype count = 0;
    qsizetype lastPosition = -1; // -1 when there is none
};

LineFeedScan scanLineFeeds(QStringView text);

struct LineAndColumn {
    qint64 line = 1;
    qint64 column = 1;
};

// Line and column, from 1, of a cursor given as a UTF-16 offset into text. Lines end at line
// feeds and at carriage returns not followed by one; the column counts characters since the
// last line end. Offsets past the end count the whole
// text; negative offsets count as 0.
LineAndColumn lineAndColumnAt(QStringView text, qint64 utf16Offset);

// Where the lines of a text start, kept up to date through edits, so that a line and column
// cost a search and a count of the cursor's own line rather than a scan of the text before it.
// Lines end as for `lineAndColumnAt`, and the answers are the same.
class LineIndex {
public:
    void rebuild(QStringView text);
    // Follows the replacement of `removed` units at `start` by `inserted` units; `text` is the
    // text after it.
    void replace(QStringView text, qsizetype start, qsizetype removed, qsizetype inserted);
    LineAndColumn lineAndColumnAt(QStringView text, qint64 utf16Offset) const;

private:
    // The offset just past each line end, ascending.
    std::vector<qsizetype> m_lineStarts;
};

// Whether some stretch of more than `limit` UTF-16 units holds no Unicode white space. Text layout
// looks ahead to the end of such a stretch for every line it wraps at word boundaries, which grows
// with the square of the stretch; a view showing one wraps anywhere instead. Lines no longer than
// `limit` are skipped with a vectorised search for line feeds.
bool hasStretchWithoutSpaceLongerThan(QStringView text, qsizetype limit);

} // namespace quillet::text
