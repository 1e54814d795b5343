#pragma once

#include <QPropertyAnimation>
#include <QWidget>

namespace quillet {

// The fade of the editing area: 0.2 s, ease-in-ease-out.
inline constexpr int kFadeMilliseconds = 200;

// Starts fading `widget` from opacity `from` to `to` and returns the running animation, which
// deletes itself when it stops. Drawing through an opacity effect costs every frame, so the
// effect is removed once the fade is over.
QPropertyAnimation *startOpacityFade(QWidget *widget, qreal from, qreal to);

} // namespace quillet
