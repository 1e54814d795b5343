#pragma once

#include "preview_text.h"

#include "markdown/styled_text.h"

#include <QList>
#include <QRectF>

#include <memory>

class QPainter;

namespace quillet {

// One table of the preview as a grid: the header row, a 1-point rule, then the data rows with
// 0.5-point rules at 40 % between them and every odd row shaded, all inside a rounded outline
// that also clips the grid. Every row has exactly as many cells as the header: missing entries
// are empty cells, surplus ones are not shown.
//
// It is not a widget: the preview lays it out and paints it in place, as it does every block.
// Coordinates are the table's own, from (0, 0) to (width, height()).
class MarkdownTableView {
public:
    static constexpr qreal kHorizontalPadding = 10;
    static constexpr qreal kHeaderVerticalPadding = 6;
    static constexpr qreal kDataVerticalPadding = 5;
    static constexpr qreal kHeaderRuleHeight = 1;
    static constexpr qreal kRowRuleHeight = 0.5;
    static constexpr qreal kCornerRadius = 4;
    // Columns past this many are left out: in the width of the preview they could not be read,
    // and laying out every cell of thousands of them would hold up the event loop.
    static constexpr int kMaximumColumns = 64;

    struct Cell {
        int row; // -1 for the header
        int column;
        // The cell's own area: the column's width and the cell's height, centred in its row.
        QRectF rect;
        QPointF textOrigin;
        std::shared_ptr<PreviewText> text;
        // Filled behind the cell, if any.
        std::optional<PreviewTone> background;
    };
    struct Rule {
        QRectF rect;
        PreviewTone tone;
    };

    MarkdownTableView(const QList<StyledText> &header, const QList<QList<StyledText>> &rows);

    // Lays the grid out across `width`. A column is as wide as its widest cell, and the width
    // left over is shared equally. When the widest cells do not fit together, the columns share
    // the width in proportion to them and their text wraps instead of running off the edge.
    qreal layout(qreal width);

    qreal height() const { return m_height; }
    qreal width() const { return m_width; }
    int columnCount() const { return int(m_columnWidths.size()); }
    const QList<qreal> &columnWidths() const { return m_columnWidths; }
    const QList<Cell> &cells() const { return m_cells; }
    const QList<Rule> &rules() const { return m_rules; }

    std::optional<QString> linkAt(QPointF point) const;
    void paint(QPainter &painter, QPointF origin, const QRectF &clip) const;

private:
    QList<Cell> m_cells;
    QList<Rule> m_rules;
    QList<qreal> m_columnWidths;
    QList<qreal> m_naturalWidths;
    int m_rowCount = 0;
    qreal m_width = 0;
    qreal m_height = 0;
};

} // namespace quillet
