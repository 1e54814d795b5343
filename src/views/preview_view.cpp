#include "preview_view.h"

#include "link_activation.h"
#include "view_style.h"

#include "model/scratchpad.h"
#include "style/theme.h"
#include "text/text_rules.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace quillet {

namespace {

// Time given to laying out blocks outside the view between two turns of the event loop.
constexpr qint64 kLayoutSliceMilliseconds = 4;

// By code point, so letters outside the Basic Multilingual Plane belong to their word.
bool isWordCharacter(char32_t c)
{
    return QChar::isLetterOrNumber(c) || c == U'_' || QChar::isMark(c);
}

} // namespace

PreviewView::PreviewView(QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_urlOpener([](const QUrl &url) { QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("preview"));
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::ClickFocus);
    // Only a table whose words do not fit makes the column wider than the view.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    horizontalScrollBar()->setSingleStep(20);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(20);
    m_layoutTimer.setSingleShot(true);
    connect(&m_layoutTimer, &QTimer::timeout, this, &PreviewView::layOutSomeMore);
    connect(&m_parser, &MarkdownParseScheduler::blocksReady, this, &PreviewView::showBlocks);
}

PreviewView::~PreviewView() = default;

void PreviewView::setScratchpad(const std::shared_ptr<Scratchpad> &scratchpad)
{
    if (scratchpad == m_scratchpad)
        return;
    disconnect(m_contentConnection);
    m_scratchpad = scratchpad;
    m_selection.reset();
    const qsizetype dropped = m_entries.size();
    m_entries.clear();
    m_holdingSlices.clear();
    m_tops.clear();
    m_layoutFrom = 0;
    if (m_scratchpad) {
        m_contentConnection = connect(m_scratchpad.get(), &Scratchpad::contentChanged, &m_parser,
                                      &MarkdownParseScheduler::textChanged);
    }
    verticalScrollBar()->setValue(0);
    // A long text is parsed in the background: until then nothing is shown.
    emit blocksChanged(0, dropped, 0);
    MarkdownParseScheduler::TextSource source;
    if (m_scratchpad)
        source = [pad = m_scratchpad.get()] { return pad->content(); };
    m_parser.restart(std::move(source));
}

void PreviewView::showBlocks(const QList<MarkdownBlock> &blocks, qsizetype prefix,
                             qsizetype removed, qsizetype added)
{
    // Only the blocks between the equal ends are replaced, in place, so that an edit costs in
    // proportion to what it changed and not to the length of the document.
    const qsizetype oldCount = m_entries.size();
    const qsizetype suffix = oldCount - prefix - removed;

    ScrollAnchor anchor = scrollAnchor();
    if (anchor.index >= oldCount - suffix)
        anchor.index += added - removed;
    else if (anchor.index >= prefix)
        anchor = {}; // the block in view itself changed: the scroll value stays
    if (m_selection) {
        for (qsizetype i = prefix; i < prefix + removed; ++i) {
            if (m_entries.at(i) == m_selection->entry) {
                m_selection.reset();
                break;
            }
        }
    }
    if (m_layoutFrom >= oldCount - suffix)
        m_layoutFrom += added - removed;
    else if (m_layoutFrom > prefix)
        m_layoutFrom = prefix;

    for (qsizetype i = prefix; i < prefix + removed; ++i)
        m_holdingSlices.removeOne(m_entries.at(i));
    if (added > removed)
        m_entries.insert(prefix + removed, added - removed, Entry());
    else if (removed > added)
        m_entries.remove(prefix + added, removed - added);
    const qreal width = columnWidth();
    // The changed blocks are few after an edit: lay them out at once so nothing jumps. A long
    // block is only placed here; its slices in view are laid out when painted.
    const bool layOutNow = added <= 64;
    for (qsizetype i = 0; i < added; ++i) {
        // A block edited in place lends its new layout the slices that stayed the same.
        PreviewBlockLayout *replaced =
            i < std::min(added, removed) ? m_entries.at(prefix + i).get() : nullptr;
        auto entry = std::make_shared<PreviewBlockLayout>(blocks.at(prefix + i), replaced);
        if (layOutNow)
            entry->layout(width);
        else
            entry->estimateHeight(width);
        m_entries[prefix + i] = std::move(entry);
    }
    // A long block laid out now is only placed: its slices still wait for their heights.
    const bool sliced = std::any_of(m_entries.begin() + prefix, m_entries.begin() + prefix + added,
                                    [](const Entry &entry) { return entry->isSliced(); });
    if (!layOutNow || sliced)
        m_layoutFrom = std::min(m_layoutFrom, prefix);

    updateGeometryOfContent(prefix);
    restoreScrollAnchor(anchor);
    viewport()->update();
    emit blocksChanged(prefix, removed, added);
}

