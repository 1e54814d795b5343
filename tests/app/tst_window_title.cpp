#include "app/window_title.h"
#include "model/tab_manager.h"

#include <QWidget>
#include <QWindow>
#include <QtTest>

using quillet::TabManager;

class WindowTitleTest : public QObject {
    Q_OBJECT

private slots:
    void followsTheCurrentTab_data()
    {
        // Steps: "new", "type:<text>" into the current tab, "clean", "select:<index>", "close".
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("title");

        QTest::newRow("no tab") << QStringList() << "Quillet";
        QTest::newRow("another tab selected, then the first edited")
            << QStringList{"new",         "type:first", "clean",           "new",
                           "type:second", "select:0",   "type:first again"}
            << "\u2022 first again \u2014 Quillet";
        QTest::newRow("Qt's placeholder in a title, the mark gone once clean")
            << QStringList{"new", "type:a [*] b", "clean"} << "a [*] b \u2014 Quillet";
        QTest::newRow("the last tab closed") << QStringList{"new", "type:x", "close"} << "Quillet";
    }

    void followsTheCurrentTab()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, title);
        TabManager tabManager(TabManager::Persistence::disabled());
        QWidget window;
        new quillet::WindowTitle(window, tabManager);
        window.show();
        for (const QString &step : steps) {
            const QString argument = step.section(u':', 1);
            if (step == u"new")
                tabManager.newTab();
            else if (step.startsWith(u"type:"))
                tabManager.updateContent(*tabManager.currentTab(), argument);
            else if (step == u"clean")
                tabManager.currentTab()->setIsDirty(false);
            else if (step.startsWith(u"select:"))
                tabManager.selectTab(tabManager.tabs().at(argument.toInt())->id());
            else if (step == u"close")
                tabManager.closeCurrentTab();
        }
        // What the window system is told, after Qt's own handling of the title.
        QCOMPARE(window.windowHandle()->title(), title);
    }
};

QTEST_MAIN(WindowTitleTest)
#include "tst_window_title.moc"
