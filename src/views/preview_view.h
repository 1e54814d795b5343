#pragma once

#include "preview_block_layout.h"

#include "markdown/markdown_block.h"
#include "markdown/markdown_parse_scheduler.h"

#include <QAbstractScrollArea>
#include <QList>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace quillet {

class Scratchpad;

// The Markdown preview of one scratchpad: its blocks, top to bottom, in a column with 16 points
// of margin and 4 points between blocks, on the preview background, scrolling vertically.
//
// Built for long documents: it is one painted view, not a widget per block. Each block keeps its
// own layout (PreviewBlockLayout); after a change of the text the new blocks are matched to the
// shown ones by position, from the start and from the end, and a block equal to the one it
// matches keeps its layout, so an edit lays out only the blocks it changed. Only the blocks in
// view are painted, and blocks not yet laid out (after a resize, or a new document) are laid out
// when they come into view and otherwise a few milliseconds at a time between events. When real
// heights replace estimated ones above the view, or blocks are added or removed above it, the
// scroll value moves with them, so the first block in view stays where it is on screen.
//
// The text is parsed again after every change by a MarkdownParseScheduler (at most once per
// frame, a long text on a worker); the shown blocks change when its blocks arrive.
//
// The only interactions: scrolling, selecting code-block content (drag, double-click a word,
// copy with the platform's copy key) and links (a pointing hand and the destination as a tooltip
// over a link; a click opens it when LinkActivation allows, else only shows it).
class PreviewView : public QAbstractScrollArea {
    Q_OBJECT

public:
    static constexpr qreal kMargin = 16;
    static constexpr qreal kBlockSpacing = 4;

    using UrlOpener = std::function<void(const QUrl &)>;

    explicit PreviewView(QWidget *parent = nullptr);
    ~PreviewView() override;

    void setScratchpad(const std::shared_ptr<Scratchpad> &scratchpad);
    const std::shared_ptr<Scratchpad> &scratchpad() const { return m_scratchpad; }

    // Parses the current text now rather than at the next frame (in the background for a long
    // text); what a frame's tick does.
    void refreshNow() { m_parser.refreshNow(); }
    // Whether a change of the text has not reached the shown blocks yet.
    bool isRefreshPending() const { return m_parser.isPending(); }
    // Whether blocks out of view still wait for their layout at the current width.
    bool isLayoutPending() const { return m_layoutTimer.isActive(); }

    qsizetype blockCount() const { return m_entries.size(); }
    const MarkdownBlock &block(qsizetype index) const { return m_entries.at(index)->block(); }
    // The layout of a block at the current width, laid out now if it was not.
    const PreviewBlockLayout &blockLayout(qsizetype index);
    // The block's area in the content (scrolled) coordinates of the view.
    QRectF blockRect(qsizetype index);
    // The same from the heights known now, estimated for a block not laid out yet: for readers
    // of the blocks that must not cost a layout.
    QRectF knownBlockRect(qsizetype index) const;
    // The block's layout as it stands, not laid out for the asking. It lives as long as the block
    // is shown, so it names the block while blocks around it come and go.
    std::shared_ptr<const PreviewBlockLayout> blockEntry(qsizetype index) const
    {
        return m_entries.at(index);
    }
    // Index of the block at content height `y`, or -1.
    qsizetype blockAt(qreal y) const;
    // Where that block is now, or -1 once it is gone.
    qsizetype indexOfBlock(const PreviewBlockLayout *entry) const;
    qreal columnWidth() const;
    qreal contentHeight() const;

    // The selected part of a code block's content, or an empty string.
    QString selectedText() const;

    // What a click on an openable link calls; the desktop's default handler unless replaced.
    void setUrlOpener(UrlOpener opener);

signals:
    // New blocks are shown: `added` blocks from index `first` on took the place of `removed`
    // ones; those before and after are the same objects as before (blockEntry).
    void blocksChanged(qsizetype first, qsizetype removed, qsizetype added);
    // A link was activated; `opened` tells whether it went to the URL opener or was only shown.
    void linkActivated(const QString &destination, bool opened);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    using Entry = std::shared_ptr<PreviewBlockLayout>;
    struct Selection {
        Entry entry;
        int anchor = 0;
        int position = 0;
    };

    // Shows the parser's new blocks: `added` from `first` on replace `removed` entries.
    void showBlocks(const QList<MarkdownBlock> &blocks, qsizetype first, qsizetype removed,
                    qsizetype added);
    // The first block in view and where in it the scroll value lies (PreviewBlockLayout::anchorAt).
    struct ScrollAnchor {
        qsizetype index = -1;
        std::pair<qsizetype, qreal> offset{-1, 0};
    };

    // Recomputes the tops from block `first` on (those above it are unchanged) and the scroll
    // range, and starts laying out blocks out of view if some wait for it.
    void updateGeometryOfContent(qsizetype first = 0);
    ScrollAnchor scrollAnchor() const;
    // Scrolls so that the anchor's block is where it was on screen, after heights above changed.
    void restoreScrollAnchor(const ScrollAnchor &anchor);
    void layOutVisible();
    // The sideways scroll range: how far the widest table reaches past the column.
    void updateHorizontalRange();
    // Frees the slices of long blocks that are far from the view again.
    void releaseFarSlices();
    void layOutSomeMore();
    void invalidateAll();
    QPointF contentPoint(QPointF viewportPoint) const;
    std::optional<QString> linkAt(QPointF viewportPoint) const;
    std::optional<int> codePositionAt(const Entry &entry, QPointF blockPoint,
                                      bool clampOutside) const;
    QPointF blockOrigin(qsizetype index) const;
    qsizetype indexOf(const Entry &entry) const;
    void copySelection() const;

    std::shared_ptr<Scratchpad> m_scratchpad;
    QMetaObject::Connection m_contentConnection;
    QList<Entry> m_entries;
    // Long blocks with slices laid out, released as the view leaves them.
    QList<Entry> m_holdingSlices;
    // Top of each block in the content, and the end of the column as a last entry.
    QList<qreal> m_tops;
    // The width the blocks before m_layoutFrom are laid out at; blocks from there on may still
    // wait for their layout.
    qreal m_laidOutWidth = -1;
    qsizetype m_layoutFrom = 0;

    QTimer m_layoutTimer;
    MarkdownParseScheduler m_parser;

    std::optional<Selection> m_selection;
    bool m_selecting = false;
    std::optional<QString> m_pressedLink;
    UrlOpener m_urlOpener;
};

} // namespace quillet
