#include "opacity_fade.h"

#include <QGraphicsOpacityEffect>

namespace quillet {

QPropertyAnimation *startOpacityFade(QWidget *widget, qreal from, qreal to)
{
    auto *opacity = new QGraphicsOpacityEffect(widget);
    opacity->setOpacity(from);
    widget->setGraphicsEffect(opacity);
    auto *fade = new QPropertyAnimation(opacity, "opacity", widget);
    fade->setDuration(kFadeMilliseconds);
    fade->setEasingCurve(QEasingCurve::InOutQuad);
    fade->setStartValue(from);
    fade->setEndValue(to);
    QObject::connect(fade, &QPropertyAnimation::finished, widget,
                     [widget] { widget->setGraphicsEffect(nullptr); });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
    return fade;
}

} // namespace quillet
