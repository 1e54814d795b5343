#pragma once

#include "app/app_commands.h"
#include "model/tab_manager.h"
#include "settings/preferences.h"
#include "views/content_view.h"
#include "views/settings_view.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace quillet::test {

// Preferences in a folder of their own, removed with them unless the test failed.
struct TestPreferences {
    QTemporaryDir dir;
    Preferences preferences{std::make_unique<QSettings>(dir.filePath(QStringLiteral("prefs.conf")),
                                                        QSettings::IniFormat)};
    ~TestPreferences() { dir.setAutoRemove(!QTest::currentTestFailed()); }
};

// Installs `use` (one of the theme's palettes) and puts the application's palette back however
// the test ends.
struct ScopedPalette {
    const QPalette saved = QApplication::palette();
    explicit ScopedPalette(const QPalette &use) { QApplication::setPalette(use); }
    ~ScopedPalette() { QApplication::setPalette(saved); }
};

// The application as main() puts it together: the window with its menus and the one settings
// window that File > Settings… opens.
struct Window : TestPreferences {
    TabManager tabManager{TabManager::Persistence::disabled()};
    QMainWindow window;
    AppCommands commands{tabManager, *window.menuBar()};
    SettingsView *settings = new SettingsView(preferences, &window);

    explicit Window(int tabs)
    {
        QObject::connect(&commands, &AppCommands::settingsRequested, settings,
                         &SettingsView::present);
        window.setCentralWidget(new ContentView(tabManager, preferences));
        for (int i = 0; i < tabs; ++i)
            tabManager.newTab(QString::number(i));
        window.resize(900, 650);
        window.show();
        window.activateWindow();
    }

    // Shown in front, ready for the keyboard. Being transient, it counts as active while the main
    // window is, so the focus itself is what tells.
    void openSettings()
    {
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_Comma, Qt::ControlModifier);
        QTRY_COMPARE(QApplication::activeWindow(), settings);
    }
};

} // namespace quillet::test