qreal PreviewView::columnWidth() const
{
    return std::max<qreal>(1, viewport()->width() - 2 * kMargin);
}

qreal PreviewView::contentHeight() const
{
    return m_tops.isEmpty() ? 2 * kMargin : m_tops.last() + kMargin;
}

void PreviewView::updateGeometryOfContent(qsizetype first)
{
    const qsizetype count = m_entries.size();
    m_tops.resize(count + 1);
    first = std::clamp<qsizetype>(first, 0, count);
    qreal y = kMargin;
    if (first > 0)
        y = m_tops.at(first - 1) + m_entries.at(first - 1)->height() + kBlockSpacing;
    for (qsizetype i = first; i < count; ++i) {
        m_tops[i] = y;
        y += m_entries.at(i)->height() + kBlockSpacing;
    }
    m_tops[count] = count == 0 ? kMargin : y - kBlockSpacing;
    QScrollBar *bar = verticalScrollBar();
    bar->setPageStep(viewport()->height());
    bar->setRange(0, std::max(0, int(std::ceil(contentHeight())) - viewport()->height()));
    updateHorizontalRange();

    const qreal width = columnWidth();
    if (width != m_laidOutWidth) {
        m_laidOutWidth = width;
        m_layoutFrom = 0;
    }
    if (m_layoutFrom < count && !m_layoutTimer.isActive())
        m_layoutTimer.start(0);
}

PreviewView::ScrollAnchor PreviewView::scrollAnchor() const
{
    const qreal scroll = verticalScrollBar()->value();
    const qsizetype index = blockAt(scroll);
    if (index < 0)
        return {};
    return {index, m_entries.at(index)->anchorAt(scroll - m_tops.at(index))};
}

void PreviewView::restoreScrollAnchor(const ScrollAnchor &anchor)
{
    if (anchor.index < 0 || anchor.index >= m_entries.size())
        return;
    const qreal offset = m_entries.at(anchor.index)->positionOf(anchor.offset);
    verticalScrollBar()->setValue(int(std::lround(m_tops.at(anchor.index) + offset)));
}

void PreviewView::layOutSomeMore()
{
    const qreal width = columnWidth();
    QElapsedTimer slice;
    slice.start();
    const ScrollAnchor anchor = scrollAnchor();
    qsizetype firstChanged = -1;
    bool laidOut = false;
    const qreal viewTop = verticalScrollBar()->value();
    const qreal keepAbove = viewTop - viewport()->height();
    const qreal keepBelow = viewTop + 2 * viewport()->height();
    qsizetype i = m_layoutFrom;
    for (; i < m_entries.size(); ++i) {
        const Entry &entry = m_entries.at(i);
        if (entry->isLaidOutAt(width) && (!entry->isSliced() || entry->isMeasured()))
            continue;
        if (slice.elapsed() >= kLayoutSliceMilliseconds)
            break;
        const qreal before = entry->height();
        if (!entry->isLaidOutAt(width))
            entry->layout(width);
        // A long block one slice at a time, each released again unless it is near the view.
        while (entry->isSliced() && !entry->isMeasured() &&
               slice.elapsed() < kLayoutSliceMilliseconds)
            entry->measureNextSlice(keepAbove - m_tops.at(i), keepBelow - m_tops.at(i));
        if (entry->isSliced() && entry->slicesHeld() > 0 && !m_holdingSlices.contains(entry))
            m_holdingSlices.append(entry);
        laidOut = true;
        if (firstChanged < 0 && entry->height() != before)
            firstChanged = i;
        if (entry->isSliced() && !entry->isMeasured())
            break;
    }
    m_layoutFrom = i;
    if (firstChanged >= 0) {
        updateGeometryOfContent(firstChanged);
        // Real heights replace estimates above the view too; what is shown stays in place.
        restoreScrollAnchor(anchor);
    }
    if (laidOut) {
        updateHorizontalRange();
        viewport()->update();
    }
    if (m_layoutFrom < m_entries.size() && !m_layoutTimer.isActive())
        m_layoutTimer.start(0);
}

