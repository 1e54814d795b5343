// Block parser plus inline renderer on arbitrary bytes read as UTF-8.
#include "markdown/markdown_block_parser.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QList<quillet::MarkdownBlock> blocks = quillet::MarkdownBlockParser::parse(text);
    if (blocks.isEmpty())
        std::abort(); // every text, the empty one included, has at least one block
    if (text.isEmpty() &&
        (blocks.size() != 1 || blocks.front().kind() != quillet::MarkdownBlock::Kind::emptyLine))
        std::abort();
    return 0;
}
