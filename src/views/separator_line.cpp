#include "separator_line.h"

#include "style/theme.h"

#include <QPainter>

namespace quillet {

SeparatorLine::SeparatorLine(Qt::Orientation orientation, const QString &objectName,
                             QWidget *parent)
    : QWidget(parent)
{
    setObjectName(objectName);
    if (orientation == Qt::Vertical) {
        setFixedWidth(1);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    } else {
        setFixedHeight(1);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
}

void SeparatorLine::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::color(Theme::Tone::separator));
}

} // namespace quillet
