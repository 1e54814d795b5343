#include "symbol_icon.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>
#include <memory>

namespace quillet::SymbolIcon {

namespace {

QString resourcePath(const QString &name)
{
    return QStringLiteral(":/icons/%1.svg").arg(name);
}

// One parsed renderer per symbol; they are drawn often (every tab's close glyph).
QSvgRenderer *renderer(const QString &name)
{
    static QHash<QString, std::shared_ptr<QSvgRenderer>> renderers;
    auto found = renderers.find(name);
    if (found == renderers.end()) {
        auto svg = std::make_shared<QSvgRenderer>(resourcePath(name));
        found = renderers.insert(name, svg->isValid() ? svg : nullptr);
    }
    return found->get();
}

} // namespace

QPixmap pixmap(const QString &name, int side, const QColor &color, qreal devicePixelRatio)
{
    const int pixels = std::max(1, int(std::ceil(side * devicePixelRatio)));
    QPixmap image(pixels, pixels);
    image.fill(Qt::transparent);
    QSvgRenderer *svg = renderer(name);
    if (svg) {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        QSizeF size = svg->defaultSize();
        size.scale(pixels, pixels, Qt::KeepAspectRatio);
        svg->render(&painter, QRectF((pixels - size.width()) / 2, (pixels - size.height()) / 2,
                                     size.width(), size.height()));
        // The drawing is black on clear; keep its coverage, take the colour.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), color);
    }
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

void paint(QPainter &painter, const QString &name, const QRectF &rect, const QColor &color)
{
    if (color.alpha() == 0)
        return;
    const qreal side = std::min(rect.width(), rect.height());
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap image = pixmap(name, int(std::ceil(side)), color, ratio);
    const QSizeF logical = image.deviceIndependentSize();
    painter.drawPixmap(
        QPointF(rect.center().x() - logical.width() / 2, rect.center().y() - logical.height() / 2),
        image);
}

} // namespace quillet::SymbolIcon
