#pragma once

#include "style/theme.h"

#include <QWidget>

namespace quillet {

// One line of text in a fixed font and a tone whose colour is taken from the palette when it is
// painted. It asks for the width of its whole text; with `Qt::ElideNone` that is also its
// minimum, otherwise it may be narrowed and then cuts its text with an ellipsis where asked.
// The text is shown as given, never interpreted as rich text or a mnemonic.
class TextLabel : public QWidget {
    Q_OBJECT

public:
    TextLabel(const QString &text, const QFont &font, Theme::Tone tone, QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);
    Theme::Tone tone() const { return m_tone; }
    void setTone(Theme::Tone tone);
    void setElideMode(Qt::TextElideMode mode);
    void setAlignment(Qt::Alignment alignment);
    // With an elide mode: the narrowest it may become; a text narrower than that keeps its width.
    void setMinimumShownWidth(int width);
    // The text as painted at the current width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    Theme::Tone m_tone;
    Qt::TextElideMode m_elideMode = Qt::ElideNone;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
    int m_minimumShownWidth = 0;
};

} // namespace quillet
