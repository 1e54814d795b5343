#pragma once

#include "markdown/markdown_block.h"

#include <QList>
#include <QStringView>

// The line-oriented block parser of the preview: one pass over the lines, ten kinds of block and
// no nesting. Inline markup is left to MarkdownRenderer, which styles every piece of text except
// the content of code blocks.
namespace quillet::MarkdownBlockParser {

// The blocks of `text`, in order. Lines end at line feeds only; a carriage return right before a
// line feed belongs to the line break, not to the line, so CR LF text parses as LF text does.
// Never fails: the empty text is one empty line.
QList<MarkdownBlock> parse(QStringView text);

// The blocks of a text with the line each begins on.
struct ParsedText {
    QList<MarkdownBlock> blocks;
    QList<qsizetype> firstLines;
};
ParsedText parseWithLines(QStringView text);

// The parse of `text`, made from `previous`, the parse of `previousText`: the blocks before the
// first changed line (and the one line a block may look past its end) are kept, the blocks from
// there on are parsed again up to the first line where one ends on an unchanged line that began
// a block before, and the old blocks from that one on are kept as well. The same blocks as
// parse(text), in time that follows the edit rather than the document.
struct Reparse {
    ParsedText parsed;
    // Blocks kept from `previous` at the start and at the end.
    qsizetype prefix = 0;
    qsizetype suffix = 0;
};
Reparse reparse(QStringView text, QStringView previousText, const ParsedText &previous);

} // namespace quillet::MarkdownBlockParser
