#include "markdown/markdown_block_parser.h"

#include "markdown/markdown_renderer.h"
#include "text/text_rules.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <optional>

namespace quillet::MarkdownBlockParser {

namespace {

using text::isCharacter;

// Markdown's whitespace is spaces and tabs, never a line break.
QStringView trimmed(QStringView line)
{
    return text::trimmedOfSpacesAndTabs(line);
}

struct HeadingLine {
    int level = 0;
    QStringView text;
};

struct TaskLine {
    qsizetype indent = 0;
    bool checked = false;
    QStringView text;
};

struct ItemLine {
    qsizetype indent = 0;
    QStringView text;
};

struct OrderedLine {
    QStringView number;
    QStringView text;
};

struct IndentedOrderedLine {
    qsizetype indent = 0;
    QStringView number;
    QStringView text;
};

// Lines end at line feeds; a carriage return before a line feed is dropped with it.
QList<QStringView> splitLines(QStringView text)
{
    QList<QStringView> lines;
    qsizetype start = 0;
    for (qsizetype end = text.indexOf(u'\n'); end >= 0; end = text.indexOf(u'\n', start)) {
        const qsizetype lineEnd = end > start && text[end - 1] == u'\r' ? end - 1 : end;
        lines.append(text.sliced(start, lineEnd - start));
        start = end + 1;
    }
    lines.append(text.sliced(start));
    return lines;
}

qsizetype indentOf(QStringView line, QStringView trimmedLine)
{
    return line.size() - trimmedLine.size();
}

bool opensFence(QStringView trimmedLine)
{
    return isCharacter(trimmedLine, 0, u'`') && isCharacter(trimmedLine, 1, u'`') &&
           isCharacter(trimmedLine, 2, u'`');
}

bool isHorizontalRule(QStringView trimmedLine)
{
    if (trimmedLine.size() < 3)
        return false;
    const QChar mark = trimmedLine.front();
    if (mark != u'-' && mark != u'*' && mark != u'_')
        return false;
    // Marks only: none can be extended by its neighbour, so each code unit is a character.
    for (const QChar c : trimmedLine) {
        if (c != mark)
            return false;
    }
    return true;
}

std::optional<HeadingLine> parseHeading(QStringView line)
{
    qsizetype level = 0;
    while (level < line.size() && line[level] == u'#')
        ++level;
    // A following space that is a character of its own also makes the last mark one.
    if (level < 1 || level > 6 || !isCharacter(line, level, u' '))
        return std::nullopt;
    return HeadingLine{int(level), line.sliced(level + 1)};
}

QList<QStringView> splitTableRow(QStringView line)
{
    QStringView row = trimmed(line);
    if (isCharacter(row, 0, u'|'))
        row = row.sliced(1);
    if (text::endsWithCharacter(row, u'|'))
        row.chop(1);
    QList<QStringView> cells;
    qsizetype start = 0;
    for (qsizetype bar = text::indexOfCharacter(row, u'|'); bar >= 0;
         bar = text::indexOfCharacter(row, u'|', start)) {
        cells.append(trimmed(row.sliced(start, bar - start)));
        start = bar + 1;
    }
    cells.append(trimmed(row.sliced(start)));
    return cells;
}

bool isTableSeparator(QStringView line)
{
    if (text::indexOfCharacter(trimmed(line), u'|') < 0)
        return false;
    for (const QStringView cell : splitTableRow(line)) {
        if (cell.isEmpty())
            return false;
        for (const QChar c : cell) {
            if (c != u'-' && c != u':' && c != u' ')
                return false;
        }
    }
    return true;
}

QList<StyledText> renderCells(QStringView line)
{
    QList<StyledText> cells;
    for (const QStringView cell : splitTableRow(line))
        cells.append(MarkdownRenderer::renderInline(cell));
    return cells;
}

struct ParsedTable {
    MarkdownBlock block;
    qsizetype consumed = 0;
};

// The block an edit left in place around the lines parsed again: a row or item of it whose line
// did not change is taken over as it is instead of being rendered again, which keeps an edit in
// a table of thousands of rows as cheap as one in a paragraph.
struct Unchanged {
    const MarkdownBlock *block = nullptr;
    qsizetype firstLine = 0;
    // Maps a line of the new text to the same line of the old one, or -1 when it changed.
    std::function<qsizetype(qsizetype)> oldLine;

