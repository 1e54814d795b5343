#include "bidi_markers.h"

#include "plain_text_text_view.h"
#include "style/theme.h"

#include <QPainter>
#include <QPolygonF>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

#include <algorithm>

namespace quillet {

bool isBidiControl(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

QList<BidiMarker> bidiMarkersIn(const PlainTextTextView &view, const QRect &area)
{
    QList<BidiMarker> markers;
    const qreal width =
        std::max<qreal>(3, QFontMetricsF(view.plainFont()).horizontalAdvance(u' ') / 3);
    QTextBlock block = view.firstVisibleBlock();
    qreal top = view.blockBoundingGeometry(block).translated(view.contentOffset()).top();
    while (block.isValid() && top <= area.bottom()) {
        const qreal height = view.blockBoundingRect(block).height();
        const QTextLayout *layout = block.layout();
        if (block.isVisible() && top + height >= area.top() && layout) {
            // Line by line, each read from the document alone rather than from a copy of the
            // whole block, so that a very long line is only read where it is in view.
            const int blockEnd = block.length() - 1;
            QTextCursor reader(block);
            for (int i = 0; i < layout->lineCount(); ++i) {
                const QTextLine line = layout->lineAt(i);
                const qreal lineTop = top + line.y();
                if (lineTop > area.bottom())
                    break;
                if (lineTop + line.height() < area.top())
                    continue;
                const int start = line.textStart();
                const int end = std::min(start + line.textLength(), blockEnd);
                reader.setPosition(block.position() + start);
                reader.setPosition(block.position() + end, QTextCursor::KeepAnchor);
                const QString text = reader.selectedText();
                for (int at = start; at < end; ++at) {
                    const QChar c = text.at(at - start);
                    if (!isBidiControl(c))
                        continue;
                    const qreal x = line.cursorToX(at) + view.contentOffset().x();
                    markers.append({QRectF(x - width / 2, lineTop, width, line.height()),
                                    block.position() + at, c});
                }
            }
        }
        top += height;
        block = block.next();
    }
    return markers;
}

// A thin bar the height of the line with a flag at its top: pointing right for the left-to-right
// controls, left for the right-to-left ones, a square for the pop and first-strong controls.
void paintBidiMarkers(QPainter &painter, const QList<BidiMarker> &markers)
{
    if (markers.isEmpty())
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colour = Theme::bidiMarker();
    for (const BidiMarker &marker : markers) {
        const QRectF &r = marker.rect;
        const qreal flag = std::min(r.width() * 2, r.height() / 2);
        painter.fillRect(QRectF(r.center().x() - 0.75, r.top(), 1.5, r.height()), colour);
        QPolygonF shape;
        switch (marker.control.unicode()) {
        case 0x202A:
        case 0x202D:
        case 0x2066: // left to right
            shape << QPointF(r.center().x(), r.top())
                  << QPointF(r.center().x() + flag, r.top() + flag / 2)
                  << QPointF(r.center().x(), r.top() + flag);
            break;
        case 0x202B:
        case 0x202E:
        case 0x2067: // right to left
            shape << QPointF(r.center().x(), r.top())
                  << QPointF(r.center().x() - flag, r.top() + flag / 2)
                  << QPointF(r.center().x(), r.top() + flag);
            break;
        default:
            shape << QPointF(r.center().x() - flag / 2, r.top())
                  << QPointF(r.center().x() + flag / 2, r.top())
                  << QPointF(r.center().x() + flag / 2, r.top() + flag)
                  << QPointF(r.center().x() - flag / 2, r.top() + flag);
            break;
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawPolygon(shape);
    }
}

} // namespace quillet
