#include "view_style.h"

#include "style/theme.h"

#include <QApplication>
#include <QDebug>
#include <QFontDatabase>
#include <QFontInfo>
#include <QKeySequence>
#include <QPainter>
#include <QWidget>

#include <algorithm>

namespace quillet::ViewStyle {

namespace {

// The platform's fixed font, checked once against what the font database resolves: a platform
// without a theme hands out its general font as the fixed one, and a machine may lack the face
// the theme names. Then the generic monospace alias, and failing that the first family the
// database knows as fixed pitch, take its place.
const QFont &fixedBaseFont()
{
    static const QFont base = [] {
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        if (QFontInfo(font).fixedPitch())
            return font;
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
        font.setFamilies({QStringLiteral("monospace")});
        if (QFontInfo(font).fixedPitch())
            return font;
        const QStringList families = QFontDatabase::families();
        const auto fixed = std::find_if(families.begin(), families.end(), [](const QString &f) {
            return QFontDatabase::isFixedPitch(f);
        });
        if (fixed != families.end())
            font.setFamilies({*fixed});
        else
            qWarning() << "No fixed-pitch font is installed; code is drawn in"
                       << QFontInfo(font).family();
        return font;
    }();
    return base;
}

} // namespace

QFont systemFont(int pixels, QFont::Weight weight)
{
    QFont font = QApplication::font();
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

QFont monospacedFont(int pixels, QFont::Weight weight)
{
    QFont font = fixedBaseFont();
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

QSize smallestSize(const QWidget &widget)
{
    QSize size = widget.minimumSizeHint();
    const QSize hint = widget.sizeHint();
    if (size.width() < 0)
        size.setWidth(std::max(0, hint.width()));
    if (size.height() < 0)
        size.setHeight(std::max(0, hint.height()));
    return size.expandedTo(widget.minimumSize()).boundedTo(widget.maximumSize());
}

void showLongestFittingTail(const QList<QWidget *> &yieldOrder, Qt::Orientation orientation,
                            int needed, int spacing, int available)
{
    qsizetype firstShown = yieldOrder.size();
    while (firstShown > 0) {
        const QSize smallest = smallestSize(*yieldOrder[firstShown - 1]);
        const int cost =
            (orientation == Qt::Horizontal ? smallest.width() : smallest.height()) + spacing;
        if (needed + cost > available)
            break;
        needed += cost;
        --firstShown;
    }
    for (qsizetype i = 0; i < yieldOrder.size(); ++i)
        yieldOrder[i]->setVisible(i >= firstShown);
}

void paintFocusRing(QPainter &painter, const QRect &rect, qreal radius)
{
    constexpr qreal width = 2;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Theme::color(Theme::Tone::accent), width));
    const QRectF ring = QRectF(rect).adjusted(width / 2, width / 2, -width / 2, -width / 2);
    painter.drawRoundedRect(ring, radius, radius);
    painter.restore();
}

} // namespace quillet::ViewStyle
