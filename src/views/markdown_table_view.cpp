#include "markdown_table_view.h"

#include "view_style.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <numeric>

namespace quillet {

using Theme::Tone;

namespace {

// The outline of a slice: rounded where it ends the table, straight where another slice goes on.
QPainterPath outlineOf(const QRectF &frame, bool opens, bool closes, qreal inset)
{
    const qreal reach = 2 * MarkdownTableView::kCornerRadius;
    const QRectF rounded =
        frame.adjusted(inset, opens ? inset : -reach, -inset, closes ? -inset : reach);
    QPainterPath path;
    path.addRoundedRect(rounded, MarkdownTableView::kCornerRadius - inset,
                        MarkdownTableView::kCornerRadius - inset);
    return path;
}

} // namespace

void MarkdownTableView::ColumnNeeds::merge(const ColumnNeeds &other)
{
    if (minimum.size() < other.minimum.size()) {
        minimum.resize(other.minimum.size(), 0);
        natural.resize(other.natural.size(), 0);
    }
    for (qsizetype c = 0; c < other.minimum.size(); ++c) {
        minimum[c] = std::max(minimum[c], other.minimum[c]);
        natural[c] = std::max(natural[c], other.natural[c]);
    }
}

MarkdownTableView::MarkdownTableView(const QList<StyledText> &header,
                                     const QList<QList<StyledText>> &rows, qsizetype firstRow,
                                     bool opens, bool closes)
    : m_opens(opens)
    , m_closes(closes)
{
    const int columns = std::clamp<int>(int(header.size()), 1, kMaximumColumns);
    m_rowCount = int(rows.size());
    const QFont headerFont = ViewStyle::systemFont(13, QFont::DemiBold);
    const QFont dataFont = ViewStyle::systemFont(13);
    const StyledText empty;
    if (opens) {
        for (int c = 0; c < columns; ++c) {
            const StyledText &text = c < header.size() ? header.at(c) : empty;
            m_cells.append({-1,
                            c,
                            {},
                            {},
                            std::make_shared<PreviewText>(text, headerFont),
                            Tone::controlBackground});
        }
    }
    for (int r = 0; r < m_rowCount; ++r) {
        const QList<StyledText> &row = rows.at(r);
        const int shownRow = int(firstRow) + r;
        std::optional<Tone> shade;
        if (shownRow % 2 == 1)
            shade = Tone::faintControlBackground;
        for (int c = 0; c < columns; ++c) {
            const StyledText &text = c < row.size() ? row.at(c) : empty;
            m_cells.append(
                {shownRow, c, {}, {}, std::make_shared<PreviewText>(text, dataFont), shade});
        }
    }
    m_needs.minimum.fill(2 * kHorizontalPadding, columns);
    m_needs.natural.fill(2 * kHorizontalPadding, columns);
    for (Cell &cell : m_cells) {
        const qreal natural = cell.text->naturalWidth();
        qreal &widest = m_needs.natural[cell.column];
        widest = std::max(widest, natural + 2 * kHorizontalPadding);
        // A cell narrower than the longest word found so far cannot hold a longer one.
        qreal &longest = m_needs.minimum[cell.column];
        if (natural + 2 * kHorizontalPadding > longest) {
            const qreal word = std::min(cell.text->longestWordWidth(), kLongestUnwrappedWord);
            longest = std::max(longest, word + 2 * kHorizontalPadding);
        }
    }
}

QList<qreal> MarkdownTableView::fitColumns(const ColumnNeeds &needs, qreal width)
{
    const qsizetype columns = needs.natural.size();
    if (columns == 0)
        return {};
    QList<qreal> widths = needs.natural;
    const qreal natural = std::accumulate(widths.begin(), widths.end(), 0.0);
    if (natural <= width) {
        const qreal extra = (width - natural) / qreal(columns);
        for (qreal &column : widths)
            column += extra;
        return widths;
    }
    const qreal minimum = std::accumulate(needs.minimum.begin(), needs.minimum.end(), 0.0);
    if (minimum >= width)
        return needs.minimum;
    // Every column wider than a common cap is cut to it (never below its longest word); the cap
    // is found by halving, as the total width grows with it.
    const auto widthsAt = [&](qreal cap) {
        QList<qreal> capped(columns);
        for (qsizetype c = 0; c < columns; ++c)
            capped[c] =
                std::clamp(cap, needs.minimum[c], std::max(needs.minimum[c], needs.natural[c]));
        return capped;
    };
    qreal low = 0;
    qreal high = *std::max_element(needs.natural.begin(), needs.natural.end());
    for (int step = 0; step < 40; ++step) {
        const qreal cap = (low + high) / 2;
        const QList<qreal> capped = widthsAt(cap);
        if (std::accumulate(capped.begin(), capped.end(), 0.0) > width)
            high = cap;
        else
            low = cap;
    }
    widths = widthsAt(low);
    // What the halving left over goes to the last column that was cut.
    const qreal left = width - std::accumulate(widths.begin(), widths.end(), 0.0);
    for (qsizetype c = columns - 1; c >= 0; --c) {
        if (widths[c] < needs.natural[c]) {
            widths[c] += std::max<qreal>(0, left);
            break;
        }
    }
    return widths;
}

qreal MarkdownTableView::layout(qreal width)
{
    return layout(fitColumns(m_needs, width));
}

qreal MarkdownTableView::layout(const QList<qreal> &columnWidths)
{
    const int columns = columnCount();
    m_columnWidths = columnWidths;
    m_columnWidths.resize(columns, 2 * kHorizontalPadding);
    m_width = std::accumulate(m_columnWidths.begin(), m_columnWidths.end(), 0.0);
    QList<qreal> lefts(columns, 0);
    for (int c = 1; c < columns; ++c)
        lefts[c] = lefts[c - 1] + m_columnWidths[c - 1];

    m_rules.clear();
    m_rows.clear();
    qreal y = 0;
    for (qsizetype index = 0; index < m_cells.size(); index += columns) {
        const int r = m_cells.at(index).row;
        const qreal padding = r < 0 ? kHeaderVerticalPadding : kDataVerticalPadding;
        qreal rowHeight = 0;
        for (int c = 0; c < columns; ++c) {
            Cell &cell = m_cells[index + c];
            const qreal textWidth = std::max<qreal>(1, m_columnWidths[c] - 2 * kHorizontalPadding);
            rowHeight = std::max(rowHeight, cell.text->layout(textWidth) + 2 * padding);
        }
        for (int c = 0; c < columns; ++c) {
            Cell &cell = m_cells[index + c];
            const qreal top = y + (rowHeight - cell.text->height()) / 2;
            cell.rect = QRectF(lefts[c], y, m_columnWidths[c], rowHeight);
            cell.textOrigin = QPointF(lefts[c] + kHorizontalPadding, top);
        }
        m_rows.append({QRectF(0, y, m_width, rowHeight), m_cells.at(index).background});
        y += rowHeight;
        const bool lastRow = index + columns >= m_cells.size();
        if (r < 0) {
            m_rules.append({QRectF(0, y, m_width, kHeaderRuleHeight), Tone::separator});
            y += kHeaderRuleHeight;
        } else if (!lastRow || !m_closes) {
            m_rules.append({QRectF(0, y, m_width, kRowRuleHeight), Tone::faintSeparator});
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
    QPainterPath area;
    area.addRect(frame);
    painter.setClipPath(area.intersected(outlineOf(frame, m_opens, m_closes, 0)),
                        Qt::IntersectClip);
    // One fill per row: cell by cell, the antialiased edges of neighbours leave seams.
    for (const Row &row : m_rows) {
        const QRectF rect = row.rect.translated(origin);
        if (row.background && rect.intersects(clip))
            painter.fillRect(rect, Theme::color(*row.background));
    }
    for (const Rule &rule : m_rules)
        painter.fillRect(rule.rect.translated(origin), Theme::color(rule.tone));
    const QColor textColor = Theme::color(Tone::primary);
    for (const Cell &cell : m_cells) {
        const QRectF rect = cell.rect.translated(origin);
        if (!rect.intersects(clip))
            continue;
        painter.save();
        painter.setClipRect(rect, Qt::IntersectClip);
        cell.text->draw(painter, cell.textOrigin + origin, textColor, {}, clip);
        painter.restore();
    }
    painter.restore();

    // A 1-point line inside the edge: its centre runs half a point in.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(frame, Qt::IntersectClip);
    painter.setPen(QPen(Theme::color(Tone::separator), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outlineOf(frame, m_opens, m_closes, 0.5));
    painter.restore();
}

} // namespace quillet
