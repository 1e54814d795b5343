#include "symbol_button.h"

#include "symbol_icon.h"
#include "view_style.h"

#include <QKeyEvent>
#include <QPainter>

namespace quillet {

SymbolButton::SymbolButton(const QString &symbol, int glyphSide, QSize frame, QWidget *parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
    , m_glyphSide(glyphSide)
    , m_frame(frame)
{
    setFixedSize(frame);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
}

void SymbolButton::setSymbol(const QString &symbol)
{
    if (symbol == m_symbol)
        return;
    m_symbol = symbol;
    update();
}

void SymbolButton::setGlyphTone(Theme::Tone tone)
{
    if (tone == m_glyphTone)
        return;
    m_glyphTone = tone;
    update();
}

void SymbolButton::setBackdrop(Theme::Tone tone, qreal opacity)
{
    if (tone == m_backdropTone && opacity == m_backdropOpacity)
        return;
    m_backdropTone = tone;
    m_backdropOpacity = opacity;
    update();
}

void SymbolButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (hasBackdrop()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::withOpacity(Theme::color(m_backdropTone), m_backdropOpacity));
        painter.drawEllipse(QRectF(rect()));
    }
    const QRectF glyph(QPointF(0, 0), QSizeF(m_glyphSide, m_glyphSide));
    SymbolIcon::paint(painter, m_symbol, glyph.translated(QRectF(rect()).center() - glyph.center()),
                      Theme::color(m_glyphTone));
    if (hasFocus())
        ViewStyle::paintFocusRing(painter, rect(), 4);
}

void SymbolButton::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

} // namespace quillet
