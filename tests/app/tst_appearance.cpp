#include "app/appearance.h"
#include "model/tab_manager.h"
#include "settings/preferences.h"
#include "views/content_view.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using quillet::Appearance;
using quillet::TabManager;

class AppearanceTest : public QObject {
    Q_OBJECT

private slots:
    void themeSwitchesEveryWindowLive_data();
    void themeSwitchesEveryWindowLive();
};

void AppearanceTest::themeSwitchesEveryWindowLive_data()
{
    QTest::addColumn<QString>("theme");
    QTest::addColumn<bool>("dark");
    QTest::newRow("dark") << "dark" << true;
    QTest::newRow("light") << "light" << false;
    // No desktop answers in the test session, so following it means light.
    QTest::newRow("system") << "system" << false;
    QTest::newRow("unknown value acts as system") << "sepia" << false;
}

void AppearanceTest::themeSwitchesEveryWindowLive()
{
    QFETCH(QString, theme);
    QFETCH(bool, dark);
    QTemporaryDir dir;
    quillet::Preferences preferences(std::make_unique<QSettings>(
        dir.filePath(QStringLiteral("prefs.conf")), QSettings::IniFormat));
    Appearance appearance(preferences);
    // Start from the opposite of what the row expects, so the switch has something to change.
    preferences.setAppTheme(dark ? QStringLiteral("light") : QStringLiteral("dark"));
    appearance.apply();
    TabManager tabManager(TabManager::Persistence::disabled());
    tabManager.newTab(QStringLiteral("text"));
    quillet::ContentView view(tabManager, preferences);
    view.resize(800, 500);
    view.show();
    QCoreApplication::processEvents();
    const QColor before = view.tabBar()->palette().color(QPalette::Window);

    preferences.setAppTheme(theme);
    QCoreApplication::processEvents();
    const QColor after = view.tabBar()->palette().color(QPalette::Window);
    QVERIFY(before != after);
    const QPalette expected = dark ? Appearance::darkPalette() : Appearance::lightPalette();
    QCOMPARE(after, expected.color(QPalette::Window));
    QCOMPARE(view.statusBar()->palette().color(QPalette::Window), after);
}

QTEST_MAIN(AppearanceTest)
#include "tst_appearance.moc"
