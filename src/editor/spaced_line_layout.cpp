#include "spaced_line_layout.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace quillet {

SpacedLineLayout::SpacedLineLayout(QTextDocument *document)
    : QPlainTextDocumentLayout(document)
{
}

void SpacedLineLayout::setLineHeightMultiple(qreal multiple)
{
    m_multiple = multiple;
}

QRectF SpacedLineLayout::blockBoundingRect(const QTextBlock &block) const
{
    // A layout drops its shaped glyphs once its lines are made, so every paint of a line, every
    // caret blink and every caret rectangle shapes the whole paragraph again: in a line of a
    // megabyte, tens of milliseconds each. Long paragraphs keep them.
    if (block.isValid() && block.length() > kLongParagraph)
        block.layout()->setCacheEnabled(true);
    QRectF rect = QPlainTextDocumentLayout::blockBoundingRect(block);
    if (!block.isValid() || !block.isVisible())
        return rect;
    QTextLayout *layout = block.layout();
    const int lineCount = layout->lineCount();
    if (lineCount == 0)
        return rect;

    // Positions follow from the line index alone, so placing the lines again is harmless.
    qreal top = 0;
    qreal halfLeading = 0;
    for (int i = 0; i < lineCount; ++i) {
        QTextLine line = layout->lineAt(i);
        const qreal natural = line.height();
        const qreal step = natural * m_multiple;
        halfLeading = (step - natural) / 2;
        line.setPosition(QPointF(line.x(), top + halfLeading));
        top += step;
    }
    // Below the last block only what the plain text edit cannot see: it keeps the document
    // margin free below a line's glyphs when it works out how far it scrolls, and it aligns the
    // top of the view to a line's glyphs, half a leading into its box.
    rect.setHeight(block.next().isValid() ? top : top + halfLeading);
    return rect;
}

} // namespace quillet
