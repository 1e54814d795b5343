#include "file_dialog_panels.h"
#include "model/quit_signals.h"
#include "model/tab_manager.h"

#include <QApplication>
#include <QListWidget>
#include <QMainWindow>

#include <memory>

using quillet::Scratchpad;
using quillet::TabManager;

namespace {

// Lists the open tabs by title, the selected one highlighted.
void showTabs(QListWidget &list, const TabManager &tabManager)
{
    list.clear();
    for (const auto &tab : tabManager.tabs()) {
        auto *item = new QListWidgetItem(tab->title(), &list);
        item->setSelected(tab == tabManager.currentTab());
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet"));

    quillet::QuitSignals quitSignals;
    TabManager tabManager({}, std::make_unique<quillet::FileDialogPanels>());
    QMainWindow window;
    auto *list = new QListWidget(&window);
    window.setCentralWidget(list);
    window.setWindowTitle(QStringLiteral("Quillet"));
    window.resize(900, 650);

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
    QObject::connect(&tabManager, &TabManager::currentTabChanged, &window, refresh);
    watchTabs();

    window.show();
    return app.exec();
}
