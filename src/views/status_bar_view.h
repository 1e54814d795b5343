#pragma once

#include <QList>
#include <QWidget>

#include <memory>

class QTimer;

namespace quillet {

class Scratchpad;
class SymbolButton;
class TabManager;
class TextLabel;
enum class PreviewMode;

// The one-line bar under the editor. For the tab manager's current scratchpad it shows where the
// document lives ("Unsaved" until it has a file), five shortcut reminders midway, the cursor's
// line and column, the word and character counts, and a button that cycles the preview mode.
// Without a current tab it is hidden and takes no space. It follows the tab manager's and the
// current scratchpad's change signals; the numbers are the scratchpad's own. The figures follow
// an edit or a cursor move once the window has painted it, so a keystroke's character reaches the
// screen without waiting for the bar, and the several signals of one edit lay the bar out once.
class StatusBarView : public QWidget {
    Q_OBJECT

public:
    explicit StatusBarView(TabManager &tabManager, QWidget *parent = nullptr);

    // The symbol of the mode that is active now: "doc.text", "rectangle.split.2x1" or "eye".
    static QString previewIcon(PreviewMode mode);

    TextLabel *locationLabel() const { return m_location; }
    TextLabel *positionLabel() const { return m_position; }
    TextLabel *wordsLabel() const { return m_words; }
    TextLabel *charactersLabel() const { return m_characters; }
    SymbolButton *previewButton() const { return m_previewButton; }
    // The reminders, left to right, each holding its key text and its label.
    QWidget *shortcutReminders() const { return m_reminders; }

    // Narrow enough for the items that never give way (see the order in the constructor).
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void followCurrentTab();
    void showLocation();
    void showFigures();
    void showFiguresAfterPaint();
    void showPreviewMode();
    // Shows the longest tail of the order that fits beside what always stays; hides the rest.
    void fitToWidth();
    // Shows `line` in place of the location for a few seconds: a failed save or open must not
    // look like a successful one, and no dialog interrupts the typing.
    void showNotice(const QString &line);

    TabManager &m_tabManager;
    std::shared_ptr<Scratchpad> m_scratchpad;
    QList<QMetaObject::Connection> m_scratchpadConnections;
    TextLabel *m_location = nullptr;
    QWidget *m_reminders = nullptr;
    TextLabel *m_position = nullptr;
    TextLabel *m_words = nullptr;
    TextLabel *m_characters = nullptr;
    SymbolButton *m_previewButton = nullptr;
    QList<QWidget *> m_yieldOrder;
    QTimer *m_noticeTimer = nullptr;
    bool m_figuresPosted = false;
};

} // namespace quillet
