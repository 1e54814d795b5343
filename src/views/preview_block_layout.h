#pragma once

#include "markdown_table_view.h"
#include "preview_text.h"

#include "markdown/markdown_block.h"

#include <QList>
#include <QRectF>
#include <QString>

#include <memory>
#include <optional>

class QPainter;

namespace quillet {

// One block of the preview laid out at a column width: a short list of what it paints (areas
// to fill, pieces of text, symbols and at most one table), in the block's own coordinates, x
// from 0 to the width and y from 0 to height(). The preview keeps one per block and lays it out
// again only when the block or the width changes.
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
        PreviewTone tone;
        qreal cornerRadius = 0;
    };
    struct Text {
        Part part;
        QPointF origin;
        std::shared_ptr<PreviewText> text;
        PreviewTone tone;
        // The list item a marker or item text belongs to, else -1.
        int item = -1;
    };
    struct Symbol {
        QString name;
        QRectF rect;
        PreviewTone tone;
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

    explicit PreviewBlockLayout(MarkdownBlock block);

    const MarkdownBlock &block() const { return m_block; }

    // Builds the pieces for `width`. Cheap to ask again at the same width: nothing is redone.
    void layout(qreal width);
    bool isLaidOutAt(qreal width) const { return m_laidOut && m_width == width; }
    // Forgets the pieces (after a change of appearance) but keeps the height as an estimate.
    void invalidate() { m_laidOut = false; }
    // The height when laid out, else an estimate from the text's length for `width`.
    qreal height() const { return m_height; }
    void estimateHeight(qreal width);
    // How often this block has been laid out.
    int timesLaidOut() const { return m_timesLaidOut; }

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
    void layoutText(Part part, const StyledText &styled, QPointF origin, qreal width,
                    PreviewTone tone);
    qreal layoutList(qreal width);

    MarkdownBlock m_block;
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
