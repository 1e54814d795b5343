#pragma once

#include "markdown_table_view.h"
#include "preview_text.h"

#include "markdown/markdown_block.h"

#include <QList>
#include <QRectF>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QPainter;

namespace quillet {

// One block of the preview laid out at a column width: a short list of what it paints (areas
// to fill, pieces of text, symbols and at most one table), in the block's own coordinates, x
// from 0 to the width and y from 0 to height(). The preview keeps one per block and lays it out
// again only when the block or the width changes.
//
// A table, list or code block longer than one slice (kSliceRows rows or items, kSliceCells
// table cells, kSliceLines lines) is laid out by slices, each the layout of some of its rows:
// layout() only places them, with estimated heights, and the slices themselves are laid out when
// they come into view (layOutRange) or a few at a time in between (measureNextSlice), and released
// again when far from it. So an edit inside a block of 20,000 rows lays out a screenful, and the
// memory held follows what is shown.
class PreviewBlockLayout {
public:
    // What a painted piece is, so that a reader of the layout can find it.
    enum class Part {
        heading,
        paragraph,
        codeBox,
        codeLabel,
        codeContent,
        quoteBar,
        quoteText,
        marker,
        itemText,
        rule,
    };

    struct Fill {
        Part part;
        QRectF rect;
        Theme::Tone tone;
        qreal cornerRadius = 0;
        // A slice in the middle of a code box has square corners where the box goes on.
        bool roundsTop = true;
        bool roundsBottom = true;
    };
    struct Text {
        Part part;
        QPointF origin;
        std::shared_ptr<PreviewText> text;
        Theme::Tone tone;
        // The list item a marker or item text belongs to, else -1.
        int item = -1;
    };
    struct Symbol {
        QString name;
        QRectF rect;
        Theme::Tone tone;
        int item = -1;
    };

    static constexpr qreal kEmptyLineHeight = 2;
    static constexpr qreal kRulePadding = 8;
    static constexpr qreal kCodePadding = 12;
    static constexpr qreal kCodeLabelTop = 8;
    static constexpr qreal kCodeOuterPadding = 4;
    static constexpr qreal kCodeCornerRadius = 6;
    static constexpr qreal kQuoteBarWidth = 3;
    static constexpr qreal kQuoteTextLeading = 12;
    static constexpr qreal kQuoteVerticalPadding = 4;
    static constexpr qreal kItemSpacing = 2;
    static constexpr qreal kMarkerGap = 6;
    static constexpr qreal kTablePadding = 8;
    static constexpr qsizetype kSliceRows = 16;
    static constexpr qsizetype kSliceCells = 32;
    static constexpr qsizetype kSliceLines = 64;

    // `previous`, the layout this block replaces, lends it the slices that did not change.
    explicit PreviewBlockLayout(MarkdownBlock block, PreviewBlockLayout *previous = nullptr);
    ~PreviewBlockLayout();
    PreviewBlockLayout(const PreviewBlockLayout &) = delete;
    PreviewBlockLayout &operator=(const PreviewBlockLayout &) = delete;

    const MarkdownBlock &block() const { return m_block; }

    // Builds the pieces for `width`. Cheap to ask again at the same width: nothing is redone.
    void layout(qreal width);
    bool isLaidOutAt(qreal width) const { return m_laidOut && m_width == width; }
    // Forgets the pieces (after a change of appearance) but keeps the height as an estimate.
    void invalidate();
    // The height when laid out, else an estimate from the text's length for `width`.
    qreal height() const { return m_height; }
    void estimateHeight(qreal width);
    // How often this block has been laid out.
    int timesLaidOut() const { return m_timesLaidOut; }
    // The width it paints across: the column's, or more for a table whose words do not fit.
    qreal paintedWidth() const;

