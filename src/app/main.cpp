#include "app_commands.h"
#include "appearance.h"
#include "file_dialog_panels.h"
#include "platform/console.h"
#include "platform/quit_signals.h"
#include "model/tab_manager.h"
#include "settings/preferences.h"
#include "single_instance.h"
#include "views/content_view.h"
#include "views/settings_view.h"
#include "views/view_accessibility.h"
#include "window_title.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QIcon>
#include <QMainWindow>
#include <QMenuBar>
#include <QThread>
#include <QWindow>

#include <memory>

using quillet::TabManager;

namespace {

const QString kGeometryKey = QStringLiteral("windowGeometry");

// The main window remembers where it was and how large when it closes.
class MainWindow : public QMainWindow {
public:
    MainWindow()
    {
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

void describeCommandLine(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("A plain-text notepad that keeps its tabs, unsaved text and all, between "
                       "runs. Files given are opened as tabs, in the Quillet already running "
                       "when there is one."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Text or Markdown files to open."),
                                 QStringLiteral("[FILE...]"));
}

// Before the event loop runs: input stays queued for the editor, and a quit signal for the loop,
// which alone can act on it.
constexpr QEventLoop::ProcessEventsFlags kBeforeTheLoop =
    QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers;

// Maps and paints the window, still empty, before the saved tabs are read: with tens of
// megabytes of them that takes a while.
void showBeforeLoading(QMainWindow &window)
{
    window.show();
    QElapsedTimer waited;
    waited.start();
    const QWindow *handle = window.windowHandle();
    while (handle && !handle->isExposed() && waited.elapsed() < 200) {
        QCoreApplication::processEvents(kBeforeTheLoop);
        QThread::msleep(1);
    }
    QCoreApplication::processEvents(kBeforeTheLoop);
}

// --help and --version answer without a window system, over ssh for instance.
bool onlyAsksForText(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--")
            return false;
        if (argument == "-h" || argument == "--help" || argument == "-v" || argument == "--version")
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Quillet"));
    // The per-user store is then ~/.config/Quillet/Quillet.conf.
    QCoreApplication::setOrganizationName(QStringLiteral("Quillet"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLET_VERSION));
    if (onlyAsksForText(argc, argv)) {
        QCoreApplication core(argc, argv);
        QCommandLineParser parser;
        describeCommandLine(parser);
        parser.process(core); // prints and exits
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setDesktopFileName(QLatin1String(quillet::SingleInstance::kApplicationId));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QLatin1String(quillet::SingleInstance::kApplicationId),
                         QIcon(QStringLiteral(":/quillet/quillet.svg"))));
    QApplication::setStyle(QStringLiteral("Fusion"));
    quillet::ViewAccessibility::install();

    QCommandLineParser parser;
    describeCommandLine(parser);
    parser.process(app);
    const QList<QUrl> files = quillet::SingleInstance::fileUrlsFromArguments(
        parser.positionalArguments(), QDir::currentPath());

    // Whoever runs already takes the files; this process then leaves the saved tabs alone.
    quillet::SingleInstance instance;
    switch (instance.claimOrHandOver(files)) {
    case quillet::SingleInstance::Role::handedOver:
        return 0;
    case quillet::SingleInstance::Role::failed:
        quillet::printFailureLine(QStringLiteral("Quillet is already running but did not answer: "),
                                  instance.error());
        return 1;
    case quillet::SingleInstance::Role::primary:
        break;
    }

    quillet::QuitSignals quitSignals;
    quillet::Preferences &preferences = quillet::Preferences::shared();
    const auto interval = [&] {
        return std::chrono::milliseconds(qint64(preferences.autoSaveSeconds() * 1000));
    };
    TabManager::Persistence persistence;
    persistence.restoreTabs = preferences.restoreTabsOnLaunch();
    persistence.restoreAtConstruction = false;
    persistence.autoSaveInterval = interval();
    TabManager tabManager(persistence, std::make_unique<quillet::FileDialogPanels>());
    // Without a session bus, or with another session on the same home, the lock decides.
    if (tabManager.stateStore().heldElsewhere()) {
        quillet::printFailureLine(QStringLiteral("Quillet is already running: "),
                                  tabManager.stateStore().lockError());
        return 1;
    }
    quillet::Appearance appearance(preferences);
    appearance.apply();
    MainWindow window;
    showBeforeLoading(window);
    tabManager.restoreSavedTabs();
    tabManager.openFiles(files);
    QObject::connect(&preferences, &quillet::Preferences::autoSaveIntervalChanged, &tabManager,
                     [&] { tabManager.stateStore().setAutoSaveInterval(interval()); });
    auto *content = new quillet::ContentView(tabManager, preferences);
    window.setCentralWidget(content);
    quillet::AppCommands commands(tabManager, *window.menuBar());
    QObject::connect(&commands, &quillet::AppCommands::quitRequested, &window, &QWidget::close);
    // One settings window for the whole run, a window of its own above the main one; being the
    // main window's, it neither keeps the application running once that has closed nor blocks
    // it while open.
    auto *settings = new quillet::SettingsView(preferences, &window);
    QObject::connect(&commands, &quillet::AppCommands::settingsRequested, settings,
                     &quillet::SettingsView::present);

    new quillet::WindowTitle(window, tabManager);
    const auto present = [&window] {
        window.show();
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
        window.raise();
        window.activateWindow();
    };
    QObject::connect(&instance, &quillet::SingleInstance::activateRequested, &window, present);
    QObject::connect(&instance, &quillet::SingleInstance::openRequested, &window,
                     [&](const QList<QUrl> &opened) {
                         tabManager.openFiles(opened);
                         present();
                     });

    present();
    // The window may have become active while it was empty, with nothing to take the keyboard.
    QCoreApplication::processEvents(kBeforeTheLoop);
    content->focusContent();
    const int status = app.exec();
    // A launch from now on starts afresh and waits for the lock while the last state is written.
    instance.release();
    return status;
}
