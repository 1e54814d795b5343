#include "preview_block_layout.h"

#include "symbol_icon.h"
#include "view_style.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace quillet {

using Theme::Tone;

namespace {

// Rough sizes for blocks not laid out yet: enough to place the scroll bar sensibly.
constexpr qreal kEstimatedCharacterWidth = 7.5;
constexpr qreal kEstimatedLineHeight = 19;

qreal estimatedTextHeight(qsizetype characters, qreal width)
{
    const qreal perLine = std::max<qreal>(1, std::floor(width / kEstimatedCharacterWidth));
    return std::max<qreal>(1, std::ceil(qreal(characters) / perLine)) * kEstimatedLineHeight;
}

qsizetype styledLength(const StyledText &text)
{
    qsizetype length = 0;
    for (const StyledRun &run : text.runs())
        length += run.text.size();
    return length;
}

} // namespace

PreviewBlockLayout::PreviewBlockLayout(MarkdownBlock block, PreviewBlockLayout *previous)
    : m_block(std::move(block))
{
    makeSlices(previous);
}

PreviewBlockLayout::PreviewBlockLayout(MarkdownBlock block, Segment segment)
    : m_block(std::move(block))
    , m_segment(std::move(segment))
{
}

PreviewBlockLayout::~PreviewBlockLayout() = default;

void PreviewBlockLayout::invalidate()
{
    m_laidOut = false;
    m_table.reset();
    for (Slice &slice : m_slices) {
        slice.layout.reset();
        slice.measuredWidth = -1;
    }
}

void PreviewBlockLayout::makeSlices(PreviewBlockLayout *previous)
{
    const auto sliceList = [&](const auto &list, auto makeBlock) {
        const qsizetype count = list.items.size();
        if (count <= kSliceRows)
            return;
        const qreal slot = listMarkerSlot();
        for (qsizetype first = 0; first < count; first += kSliceRows) {
            Segment segment;
            segment.firstRow = first;
            segment.opens = first == 0;
            segment.closes = first + kSliceRows >= count;
            segment.markerSlot = slot;
            m_slices.emplace_back(makeBlock(list.items.mid(first, kSliceRows)), segment);
        }
    };
    if (const auto *list = m_block.as<MarkdownBlock::UnorderedList>()) {
        sliceList(*list, [](const auto &items) {
            return MarkdownBlock(MarkdownBlock::UnorderedList{items});
        });
    } else if (const auto *list = m_block.as<MarkdownBlock::OrderedList>()) {
        sliceList(*list, [&](const auto &items) {
            return MarkdownBlock(MarkdownBlock::OrderedList{items, list->start});
        });
    } else if (const auto *list = m_block.as<MarkdownBlock::TaskList>()) {
        sliceList(*list,
                  [](const auto &items) { return MarkdownBlock(MarkdownBlock::TaskList{items}); });
    } else if (const auto *table = m_block.as<MarkdownBlock::Table>()) {
        const qsizetype count = table->rows.size();
        // Wide tables take fewer rows a slice, so that laying one out stays short.
        const qsizetype columns =
            std::clamp<qsizetype>(table->header.size(), 1, MarkdownTableView::kMaximumColumns);
        const qsizetype rows = std::clamp<qsizetype>(kSliceCells / columns, 1, kSliceRows);
        if (count > rows) {
            for (qsizetype first = 0; first < count; first += rows) {
                Segment segment;
                segment.firstRow = first;
                segment.opens = first == 0;
                segment.closes = first + rows >= count;
                m_slices.emplace_back(MarkdownBlock(MarkdownBlock::Table{
                                          table->header, table->rows.mid(first, rows)}),
                                      segment);
            }
        }
    } else if (const auto *code = m_block.as<MarkdownBlock::CodeBlock>()) {
        const QString &content = code->content;
        // Slice starts: every kSliceLines-th line; the last slice keeps the final line feed, so
        // the slices together show what one text of the whole content would.
        QList<qsizetype> starts{0};
        qsizetype lines = 0;
        for (qsizetype at = content.indexOf(u'\n'); at >= 0 && at + 1 < content.size();
             at = content.indexOf(u'\n', at + 1)) {
            if (++lines % kSliceLines == 0)
                starts.append(at + 1);
        }
        if (starts.size() > 1) {
            for (qsizetype k = 0; k < starts.size(); ++k) {
                const bool last = k + 1 == starts.size();
                const qsizetype end = last ? content.size() : starts.at(k + 1) - 1;
                Segment segment;
                segment.firstRow = k * kSliceLines;
                segment.opens = k == 0;
                segment.closes = last;
                segment.contentOffset = starts.at(k);
                MarkdownBlock::CodeBlock part{k == 0 ? code->language : std::nullopt,
                                              content.sliced(starts.at(k), end - starts.at(k))};
                m_slices.emplace_back(MarkdownBlock(std::move(part)), segment);
            }
        }
    }
    if (!previous || previous->m_slices.empty() || previous->m_block.kind() != m_block.kind())
        return;
    // The slices that did not change keep their pieces, height and needs.
    for (qsizetype i = 0; i < qsizetype(std::min(m_slices.size(), previous->m_slices.size()));
         ++i) {
        Slice &before = previous->m_slices[i];
        Slice &slice = m_slices[i];
        if (before.segment.firstRow != slice.segment.firstRow ||
            before.segment.opens != slice.segment.opens ||
            before.segment.closes != slice.segment.closes ||
            before.segment.markerSlot != slice.segment.markerSlot || !(before.block == slice.block))
            continue;
        slice.layout = std::move(before.layout);
        if (slice.layout)
            slice.layout->m_segment.contentOffset = slice.segment.contentOffset;
        slice.height = before.height;
        slice.measuredWidth = before.measuredWidth;
        slice.measuredColumns = before.measuredColumns;
        slice.needs = before.needs;
    }
    m_columnWidths = previous->m_columnWidths;
}

