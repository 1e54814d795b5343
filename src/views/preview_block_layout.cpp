#include "preview_block_layout.h"

#include "symbol_icon.h"
#include "view_style.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <limits>

namespace quillet {

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

PreviewBlockLayout::PreviewBlockLayout(MarkdownBlock block)
    : m_block(std::move(block))
{
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
                                    qreal width, PreviewTone tone)
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
    m_table.reset();

    switch (m_block.kind()) {
    case MarkdownBlock::Kind::heading: {
        const auto *heading = m_block.as<MarkdownBlock::Heading>();
        const qreal top = heading->level <= 2 ? 8 : 4;
        layoutText(Part::heading, heading->text, QPointF(0, top), width, PreviewTone::primary);
        m_height = top + m_texts.last().text->height();
        break;
    }
    case MarkdownBlock::Kind::paragraph:
        layoutText(Part::paragraph, m_block.as<MarkdownBlock::Paragraph>()->text, QPointF(0, 0),
                   width, PreviewTone::primary);
        m_height = m_texts.last().text->height();
        break;
    case MarkdownBlock::Kind::codeBlock: {
        const auto *code = m_block.as<MarkdownBlock::CodeBlock>();
        const qreal inner = std::max<qreal>(1, width - 2 * kCodePadding);
        qreal y = kCodeOuterPadding;
        if (code->language) {
            auto label =
                std::make_shared<PreviewText>(*code->language, ViewStyle::monospacedFont(10));
            label->layout(inner);
            m_texts.append({Part::codeLabel, QPointF(kCodePadding, y + kCodeLabelTop), label,
                            PreviewTone::tertiary});
            y += kCodeLabelTop + label->height();
        }
        auto content = std::make_shared<PreviewText>(code->content, ViewStyle::monospacedFont(13));
        content->layout(inner);
        m_texts.append({Part::codeContent, QPointF(kCodePadding, y + kCodePadding), content,
                        PreviewTone::secondary});
        y += 2 * kCodePadding + content->height();
        m_fills.prepend({Part::codeBox, QRectF(0, kCodeOuterPadding, width, y - kCodeOuterPadding),
                         PreviewTone::controlBackground, kCodeCornerRadius});
        m_height = y + kCodeOuterPadding;
        break;
    }
    case MarkdownBlock::Kind::blockquote: {
        const qreal left = kQuoteBarWidth + kQuoteTextLeading;
        layoutText(Part::quoteText, m_block.as<MarkdownBlock::Blockquote>()->text,
                   QPointF(left, kQuoteVerticalPadding), std::max<qreal>(1, width - left),
                   PreviewTone::secondary);
        m_height = m_texts.last().text->height() + 2 * kQuoteVerticalPadding;
        m_fills.append(
            {Part::quoteBar, QRectF(0, 0, kQuoteBarWidth, m_height), PreviewTone::tertiary});
        break;
    }
    case MarkdownBlock::Kind::unorderedList:
    case MarkdownBlock::Kind::orderedList:
    case MarkdownBlock::Kind::taskList:
        m_height = layoutList(width);
        break;
    case MarkdownBlock::Kind::table: {
        const auto *table = m_block.as<MarkdownBlock::Table>();
        m_table = std::make_unique<MarkdownTableView>(table->header, table->rows);
        m_tableOrigin = QPointF(0, kTablePadding);
        m_height = m_table->layout(width) + 2 * kTablePadding;
        break;
    }
    case MarkdownBlock::Kind::horizontalRule:
        m_fills.append({Part::rule, QRectF(0, kRulePadding, width, 1), PreviewTone::separator});
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
    qreal slot = 12;
    qint64 start = 1;
    const auto kind = m_block.kind();
    if (const auto *list = m_block.as<MarkdownBlock::UnorderedList>()) {
        for (const auto &item : list->items)
            items.append({item.indent, &item.text, std::nullopt});
    } else if (const auto *list = m_block.as<MarkdownBlock::OrderedList>()) {
        slot = 24;
        start = list->start;
        for (const auto &item : list->items)
            items.append({item.indent, &item.text, std::nullopt});
    } else if (const auto *list = m_block.as<MarkdownBlock::TaskList>()) {
        slot = 16;
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
                 rect, *item.checked ? PreviewTone::accent : PreviewTone::secondary, int(k)});
            markerHeight = side + 3;
        } else {
            const bool ordered = kind == MarkdownBlock::Kind::orderedList;
            auto marker = std::make_shared<PreviewText>(ordered ? orderedMarker(start, k)
                                                                : QStringLiteral("•"),
                                                        ordered ? numberFont : bulletFont);
            const qreal markerWidth = marker->naturalWidth();
            marker->layout(std::max(markerWidth, slot) + 1);
            const qreal x = ordered ? left + slot - markerWidth : left + (slot - markerWidth) / 2;
            markerHeight = marker->height();
            m_texts.append(
                {Part::marker, QPointF(x, y), std::move(marker), PreviewTone::secondary, int(k)});
        }
        const bool checked = item.checked.value_or(false);
        auto text = std::make_shared<PreviewText>(*item.text, ViewStyle::systemFont(15), checked);
        text->layout(std::max<qreal>(1, width - textLeft));
        const qreal rowHeight = std::max(markerHeight, text->height());
        m_texts.append({Part::itemText, QPointF(textLeft, y), std::move(text),
                        checked ? PreviewTone::secondary : PreviewTone::primary, int(k)});
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
    area.setTop(content->origin.y() - kCodePadding);
    return area;
}

std::optional<QString> PreviewBlockLayout::linkAt(QPointF point) const
{
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
    for (const Fill &fill : m_fills) {
        const QRectF rect = fill.rect.translated(origin);
        if (fill.cornerRadius > 0) {
            painter.save();
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(previewColor(fill.tone));
            painter.drawRoundedRect(rect, fill.cornerRadius, fill.cornerRadius);
            painter.restore();
        } else {
            painter.fillRect(rect, previewColor(fill.tone));
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
        text.text->draw(painter, at, previewColor(text.tone), selections, clip);
    }
    for (const Symbol &symbol : m_symbols)
        SymbolIcon::paint(painter, symbol.name, symbol.rect.translated(origin),
                          previewColor(symbol.tone));
    if (m_table)
        m_table->paint(painter, m_tableOrigin + origin, clip);
}

} // namespace quillet
