#include "line_number_gutter.h"

#include "plain_text_text_view.h"
#include "style/theme.h"

#include <QPainter>
#include <QTextBlock>
#include <QTextLayout>

#include <algorithm>

namespace quillet {

LineNumberGutter::LineNumberGutter(PlainTextTextView *view)
    : QWidget(view)
    , m_view(view)
{
    hide();
    connect(view, &QPlainTextEdit::blockCountChanged, this, &LineNumberGutter::updateWidth);
    connect(view, &QPlainTextEdit::updateRequest, this, &LineNumberGutter::followViewUpdate);
}

void LineNumberGutter::setShown(bool shown)
{
    m_shown = shown;
    setVisible(shown);
    updateWidth();
}

int LineNumberGutter::widthForLines() const
{
    if (!m_shown)
        return 0;
    int digits = 1;
    // While a text is prepared, its last line's number, though that line is not in yet.
    const qsizetype lines =
        m_view->isPreparingText()
            ? std::max<qsizetype>(m_view->blockCount(), m_view->m_preparedLineCount)
            : m_view->blockCount();
    for (qsizetype count = std::max<qsizetype>(1, lines); count >= 10; count /= 10)
        ++digits;
    const QFontMetrics metrics(m_view->plainFont());
    return Theme::editorInset / 2 + metrics.horizontalAdvance(u'9') * digits;
}

void LineNumberGutter::updateWidth()
{
    const int width = widthForLines();
    m_view->setViewportMargins(width, 0, 0, 0);
    const QRect area = m_view->contentsRect();
    setGeometry(QRect(area.left(), area.top(), width, area.height()));
}

void LineNumberGutter::followViewUpdate(const QRect &rect, int dy)
{
    if (!m_shown)
        return;
    if (dy != 0)
        scroll(0, dy);
    else
        update(0, rect.y(), width(), rect.height());
}

void LineNumberGutter::paintEvent(QPaintEvent *event)
{
    const QFont font = m_view->plainFont();
    QPainter painter(this);
    painter.fillRect(event->rect(), Theme::textBackground());
    painter.setFont(font);
    painter.setPen(Theme::color(Theme::Tone::secondary));
    const QFontMetricsF metrics(font);
    const qreal right = width();

    QTextBlock block = m_view->firstVisibleBlock();
    qreal top = m_view->blockBoundingGeometry(block).translated(m_view->contentOffset()).top();
    while (block.isValid() && top <= event->rect().bottom()) {
        const qreal height = m_view->blockBoundingRect(block).height();
        if (block.isVisible() && top + height >= event->rect().top()) {
            const QTextLine first = block.layout()->lineAt(0);
            const qreal baseline =
                top + (first.isValid() ? first.y() + first.ascent() : metrics.ascent());
            const QString number = QString::number(block.blockNumber() + 1);
            painter.drawText(QPointF(right - metrics.horizontalAdvance(number), baseline), number);
        }
        top += height;
        block = block.next();
    }
}

} // namespace quillet
