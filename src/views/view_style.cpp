#include "view_style.h"

#include "editor/theme.h"

#include <QApplication>
#include <QDebug>
#include <QFontDatabase>
#include <QFontInfo>
#include <QKeySequence>
#include <QPainter>
#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace quillet::ViewStyle {

namespace {

// The platform's fixed font, checked once against what the font database resolves: a platform
// without a theme hands out its general font as the fixed one, and a machine may lack the face
// the theme names. Then the generic monospace alias, and failing that the first family the
// database knows as fixed pitch, take its place.
const QFont &fixedBaseFont()
{
    static const QFont base = [] {
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        if (QFontInfo(font).fixedPitch())
            return font;
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
        font.setFamilies({QStringLiteral("monospace")});
        if (QFontInfo(font).fixedPitch())
            return font;
        const QStringList families = QFontDatabase::families();
        const auto fixed = std::find_if(families.begin(), families.end(), [](const QString &f) {
            return QFontDatabase::isFixedPitch(f);
        });
        if (fixed != families.end())
            font.setFamilies({*fixed});
        else
            qWarning() << "No fixed-pitch font is installed; code is drawn in"
                       << QFontInfo(font).family();
        return font;
    }();
    return base;
}

// WCAG's relative luminance and contrast ratio, of opaque colours.
double luminance(const QColor &c)
{
    const auto channel = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double x = luminance(a), y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

} // namespace

QColor color(Tone tone)
{
    switch (tone) {
    case Tone::primary:
        return Theme::textColor();
    case Tone::secondary:
        return Theme::secondaryLabel();
    case Tone::tertiary:
        return Theme::tertiaryLabel();
    case Tone::accent:
        return QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
    case Tone::clear:
        break;
    }
    return Qt::transparent;
}

QColor separatorColor()
{
    QColor line = Theme::textColor();
    line.setAlphaF(float(line.alphaF() * 0.16));
    return line;
}

QColor linkColor()
{
    constexpr double kLegible = 4.5;
    const QColor papers[] = {Theme::previewBackground(), Theme::panelBackground()};
    const bool darkPapers = luminance(papers[0]) < 0.18;
    QColor link = color(Tone::accent);
    // HSL lightness keeps the hue and saturation the accent has; a few steps settle it.
    for (int step = 0; step < 40; ++step) {
        if (std::all_of(std::begin(papers), std::end(papers),
                        [&link](const QColor &paper) { return contrast(link, paper) >= kLegible; }))
            break;
        const float lightness = link.lightnessF() + (darkPapers ? 0.02F : -0.02F);
        link = QColor::fromHslF(link.hslHueF(), link.hslSaturationF(),
                                std::clamp(lightness, 0.0F, 1.0F));
    }
    return link;
}

QFont systemFont(int pixels, QFont::Weight weight)
{
    QFont font = QApplication::font();
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

QFont monospacedFont(int pixels, QFont::Weight weight)
{
    QFont font = fixedBaseFont();
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

QString shortcutText(int key, bool shift)
{
#if defined(Q_OS_MACOS)
    // Command first, then Shift, then the key.
    if (shift)
        return QStringLiteral("⌘⇧") + QKeySequence(key).toString(QKeySequence::NativeText);
#endif
    const Qt::KeyboardModifiers modifiers =
        shift ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier;
    return QKeySequence(QKeyCombination(modifiers, Qt::Key(key)))
        .toString(QKeySequence::NativeText);
}

QSize smallestSize(const QWidget &widget)
{
    QSize size = widget.minimumSizeHint();
    const QSize hint = widget.sizeHint();
    if (size.width() < 0)
        size.setWidth(std::max(0, hint.width()));
    if (size.height() < 0)
        size.setHeight(std::max(0, hint.height()));
    return size.expandedTo(widget.minimumSize()).boundedTo(widget.maximumSize());
}

void showLongestFittingTail(const QList<QWidget *> &yieldOrder, Qt::Orientation orientation,
                            int needed, int spacing, int available)
{
    qsizetype firstShown = yieldOrder.size();
    while (firstShown > 0) {
        const QSize smallest = smallestSize(*yieldOrder[firstShown - 1]);
        const int cost =
            (orientation == Qt::Horizontal ? smallest.width() : smallest.height()) + spacing;
        if (needed + cost > available)
            break;
        needed += cost;
        --firstShown;
    }
    for (qsizetype i = 0; i < yieldOrder.size(); ++i)
        yieldOrder[i]->setVisible(i >= firstShown);
}

void paintFocusRing(QPainter &painter, const QRect &rect, qreal radius)
{
    constexpr qreal width = 2;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(color(Tone::accent), width));
    const QRectF ring = QRectF(rect).adjusted(width / 2, width / 2, -width / 2, -width / 2);
    painter.drawRoundedRect(ring, radius, radius);
    painter.restore();
}

} // namespace quillet::ViewStyle