qreal PreviewBlockLayout::listMarkerSlot() const
{
    const auto *list = m_block.as<MarkdownBlock::OrderedList>();
    if (!list)
        return m_block.kind() == MarkdownBlock::Kind::taskList ? 16 : 12;
    // The widest marker of the list: digits are about equally wide, so the first and the last
    // few (the longest numbers) are enough to look at.
    const QFontMetricsF metrics(ViewStyle::systemFont(14));
    const qsizetype count = list->items.size();
    qreal widest = 24;
    for (qsizetype k = 0; k < count; ++k) {
        if (k == 8 && count > 16)
            k = count - 8;
        widest =
            std::max(widest, std::ceil(metrics.horizontalAdvance(orderedMarker(list->start, k))));
    }
    return widest;
}

bool PreviewBlockLayout::isCurrent(const Slice &slice) const
{
    return slice.layout && slice.layout->isLaidOutAt(m_width) &&
           slice.layout->m_segment.columnWidths == m_columnWidths;
}

bool PreviewBlockLayout::isMeasured(const Slice &slice) const
{
    if (slice.measuredWidth == m_width && slice.measuredColumns == m_columnWidths)
        return true;
    // A table slice whose cells fit on one line in the columns it was measured at and in the
    // new ones keeps its height: typing in the widest cell of a column moves every column, and
    // thousands of rows must not be measured again for it.
    if (!slice.needs || slice.measuredColumns.size() != m_columnWidths.size())
        return false;
    for (qsizetype c = 0; c < m_columnWidths.size(); ++c) {
        const qreal natural = slice.needs->natural.value(c);
        if (natural > slice.measuredColumns.at(c) || natural > m_columnWidths.at(c))
            return false;
    }
    return true;
}

bool PreviewBlockLayout::isMeasured() const
{
    return std::all_of(m_slices.begin(), m_slices.end(),
                       [&](const Slice &slice) { return isMeasured(slice); });
}

