#pragma once

#include "preview_text.h"

#include "markdown/styled_text.h"
#include "style/theme.h"

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
// Coordinates are the table's own, from (0, 0) to (width(), height()).
//
// A long table is drawn as a stack of slices, each a MarkdownTableView of some of its rows:
// only the first has the header and the top corners, only the last the bottom corners, and all
// share the column widths of the whole table.
class MarkdownTableView {
public:
    static constexpr qreal kHorizontalPadding = 10;
    static constexpr qreal kHeaderVerticalPadding = 6;
    static constexpr qreal kDataVerticalPadding = 5;
    static constexpr qreal kHeaderRuleHeight = 1;
    static constexpr qreal kRowRuleHeight = 0.5;
    static constexpr qreal kCornerRadius = 4;
    // Columns past this many are left out: laying out every cell of thousands of them would
    // hold up the event loop, and a table that wide is unreadable anyway.
    static constexpr int kMaximumColumns = 64;
    // A word wider than this wraps anywhere rather than widening its column further.
    static constexpr qreal kLongestUnwrappedWord = 240;

    struct Cell {
        int row; // -1 for the header
        int column;
        // The cell's own area: the column's width and the row's height. Its text is clipped
        // to it.
        QRectF rect;
        QPointF textOrigin;
        std::shared_ptr<PreviewText> text;
        // The row's shading, filled once per row.
        std::optional<Theme::Tone> background;
    };
    struct Rule {
        QRectF rect;
        Theme::Tone tone;
    };
    // What the cells of one column need: the longest word and the widest cell, padding included.
    struct ColumnNeeds {
        QList<qreal> minimum;
        QList<qreal> natural;
        // Merges `other`, column by column, keeping the larger needs.
        void merge(const ColumnNeeds &other);
        friend bool operator==(const ColumnNeeds &, const ColumnNeeds &) = default;
    };

    // Rows `firstRow` on of a table; `opens` shows the header (the top slice), `closes` ends
    // the table with its last row (the bottom slice).
    MarkdownTableView(const QList<StyledText> &header, const QList<QList<StyledText>> &rows,
                      qsizetype firstRow = 0, bool opens = true, bool closes = true);

    const ColumnNeeds &needs() const { return m_needs; }
    // The widths of columns with these needs in `width`: each column gets its widest cell and
    // the surplus is shared equally. When that does not fit, the narrow columns keep their
    // widest cell and only the wide ones wrap, never below their longest word; when even the
    // longest words do not fit, the table is wider than `width`.
    static QList<qreal> fitColumns(const ColumnNeeds &needs, qreal width);

    // Lays the grid out across `width` with the slice's own needs.
    qreal layout(qreal width);
    // Lays the grid out with the given column widths.
    qreal layout(const QList<qreal> &columnWidths);

    qreal height() const { return m_height; }
    qreal width() const { return m_width; }
    int columnCount() const { return int(m_needs.natural.size()); }
    const QList<qreal> &columnWidths() const { return m_columnWidths; }
    const QList<Cell> &cells() const { return m_cells; }
    const QList<Rule> &rules() const { return m_rules; }

    std::optional<QString> linkAt(QPointF point) const;
    void paint(QPainter &painter, QPointF origin, const QRectF &clip) const;

private:
    struct Row {
        QRectF rect;
        std::optional<Theme::Tone> background;
    };

    QList<Cell> m_cells;
    QList<Row> m_rows;
    QList<Rule> m_rules;
    QList<qreal> m_columnWidths;
    ColumnNeeds m_needs;
    int m_rowCount = 0;
    bool m_opens = true;
    bool m_closes = true;
    qreal m_width = 0;
    qreal m_height = 0;
};

} // namespace quillet
