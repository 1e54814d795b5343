#pragma once

#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QStyle>
#include <QWidget>
#include <QtTest>

namespace quillet::test {

// The two appearances the views are shown in: the style's own palette and a dark one built
// from the same roles.
inline QPalette appearance(bool dark)
{
    QPalette palette = QApplication::style()->standardPalette();
    if (!dark)
        return palette;
    palette.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2d));
    palette.setColor(QPalette::WindowText, QColor(0xe6, 0xe6, 0xe6));
    palette.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x20));
    palette.setColor(QPalette::AlternateBase, QColor(0x3a, 0x3a, 0x3d));
    palette.setColor(QPalette::Text, QColor(0xe6, 0xe6, 0xe6));
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3d));
    palette.setColor(QPalette::ButtonText, QColor(0xe6, 0xe6, 0xe6));
    palette.setColor(QPalette::Highlight, QColor(0x2f, 0x7d, 0xf6));
    return palette;
}

// Renders `widget` as it is now into build/screenshots/<name>.png for reviewers to look at.
inline void saveScreenshot(QWidget &widget, const QString &name)
{
    const QString folder = QStringLiteral(QUILLET_SCREENSHOT_DIR);
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(widget.grab().save(folder + u'/' + name + QStringLiteral(".png")));
}

// The widget's rectangle in the coordinates of `ancestor`.
inline QRect geometryIn(const QWidget &widget, const QWidget &ancestor)
{
    return QRect(widget.mapTo(&ancestor, QPoint(0, 0)), widget.size());
}

} // namespace quillet::test