    bool isSliced() const { return !m_slices.empty(); }
    qsizetype sliceCount() const { return qsizetype(m_slices.size()); }
    // The slices laid out now (holding their pieces).
    qsizetype slicesHeld() const;
    // Lays out the slices that meet `top` to `bottom` (block coordinates) at the current width;
    // returns whether the height changed.
    bool layOutRange(qreal top, qreal bottom);
    // Lays out one slice not laid out at the current width yet, to learn its height (and a
    // table's column needs), and releases it again unless it meets `keepTop` to `keepBottom`.
    // Returns whether the height changed; isMeasured() tells when none is left.
    bool measureNextSlice(qreal keepTop, qreal keepBottom);
    bool isMeasured() const;
    // Releases the pieces of slices outside `keepTop` to `keepBottom`.
    void releaseOutside(qreal keepTop, qreal keepBottom);
    // Slice `index` when it is laid out, else null; and its top in the block.
    const PreviewBlockLayout *slice(qsizetype index) const
    {
        return m_slices.at(size_t(index)).layout.get();
    }
    qreal sliceTop(qsizetype index) const { return m_slices.at(size_t(index)).top; }
    // A place in the block that stays put when slices before it get their real height: the
    // slice it is in and the distance from the slice's top.
    std::pair<qsizetype, qreal> anchorAt(qreal y) const;
    qreal positionOf(std::pair<qsizetype, qreal> anchor) const;
    // The position in a code block's content nearest to `point`, or nothing outside the code
    // content unless `clampOutside`.
    std::optional<int> codePositionAt(QPointF point, bool clampOutside) const;

    const QList<Fill> &fills() const { return m_fills; }
    const QList<Text> &texts() const { return m_texts; }
    const QList<Symbol> &symbols() const { return m_symbols; }
    // The table of a table block, with its origin in the block.
    const MarkdownTableView *table() const { return m_table.get(); }
    QPointF tableOrigin() const { return m_tableOrigin; }

    // The first piece of text of that part, or null.
    const Text *text(Part part) const;
    // The code content's area within the box: where a press starts a selection.
    std::optional<QRectF> codeContentArea() const;

    std::optional<QString> linkAt(QPointF point) const;

    // Paints at `origin`; `selection` (start, length) highlights part of the code content.
    void paint(QPainter &painter, QPointF origin, const QRectF &clip,
               std::optional<std::pair<int, int>> selection = std::nullopt) const;

    // The marker of item `position` of an ordered list starting at `start`: the exact decimal
    // sum and a point, even where the sum leaves the 64-bit range.
    static QString orderedMarker(qint64 start, qsizetype position);

private:
    // Where a slice sits in the whole block, and what the whole block decides for it.
    struct Segment {
        qsizetype firstRow = 0;
        bool opens = true;
        bool closes = true;
        QList<qreal> columnWidths;
        qreal markerSlot = 0;
        // Of a code slice: where its text starts in the block's content.
        qsizetype contentOffset = 0;
    };
    struct Slice {
        Slice(MarkdownBlock block, Segment segment)
            : block(std::move(block))
            , segment(std::move(segment))
        {
        }
        MarkdownBlock block;
        Segment segment;
        std::unique_ptr<PreviewBlockLayout> layout; // null while released
        qreal top = 0;
        qreal height = 0;
        // The width and column widths its height was found at.
        qreal measuredWidth = -1;
        QList<qreal> measuredColumns;
        std::optional<MarkdownTableView::ColumnNeeds> needs;
    };

    PreviewBlockLayout(MarkdownBlock block, Segment segment);
    void layoutText(Part part, const StyledText &styled, QPointF origin, qreal width,
                    Theme::Tone tone);
    qreal layoutList(qreal width);
    qreal listMarkerSlot() const;
    void makeSlices(PreviewBlockLayout *previous);
    void layoutSliced(qreal width);
    bool isCurrent(const Slice &slice) const;
    // Whether the slice's height holds at the current width and columns.
    bool isMeasured(const Slice &slice) const;
    // Lays the slice out now; returns whether its height changed.
    bool layOutSlice(Slice &slice);
    // Recomputes the slices' tops and the block's height; returns whether the height changed.
    bool restack();
    // A table's column widths from the needs of the slices measured so far.
    void fitSlicedColumns();
    qsizetype sliceAt(qreal y) const;

    MarkdownBlock m_block;
    Segment m_segment;
    std::vector<Slice> m_slices;
    QList<qreal> m_columnWidths;
    QList<Fill> m_fills;
    QList<Text> m_texts;
    QList<Symbol> m_symbols;
    std::unique_ptr<MarkdownTableView> m_table;
    QPointF m_tableOrigin;
    qreal m_width = -1;
    qreal m_height = 0;
    bool m_laidOut = false;
    int m_timesLaidOut = 0;
};

} // namespace quillet
