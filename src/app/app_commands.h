#pragma once

#include <QList>
#include <QObject>

class QAction;
class QMenu;
class QMenuBar;

namespace quillet {

class TabManager;

// The menu bar's commands: File, Edit and View. Each command's shortcut lives here and only
// here; a disabled command's shortcut does nothing. Whether a command needs a current tab is
// recomputed whenever the current tab changes.
class AppCommands : public QObject {
    Q_OBJECT

public:
    // Fills `menuBar`, whose window the shortcuts act in.
    AppCommands(TabManager &tabManager, QMenuBar &menuBar, QObject *parent = nullptr);

    QMenu *fileMenu() const { return m_file; }
    QMenu *editMenu() const { return m_edit; }
    QMenu *viewMenu() const { return m_view; }
    QMenu *helpMenu() const { return m_help; }

signals:
    void settingsRequested();
    void quitRequested();

private:
    QAction *add(QMenu *menu, const QString &title, const QKeySequence &keys, bool needsTab);
    void addEditItems();
    void updateEnabled();

    TabManager &m_tabManager;
    QMenu *m_file = nullptr;
    QMenu *m_edit = nullptr;
    QMenu *m_view = nullptr;
    QMenu *m_help = nullptr;
    QList<QAction *> m_needsTab;
    QAction *m_reopen = nullptr;
};

} // namespace quillet
