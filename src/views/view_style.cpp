#include "view_style.h"

#include "editor/theme.h"

#include <QApplication>
#include <QFontDatabase>
#include <QKeySequence>
#include <QPalette>

namespace quillet::ViewStyle {

QColor color(Tone tone)
{
    switch (tone) {
    case Tone::primary:
        return Theme::textColor();
    case Tone::secondary:
        return Theme::secondaryLabel();
    case Tone::tertiary:
        return Theme::tertiaryLabel();
    case Tone::accent:
        return QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
    case Tone::clear:
        break;
    }
    return Qt::transparent;
}

QColor separatorColor()
{
    QColor line = Theme::textColor();
    line.setAlphaF(float(line.alphaF() * 0.16));
    return line;
}

QFont systemFont(int pixels, QFont::Weight weight)
{
    QFont font = QApplication::font();
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

QFont monospacedFont(int pixels, QFont::Weight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

QString shortcutText(int key, bool shift)
{
#if defined(Q_OS_MACOS)
    // Command first, then Shift, then the key.
    if (shift)
        return QStringLiteral("⌘⇧") + QKeySequence(key).toString(QKeySequence::NativeText);
#endif
    const Qt::KeyboardModifiers modifiers =
        shift ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier;
    return QKeySequence(QKeyCombination(modifiers, Qt::Key(key)))
        .toString(QKeySequence::NativeText);
}

} // namespace quillet::ViewStyle
