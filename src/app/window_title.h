#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace quillet {

class Scratchpad;
class TabManager;

// Keeps a window's title on the current tab as it changes: its title and " — Quillet", with a
// dot in front while it has unsaved changes; just "Quillet" when no tab is open.
class WindowTitle : public QObject {
    Q_OBJECT

public:
    WindowTitle(QWidget &window, TabManager &tabManager);

    static QString text(const Scratchpad *tab);

private:
    void followCurrentTab();
    void update();

    QWidget &m_window;
    TabManager &m_tabManager;
    // The tab whose changes are followed; connections to it go when it stops being current.
    QObject *m_followed = nullptr;
};

} // namespace quillet
