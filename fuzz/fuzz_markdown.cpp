// Block parser plus inline renderer on arbitrary bytes read as UTF-8.
#include "markdown/markdown_block_parser.h"

#include <QSet>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

using quillet::MarkdownBlock;
using quillet::StyledText;

// Every character a block shows comes from the input, apart from line breaks and spaces the
// renderer makes and the replacement character for a NUL. Entities and escapes can name any
// character, so inputs with '&' are left out of this check.
struct DrawnFromInput {
    QSet<char16_t> inputCharacters;
    bool checked = true;

    bool holds(const QString &shown) const
    {
        if (!checked)
            return true;
        for (const QChar c : shown) {
            if (c != u'\n' && c != u' ' && c != QChar::ReplacementCharacter &&
                !inputCharacters.contains(c.unicode()))
                return false;
        }
        return true;
    }
    bool holds(const StyledText &text) const { return holds(text.text()); }

    bool holds(const MarkdownBlock &block) const
    {
        return std::visit(
            [&](const auto &value) {
                using Case = std::decay_t<decltype(value)>;
                if constexpr (requires { value.text; })
                    return holds(value.text);
                else if constexpr (std::is_same_v<Case, MarkdownBlock::CodeBlock>)
                    return holds(value.content) && holds(value.language.value_or(QString()));
                else if constexpr (requires { value.items; })
                    return std::all_of(value.items.begin(), value.items.end(),
                                       [&](const auto &item) { return holds(item.text); });
                else if constexpr (std::is_same_v<Case, MarkdownBlock::Table>) {
                    for (const StyledText &cell : value.header)
                        if (!holds(cell))
                            return false;
                    for (const auto &row : value.rows)
                        for (const StyledText &cell : row)
                            if (!holds(cell))
                                return false;
                    return true;
                } else
                    return true;
            },
            block.value());
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QList<MarkdownBlock> blocks = quillet::MarkdownBlockParser::parse(text);
    if (blocks.isEmpty())
        std::abort(); // every text, the empty one included, has at least one block
    if (text.isEmpty() &&
        (blocks.size() != 1 || blocks.front().kind() != MarkdownBlock::Kind::emptyLine))
        std::abort();

    DrawnFromInput drawn;
    drawn.checked = !text.contains(u'&');
    for (const QChar c : text)
        drawn.inputCharacters.insert(c.unicode());
    for (const MarkdownBlock &block : blocks) {
        if (!drawn.holds(block))
            std::abort();
    }
    return 0;
}
