#pragma once

#include <QFont>
#include <QSize>
#include <QString>

class QPainter;
class QRect;
class QWidget;

// What every view shares apart from its colours (which are the theme's): the system fonts at a
// pixel size, the shortcut text the user sees, the focus ring and the rules by which a row gives
// way when space runs out. Main thread only.
namespace quillet::ViewStyle {

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