void PreviewView::layOutVisible()
{
    const qreal width = columnWidth();
    // Laying a block out can change its height and so what is in view; a few rounds settle it.
    for (int round = 0; round < 4; ++round) {
        const ScrollAnchor anchor = scrollAnchor();
        const qreal top = verticalScrollBar()->value();
        const qreal bottom = top + viewport()->height();
        qsizetype firstChanged = -1;
        for (qsizetype i = std::max<qsizetype>(0, blockAt(top)); i < m_entries.size(); ++i) {
            if (m_tops.at(i) > bottom)
                break;
            const Entry &entry = m_entries.at(i);
            const qreal before = entry->height();
            if (!entry->isLaidOutAt(width))
                entry->layout(width);
            if (entry->isSliced()) {
                // The slices in view, and a little beyond so a short scroll finds them ready.
                const qreal margin = viewport()->height() / 2;
                entry->layOutRange(top - m_tops.at(i) - margin, bottom - m_tops.at(i) + margin);
                if (!m_holdingSlices.contains(entry))
                    m_holdingSlices.append(entry);
            }
            if (firstChanged < 0 && before != entry->height())
                firstChanged = i;
        }
        if (firstChanged < 0) {
            updateHorizontalRange();
            break;
        }
        updateGeometryOfContent(firstChanged);
        restoreScrollAnchor(anchor);
    }
    releaseFarSlices();
}

void PreviewView::updateHorizontalRange()
{
    const qreal width = columnWidth();
    qreal widest = width;
    for (const Entry &entry : std::as_const(m_entries)) {
        if (entry->isLaidOutAt(width))
            widest = std::max(widest, entry->paintedWidth());
    }
    QScrollBar *across = horizontalScrollBar();
    across->setPageStep(viewport()->width());
    across->setRange(0, std::max(0, int(std::ceil(widest - width))));
}

void PreviewView::releaseFarSlices()
{
    const qreal top = verticalScrollBar()->value() - viewport()->height();
    const qreal bottom = top + 3 * viewport()->height();
    for (qsizetype k = m_holdingSlices.size() - 1; k >= 0; --k) {
        const Entry &entry = m_holdingSlices.at(k);
        const qsizetype index = m_entries.indexOf(entry);
        if (index >= 0)
            entry->releaseOutside(top - m_tops.at(index), bottom - m_tops.at(index));
        else
            entry->releaseOutside(0, -1);
        if (index < 0 || entry->slicesHeld() == 0)
            m_holdingSlices.removeAt(k);
    }
}

qsizetype PreviewView::blockAt(qreal y) const
{
    if (m_entries.isEmpty())
        return -1;
    // The last block whose top is at or above y.
    const auto it = std::upper_bound(m_tops.begin(), m_tops.end() - 1, y);
    return std::max<qsizetype>(0, qsizetype(it - m_tops.begin()) - 1);
}

const PreviewBlockLayout &PreviewView::blockLayout(qsizetype index)
{
    const Entry &entry = m_entries.at(index);
    if (!entry->isLaidOutAt(columnWidth())) {
        const ScrollAnchor anchor = scrollAnchor();
        entry->layout(columnWidth());
        updateGeometryOfContent(index);
        restoreScrollAnchor(anchor);
    }
    return *entry;
}

QRectF PreviewView::blockRect(qsizetype index)
{
    const PreviewBlockLayout &layout = blockLayout(index);
    return QRectF(kMargin, m_tops.at(index), columnWidth(), layout.height());
}

QRectF PreviewView::knownBlockRect(qsizetype index) const
{
    return QRectF(blockOrigin(index), QSizeF(columnWidth(), m_entries.at(index)->height()));
}

qsizetype PreviewView::indexOfBlock(const PreviewBlockLayout *entry) const
{
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                    [entry](const Entry &e) { return e.get() == entry; });
    return found == m_entries.end() ? -1 : qsizetype(found - m_entries.begin());
}

QPointF PreviewView::blockOrigin(qsizetype index) const
{
    return QPointF(kMargin, m_tops.at(index));
}

qsizetype PreviewView::indexOf(const Entry &entry) const
{
    return m_entries.indexOf(entry);
}

void PreviewView::invalidateAll()
{
    for (const Entry &entry : std::as_const(m_entries))
        entry->invalidate();
    m_layoutFrom = 0;
    updateGeometryOfContent();
    viewport()->update();
}

void PreviewView::paintEvent(QPaintEvent *)
{
    layOutVisible();
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), Theme::previewBackground());
    const qreal scroll = verticalScrollBar()->value();
    const QRectF clip(0, 0, viewport()->width(), viewport()->height());
    const qreal width = columnWidth();
    for (qsizetype i = std::max<qsizetype>(0, blockAt(scroll)); i < m_entries.size(); ++i) {
        if (m_tops.at(i) > scroll + viewport()->height())
            break;
        const Entry &entry = m_entries.at(i);
        if (!entry->isLaidOutAt(width))
            continue;
        std::optional<std::pair<int, int>> selection;
        if (m_selection && m_selection->entry == entry) {
            const int start = std::min(m_selection->anchor, m_selection->position);
            selection = std::pair(start, std::abs(m_selection->position - m_selection->anchor));
        }
        entry->paint(painter,
                     QPointF(kMargin - horizontalScrollBar()->value(), m_tops.at(i) - scroll), clip,
                     selection);
    }
    // F6 brings the keyboard here; it must show where it went.
    if (hasFocus())
        ViewStyle::paintFocusRing(painter, viewport()->rect(), 0);
}

