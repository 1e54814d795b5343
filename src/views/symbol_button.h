#pragma once

#include "style/theme.h"

#include <QAbstractButton>

namespace quillet {

// A plain button: a symbol drawn in a tone, centred in a fixed frame, without bezel or
// background. Optionally a circle of a tone fills the frame behind the symbol. It takes no focus
// unless given a focus policy; with focus it shows an accent ring and Enter or Space presses it.
class SymbolButton : public QAbstractButton {
    Q_OBJECT

public:
    // `glyphSide` is the symbol's size in pixels: that of the font size it stands for.
    SymbolButton(const QString &symbol, int glyphSide, QSize frame, QWidget *parent = nullptr);

    QString symbol() const { return m_symbol; }
    void setSymbol(const QString &symbol);
    Theme::Tone glyphTone() const { return m_glyphTone; }
    void setGlyphTone(Theme::Tone tone);
    // The circle's tone and opacity; `Tone::clear` draws none.
    void setBackdrop(Theme::Tone tone, qreal opacity);
    bool hasBackdrop() const { return m_backdropTone != Theme::Tone::clear; }

    QSize sizeHint() const override { return m_frame; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString m_symbol;
    int m_glyphSide;
    QSize m_frame;
    Theme::Tone m_glyphTone = Theme::Tone::secondary;
    Theme::Tone m_backdropTone = Theme::Tone::clear;
    qreal m_backdropOpacity = 0;
};

} // namespace quillet
