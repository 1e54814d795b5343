#include "theme.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPalette>

namespace quillet::Theme {

namespace {

QColor role(QPalette::ColorRole colorRole)
{
    return QGuiApplication::palette().color(QPalette::Active, colorRole);
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

QColor withOpacity(QColor color, qreal opacity)
{
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

QColor windowBackground()
{
    return role(QPalette::Window);
}

QColor tabBarBackground()
{
    return role(QPalette::Window);
}

QColor statusBarBackground()
{
    return withOpacity(role(QPalette::Window), 0.8);
}

QColor selectedTabBackground()
{
    return role(QPalette::Base);
}

QColor unselectedTabBackground()
{
    return Qt::transparent;
}

QColor previewBackground()
{
    return role(QPalette::Base);
}

QColor textBackground()
{
    return role(QPalette::Base);
}

QColor bidiMarker()
{
    return QColor(0xE6, 0x7E, 0x22);
}

QColor color(Tone tone)
{
    switch (tone) {
    case Tone::primary:
        return role(QPalette::Text);
    case Tone::secondary:
        return withOpacity(role(QPalette::Text), 0.78);
    case Tone::tertiary:
        return withOpacity(role(QPalette::Text), 0.65);
    case Tone::accent:
        return role(QPalette::Highlight);
    case Tone::separator:
        return withOpacity(role(QPalette::Text), 0.16);
    case Tone::faintSeparator:
        return withOpacity(color(Tone::separator), 0.4);
    case Tone::controlBackground:
        return role(QPalette::AlternateBase);
    case Tone::faintControlBackground:
        return withOpacity(role(QPalette::AlternateBase), 0.3);
    case Tone::clear:
        break;
    }
    return Qt::transparent;
}

QColor linkColor()
{
    constexpr double kLegible = 4.5;
    const QColor papers[] = {previewBackground(), color(Tone::controlBackground)};
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

const QFont &editorFont()
{
    static const QFont font = [] {
        QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        fixed.setPixelSize(14);
        fixed.setWeight(QFont::Normal);
        fixed.setStyle(QFont::StyleNormal);
        return fixed;
    }();
    return font;
}

} // namespace quillet::Theme
