#pragma once

#include "markdown/styled_text.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QPointF>
#include <QTextLayout>

#include <optional>

class QPainter;

namespace quillet {

// The colours the preview's pieces ask for. They are resolved from the palette when painted,
// so a change of appearance only needs a repaint (and a new layout for link colours).
enum class PreviewTone {
    primary,
    secondary,
    tertiary,
    accent,
    separator,
    // The separator at 40 %, between data rows of a table.
    faintSeparator,
    controlBackground,
    // The control background at 30 %, behind odd data rows of a table.
    faintControlBackground,
};

QColor previewColor(PreviewTone tone);

// The face a styled run is drawn in: its own size and weight, bold when strongly emphasized,
// italic when emphasized, the monospaced variant for code, struck through when marked so.
QFont previewFont(const StyledFont &font, InlineIntents intents);

// One piece of text of the preview, laid out with QTextLayout to a width. Styled text keeps the
// fonts of its runs; the fallback font applies only to an empty text, which still takes the
// height of one line. Line feeds of plain text end lines, and a final one leaves an empty last
// line, as a text editor shows it.
class PreviewText {
public:
    // `strikethrough` strikes every run; link runs are drawn in the accent colour.
    PreviewText(const StyledText &styled, const QFont &fallback, bool strikethrough = false);
    PreviewText(const QString &plain, const QFont &font);

    PreviewText(const PreviewText &) = delete;
    PreviewText &operator=(const PreviewText &) = delete;

    // Breaks the text into lines no wider than `width`, each placed below the other from y 0.
    // Returns the height.
    qreal layout(qreal width);
    // The width of the widest line when nothing wraps (lines end only at line feeds).
    qreal naturalWidth();

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
    struct LinkRange {
        int start;
        int length;
        QString destination;
    };

    QString m_text;
    QTextLayout m_layout;
    QList<LinkRange> m_links;
    qreal m_height = 0;
};

} // namespace quillet
