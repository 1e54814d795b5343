#pragma once

#include <QChar>
#include <QList>
#include <QRect>
#include <QRectF>

class QPainter;

namespace quillet {

class PlainTextTextView;

// The directional embedding, override and isolate controls (U+202A to U+202E, U+2066 to U+2069).
// They take no room and draw nothing, so text holding them can read differently from what it is;
// the text view draws a small marker at each, over the text, while the text keeps them as they
// are.
bool isBidiControl(QChar c);

struct BidiMarker {
    QRectF rect; // in viewport coordinates
    qint64 position = 0;
    QChar control;
};

// The markers of the view's lines that meet `area` (viewport coordinates), read line by line
// from the document; lines out of the area are never looked at.
QList<BidiMarker> bidiMarkersIn(const PlainTextTextView &view, const QRect &area);

void paintBidiMarkers(QPainter &painter, const QList<BidiMarker> &markers);

} // namespace quillet