qsizetype PreviewBlockLayout::slicesHeld() const
{
    return std::count_if(m_slices.begin(), m_slices.end(),
                         [](const Slice &slice) { return slice.layout != nullptr; });
}

bool PreviewBlockLayout::layOutSlice(Slice &slice)
{
    if (!slice.layout)
        slice.layout.reset(new PreviewBlockLayout(slice.block, slice.segment));
    if (slice.layout->m_segment.columnWidths != m_columnWidths) {
        slice.layout->m_segment.columnWidths = m_columnWidths;
        slice.layout->m_laidOut = false;
    }
    slice.layout->layout(m_width);
    if (slice.layout->m_table)
        slice.needs = slice.layout->m_table->needs();
    const qreal before = slice.height;
    slice.height = slice.layout->height();
    slice.measuredWidth = m_width;
    slice.measuredColumns = m_columnWidths;
    return slice.height != before;
}

void PreviewBlockLayout::fitSlicedColumns()
{
    if (m_block.kind() != MarkdownBlock::Kind::table)
        return;
    MarkdownTableView::ColumnNeeds needs;
    for (const Slice &slice : std::as_const(m_slices)) {
        if (slice.needs)
            needs.merge(*slice.needs);
    }
    m_columnWidths = MarkdownTableView::fitColumns(needs, m_width);
}

bool PreviewBlockLayout::restack()
{
    const bool list = m_block.kind() == MarkdownBlock::Kind::unorderedList ||
                      m_block.kind() == MarkdownBlock::Kind::orderedList ||
                      m_block.kind() == MarkdownBlock::Kind::taskList;
    qreal y = 0;
    for (qsizetype i = 0; i < qsizetype(m_slices.size()); ++i) {
        if (i > 0 && list)
            y += kItemSpacing;
        m_slices[i].top = y;
        y += m_slices[i].height;
    }
    const qreal before = m_height;
    m_height = std::ceil(y);
    return m_height != before;
}

void PreviewBlockLayout::layoutSliced(qreal width)
{
    m_width = width;
    if (m_block.kind() == MarkdownBlock::Kind::table) {
        // The first slice's needs are the first guess at the columns; the others refine it as
        // they are laid out.
        if (!m_slices.front().needs)
            layOutSlice(m_slices.front());
        fitSlicedColumns();
    }
    for (Slice &slice : m_slices) {
        if (slice.measuredWidth >= 0)
            continue; // a height found at another width is the better guess
        PreviewBlockLayout estimate(slice.block, slice.segment);
        estimate.estimateHeight(width);
        slice.height = estimate.height();
    }
    restack();
}

qsizetype PreviewBlockLayout::sliceAt(qreal y) const
{
    const auto it =
        std::upper_bound(m_slices.begin(), m_slices.end(), y,
                         [](qreal value, const Slice &slice) { return value < slice.top; });
    return std::max<qsizetype>(0, qsizetype(it - m_slices.begin()) - 1);
}

bool PreviewBlockLayout::layOutRange(qreal top, qreal bottom)
{
    if (m_slices.empty() || !m_laidOut)
        return false;
    bool changed = false;
    // A slice's needs can widen the table's columns, and then the slices in range again.
    for (int round = 0; round < 4; ++round) {
        for (qsizetype i = sliceAt(top);
             i < qsizetype(m_slices.size()) && m_slices.at(i).top < bottom; ++i) {
            if (!isCurrent(m_slices.at(i)) && layOutSlice(m_slices[i]))
                changed = true;
        }
        const QList<qreal> columns = m_columnWidths;
        fitSlicedColumns();
        if (m_columnWidths == columns)
            break;
    }
    if (changed)
        return restack();
    return false;
}

bool PreviewBlockLayout::measureNextSlice(qreal keepTop, qreal keepBottom)
{
    for (Slice &slice : m_slices) {
        if (isMeasured(slice))
            continue;
        bool changed = layOutSlice(slice);
        const QList<qreal> columns = m_columnWidths;
        fitSlicedColumns();
        if (slice.top + slice.height < keepTop || slice.top > keepBottom)
            slice.layout.reset();
        if (m_columnWidths != columns)
            changed = true;
        return changed && restack();
    }
    return false;
}

