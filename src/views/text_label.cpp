#include "text_label.h"

#include <QAccessible>
#include <QPainter>

#include <algorithm>

namespace quillet {

TextLabel::TextLabel(const QString &text, const QFont &font, Theme::Tone tone, QWidget *parent)
    : QWidget(parent)
    , m_text(text)
    , m_tone(tone)
{
    setFont(font);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TextLabel::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    updateGeometry();
    update();
    // The label is read by its text: a reader following it hears the new figure.
    QAccessibleEvent renamed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&renamed);
}

void TextLabel::setTone(Theme::Tone tone)
{
    if (tone == m_tone)
        return;
    m_tone = tone;
    update();
}

void TextLabel::setElideMode(Qt::TextElideMode mode)
{
    m_elideMode = mode;
    updateGeometry();
    update();
}

void TextLabel::setAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    update();
}

void TextLabel::setMinimumShownWidth(int width)
{
    m_minimumShownWidth = width;
    updateGeometry();
}

QString TextLabel::shownText() const
{
    if (m_elideMode == Qt::ElideNone)
        return m_text;
    return fontMetrics().elidedText(m_text, m_elideMode, width());
}

QSize TextLabel::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    return {metrics.horizontalAdvance(m_text), metrics.height()};
}

QSize TextLabel::minimumSizeHint() const
{
    if (m_elideMode == Qt::ElideNone)
        return sizeHint();
    return {std::min(m_minimumShownWidth, sizeHint().width()), fontMetrics().height()};
}

void TextLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(Theme::color(m_tone));
    painter.setFont(font());
    painter.drawText(rect(), int(m_alignment) | Qt::TextSingleLine, shownText());
}

} // namespace quillet
