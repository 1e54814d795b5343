#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

class QPainter;
class QRectF;

// The application's monochrome symbols, kept as SVG in the resources under the names the views
// use ("doc.text", "xmark", ...). A symbol is drawn in one colour at whatever resolution the
// painter's device has, so it stays sharp at any device pixel ratio.
namespace quillet::SymbolIcon {

// Draws the symbol scaled to fit `rect` (aspect ratio kept, centred), filled with `color`.
void paint(QPainter &painter, const QString &name, const QRectF &rect, const QColor &color);
// The symbol as a pixmap of `side` logical pixels for a device of `devicePixelRatio`.
QPixmap pixmap(const QString &name, int side, const QColor &color, qreal devicePixelRatio);

} // namespace quillet::SymbolIcon