void PreviewBlockLayout::releaseOutside(qreal keepTop, qreal keepBottom)
{
    for (Slice &slice : m_slices) {
        if (slice.top + slice.height < keepTop || slice.top > keepBottom)
            slice.layout.reset();
    }
}

std::pair<qsizetype, qreal> PreviewBlockLayout::anchorAt(qreal y) const
{
    if (m_slices.empty())
        return {-1, y};
    const qsizetype i = sliceAt(y);
    return {i, y - m_slices.at(i).top};
}

qreal PreviewBlockLayout::positionOf(std::pair<qsizetype, qreal> anchor) const
{
    if (anchor.first < 0 || anchor.first >= sliceCount())
        return anchor.second;
    return m_slices.at(anchor.first).top + anchor.second;
}

qreal PreviewBlockLayout::paintedWidth() const
{
    if (m_table)
        return std::max(m_width, m_table->width());
    if (!m_columnWidths.isEmpty())
        return std::max(m_width,
                        std::accumulate(m_columnWidths.begin(), m_columnWidths.end(), 0.0));
    return m_width;
}

std::optional<int> PreviewBlockLayout::codePositionAt(QPointF point, bool clampOutside) const
{
    if (!m_slices.empty()) {
        const Slice &slice = m_slices.at(sliceAt(point.y()));
        if (!isCurrent(slice))
            return std::nullopt;
        const auto position =
            slice.layout->codePositionAt(point - QPointF(0, slice.top), clampOutside);
        if (!position)
            return std::nullopt;
        return int(slice.segment.contentOffset) + *position;
    }
    const Text *content = text(Part::codeContent);
    const auto area = codeContentArea();
    if (!content || !area)
        return std::nullopt;
    if (!clampOutside && !area->contains(point))
        return std::nullopt;
    return content->text->positionAt(point - content->origin);
}

QString PreviewBlockLayout::orderedMarker(qint64 start, qsizetype position)
{
    const qint64 offset = qint64(position);
    if (start <= std::numeric_limits<qint64>::max() - offset)
        return QString::number(start + offset) + u'.';
    // Only a positive start can overflow, and two numbers below 2^63 add up below 2^64.
    return QString::number(quint64(start) + quint64(position)) + u'.';
}

void PreviewBlockLayout::estimateHeight(qreal width)
{
    if (m_laidOut)
        return;
    std::visit(
        [&](const auto &value) {
            using Case = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<Case, MarkdownBlock::Heading>) {
                m_height = estimatedTextHeight(styledLength(value.text), width) + 8;
            } else if constexpr (std::is_same_v<Case, MarkdownBlock::Paragraph> ||
                                 std::is_same_v<Case, MarkdownBlock::Blockquote>) {
                m_height = estimatedTextHeight(styledLength(value.text), width);
            } else if constexpr (std::is_same_v<Case, MarkdownBlock::CodeBlock>) {
                m_height = (value.content.count(u'\n') + 1) * 17 + 32;
            } else if constexpr (std::is_same_v<Case, MarkdownBlock::UnorderedList> ||
                                 std::is_same_v<Case, MarkdownBlock::OrderedList> ||
                                 std::is_same_v<Case, MarkdownBlock::TaskList>) {
                m_height = value.items.size() * (kEstimatedLineHeight + kItemSpacing);
            } else if constexpr (std::is_same_v<Case, MarkdownBlock::Table>) {
                m_height = (value.rows.size() + 1) * 28 + 2 * kTablePadding;
            } else if constexpr (std::is_same_v<Case, MarkdownBlock::HorizontalRule>) {
                m_height = 2 * kRulePadding + 1;
            } else {
                m_height = kEmptyLineHeight;
            }
        },
        m_block.value());
}

