#pragma once

#include <QWidget>

namespace quillet {

// A 1-pixel line in the separator colour, read from the palette at each paint.
class SeparatorLine : public QWidget {
public:
    SeparatorLine(Qt::Orientation orientation, const QString &objectName, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace quillet
