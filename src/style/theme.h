#pragma once

#include <QColor>
#include <QFont>

// The named colours, the editor font and the sizes of the application's look, for the editor and
// the views alike. Colours are read from the application palette on every call, so they follow a
// change between the light and the dark palette without any view keeping a copy. Main thread
// only.
namespace quillet::Theme {

QColor windowBackground();
QColor tabBarBackground();
// The window background at 0.8 opacity: a fifth of what lies behind shows through.
QColor statusBarBackground();
// The control background: the text background tone, which stands out from the window in both
// appearances (white on the light window, darker than the dark one).
QColor selectedTabBackground();
QColor unselectedTabBackground();
QColor previewBackground();
QColor textBackground();
// The marker drawn at an invisible directional control in the editor: a warning orange that
// reads on both the light and the dark background.
QColor bidiMarker();

// The colours a view keeps by name and resolves when it paints, so a change of appearance only
// needs a repaint.
enum class Tone {
    // Label tones: text at full, 78 % and 65 % opacity. The tertiary one still reads at 4.5:1 on
    // the lightest panel of the dark appearance; the secondary one keeps its distance above it.
    primary,
    secondary,
    tertiary,
    accent,
    // A thin line between areas: the text colour as a faint hairline.
    separator,
    // The separator at 40 %, between data rows of a table.
    faintSeparator,
    // A panel a shade off the text background: code blocks and table headers in the preview.
    controlBackground,
    // The control background at 30 %, behind odd data rows of a table.
    faintControlBackground,
    clear,
};

QColor color(Tone tone);

// Link text in the preview: the accent's hue, darkened on a light background or lightened on a
// dark one just enough to read at 4.5:1 on the preview and on its panels. Text layouts hold it, so
// a change of appearance lays linked text out again.
QColor linkColor();

// `color` with `opacity` of its own opacity.
QColor withOpacity(QColor color, qreal opacity);

// The monospaced system font at 14 pixels, regular weight. Created once, on first use, after the
// application object exists; every caller gets the same object.
const QFont &editorFont();

inline constexpr int tabHeight = 36;
inline constexpr int tabBarPadding = 8;
inline constexpr int editorInset = 16;
inline constexpr int tabCornerRadius = 6;

} // namespace quillet::Theme
