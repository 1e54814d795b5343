#pragma once

#include <QWidget>

namespace quillet {

class PlainTextTextView;

// The numbers of a text view's lines, one beside the first line of each paragraph, right-aligned
// in the view's font. It lies in the view's left viewport margin, which it makes as wide as the
// last line's number; hidden, it gives that margin back.
class LineNumberGutter : public QWidget {
public:
    explicit LineNumberGutter(PlainTextTextView *view);

    bool isShown() const { return m_shown; }
    void setShown(bool shown);
    // Sizes the margin again, for a new line count, font or view size.
    void updateWidth();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int widthForLines() const;
    // Follows the view's own scrolling and repainting.
    void followViewUpdate(const QRect &rect, int dy);

    PlainTextTextView *m_view;
    bool m_shown = false;
};

} // namespace quillet
