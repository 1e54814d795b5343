#include "palettes.h"

#include <initializer_list>
#include <utility>

namespace quillet::Theme {

namespace {

using Colours = std::initializer_list<std::pair<QPalette::ColorRole, QColor>>;

// A palette of `colours` in every group, with `disabled` in place of some in the disabled one;
// the roles named in neither are left to the platform.
QPalette paletteOf(Colours colours, Colours disabled)
{
    QPalette palette;
    for (const auto &[role, colour] : colours)
        palette.setColor(role, colour);
    for (const auto &[role, colour] : disabled)
        palette.setColor(QPalette::Disabled, role, colour);
    return palette;
}

} // namespace

// Fusion's light colours, written out so that no widget style has to be made to read them: its
// shades are the window grey made darker and lighter. Links are left to the platform, as Fusion
// leaves them.
QPalette lightPalette()
{
    const QColor window(0xef, 0xef, 0xef), text(Qt::black), dimmed(0xbe, 0xbe, 0xbe);
    const QColor mid = window.darker(130), dark = window.darker(150), shadow = dark.darker(135);
    return paletteOf(
        {
            {QPalette::Window, window},
            {QPalette::WindowText, text},
            {QPalette::Base, Qt::white},
            {QPalette::AlternateBase, QColor(0xf7, 0xf7, 0xf7)},
            {QPalette::ToolTipBase, QColor(0xff, 0xff, 0xdc)},
            {QPalette::ToolTipText, text},
            // Fusion's half-transparent placeholder reads at under 4.5:1; a placeholder names
            // its field.
            {QPalette::PlaceholderText, QColor(0x6e, 0x6e, 0x72)},
            {QPalette::Text, text},
            {QPalette::Button, window},
            {QPalette::ButtonText, text},
            {QPalette::BrightText, Qt::white},
            {QPalette::Light, Qt::white},
            {QPalette::Midlight, mid.lighter(110)},
            {QPalette::Mid, mid},
            {QPalette::Dark, dark},
            {QPalette::Shadow, shadow},
            {QPalette::Highlight, QColor(0x30, 0x8c, 0xc6)},
            {QPalette::HighlightedText, Qt::white},
        },
        {
            {QPalette::WindowText, dimmed},
            {QPalette::Text, dimmed},
            {QPalette::ButtonText, dimmed},
            {QPalette::Dark, dimmed},
            {QPalette::Base, window},
            {QPalette::Shadow, shadow.lighter(150)},
            {QPalette::Highlight, QColor(0x91, 0x91, 0x91)},
        });
}

QPalette darkPalette()
{
    const QColor window(0x2b, 0x2b, 0x2d), base(0x1e, 0x1e, 0x20), text(0xe6, 0xe6, 0xe6);
    const QColor button(0x3a, 0x3a, 0x3d), dimmed(0x80, 0x80, 0x84);
    return paletteOf(
        {
            {QPalette::Window, window},
            {QPalette::WindowText, text},
            {QPalette::Base, base},
            {QPalette::AlternateBase, button},
            {QPalette::ToolTipBase, button},
            {QPalette::ToolTipText, text},
            {QPalette::PlaceholderText, QColor(0x90, 0x90, 0x94)},
            {QPalette::Text, text},
            {QPalette::Button, button},
            {QPalette::ButtonText, text},
            {QPalette::BrightText, Qt::white},
            {QPalette::Light, QColor(0x4a, 0x4a, 0x4e)},
            {QPalette::Midlight, QColor(0x42, 0x42, 0x46)},
            {QPalette::Mid, QColor(0x30, 0x30, 0x33)},
            {QPalette::Dark, QColor(0x18, 0x18, 0x1a)},
            {QPalette::Shadow, Qt::black},
            {QPalette::Highlight, QColor(0x2f, 0x7d, 0xf6)},
            {QPalette::HighlightedText, Qt::white},
            {QPalette::Link, QColor(0x5a, 0xa0, 0xff)},
        },
        {
            {QPalette::WindowText, dimmed},
            {QPalette::Text, dimmed},
            {QPalette::ButtonText, dimmed},
        });
}

} // namespace quillet::Theme
