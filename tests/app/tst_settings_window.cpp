#include "app_test_support.h"

#include "app/app_commands.h"
#include "model/tab_manager.h"
#include "views/content_view.h"
#include "views/settings_view.h"

#include <QMainWindow>
#include <QMenuBar>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

using quillet::SettingsView;
using quillet::TabManager;

namespace {

// The application as main() puts it together: the window with its menus and the one settings
// window that File > Settings… opens.
struct Application : quillet::test::TestPreferences {
    TabManager tabManager{TabManager::Persistence::disabled()};
    QMainWindow window;
    quillet::AppCommands commands{tabManager, *window.menuBar()};
    SettingsView *settings = new SettingsView(preferences, &window);

    Application()
    {
        QObject::connect(&commands, &quillet::AppCommands::settingsRequested, settings,
                         &SettingsView::present);
        window.setCentralWidget(new quillet::ContentView(tabManager, preferences));
        tabManager.newTab(QStringLiteral("text"));
        window.resize(900, 650);
        window.show();
        window.activateWindow();
    }

    // The menu's shortcuts act in the main window while it is the active one.
    void openSettings()
    {
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_Comma, Qt::ControlModifier);
        // It opens in front, ready for the keyboard. Being transient, it counts as active while
        // the main window is, so the focus itself is what tells.
        QTRY_COMPARE(QApplication::activeWindow(), settings);
    }
};

QList<SettingsView *> shownSettingsWindows()
{
    QList<SettingsView *> shown;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *settings = qobject_cast<SettingsView *>(widget);
            settings && settings->isVisible())
            shown.append(settings);
    return shown;
}

} // namespace

class SettingsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void commandOpensOneWindowThatDoesNotBlock();
    void closesOnItsKeysAndStaysAboveTheMainWindow_data();
    void closesOnItsKeysAndStaysAboveTheMainWindow();
};

void SettingsWindowTest::commandOpensOneWindowThatDoesNotBlock()
{
    Application app;
    QVERIFY(QTest::qWaitForWindowExposed(&app.window));
    QVERIFY(shownSettingsWindows().isEmpty());
    app.openSettings();
    QCOMPARE(shownSettingsWindows(), QList<SettingsView *>{app.settings});
    QVERIFY(app.settings->isWindow());
    QVERIFY(!app.settings->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);

    // Asked again while open, and again after closing: still the one window.
    app.settings->tabView()->setCurrentIndex(2);
    app.openSettings();
    QCOMPARE(shownSettingsWindows(), QList<SettingsView *>{app.settings});
    QCOMPARE(app.settings->tabView()->currentIndex(), 2);
    app.settings->close();
    app.openSettings();
    QCOMPARE(shownSettingsWindows(), QList<SettingsView *>{app.settings});
    QCOMPARE(app.settings->tabView()->currentIndex(), 0);

    // Quitting works from the settings window as from the main one.
    QSignalSpy quit(&app.commands, &quillet::AppCommands::quitRequested);
    QTest::keyClick(app.settings, Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(quit.count(), 1);

    // The main window keeps working while it is open.
    const qsizetype tabs = app.tabManager.tabs().size();
    app.window.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &app.window);
    QTest::keyClick(&app.window, Qt::Key_T, Qt::ControlModifier);
    QCOMPARE(app.tabManager.tabs().size(), tabs + 1);
}

void SettingsWindowTest::closesOnItsKeysAndStaysAboveTheMainWindow_data()
{
    QTest::addColumn<QKeyCombination>("keys");
    QTest::newRow("Escape") << QKeyCombination(Qt::Key_Escape);
    QTest::newRow("Ctrl+W") << QKeyCombination(Qt::ControlModifier, Qt::Key_W);
}

void SettingsWindowTest::closesOnItsKeysAndStaysAboveTheMainWindow()
{
    QFETCH(QKeyCombination, keys);
    Application app;
    app.openSettings();
    QCOMPARE(app.settings->windowHandle()->transientParent(), app.window.windowHandle());
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        // What the window manager is told: the settings window belongs above the main one.
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"),
                    {QStringLiteral("-id"), QString::number(app.settings->winId()),
                     QStringLiteral("WM_TRANSIENT_FOR")});
        if (xprop.waitForFinished() && xprop.exitCode() == 0)
            QVERIFY2(
                xprop.readAll().contains(QByteArray::number(qulonglong(app.window.winId()), 16)),
                "no WM_TRANSIENT_FOR naming the main window");
    }

    // The key acts on the settings window wherever its focus is, and nowhere else.
    app.settings->tabView()->setCurrentIndex(1);
    QWidget *target = app.settings->focusWidget() ? app.settings->focusWidget() : app.settings;
    QTest::keyClick(target, keys.key(), keys.keyboardModifiers());
    QTRY_VERIFY(!app.settings->isVisible());
    QCOMPARE(app.tabManager.tabs().size(), 1);
}

QTEST_MAIN(SettingsWindowTest)
#include "tst_settings_window.moc"
