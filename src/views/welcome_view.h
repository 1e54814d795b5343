#pragma once

#include <QPixmap>
#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;

namespace quillet {

class TabManager;

// The empty state of the window: the application's name and promise, the two ways to start (a
// new scratchpad, an opened file; Ctrl/⌘-N and -O while it is shown), the main shortcuts, and
// the logo footer. Every colour is taken from the palette at paint time.
class WelcomeView : public QWidget {
    Q_OBJECT

public:
    // `bundle`: the resource folder the logo is read from; by default the located one.
    explicit WelcomeView(TabManager &tabManager, QWidget *parent = nullptr);
    WelcomeView(TabManager &tabManager, const std::optional<QString> &bundle,
                QWidget *parent = nullptr);

    // The logo "tarnel-icon.png" of the bundle; null when it is missing or not an image.
    static QPixmap tarnelIcon(const std::optional<QString> &bundle);

    QPushButton *newScratchpadButton() const { return m_newButton; }
    QPushButton *openFileButton() const { return m_openButton; }
    // The logo beside the word, or null when there is no logo.
    QLabel *logo() const { return m_logo; }
    QWidget *footer() const { return m_footer; }
    QWidget *symbol() const { return m_symbol; }
    QWidget *shortcutList() const { return m_shortcutList; }

    // Short enough for the parts that never give way (see the order in the constructor).
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *shortcutRow(const QString &keys, const QString &label);
    // Shows the longest tail of the order that fits with what always stays; hides the rest.
    void fitToHeight();

    TabManager &m_tabManager;
    QPushButton *m_newButton = nullptr;
    QPushButton *m_openButton = nullptr;
    QLabel *m_logo = nullptr;
    QWidget *m_footer = nullptr;
    QWidget *m_symbol = nullptr;
    QWidget *m_shortcutList = nullptr;
    QList<QWidget *> m_yieldOrder;
};

} // namespace quillet
