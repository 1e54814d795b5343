#include "theme.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPalette>

namespace quillet::Theme {

namespace {

QColor role(QPalette::ColorRole colorRole)
{
    return QGuiApplication::palette().color(QPalette::Active, colorRole);
}

QColor withOpacity(QColor color, qreal opacity)
{
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

} // namespace

QColor windowBackground()
{
    return role(QPalette::Window);
}

QColor tabBarBackground()
{
    return role(QPalette::Window);
}

QColor statusBarBackground()
{
    return withOpacity(role(QPalette::Window), 0.8);
}

QColor selectedTabBackground()
{
    return role(QPalette::Base);
}

QColor panelBackground()
{
    return role(QPalette::AlternateBase);
}

QColor unselectedTabBackground()
{
    return Qt::transparent;
}

QColor previewBackground()
{
    return role(QPalette::Base);
}

QColor textColor()
{
    return role(QPalette::Text);
}

QColor textBackground()
{
    return role(QPalette::Base);
}

QColor secondaryLabel()
{
    return withOpacity(role(QPalette::Text), 0.78);
}

QColor tertiaryLabel()
{
    return withOpacity(role(QPalette::Text), 0.65);
}

QColor bidiMarker()
{
    return QColor(0xE6, 0x7E, 0x22);
}

const QFont &editorFont()
{
    static const QFont font = [] {
        QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        fixed.setPixelSize(14);
        fixed.setWeight(QFont::Normal);
        fixed.setStyle(QFont::StyleNormal);
        return fixed;
    }();
    return font;
}

} // namespace quillet::Theme
