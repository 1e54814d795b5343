#pragma once

#include "preview_block_layout.h"

#include "markdown/markdown_block.h"
#include "markdown/markdown_block_parser.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QList>
#include <QPointer>
#include <QStringView>
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
// The text is parsed again after every change, at most once per frame, from the block the edit
// touches on (MarkdownBlockParser::reparse against the text shown). Texts longer than
// kBackgroundParseSize, or with a block longer than kBackgroundBlockSize, are parsed on a worker
// thread; the shown blocks change when the result arrives, and a result for a text that has
// changed since is dropped in favour of a new parse.
//
// The only interactions: scrolling, selecting code-block content (drag, double-click a word,
// copy with the platform's copy key) and links (a pointing hand and the destination as a tooltip
// over a link; a click opens it when LinkActivation allows, else only shows it).
class PreviewView : public QAbstractScrollArea {
    Q_OBJECT

public:
    static constexpr qreal kMargin = 16;
    static constexpr qreal kBlockSpacing = 4;
    // UTF-16 code units above which the parse leaves the GUI thread (200 KB of ASCII text).
    static constexpr qsizetype kBackgroundParseSize = 200 * 1024;
    // A shorter text goes to the worker too when it holds a stretch of this many UTF-16 code
    // units without a blank line: one block's inline text that long costs the inline parser far
    // more than ordinary prose of the same size (deep nesting, endless openers without closers).
    static constexpr qsizetype kBackgroundBlockSize = 16 * 1024;
    // Whether `text` is parsed on the worker rather than at once.
    static bool parsesInBackground(QStringView text);
    static constexpr int kFrameMilliseconds = 16;

    using UrlOpener = std::function<void(const QUrl &)>;

    explicit PreviewView(QWidget *parent = nullptr);
    ~PreviewView() override;

    void setScratchpad(const std::shared_ptr<Scratchpad> &scratchpad);
    const std::shared_ptr<Scratchpad> &scratchpad() const { return m_scratchpad; }

    // Parses the current text now rather than at the next frame (in the background for a long
    // text); what a frame's tick does.
    void refreshNow();
    // Whether a change of the text has not reached the shown blocks yet.
    bool isRefreshPending() const;
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
    struct ParseResult {
        MarkdownBlockParser::ParsedText parsed;
        QString text;
        quint64 generation = 0;
        // Blocks equal at the start and at the end to those shown in revision `comparedWith`.
        qsizetype prefix = 0;
        qsizetype suffix = 0;
        quint64 comparedWith = 0;
    };
    struct Selection {
        Entry entry;
        int anchor = 0;
        int position = 0;
    };

    void textChanged();
    void scheduleRefresh();
    void startBackgroundParse();
    void backgroundParseFinished();
    // The parse of `text`, from the blocks shown for `shownText` where the edit left them alone.
    static ParseResult parseAgainst(const QString &text, const QString &shownText,
                                    const MarkdownBlockParser::ParsedText &shown);
    MarkdownBlockParser::ParsedText shownParse() const;
    void showBlocks(MarkdownBlockParser::ParsedText parsed, const QString &text,
                    std::optional<std::pair<qsizetype, qsizetype>> match = {});
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
    // The blocks shown, as the parse gave them, and a count of the lists shown so far.
    QList<MarkdownBlock> m_shownBlocks;
    // The line each shown block begins on, and the text they were parsed from.
    QList<qsizetype> m_shownFirstLines;
    QString m_shownText;
    quint64 m_shownRevision = 0;
    // Top of each block in the content, and the end of the column as a last entry.
    QList<qreal> m_tops;
    // The width the blocks before m_layoutFrom are laid out at; blocks from there on may still
    // wait for their layout.
    qreal m_laidOutWidth = -1;
    qsizetype m_layoutFrom = 0;

    QTimer m_refreshTimer;
    QTimer m_layoutTimer;
    QElapsedTimer m_sinceRefresh;
    // Counts the texts asked for; a result made for an older one is stale.
    quint64 m_generation = 0;
    quint64 m_shownGeneration = 0;
    QFutureWatcher<ParseResult> m_parseWatcher;
    bool m_parseRunning = false;

    std::optional<Selection> m_selection;
    bool m_selecting = false;
    std::optional<QString> m_pressedLink;
    UrlOpener m_urlOpener;
};

} // namespace quillet
