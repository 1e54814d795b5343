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

} // namespace quillet::MarkdownBlockParser
