#include "editor/editor_view.h"
#include "file_dialog_panels.h"
#include "model/quit_signals.h"
#include "model/tab_manager.h"
#include "settings/preferences.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMainWindow>
#include <QSplitter>

#include <memory>

using quillet::EditorView;
using quillet::Scratchpad;
using quillet::TabManager;

namespace {

// Lists the open tabs by title, the selected one highlighted.
void showTabs(QListWidget &list, const TabManager &tabManager)
{
    const QSignalBlocker quiet(list);
    list.clear();
    for (const auto &tab : tabManager.tabs()) {
        auto *item = new QListWidgetItem(tab->title(), &list);
        item->setData(Qt::UserRole, tab->id());
        item->setSelected(tab == tabManager.currentTab());
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    QApplication::setStyle(QStringLiteral("Fusion"));

    quillet::QuitSignals quitSignals;
    TabManager tabManager({}, std::make_unique<quillet::FileDialogPanels>());
    QMainWindow window;
    auto *splitter = new QSplitter(&window);
    auto *list = new QListWidget(splitter);
    auto *editor = new EditorView(tabManager, quillet::Preferences::shared(), splitter);
    splitter->addWidget(list);
    splitter->addWidget(editor);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({200, 700});
    window.setCentralWidget(splitter);
    window.setWindowTitle(QStringLiteral("Quillet"));
    window.resize(900, 650);

    // Until the menus exist: a new tab, and the previous and next tab.
    const auto addShortcut = [&](const QKeySequence &keys, auto run) {
        auto *action = new QAction(&window);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::ApplicationShortcut);
        QObject::connect(action, &QAction::triggered, &window, run);
        window.addAction(action);
    };
    addShortcut(QKeySequence::New, [&] { tabManager.newTab(); });
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), [&] { tabManager.closeCurrentTab(); });
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp), [&] { tabManager.previousTab(); });
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown), [&] { tabManager.nextTab(); });
    QObject::connect(list, &QListWidget::itemClicked, &window, [&](QListWidgetItem *item) {
        tabManager.selectTab(item->data(Qt::UserRole).toUuid());
    });

    // Titles change with every edit; the watcher carries this list's connections to the tabs
    // and is replaced whenever the list of tabs changes.
    std::unique_ptr<QObject> titleWatcher;
    auto refresh = [&] { showTabs(*list, tabManager); };
    auto watchTabs = [&] {
        titleWatcher = std::make_unique<QObject>();
        for (const auto &tab : tabManager.tabs())
            QObject::connect(tab.get(), &Scratchpad::titleChanged, titleWatcher.get(), refresh);
        refresh();
    };
    QObject::connect(&tabManager, &TabManager::tabsChanged, &window, watchTabs);
    QObject::connect(&tabManager, &TabManager::currentTabChanged, &window, [&] {
        editor->setScratchpad(tabManager.currentTab());
        refresh();
    });
    watchTabs();
    editor->setScratchpad(tabManager.currentTab());

    window.show();
    window.raise();
    window.activateWindow();
    return app.exec();
}
