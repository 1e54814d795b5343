#pragma once

#include <QColor>
#include <QFont>
#include <QSize>
#include <QString>

class QPainter;
class QRect;
class QWidget;

// The vocabulary every view shares: label tones, the accent and separator colours, the system
// fonts at a pixel size and the shortcut text the user sees. Colours are read from the
// application palette on every call, so a view that asks at paint time follows a change of
// appearance without being rebuilt. Main thread only.
namespace quillet::ViewStyle {

enum class Tone { primary, secondary, tertiary, accent, clear };

QColor color(Tone tone);
// A thin line between areas: the text colour as a faint hairline.
QColor separatorColor();
// Link text in the preview: the accent's hue, darkened on a light background or lightened on a
// dark one just enough to read at 4.5:1 on the preview and on its panels.
QColor linkColor();

// The user-interface font at `pixels`, with the given weight.
QFont systemFont(int pixels, QFont::Weight weight = QFont::Normal);
// The monospaced system font at `pixels`.
QFont monospacedFont(int pixels, QFont::Weight weight = QFont::Normal);

// The platform's text for Command (Control off macOS) with `key`, and Shift when asked: "⌘P" and
// "⌘⇧S" on macOS, "Ctrl+P" and "Ctrl+Shift+S" elsewhere, as the menus show them.
QString shortcutText(int key, bool shift = false);

// The keyboard focus indicator of the views that draw themselves: an accent outline just
// inside `rect`, with corners of `radius`.
void paintFocusRing(QPainter &painter, const QRect &rect, qreal radius);

// The least size a layout may give `widget` without squeezing it, whether it is shown or not:
// its minimum size hint, or its size hint where it has none, within its own fixed limits.
QSize smallestSize(const QWidget &widget);

// Shows the longest tail of `yieldOrder` that fits, along `orientation`, in `available` beside
// `needed` (what always stays), each item costing its smallest size and `spacing`; hides the
// rest, so items give way from the front of the order.
void showLongestFittingTail(const QList<QWidget *> &yieldOrder, Qt::Orientation orientation,
                            int needed, int spacing, int available);

} // namespace quillet::ViewStyle