void PreviewBlockLayout::layoutText(Part part, const StyledText &styled, QPointF origin,
                                    qreal width, Tone tone)
{
    auto text = std::make_shared<PreviewText>(styled, ViewStyle::systemFont(15));
    text->layout(width);
    m_texts.append({part, origin, std::move(text), tone});
}

void PreviewBlockLayout::layout(qreal width)
{
    if (isLaidOutAt(width))
        return;
    m_width = width;
    m_laidOut = true;
    ++m_timesLaidOut;
    m_fills.clear();
    m_texts.clear();
    m_symbols.clear();
    if (!m_slices.empty()) {
        layoutSliced(width);
        return;
    }
    // A table slice keeps its cells when only the widths change.
    if (!m_table || m_block.kind() != MarkdownBlock::Kind::table)
        m_table.reset();

    switch (m_block.kind()) {
    case MarkdownBlock::Kind::heading: {
        const auto *heading = m_block.as<MarkdownBlock::Heading>();
        const qreal top = heading->level <= 2 ? 8 : 4;
        layoutText(Part::heading, heading->text, QPointF(0, top), width, Tone::primary);
        m_height = top + m_texts.last().text->height();
        break;
    }
    case MarkdownBlock::Kind::paragraph:
        layoutText(Part::paragraph, m_block.as<MarkdownBlock::Paragraph>()->text, QPointF(0, 0),
                   width, Tone::primary);
        m_height = m_texts.last().text->height();
        break;
    case MarkdownBlock::Kind::codeBlock: {
        const auto *code = m_block.as<MarkdownBlock::CodeBlock>();
        const qreal inner = std::max<qreal>(1, width - 2 * kCodePadding);
        // A slice of a long block has the box's top only when it opens it, its bottom only
        // when it closes it.
        const qreal boxTop = m_segment.opens ? kCodeOuterPadding : 0;
        qreal y = boxTop;
        if (code->language) {
            auto label =
                std::make_shared<PreviewText>(*code->language, ViewStyle::monospacedFont(10));
            label->layout(inner);
            m_texts.append(
                {Part::codeLabel, QPointF(kCodePadding, y + kCodeLabelTop), label, Tone::tertiary});
            y += kCodeLabelTop + label->height();
        }
        if (m_segment.opens)
            y += kCodePadding;
        auto content = std::make_shared<PreviewText>(code->content, ViewStyle::monospacedFont(13));
        content->layout(inner);
        m_texts.append({Part::codeContent, QPointF(kCodePadding, y), content, Tone::secondary});
        y += content->height();
        if (m_segment.closes)
            y += kCodePadding;
        m_fills.prepend({Part::codeBox, QRectF(0, boxTop, width, y - boxTop),
                         Tone::controlBackground, kCodeCornerRadius, m_segment.opens,
                         m_segment.closes});
        m_height = m_segment.closes ? y + kCodeOuterPadding : y;
        break;
    }
    case MarkdownBlock::Kind::blockquote: {
        const qreal left = kQuoteBarWidth + kQuoteTextLeading;
        layoutText(Part::quoteText, m_block.as<MarkdownBlock::Blockquote>()->text,
                   QPointF(left, kQuoteVerticalPadding), std::max<qreal>(1, width - left),
                   Tone::secondary);
        m_height = m_texts.last().text->height() + 2 * kQuoteVerticalPadding;
        m_fills.append({Part::quoteBar, QRectF(0, 0, kQuoteBarWidth, m_height), Tone::tertiary});
        break;
    }
    case MarkdownBlock::Kind::unorderedList:
    case MarkdownBlock::Kind::orderedList:
    case MarkdownBlock::Kind::taskList:
        m_height = layoutList(width);
        break;
    case MarkdownBlock::Kind::table: {
        const auto *table = m_block.as<MarkdownBlock::Table>();
        if (!m_table) {
            m_table = std::make_unique<MarkdownTableView>(
                table->header, table->rows, m_segment.firstRow, m_segment.opens, m_segment.closes);
        }
        const qreal top = m_segment.opens ? kTablePadding : 0;
        m_tableOrigin = QPointF(0, top);
        const qreal height = m_segment.columnWidths.isEmpty()
                                 ? m_table->layout(width)
                                 : m_table->layout(m_segment.columnWidths);
        m_height = top + height + (m_segment.closes ? kTablePadding : 0);
        break;
    }
    case MarkdownBlock::Kind::horizontalRule:
        m_fills.append({Part::rule, QRectF(0, kRulePadding, width, 1), Tone::separator});
        m_height = 2 * kRulePadding + 1;
        break;
    case MarkdownBlock::Kind::emptyLine:
        m_height = kEmptyLineHeight;
        break;
    }
    m_height = std::ceil(m_height);
}

