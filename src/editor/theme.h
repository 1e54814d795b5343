#pragma once

#include <QColor>
#include <QFont>

// The named colours, the editor font and the sizes of the application's look. Colours are read
// from the application palette on every call, so they follow a change between the light and the
// dark palette without any view keeping a copy. Main thread only.
namespace quillet::Theme {

QColor windowBackground();
QColor tabBarBackground();
// The window background at 0.8 opacity: a fifth of what lies behind shows through.
QColor statusBarBackground();
// The control background: the text background tone, which stands out from the window in both
// appearances (white on the light window, darker than the dark one).
QColor selectedTabBackground();
QColor unselectedTabBackground();
// A panel a shade off the text background: code blocks and table headers in the preview.
QColor panelBackground();
QColor previewBackground();

// Editor colours, not named by the views but shared by the editor's pieces.
QColor textColor();
QColor textBackground();
// Label tones: text at 78 % and 65 % opacity. The lower one still reads at 4.5:1 on the
// lightest panel of the dark appearance; the upper one keeps its distance above it.
QColor secondaryLabel();
QColor tertiaryLabel();
// The marker drawn at an invisible directional control in the editor: a warning orange that
// reads on both the light and the dark background.
QColor bidiMarker();

// The monospaced system font at 14 pixels, regular weight. Created once, on first use, after the
// application object exists; every caller gets the same object.
const QFont &editorFont();

inline constexpr int tabHeight = 36;
inline constexpr int tabBarPadding = 8;
inline constexpr int editorInset = 16;
inline constexpr int tabCornerRadius = 6;

} // namespace quillet::Theme
