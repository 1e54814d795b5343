#pragma once

#include "markdown/markdown_block.h"

#include <QStringList>

#include <variant>

// Blocks as short, readable strings, so a test row can state a whole document's parse at once:
// "H2:Sub", "P:one two", "C(lang):a = 1⏎", "Q:a b", "U[0:a,2:sub]", "O3[0:three]",
// "T[0x:done,0 :milk]", "Tab[a|b][1|2]", "HR", "E". Inline styling is left to the renderer's
// tests; only the characters of the styled text appear.
namespace quillet::test {

inline QString describeItems(const QList<MarkdownBlock::ListItem> &items)
{
    QStringList parts;
    for (const MarkdownBlock::ListItem &item : items)
        parts << QString::number(item.indent) + u':' + item.text.text();
    return u'[' + parts.join(u',') + u']';
}

inline QString describeCells(const QList<StyledText> &cells)
{
    QStringList parts;
    for (const StyledText &cell : cells)
        parts << cell.text();
    return u'[' + parts.join(u'|') + u']';
}

inline QString describe(const MarkdownBlock &block)
{
    using B = MarkdownBlock;
    if (const auto *heading = block.as<B::Heading>())
        return u'H' + QString::number(heading->level) + u':' + heading->text.text();
    if (const auto *paragraph = block.as<B::Paragraph>())
        return QStringLiteral("P:") + paragraph->text.text();
    if (const auto *code = block.as<B::CodeBlock>()) {
        QString content = code->content;
        content.replace(u'\n', u'⏎');
        return QStringLiteral("C(") + code->language.value_or(QStringLiteral("-")) + QStringLiteral("):") + content;
    }
    if (const auto *quote = block.as<B::Blockquote>())
        return QStringLiteral("Q:") + quote->text.text();
    if (const auto *list = block.as<B::UnorderedList>())
        return u'U' + describeItems(list->items);
    if (const auto *list = block.as<B::OrderedList>())
        return u'O' + QString::number(list->start) + describeItems(list->items);
    if (const auto *list = block.as<B::TaskList>()) {
        QStringList parts;
        for (const B::TaskItem &item : list->items)
            parts << QString::number(item.indent) + (item.checked ? u'x' : u' ') + u':' +
                         item.text.text();
        return QStringLiteral("T[") + parts.join(u',') + u']';
    }
    if (const auto *table = block.as<B::Table>()) {
        QString result = QStringLiteral("Tab") + describeCells(table->header);
        for (const QList<StyledText> &row : table->rows)
            result += describeCells(row);
        return result;
    }
    if (block.as<B::HorizontalRule>())
        return QStringLiteral("HR");
    return QStringLiteral("E");
}

inline QStringList describe(const QList<MarkdownBlock> &blocks)
{
    QStringList result;
    for (const MarkdownBlock &block : blocks)
        result << describe(block);
    return result;
}

} // namespace quillet::test