qreal PreviewBlockLayout::layoutList(qreal width)
{
    struct Item {
        qsizetype indent;
        const StyledText *text;
        std::optional<bool> checked;
    };
    QList<Item> items;
    // A slice gets the slot of its whole list, so the markers of all slices line up.
    const qreal slot = m_segment.markerSlot > 0 ? m_segment.markerSlot : listMarkerSlot();
    qint64 start = 1;
    const auto kind = m_block.kind();
    if (const auto *list = m_block.as<MarkdownBlock::UnorderedList>()) {
        for (const auto &item : list->items)
            items.append({item.indent, &item.text, std::nullopt});
    } else if (const auto *list = m_block.as<MarkdownBlock::OrderedList>()) {
        start = list->start;
        for (const auto &item : list->items)
            items.append({item.indent, &item.text, std::nullopt});
    } else if (const auto *list = m_block.as<MarkdownBlock::TaskList>()) {
        for (const auto &item : list->items)
            items.append({item.indent, &item.text, item.checked});
    }

    const QFont bulletFont = ViewStyle::systemFont(13);
    const QFont numberFont = ViewStyle::systemFont(14);
    qreal y = 0;
    for (qsizetype k = 0; k < items.size(); ++k) {
        const Item &item = items.at(k);
        if (k > 0)
            y += kItemSpacing;
        // Every character of indentation moves the row 8 points in, on top of the first 8.
        const qreal left = qreal(std::min<qsizetype>(item.indent, 4096)) * 8 + 8;
        const qreal textLeft = left + slot + kMarkerGap;
        qreal markerHeight = 0;
        if (kind == MarkdownBlock::Kind::taskList) {
            const qreal side = 12;
            const QRectF rect(left + (slot - side) / 2, y + 3, side, side);
            m_symbols.append(
                {*item.checked ? QStringLiteral("checkmark.square.fill") : QStringLiteral("square"),
                 rect, *item.checked ? Tone::accent : Tone::secondary, int(k)});
            markerHeight = side + 3;
        } else {
            const bool ordered = kind == MarkdownBlock::Kind::orderedList;
            auto marker = std::make_shared<PreviewText>(
                ordered ? orderedMarker(start, m_segment.firstRow + k) : QStringLiteral("•"),
                ordered ? numberFont : bulletFont);
            const qreal markerWidth = marker->naturalWidth();
            marker->layout(std::max(markerWidth, slot) + 1);
            const qreal x = ordered ? left + slot - markerWidth : left + (slot - markerWidth) / 2;
            markerHeight = marker->height();
            m_texts.append(
                {Part::marker, QPointF(x, y), std::move(marker), Tone::secondary, int(k)});
        }
        const bool checked = item.checked.value_or(false);
        auto text = std::make_shared<PreviewText>(*item.text, ViewStyle::systemFont(15), checked);
        text->layout(std::max<qreal>(1, width - textLeft));
        const qreal rowHeight = std::max(markerHeight, text->height());
        m_texts.append({Part::itemText, QPointF(textLeft, y), std::move(text),
                        checked ? Tone::secondary : Tone::primary, int(k)});
        y += rowHeight;
    }
    return y;
}

