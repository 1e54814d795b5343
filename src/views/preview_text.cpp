#include "preview_text.h"

#include "view_style.h"

#include "style/theme.h"
#include "text/text_metrics.h"

#include <QPainter>
#include <QTextLine>

#include <algorithm>
#include <climits>
#include <cmath>

namespace quillet {

namespace {

// The text as QTextLayout takes it: a line feed becomes a line separator, which ends a line
// without a paragraph break; positions stay those of the original text.
QString layoutText(QString text)
{
    text.replace(u'\n', QChar::LineSeparator);
    return text;
}

// The first kLongestStyledText code units, in at most kMostStyledRuns runs, of `styled` and an
// ellipsis, or `styled` itself when it is within both. A surrogate pair at the cut goes as a
// whole.
StyledText shownPart(const StyledText &styled)
{
    const QList<StyledRun> &runs = styled.runs();
    qsizetype total = 0;
    for (const StyledRun &run : runs)
        total += run.text.size();
    if (total <= PreviewText::kLongestStyledText && runs.size() <= PreviewText::kMostStyledRuns)
        return styled;
    qsizetype left = PreviewText::kLongestStyledText;
    StyledText shown;
    for (qsizetype i = 0; i < runs.size(); ++i) {
        StyledRun run = runs.at(i);
        const bool last = run.text.size() >= left || i + 1 == PreviewText::kMostStyledRuns;
        if (run.text.size() >= left) {
            if (left > 0 && run.text.at(left - 1).isHighSurrogate())
                --left;
            run.text.truncate(left);
        }
        left -= run.text.size();
        if (last)
            run.text += u'\u2026';
        shown.append(run);
        if (last)
            break;
    }
    return shown;
}

bool hasLongUnbrokenStretch(QStringView text)
{
    return text::hasStretchWithoutSpaceLongerThan(text, PreviewText::kLongestUnbrokenStretch);
}

} // namespace

QFont previewFont(const StyledFont &styled, InlineIntents intents)
{
    QFont::Weight weight = QFont::Normal;
    switch (styled.weight) {
    case StyledFont::Weight::regular:
        break;
    case StyledFont::Weight::semibold:
        weight = QFont::DemiBold;
        break;
    case StyledFont::Weight::bold:
        weight = QFont::Bold;
        break;
    }
    if (intents.testFlag(InlineIntent::stronglyEmphasized))
        weight = std::max(weight, QFont::Bold);
    const bool monospaced =
        styled.design == StyledFont::Design::monospaced || intents.testFlag(InlineIntent::code);
    QFont font = monospaced ? ViewStyle::monospacedFont(styled.pointSize, weight)
                            : ViewStyle::systemFont(styled.pointSize, weight);
    font.setItalic(intents.testFlag(InlineIntent::emphasized));
    font.setStrikeOut(intents.testFlag(InlineIntent::strikethrough));
    return font;
}

PreviewText::PreviewText(const StyledText &styled, const QFont &fallback, bool strikethrough)
    : PreviewText(shownPart(styled), fallback, strikethrough, nullptr)
{
}

PreviewText::PreviewText(const StyledText &shown, const QFont &fallback, bool strikethrough,
                         std::nullptr_t)
    : m_text(shown.text())
    , m_layout(layoutText(m_text), fallback)
    , m_wrapsAnywhere(hasLongUnbrokenStretch(m_text))
{
    QList<QTextLayout::FormatRange> formats;
    formats.reserve(shown.runs().size());
    int start = 0;
    for (const StyledRun &run : shown.runs()) {
        const int length = int(run.text.size());
        QTextCharFormat format;
        QFont font = previewFont(run.font, run.intents);
        if (strikethrough)
            font.setStrikeOut(true);
        format.setFont(font, QTextCharFormat::FontPropertiesAll);
        if (run.link) {
            format.setForeground(Theme::linkColor());
            m_links.append({start, length, *run.link});
        }
        formats.append({start, length, format});
        start += length;
    }
    m_layout.setFormats(formats);
    m_layout.setCacheEnabled(true);
}

PreviewText::PreviewText(const QString &plain, const QFont &font)
    : m_text(plain)
    , m_layout(layoutText(plain), font)
    , m_wrapsAnywhere(hasLongUnbrokenStretch(plain))
{
    m_layout.setCacheEnabled(true);
}

qreal PreviewText::layout(qreal width)
{
    QTextOption option(Qt::AlignLeft | Qt::AlignTop);
    option.setWrapMode(m_wrapsAnywhere ? QTextOption::WrapAnywhere
                                       : QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_layout.setTextOption(option);
    m_layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = m_layout.createLine(); line.isValid(); line = m_layout.createLine()) {
        line.setLineWidth(std::max<qreal>(width, 1));
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    m_layout.endLayout();
    m_height = std::ceil(y);
    return m_height;
}

qreal PreviewText::naturalWidth()
{
    return widestLine(QTextOption::NoWrap, INT_MAX / 2);
}

qreal PreviewText::longestWordWidth()
{
    // At no width at all every line holds one word, however wide.
    return widestLine(QTextOption::WordWrap, 0);
}

// Lays the text out with `wrap` at `lineWidth` (in columns without wrapping) and measures its
// widest line.
qreal PreviewText::widestLine(QTextOption::WrapMode wrap, int lineWidth)
{
    QTextOption option(Qt::AlignLeft | Qt::AlignTop);
    option.setWrapMode(wrap);
    m_layout.setTextOption(option);
    m_layout.beginLayout();
    qreal widest = 0;
    for (QTextLine line = m_layout.createLine(); line.isValid(); line = m_layout.createLine()) {
        if (wrap == QTextOption::NoWrap)
            line.setNumColumns(lineWidth);
        else
            line.setLineWidth(lineWidth);
        widest = std::max(widest, line.naturalTextWidth());
    }
    m_layout.endLayout();
    return std::ceil(widest);
}

int PreviewText::positionAt(QPointF point) const
{
    const int lines = m_layout.lineCount();
    if (lines == 0 || point.y() < 0)
        return 0;
    for (int i = 0; i < lines; ++i) {
        const QTextLine line = m_layout.lineAt(i);
        if (point.y() < line.y() + line.height())
            return line.xToCursor(point.x());
    }
    return int(m_text.size());
}

std::optional<QString> PreviewText::linkAt(QPointF point) const
{
    if (m_links.isEmpty())
        return std::nullopt;
    for (int i = 0; i < m_layout.lineCount(); ++i) {
        const QTextLine line = m_layout.lineAt(i);
        if (point.y() < line.y() || point.y() >= line.y() + line.height())
            continue;
        if (point.x() < line.x() || point.x() > line.x() + line.naturalTextWidth())
            return std::nullopt;
        const int position = line.xToCursor(point.x(), QTextLine::CursorOnCharacter);
        for (const LinkRange &link : m_links) {
            if (position >= link.start && position < link.start + link.length)
                return link.destination;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

void PreviewText::draw(QPainter &painter, QPointF origin, const QColor &color,
                       const QList<QTextLayout::FormatRange> &selections, const QRectF &clip) const
{
    painter.setPen(color);
    m_layout.draw(&painter, origin, selections, clip);
}

} // namespace quillet