void PreviewView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateGeometryOfContent();
}

void PreviewView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    // Link colours are part of the text layouts.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        invalidateAll();
}

void PreviewView::scrollContentsBy(int, int)
{
    viewport()->update();
}

QPointF PreviewView::contentPoint(QPointF viewportPoint) const
{
    return viewportPoint + QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

std::optional<QString> PreviewView::linkAt(QPointF viewportPoint) const
{
    const QPointF point = contentPoint(viewportPoint);
    const qsizetype index = blockAt(point.y());
    if (index < 0 || point.y() > m_tops.at(index) + m_entries.at(index)->height())
        return std::nullopt;
    if (!m_entries.at(index)->isLaidOutAt(columnWidth()))
        return std::nullopt;
    return m_entries.at(index)->linkAt(point - blockOrigin(index));
}

std::optional<int> PreviewView::codePositionAt(const Entry &entry, QPointF blockPoint,
                                               bool clampOutside) const
{
    return entry->codePositionAt(blockPoint, clampOutside);
}

bool PreviewView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        if (const auto link = linkAt(help->pos()))
            QToolTip::showText(help->globalPos(), *link, viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void PreviewView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mousePressEvent(event);
    m_pressedLink = linkAt(event->position());
    const QPointF point = contentPoint(event->position());
    const qsizetype index = blockAt(point.y());
    m_selecting = false;
    const bool hadSelection = m_selection.has_value();
    m_selection.reset();
    if (index >= 0 && m_entries.at(index)->isLaidOutAt(columnWidth())) {
        const Entry &entry = m_entries.at(index);
        if (const auto position = codePositionAt(entry, point - blockOrigin(index), false)) {
            m_selection = Selection{entry, *position, *position};
            m_selecting = true;
        }
    }
    if (hadSelection || m_selection)
        viewport()->update();
}

void PreviewView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_selecting && m_selection) {
        const qsizetype index = indexOf(m_selection->entry);
        if (index >= 0) {
            const QPointF point = contentPoint(event->position()) - blockOrigin(index);
            if (const auto position = codePositionAt(m_selection->entry, point, true)) {
                m_selection->position = *position;
                viewport()->update();
            }
        }
        return;
    }
    viewport()->setCursor(linkAt(event->position()) ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void PreviewView::mouseReleaseEvent(QMouseEvent *event)
{
    m_selecting = false;
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mouseReleaseEvent(event);
    const auto link = linkAt(event->position());
    if (link && m_pressedLink == link) {
        if (const auto url = LinkActivation::openableUrl(*link)) {
            m_urlOpener(*url);
            emit linkActivated(*link, true);
        } else {
            QToolTip::showText(event->globalPosition().toPoint(), *link, viewport());
            emit linkActivated(*link, false);
        }
    }
    m_pressedLink.reset();
}

void PreviewView::mouseDoubleClickEvent(QMouseEvent *event)
{
    mousePressEvent(event);
    if (!m_selection)
        return;
    const auto *code = m_selection->entry->block().as<MarkdownBlock::CodeBlock>();
    const QString &text = code->content;
    int start = m_selection->position;
    int end = start;
    while (start > 0 && isWordCharacter(text::codePointBefore(text, start)))
        start -= text::unitCount(text::codePointBefore(text, start));
    while (end < text.size() && isWordCharacter(text::codePointAt(text, end)))
        end += text::unitCount(text::codePointAt(text, end));
    m_selection->anchor = start;
    m_selection->position = end;
    m_selecting = false;
    viewport()->update();
}

QString PreviewView::selectedText() const
{
    if (!m_selection)
        return {};
    const auto *code = m_selection->entry->block().as<MarkdownBlock::CodeBlock>();
    const int start = std::min(m_selection->anchor, m_selection->position);
    return code->content.mid(start, std::abs(m_selection->position - m_selection->anchor));
}

void PreviewView::copySelection() const
{
    const QString text = selectedText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void PreviewView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        event->accept();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void PreviewView::setUrlOpener(UrlOpener opener)
{
    m_urlOpener = std::move(opener);
}

} // namespace quillet