const PreviewBlockLayout::Text *PreviewBlockLayout::text(Part part) const
{
    for (const Text &text : m_texts) {
        if (text.part == part)
            return &text;
    }
    return nullptr;
}

std::optional<QRectF> PreviewBlockLayout::codeContentArea() const
{
    const Text *content = text(Part::codeContent);
    if (!content || m_fills.isEmpty())
        return std::nullopt;
    QRectF area = m_fills.first().rect;
    area.setTop(content->origin.y() - (m_segment.opens ? kCodePadding : 0));
    return area;
}

std::optional<QString> PreviewBlockLayout::linkAt(QPointF point) const
{
    if (!m_slices.empty()) {
        const Slice &slice = m_slices.at(sliceAt(point.y()));
        if (!isCurrent(slice))
            return std::nullopt;
        return slice.layout->linkAt(point - QPointF(0, slice.top));
    }
    if (m_table)
        return m_table->linkAt(point - m_tableOrigin);
    for (const Text &text : m_texts) {
        if (text.part == Part::codeContent || text.part == Part::codeLabel ||
            text.part == Part::marker)
            continue;
        const QPointF local = point - text.origin;
        if (local.x() >= 0 && local.y() >= 0 && local.y() < text.text->height()) {
            if (auto link = text.text->linkAt(local))
                return link;
        }
    }
    return std::nullopt;
}

void PreviewBlockLayout::paint(QPainter &painter, QPointF origin, const QRectF &clip,
                               std::optional<std::pair<int, int>> selection) const
{
    for (const Slice &slice : m_slices) {
        const QPointF at = origin + QPointF(0, slice.top);
        if (at.y() > clip.bottom() || at.y() + slice.height < clip.top() || !isCurrent(slice))
            continue;
        std::optional<std::pair<int, int>> part;
        if (selection) {
            const int offset = int(slice.segment.contentOffset);
            const int start = std::max(selection->first - offset, 0);
            const int end =
                std::min<int>(selection->first + selection->second - offset,
                              int(slice.block.as<MarkdownBlock::CodeBlock>()
                                      ? slice.block.as<MarkdownBlock::CodeBlock>()->content.size()
                                      : 0));
            if (end > start)
                part = std::pair(start, end - start);
        }
        slice.layout->paint(painter, at, clip, part);
    }
    for (const Fill &fill : m_fills) {
        const QRectF rect = fill.rect.translated(origin);
        if (fill.cornerRadius > 0) {
            painter.save();
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(Theme::color(fill.tone));
            // Square where a neighbouring slice goes on: the rounded ends reach past the rect.
            const qreal reach = 2 * fill.cornerRadius;
            painter.setClipRect(rect, Qt::IntersectClip);
            painter.drawRoundedRect(
                rect.adjusted(0, fill.roundsTop ? 0 : -reach, 0, fill.roundsBottom ? 0 : reach),
                fill.cornerRadius, fill.cornerRadius);
            painter.restore();
        } else {
            painter.fillRect(rect, Theme::color(fill.tone));
        }
    }
    for (const Text &text : m_texts) {
        const QPointF at = text.origin + origin;
        if (at.y() > clip.bottom() || at.y() + text.text->height() < clip.top())
            continue;
        QList<QTextLayout::FormatRange> selections;
        if (selection && text.part == Part::codeContent && selection->second > 0) {
            QTextCharFormat format;
            const QPalette palette = QGuiApplication::palette();
            format.setBackground(palette.color(QPalette::Active, QPalette::Highlight));
            format.setForeground(palette.color(QPalette::Active, QPalette::HighlightedText));
            selections.append({selection->first, selection->second, format});
        }
        text.text->draw(painter, at, Theme::color(text.tone), selections, clip);
    }
    for (const Symbol &symbol : m_symbols)
        SymbolIcon::paint(painter, symbol.name, symbol.rect.translated(origin),
                          Theme::color(symbol.tone));
    if (m_table)
        m_table->paint(painter, m_tableOrigin + origin, clip);
}

} // namespace quillet
