#include "app_commands.h"
#include "appearance.h"
#include "file_dialog_panels.h"
#include "model/quit_signals.h"
#include "model/tab_manager.h"
#include "settings/preferences.h"
#include "views/content_view.h"
#include "views/settings_view.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMainWindow>
#include <QMenuBar>

#include <memory>

using quillet::TabManager;

namespace {

const QString kGeometryKey = QStringLiteral("windowGeometry");

// The main window remembers where it was and how large when it closes.
class MainWindow : public QMainWindow {
public:
    MainWindow()
    {
        setWindowTitle(QStringLiteral("Quillet"));
        setMinimumSize(600, 400);
        resize(900, 650);
        const QByteArray geometry =
            quillet::Preferences::shared().storedValue(kGeometryKey).toByteArray();
        if (!geometry.isEmpty() && !restoreGeometry(geometry))
            qWarning("Quillet: the remembered window geometry could not be used");
    }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        quillet::Preferences::shared().storeValue(kGeometryKey, saveGeometry());
        QMainWindow::closeEvent(event);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    // The per-user store is then ~/.config/Quillet/Quillet.conf.
    QApplication::setOrganizationName(QStringLiteral("Quillet"));
    QApplication::setStyle(QStringLiteral("Fusion"));

    quillet::QuitSignals quitSignals;
    quillet::Preferences &preferences = quillet::Preferences::shared();
    const auto interval = [&] {
        return std::chrono::milliseconds(qint64(preferences.autoSaveSeconds() * 1000));
    };
    TabManager::Persistence persistence;
    persistence.restoreTabs = preferences.restoreTabsOnLaunch();
    persistence.autoSaveInterval = interval();
    TabManager tabManager(persistence, std::make_unique<quillet::FileDialogPanels>());
    QObject::connect(&preferences, &quillet::Preferences::autoSaveIntervalChanged, &tabManager,
                     [&] { tabManager.setAutoSaveInterval(interval()); });
    quillet::Appearance appearance(preferences);
    appearance.apply();
    MainWindow window;
    window.setCentralWidget(new quillet::ContentView(tabManager, preferences));
    quillet::AppCommands commands(tabManager, *window.menuBar());
    QObject::connect(&commands, &quillet::AppCommands::quitRequested, &window, &QWidget::close);
    // One settings window for the whole run, a window of its own above the main one; being the
    // main window's, it neither keeps the application running once that has closed nor blocks
    // it while open.
    auto *settings = new quillet::SettingsView(preferences, &window);
    QObject::connect(&commands, &quillet::AppCommands::settingsRequested, settings,
                     &quillet::SettingsView::present);

    window.show();
    window.raise();
    window.activateWindow();
    return app.exec();
}
