#include "markdown_table_view.h"

#include "view_style.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <numeric>

namespace quillet {

MarkdownTableView::MarkdownTableView(const QList<StyledText> &header,
                                     const QList<QList<StyledText>> &rows)
{
    const int columns = std::clamp<int>(int(header.size()), 1, kMaximumColumns);
    m_rowCount = int(rows.size());
    const QFont headerFont = ViewStyle::systemFont(13, QFont::DemiBold);
    const QFont dataFont = ViewStyle::systemFont(13);
    const StyledText empty;
    for (int c = 0; c < columns; ++c) {
        const StyledText &text = c < header.size() ? header.at(c) : empty;
        m_cells.append({-1,
                        c,
                        {},
                        {},
                        std::make_shared<PreviewText>(text, headerFont),
                        PreviewTone::controlBackground});
    }
    for (int r = 0; r < m_rowCount; ++r) {
        const QList<StyledText> &row = rows.at(r);
        std::optional<PreviewTone> shade;
        if (r % 2 == 1)
            shade = PreviewTone::faintControlBackground;
        for (int c = 0; c < columns; ++c) {
            const StyledText &text = c < row.size() ? row.at(c) : empty;
            m_cells.append({r, c, {}, {}, std::make_shared<PreviewText>(text, dataFont), shade});
        }
    }
    m_naturalWidths.fill(0, columns);
    for (Cell &cell : m_cells) {
        m_naturalWidths[cell.column] = std::max(m_naturalWidths[cell.column],
                                                cell.text->naturalWidth() + 2 * kHorizontalPadding);
    }
}

qreal MarkdownTableView::layout(qreal width)
{
    m_width = width;
    const int columns = int(m_naturalWidths.size());
    const qreal natural = std::accumulate(m_naturalWidths.begin(), m_naturalWidths.end(), 0.0);
    m_columnWidths = m_naturalWidths;
    if (natural <= width) {
        const qreal extra = (width - natural) / columns;
        for (qreal &column : m_columnWidths)
            column += extra;
    } else {
        for (qreal &column : m_columnWidths)
            column = column * width / natural;
    }
    QList<qreal> lefts(columns, 0);
    for (int c = 1; c < columns; ++c)
        lefts[c] = lefts[c - 1] + m_columnWidths[c - 1];

    m_rules.clear();
    qreal y = 0;
    int index = 0;
    for (int r = -1; r < m_rowCount; ++r) {
        const qreal padding = r < 0 ? kHeaderVerticalPadding : kDataVerticalPadding;
        qreal rowHeight = 0;
        for (int c = 0; c < columns; ++c) {
            Cell &cell = m_cells[index + c];
            const qreal textWidth = std::max<qreal>(1, m_columnWidths[c] - 2 * kHorizontalPadding);
            rowHeight = std::max(rowHeight, cell.text->layout(textWidth) + 2 * padding);
        }
        for (int c = 0; c < columns; ++c) {
            Cell &cell = m_cells[index + c];
            const qreal cellHeight = cell.text->height() + 2 * padding;
            const qreal top = y + (rowHeight - cellHeight) / 2;
            cell.rect = QRectF(lefts[c], top, m_columnWidths[c], cellHeight);
            cell.textOrigin = QPointF(lefts[c] + kHorizontalPadding, top + padding);
        }
        index += columns;
        y += rowHeight;
        if (r < 0) {
            m_rules.append({QRectF(0, y, width, kHeaderRuleHeight), PreviewTone::separator});
            y += kHeaderRuleHeight;
        } else if (r + 1 < m_rowCount) {
            m_rules.append({QRectF(0, y, width, kRowRuleHeight), PreviewTone::faintSeparator});
            y += kRowRuleHeight;
        }
    }
    m_height = y;
    return m_height;
}

std::optional<QString> MarkdownTableView::linkAt(QPointF point) const
{
    for (const Cell &cell : m_cells) {
        if (cell.rect.contains(point))
            return cell.text->linkAt(point - cell.textOrigin);
    }
    return std::nullopt;
}

void MarkdownTableView::paint(QPainter &painter, QPointF origin, const QRectF &clip) const
{
    const QRectF frame(origin, QSizeF(m_width, m_height));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath outline;
    outline.addRoundedRect(frame, kCornerRadius, kCornerRadius);
    painter.setClipPath(outline, Qt::IntersectClip);
    for (const Cell &cell : m_cells) {
        if (cell.background)
            painter.fillRect(cell.rect.translated(origin), previewColor(*cell.background));
    }
    for (const Rule &rule : m_rules)
        painter.fillRect(rule.rect.translated(origin), previewColor(rule.tone));
    const QColor textColor = previewColor(PreviewTone::primary);
    for (const Cell &cell : m_cells) {
        const QRectF area = cell.rect.translated(origin);
        if (area.intersects(clip))
            cell.text->draw(painter, cell.textOrigin + origin, textColor, {}, clip);
    }
    painter.restore();

    // A 1-point line inside the edge: its centre runs half a point in.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(previewColor(PreviewTone::separator), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(frame.adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius - 0.5,
                            kCornerRadius - 0.5);
    painter.restore();
}

} // namespace quillet
