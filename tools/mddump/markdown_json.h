#pragma once

#include "markdown/markdown_block.h"
#include "markdown/styled_text.h"

#include <QByteArray>
#include <QList>

// The JSON that quillet-mddump prints: compact, keys in a fixed order, UTF-8.
namespace quillet::MarkdownJson {

// {"blocks":[...]}
QByteArray blocksDocument(const QList<MarkdownBlock> &blocks);

// {"runs":[...]}
QByteArray runsDocument(const StyledText &text);

} // namespace quillet::MarkdownJson
