#pragma once

#include "markdown/styled_text.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QPointF>
#include <QTextLayout>

#include <cstddef>
#include <optional>

class QPainter;

namespace quillet {

// The face a styled run is drawn in: its own size and weight, bold when strongly emphasized,
// italic when emphasized, the monospaced variant for code, struck through when marked so.
QFont previewFont(const StyledFont &font, InlineIntents intents);

// One piece of text of the preview, laid out with QTextLayout to a width. Styled text keeps the
// fonts of its runs; the fallback font applies only to an empty text, which still takes the
// height of one line. Line feeds of plain text end lines, and a final one leaves an empty last
// line, as a text editor shows it.
//
// Two limits keep the layout of hostile text short. Styled text longer than kLongestStyledText,
// or in more than kMostStyledRuns runs, is shown up to that point and then an ellipsis; the text
// of the block itself is untouched.
// And a text with a stretch of more than kLongestUnbrokenStretch characters without white space
// wraps anywhere rather than at word boundaries first: QTextLayout looks ahead to the end of
// such a stretch for every line it makes, which grows with the square of the stretch.
class PreviewText {
public:
    static constexpr qsizetype kLongestStyledText = 16 * 1024;
    static constexpr qsizetype kMostStyledRuns = 1024;
    static constexpr qsizetype kLongestUnbrokenStretch = 1024;

    // `strikethrough` strikes every run; link runs are drawn in Theme::linkColor().
    PreviewText(const StyledText &styled, const QFont &fallback, bool strikethrough = false);
    PreviewText(const QString &plain, const QFont &font);

    PreviewText(const PreviewText &) = delete;
    PreviewText &operator=(const PreviewText &) = delete;

    // Breaks the text into lines no wider than `width`, each placed below the other from y 0.
    // Returns the height.
    qreal layout(qreal width);
    // The width of the widest line when nothing wraps (lines end only at line feeds).
    qreal naturalWidth();
    // The width of the widest word: what the text needs to wrap between words only.
    qreal longestWordWidth();

    qreal height() const { return m_height; }
    const QString &text() const { return m_text; }
    const QTextLayout &textLayout() const { return m_layout; }
    int lineCount() const { return m_layout.lineCount(); }

    // The cursor position nearest to `point` (in the text's own coordinates); above the text is
    // its start, below it its end.
    int positionAt(QPointF point) const;
    // The link destination of the run under `point`, if the point is over a link's characters.
    std::optional<QString> linkAt(QPointF point) const;

    // Draws at `origin` in `color`, with `selections` (positions into the text) highlighted,
    // skipping the lines outside `clip` (painter coordinates).
    void draw(QPainter &painter, QPointF origin, const QColor &color,
              const QList<QTextLayout::FormatRange> &selections, const QRectF &clip) const;

private:
    qreal widestLine(QTextOption::WrapMode wrap, int lineWidth);
    // With the text already cut to what is shown.
    PreviewText(const StyledText &shown, const QFont &fallback, bool strikethrough, std::nullptr_t);

    struct LinkRange {
        int start;
        int length;
        QString destination;
    };

    QString m_text;
    QTextLayout m_layout;
    QList<LinkRange> m_links;
    qreal m_height = 0;
    bool m_wrapsAnywhere = false;
};

} // namespace quillet
