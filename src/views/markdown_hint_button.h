#pragma once

#include "symbol_button.h"

#include <QPointer>

namespace quillet {

class MarkdownHintContent;

// The question-mark button of the tab bar. A click opens the Markdown reference in a popup
// beside it, a click on the button while it is open closes it; a click elsewhere or Escape
// closes it too, and the next click on the button opens it again at once.
class MarkdownHintButton : public SymbolButton {
    Q_OBJECT

public:
    static constexpr int kPopoverWidth = 320;

    explicit MarkdownHintButton(QWidget *parent = nullptr);
    ~MarkdownHintButton() override;

    bool showPopover() const { return m_showPopover; }
    void setShowPopover(bool show);
    // The open popup, or null.
    QWidget *popover() const { return m_popover; }

private:
    void openPopover();

    bool m_showPopover = false;
    QPointer<QWidget> m_popover;
};

// The reference itself: a title, then five groups of syntax examples, each example in a column
// of its own beside its description, with a line before each group. Plain text, never rendered.
class MarkdownHintContent : public QWidget {
    Q_OBJECT

public:
    explicit MarkdownHintContent(QWidget *parent = nullptr);

    struct Row {
        QWidget *syntax;
        QWidget *description;
    };
    QList<Row> rows() const { return m_rows; }

private:
    void hintRow(const QString &syntax, const QString &description);

    QList<Row> m_rows;
};

} // namespace quillet
