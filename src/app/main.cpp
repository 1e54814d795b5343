#include "file_dialog_panels.h"
#include "model/quit_signals.h"
#include "model/tab_manager.h"
#include "settings/preferences.h"
#include "views/content_view.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>

#include <memory>

using quillet::TabManager;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    QApplication::setStyle(QStringLiteral("Fusion"));

    quillet::QuitSignals quitSignals;
    TabManager tabManager({}, std::make_unique<quillet::FileDialogPanels>());
    QMainWindow window;
    window.setCentralWidget(new quillet::ContentView(tabManager, quillet::Preferences::shared()));
    window.setWindowTitle(QStringLiteral("Quillet"));
    window.resize(900, 650);

    // Until the menus exist: a new tab, closing, the previous and next tab, and the preview
    // mode. Ctrl+N and Ctrl+O belong to the welcome view's buttons while it is shown.
    const auto addShortcut = [&](const QKeySequence &keys, auto run) {
        auto *action = new QAction(&window);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::ApplicationShortcut);
        QObject::connect(action, &QAction::triggered, &window, run);
        window.addAction(action);
    };
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), [&] { tabManager.newTab(); });
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), [&] { tabManager.closeCurrentTab(); });
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), [&] { tabManager.cyclePreviewMode(); });
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), [&] { tabManager.saveCurrent(); });
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp), [&] { tabManager.previousTab(); });
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown), [&] { tabManager.nextTab(); });

    window.show();
    window.raise();
    window.activateWindow();
    return app.exec();
}
