#include "markdown_hint_button.h"

namespace quillet {

MarkdownHintButton::MarkdownHintButton(QWidget *parent)
    : SymbolButton(QStringLiteral("questionmark.circle"), 12, QSize(28, 28), parent)
{
    setObjectName(QStringLiteral("markdownHintButton"));
    setToolTip(QStringLiteral("Markdown syntax reference"));
}

} // namespace quillet
