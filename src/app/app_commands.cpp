#include "app_commands.h"

#include "editor/editor_view.h"
#include "model/tab_manager.h"
#include "views/markdown_hint_button.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

namespace quillet {

namespace {

QKeySequence ctrl(int key, bool shift = false)
{
    return QKeySequence(QKeyCombination(
        shift ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier, Qt::Key(key)));
}

// The editor view holding the keyboard focus, if any.
EditorView *focusedEditor()
{
    for (QWidget *widget = QApplication::focusWidget(); widget; widget = widget->parentWidget())
        if (auto *editor = qobject_cast<EditorView *>(widget))
            return editor;
    return nullptr;
}

} // namespace

AppCommands::AppCommands(TabManager &tabManager, QMenuBar &menuBar, QObject *parent)
    : QObject(parent)
    , m_tabManager(tabManager)
{
    m_file = menuBar.addMenu(QStringLiteral("&File"));
    connect(add(m_file, QStringLiteral("New Scratchpad"), ctrl(Qt::Key_N), false),
            &QAction::triggered, this, [this] { m_tabManager.newTab(); });
    connect(add(m_file, QStringLiteral("Open…"), ctrl(Qt::Key_O), false), &QAction::triggered, this,
            [this] { m_tabManager.openFile(); });
    m_file->addSeparator();
    connect(add(m_file, QStringLiteral("Save"), ctrl(Qt::Key_S), true), &QAction::triggered, this,
            [this] { m_tabManager.saveCurrent(); });
    connect(add(m_file, QStringLiteral("Save As…"), ctrl(Qt::Key_S, true), true),
            &QAction::triggered, this, [this] { m_tabManager.saveCurrentAs(); });
    m_file->addSeparator();
    connect(add(m_file, QStringLiteral("New Tab"), ctrl(Qt::Key_T), false), &QAction::triggered,
            this, [this] { m_tabManager.newTab(); });
    connect(add(m_file, QStringLiteral("Close Tab"), ctrl(Qt::Key_W), true), &QAction::triggered,
            this, [this] { m_tabManager.closeCurrentTab(); });
    m_reopen = add(m_file, QStringLiteral("Reopen Closed Tab"), ctrl(Qt::Key_T, true), false);
    connect(m_reopen, &QAction::triggered, this, [this] { m_tabManager.reopenClosedTab(); });
    m_file->addSeparator();
    // Named by the bracket keys: X11 and Wayland match Ctrl+Shift+] against "Ctrl+Shift+]" (and
    // "Ctrl+}"), never against "Ctrl+Shift+}", so a brace with Shift would never fire there.
    connect(add(m_file, QStringLiteral("Previous Tab"), ctrl(Qt::Key_BracketLeft, true), false),
            &QAction::triggered, this, [this] { m_tabManager.previousTab(); });
    connect(add(m_file, QStringLiteral("Next Tab"), ctrl(Qt::Key_BracketRight, true), false),
            &QAction::triggered, this, [this] { m_tabManager.nextTab(); });
    m_file->addSeparator();
    QAction *settings = add(m_file, QStringLiteral("Settings…"), ctrl(Qt::Key_Comma), false);
    settings->setMenuRole(QAction::PreferencesRole);
    connect(settings, &QAction::triggered, this, &AppCommands::settingsRequested);
    QAction *quit = add(m_file, QStringLiteral("Quit"), ctrl(Qt::Key_Q), false);
    quit->setMenuRole(QAction::QuitRole);
    // These two are about the application, not the window: they act from the settings window too.
    for (QAction *action : {settings, quit})
        action->setShortcutContext(Qt::ApplicationShortcut);
    connect(quit, &QAction::triggered, this, &AppCommands::quitRequested);

    m_edit = menuBar.addMenu(QStringLiteral("&Edit"));
    addEditItems();

    m_view = menuBar.addMenu(QStringLiteral("&View"));
    connect(add(m_view, QStringLiteral("Toggle Preview"), ctrl(Qt::Key_P), true),
            &QAction::triggered, this, [this] { m_tabManager.cyclePreviewMode(); });

    // The reference's own button is out of the keyboard's way in the tab bar.
    m_help = menuBar.addMenu(QStringLiteral("&Help"));
    connect(add(m_help, QStringLiteral("Markdown Reference"), QKeySequence(Qt::Key_F1), true),
            &QAction::triggered, this, [bar = &menuBar] {
                for (auto *button : bar->window()->findChildren<MarkdownHintButton *>()) {
                    if (button->isVisible())
                        button->setShowPopover(true);
                }
            });

    connect(&m_tabManager, &TabManager::currentTabChanged, this, &AppCommands::updateEnabled);
    connect(&m_tabManager, &TabManager::closedTabsChanged, this, &AppCommands::updateEnabled);
    updateEnabled();
}

QAction *AppCommands::add(QMenu *menu, const QString &title, const QKeySequence &keys,
                          bool needsTab)
{
    QAction *action = menu->addAction(title);
    action->setShortcut(keys);
    // The menu bar's window is where the shortcut acts, whatever has the focus in it.
    action->setShortcutContext(Qt::WindowShortcut);
    if (auto *window = menu->parentWidget() ? menu->parentWidget()->window() : nullptr)
        window->addAction(action);
    if (needsTab)
        m_needsTab.append(action);
    return action;
}

void AppCommands::addEditItems()
{
    // The editor's own actions carry these shortcuts, scoped to the editor that has the focus;
    // the menu items show the same keys but act only when chosen from the menu, so no key
    // press is claimed twice.
    using Member = QAction *EditorView::EditActions::*;
    const std::tuple<QString, QKeySequence, Member> items[] = {
        {QStringLiteral("Undo"), QKeySequence::Undo, &EditorView::EditActions::undo},
        {QStringLiteral("Redo"), QKeySequence::Redo, &EditorView::EditActions::redo},
        {QString(), {}, nullptr},
        {QStringLiteral("Cut"), QKeySequence::Cut, &EditorView::EditActions::cut},
        {QStringLiteral("Copy"), QKeySequence::Copy, &EditorView::EditActions::copy},
        {QStringLiteral("Paste"), QKeySequence::Paste, &EditorView::EditActions::paste},
        {QStringLiteral("Select All"), QKeySequence::SelectAll,
         &EditorView::EditActions::selectAll},
        {QString(), {}, nullptr},
        {QStringLiteral("Find…"), QKeySequence::Find, &EditorView::EditActions::find},
    };
    for (const auto &[title, keys, member] : items) {
        if (!member) {
            m_edit->addSeparator();
            continue;
        }
        QAction *action = m_edit->addAction(title);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetShortcut);
        m_needsTab.append(action);
        connect(action, &QAction::triggered, this, [member] {
            if (EditorView *editor = focusedEditor())
                (editor->editActions().*member)->trigger();
        });
    }
}

void AppCommands::updateEnabled()
{
    const bool hasTab = bool(m_tabManager.currentTab());
    for (QAction *action : std::as_const(m_needsTab))
        action->setEnabled(hasTab);
    m_reopen->setEnabled(m_tabManager.hasClosedTabs());
}

} // namespace quillet