    // Index of the row or item on new line `line` in the old block, which had it
    // `rowsFrom` lines after its first one, or -1.
    qsizetype rowAt(qsizetype line, qsizetype rowsFrom, qsizetype rows) const
    {
        if (!block || !oldLine)
            return -1;
        const qsizetype old = oldLine(line);
        const qsizetype row = old < 0 ? -1 : old - firstLine - rowsFrom;
        return row >= 0 && row < rows ? row : -1;
    }
};

ParsedTable parseTable(const QList<QStringView> &lines, qsizetype start, const Unchanged &unchanged)
{
    const auto *old = unchanged.block ? unchanged.block->as<MarkdownBlock::Table>() : nullptr;
    MarkdownBlock::Table table;
    const qsizetype oldHeader = old ? unchanged.rowAt(start, 0, 1) : -1;
    table.header = oldHeader == 0 ? old->header : renderCells(lines[start]);
    qsizetype next = start + 2;
    for (; next < lines.size(); ++next) {
        const QStringView row = trimmed(lines[next]);
        if (text::indexOfCharacter(row, u'|') < 0)
            break;
        const qsizetype same = old ? unchanged.rowAt(next, 2, old->rows.size()) : -1;
        table.rows.append(same >= 0 ? old->rows.at(same) : renderCells(row));
    }
    return {MarkdownBlock(std::move(table)), next - start};
}

std::optional<TaskLine> parseTaskItem(QStringView line)
{
    const QStringView t = trimmed(line);
    if (!isCharacter(t, 0, u'-') || !isCharacter(t, 1, u' ') || !isCharacter(t, 2, u'['))
        return std::nullopt;
    const bool checked = isCharacter(t, 3, u'x') || isCharacter(t, 3, u'X');
    if (!checked && !isCharacter(t, 3, u' '))
        return std::nullopt;
    if (!isCharacter(t, 4, u']') || !isCharacter(t, 5, u' '))
        return std::nullopt;
    return TaskLine{indentOf(line, t), checked, t.sliced(6)};
}

std::optional<ItemLine> parseUnorderedItem(QStringView line)
{
    const QStringView t = trimmed(line);
    const bool marked =
        isCharacter(t, 0, u'-') || isCharacter(t, 0, u'*') || isCharacter(t, 0, u'+');
    if (!marked || !isCharacter(t, 1, u' '))
        return std::nullopt;
    return ItemLine{indentOf(line, t), t.sliced(2)};
}

// Splits once at a point, skipping points that would leave an empty part before them: ".5. a"
// splits into "5" and " a". An item needs both parts, numerals before the point.
std::optional<OrderedLine> parseOrderedItem(QStringView line)
{
    const QStringView t = trimmed(line);
    qsizetype partStart = 0;
    qsizetype point = text::indexOfCharacter(t, u'.');
    while (point == partStart) {
        partStart = point + 1;
        point = text::indexOfCharacter(t, u'.', partStart);
    }
    if (point < 0)
        return std::nullopt;
    const QStringView number = t.sliced(partStart, point - partStart);
    const QStringView rest = t.sliced(point + 1);
    if (rest.isEmpty() || !text::isNumeral(number))
        return std::nullopt;
    return OrderedLine{number, trimmed(rest)};
}

std::optional<IndentedOrderedLine> parseOrderedItemWithIndent(QStringView line)
{
    const std::optional<OrderedLine> item = parseOrderedItem(line);
    if (!item)
        return std::nullopt;
    return IndentedOrderedLine{indentOf(line, trimmed(line)), item->number, item->text};
}

// The number as a signed 64-bit decimal: ASCII digits only, nothing when it does not fit.
std::optional<qint64> readStart(QStringView number)
{
    qint64 value = 0;
    for (const QChar c : number) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c.unicode() - u'0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

bool stopsParagraph(const QList<QStringView> &lines, qsizetype j)
{
    const QStringView t = trimmed(lines[j]);
    return t.isEmpty() || isCharacter(t, 0, u'#') || isCharacter(t, 0, u'>') || opensFence(t) ||
           isHorizontalRule(t) || parseUnorderedItem(lines[j]) || parseOrderedItem(lines[j]) ||
           parseTaskItem(lines[j]) || (j + 1 < lines.size() && isTableSeparator(lines[j + 1]));
}

QString joinedWithSpaces(const QList<QStringView> &lines, qsizetype from, qsizetype to)
{
    QString joined;
    for (qsizetype i = from; i < to; ++i) {
        if (i > from)
            joined += u' ';
        joined += lines[i];
    }
    return joined;
}

// Parses the block that starts at line `i`, appends it to `blocks` and returns the line after it.
// What it makes depends only on the lines from `i` on, and it reads at most one line past the
// block (the paragraph's look at a table separator).
qsizetype parseBlock(const QList<QStringView> &lines, qsizetype i, QList<MarkdownBlock> &blocks,
                     const Unchanged &unchanged = {})
{
    const qsizetype n = lines.size();
    {
        const QStringView line = lines[i];
        const QStringView t = trimmed(line);

        if (opensFence(t)) {
            MarkdownBlock::CodeBlock code;
            if (const QStringView language = trimmed(t.sliced(3)); !language.isEmpty())
                code.language = language.toString();
            for (++i; i < n && !opensFence(trimmed(lines[i])); ++i) {
                code.content += lines[i];
                code.content += u'\n';
            }
            ++i; // past the closing fence, or past the end when there is none
            blocks.append(MarkdownBlock(std::move(code)));
            return i;
        }
        if (isHorizontalRule(t)) {
            blocks.append(MarkdownBlock(MarkdownBlock::HorizontalRule{}));
            ++i;
            return i;
        }
        if (const std::optional<HeadingLine> heading = parseHeading(line)) {
            blocks.append(MarkdownBlock(MarkdownBlock::Heading{
                heading->level, MarkdownRenderer::renderHeading(heading->text, heading->level)}));
            ++i;
            return i;
        }
        if (i + 1 < n && isTableSeparator(lines[i + 1])) {
            ParsedTable table = parseTable(lines, i, unchanged);
            blocks.append(std::move(table.block));
            i += table.consumed;
            return i;
        }
        if (isCharacter(line, 0, u'>')) {
            QString joined;
            for (const qsizetype first = i; i < n && isCharacter(lines[i], 0, u'>'); ++i) {
                if (i > first)
                    joined += u' ';
                joined += trimmed(lines[i].sliced(1));
            }
            blocks.append(
                MarkdownBlock(MarkdownBlock::Blockquote{MarkdownRenderer::renderInline(joined)}));
            return i;
        }
        // The items of the old list of the same kind, for the lines the edit left alone.
        const auto unchangedItem = [&](const auto *old, qsizetype line) {
            return old ? unchanged.rowAt(line, 0, old->items.size()) : -1;
        };
        if (parseTaskItem(line)) {
            const auto *old =
                unchanged.block ? unchanged.block->as<MarkdownBlock::TaskList>() : nullptr;
            MarkdownBlock::TaskList list;
            for (; i < n; ++i) {
                const std::optional<TaskLine> item = parseTaskItem(lines[i]);
                if (!item)
                    break;
                if (const qsizetype same = unchangedItem(old, i); same >= 0)
                    list.items.append(old->items.at(same));
                else
                    list.items.append(
                        {item->indent, item->checked, MarkdownRenderer::renderInline(item->text)});
            }
            blocks.append(MarkdownBlock(std::move(list)));
            return i;
        }
        if (parseUnorderedItem(line)) {
            const auto *old =
                unchanged.block ? unchanged.block->as<MarkdownBlock::UnorderedList>() : nullptr;
            MarkdownBlock::UnorderedList list;
            for (; i < n; ++i) {
                const std::optional<ItemLine> item = parseUnorderedItem(lines[i]);
                if (!item)
                    break;
                if (const qsizetype same = unchangedItem(old, i); same >= 0)
                    list.items.append(old->items.at(same));
                else
                    list.items.append({item->indent, MarkdownRenderer::renderInline(item->text)});
            }
            blocks.append(MarkdownBlock(std::move(list)));
            return i;
        }
        if (const std::optional<OrderedLine> first = parseOrderedItem(line)) {
            const auto *old =
                unchanged.block ? unchanged.block->as<MarkdownBlock::OrderedList>() : nullptr;
            MarkdownBlock::OrderedList list;
            list.start = readStart(first->number).value_or(1);
            for (; i < n; ++i) {
                const std::optional<IndentedOrderedLine> item =
                    parseOrderedItemWithIndent(lines[i]);
                if (!item)
                    break;
                if (const qsizetype same = unchangedItem(old, i); same >= 0)
                    list.items.append(old->items.at(same));
                else
                    list.items.append({item->indent, MarkdownRenderer::renderInline(item->text)});
            }
            blocks.append(MarkdownBlock(std::move(list)));
            return i;
        }
        if (t.isEmpty()) {
            blocks.append(MarkdownBlock(MarkdownBlock::EmptyLine{}));
            ++i;
            return i;
        }
        // The first line is always taken. Only a line starting with '#' that is no heading, or
        // an indented '>', would fail the stop tests itself; it opens a paragraph like any other
        // text line instead of standing alone.
        qsizetype end = i + 1;
        while (end < n && !stopsParagraph(lines, end))
            ++end;
        blocks.append(MarkdownBlock(MarkdownBlock::Paragraph{
            MarkdownRenderer::renderInline(joinedWithSpaces(lines, i, end))}));
        return end;
    }
}

} // namespace

QList<MarkdownBlock> parse(QStringView text)
{
    const QList<QStringView> lines = splitLines(text);
    QList<MarkdownBlock> blocks;
    for (qsizetype i = 0; i < lines.size();)
        i = parseBlock(lines, i, blocks);
    return blocks;
}

ParsedText parseWithLines(QStringView text)
{
    const QList<QStringView> lines = splitLines(text);
    ParsedText parsed;
    for (qsizetype i = 0; i < lines.size();) {
        parsed.firstLines.append(i);
        i = parseBlock(lines, i, parsed.blocks);
    }
    return parsed;
}

Reparse reparse(QStringView text, QStringView previousText, const ParsedText &previous)
{
    const qsizetype oldCount = previous.blocks.size();
    if (oldCount == 0 || previous.firstLines.size() != oldCount)
        return {parseWithLines(text), 0, 0};
    // The text before the first difference and after the last one is the same in both.
    const qsizetype shorter = std::min(text.size(), previousText.size());
    qsizetype same = 0;
    while (same < shorter && text[same] == previousText[same])
        ++same;
    qsizetype sameEnd = 0;
    while (sameEnd < shorter - same &&
           text[text.size() - 1 - sameEnd] == previousText[previousText.size() - 1 - sameEnd])
        ++sameEnd;
    const QList<QStringView> lines = splitLines(text);
    const qsizetype lineDelta = lines.size() - (previousText.count(u'\n') + 1);
    const qsizetype changedLine = text.first(same).count(u'\n');

    // A block reads its lines and at most one past its end: those before the changed line by
    // more than that stay as they were.
    qsizetype kept = 0;
    while (kept < oldCount) {
        const qsizetype next = kept + 1 < oldCount ? previous.firstLines.at(kept + 1)
                                                   : std::numeric_limits<qsizetype>::max() / 2;
        if (next + 1 >= changedLine)
            break;
        ++kept;
    }
    Reparse result;
    result.parsed.blocks = previous.blocks.first(kept);
    result.parsed.firstLines = previous.firstLines.first(kept);
    result.prefix = kept;

    // The lines that start inside the unchanged end are the old lines `lineDelta` before them,
    // and so is everything after: once a block ends on one where an old block began, the old
    // blocks from there on are the new ones.
    const qsizetype sameFrom = text.size() - sameEnd;
    const auto lineStart = [&](qsizetype line) { return lines.at(line).data() - text.data(); };
    // The first line that starts after the unchanged end begins, with the line feed before it.
    const qsizetype sameFromLine =
        qsizetype(std::partition_point(
                      lines.begin(), lines.end(),
                      [&](QStringView line) { return line.data() - text.data() <= sameFrom; }) -
                  lines.begin());
    Unchanged unchanged;
    unchanged.oldLine = [&](qsizetype line) -> qsizetype {
        if (line < changedLine)
            return line;
        return line >= sameFromLine ? line - lineDelta : -1;
    };
    qsizetype i = kept < oldCount ? previous.firstLines.at(kept) : lines.size();
    while (i < lines.size()) {
        result.parsed.firstLines.append(i);
        // The old block that began on the same line, if the edit left that line alone.
        const qsizetype oldStart = unchanged.oldLine(i);
        const auto begun =
            std::lower_bound(previous.firstLines.begin(), previous.firstLines.end(), oldStart);
        const bool begunThere =
            oldStart >= 0 && begun != previous.firstLines.end() && *begun == oldStart;
        unchanged.block =
            begunThere ? &previous.blocks.at(begun - previous.firstLines.begin()) : nullptr;
        unchanged.firstLine = oldStart;
        i = parseBlock(lines, i, result.parsed.blocks, unchanged);
        if (i >= lines.size() || i <= changedLine)
            continue;
        // Every line is a view into the text, so it knows where it starts; the line feed before
        // it must be unchanged too, or the old line there may begin elsewhere.
        if (lineStart(i) <= sameFrom)
            continue;
        const qsizetype oldLine = i - lineDelta;
        const auto found =
            std::lower_bound(previous.firstLines.begin(), previous.firstLines.end(), oldLine);
        if (found == previous.firstLines.end() || *found != oldLine)
            continue;
        const qsizetype from = qsizetype(found - previous.firstLines.begin());
        result.suffix = oldCount - from;
        result.parsed.blocks.append(previous.blocks.sliced(from));
        for (qsizetype k = from; k < oldCount; ++k)
            result.parsed.firstLines.append(previous.firstLines.at(k) + lineDelta);
        break;
    }
    return result;
}

} // namespace quillet::MarkdownBlockParser