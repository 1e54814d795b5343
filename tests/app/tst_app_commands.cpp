#include "app/app_commands.h"
#include "model/tab_manager.h"
#include "settings/preferences.h"
#include "views/content_view.h"
#include "views/markdown_hint_button.h"
#include "views/view_accessibility.h"

#include <QAccessible>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using quillet::AppCommands;
using quillet::PreviewMode;
using quillet::TabManager;

namespace {

struct Window {
    QTemporaryDir dir;
    TabManager tabManager{TabManager::Persistence::disabled()};
    quillet::Preferences preferences{std::make_unique<QSettings>(
        dir.filePath(QStringLiteral("prefs.conf")), QSettings::IniFormat)};
    QMainWindow window;
    AppCommands commands{tabManager, *window.menuBar()};

    Window()
    {
        window.setCentralWidget(new quillet::ContentView(tabManager, preferences));
        window.resize(900, 650);
        window.show();
        window.activateWindow();
    }

    void press(const QKeySequence &keys)
    {
        const QKeyCombination combination = keys[0];
        QTest::keyClick(&window, combination.key(), combination.keyboardModifiers());
        QCoreApplication::processEvents();
    }
};

// "Title|Shortcut|enabled" for each item, "-" for a divider.
QStringList describe(const QMenu *menu)
{
    QStringList rows;
    for (const QAction *action : menu->actions()) {
        if (action->isSeparator())
            rows.append(QStringLiteral("-"));
        else
            rows.append(action->text() + u'|' +
                        action->shortcut().toString(QKeySequence::PortableText) + u'|' +
                        (action->isEnabled() ? u'1' : u'0'));
    }
    return rows;
}

} // namespace

class AppCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void menus_data();
    void menus();
    void f1OpensTheReference();
    void shortcuts_data();
    void shortcuts();
};

void AppCommandsTest::menus_data()
{
    QTest::addColumn<int>("tabs");
    QTest::addColumn<bool>("closeOne");
    QTest::addColumn<QStringList>("file");
    QTest::addColumn<QStringList>("edit");
    QTest::addColumn<QStringList>("view");
    QTest::addColumn<QStringList>("help");

    const auto file = [](bool hasTab, bool closed) {
        const QString t = hasTab ? "1" : "0";
        return QStringList{"New Scratchpad|Ctrl+N|1",
                           "Open…|Ctrl+O|1",
                           "-",
                           "Save|Ctrl+S|" + t,
                           "Save As…|Ctrl+Shift+S|" + t,
                           "-",
                           "New Tab|Ctrl+T|1",
                           "Close Tab|Ctrl+W|" + t,
                           QStringLiteral("Reopen Closed Tab|Ctrl+Shift+T|") + (closed ? "1" : "0"),
                           "-",
                           "Previous Tab|Ctrl+Shift+[|1",
                           "Next Tab|Ctrl+Shift+]|1",
                           "-",
                           "Settings…|Ctrl+,|1",
                           "Quit|Ctrl+Q|1"};
    };
    const auto edit = [](bool hasTab) {
        const QString t = hasTab ? "1" : "0";
        const auto key = [](QKeySequence::StandardKey standard) {
            return QKeySequence(standard).toString(QKeySequence::PortableText);
        };
        return QStringList{"Undo|" + key(QKeySequence::Undo) + '|' + t,
                           "Redo|" + key(QKeySequence::Redo) + '|' + t,
                           "-",
                           "Cut|" + key(QKeySequence::Cut) + '|' + t,
                           "Copy|" + key(QKeySequence::Copy) + '|' + t,
                           "Paste|" + key(QKeySequence::Paste) + '|' + t,
                           "Select All|" + key(QKeySequence::SelectAll) + '|' + t,
                           "-",
                           "Find…|" + key(QKeySequence::Find) + '|' + t};
    };
    QTest::newRow("no tab") << 0 << false << file(false, false) << edit(false)
                            << QStringList{"Toggle Preview|Ctrl+P|0"}
                            << QStringList{"Markdown Reference|F1|0"};
    QTest::newRow("a tab") << 2 << false << file(true, false) << edit(true)
                           << QStringList{"Toggle Preview|Ctrl+P|1"}
                           << QStringList{"Markdown Reference|F1|1"};
    QTest::newRow("last tab closed")
        << 1 << true << file(false, true) << edit(false) << QStringList{"Toggle Preview|Ctrl+P|0"}
        << QStringList{"Markdown Reference|F1|0"};
}

void AppCommandsTest::menus()
{
    QFETCH(int, tabs);
    QFETCH(bool, closeOne);
    Window window;
    for (int i = 0; i < tabs; ++i)
        window.tabManager.newTab();
    if (closeOne)
        window.tabManager.closeCurrentTab();
    const QList<QAction *> top = window.window.menuBar()->actions();
    QCOMPARE(top.size(), 4);
    QCOMPARE(top.at(0)->menu(), window.commands.fileMenu());
    QCOMPARE(top.at(1)->menu(), window.commands.editMenu());
    QCOMPARE(top.at(2)->menu(), window.commands.viewMenu());
    QCOMPARE(top.at(3)->menu(), window.commands.helpMenu());
    QTEST(describe(window.commands.fileMenu()), "file");
    QTEST(describe(window.commands.editMenu()), "edit");
    QTEST(describe(window.commands.viewMenu()), "view");
    QTEST(describe(window.commands.helpMenu()), "help");
}

// The keyboard's way to the reference: F1 opens it, in the accessibility tree as a dialog.
void AppCommandsTest::f1OpensTheReference()
{
    quillet::ViewAccessibility::install();
    Window window;
    window.tabManager.newTab();
    QVERIFY(QTest::qWaitForWindowActive(&window.window));
    window.press(QKeySequence(Qt::Key_F1));
    auto *button = window.window.findChild<quillet::MarkdownHintButton *>();
    QTRY_VERIFY(button->popover() && button->popover()->isVisible());
    QAccessibleInterface *popover = QAccessible::queryAccessibleInterface(button->popover());
    QCOMPARE(popover->role(), QAccessible::Dialog);
    QCOMPARE(popover->text(QAccessible::Name), QStringLiteral("Markdown Reference"));
    button->popover()->close();
}

void AppCommandsTest::shortcuts_data()
{
    QTest::addColumn<int>("tabs");
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<int>("tabsAfter");
    QTest::addColumn<int>("currentAfter");
    QTest::addColumn<PreviewMode>("modeAfter");

    const auto ctrl = [](int key) { return QKeySequence(Qt::CTRL | Qt::Key(key)); };
    const auto ctrlShift = [](int key) {
        return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key(key));
    };
    QTest::newRow("Ctrl+N adds") << 0 << ctrl(Qt::Key_N) << 1 << 0 << PreviewMode::edit;
    QTest::newRow("Ctrl+T adds") << 2 << ctrl(Qt::Key_T) << 3 << 2 << PreviewMode::edit;
    QTest::newRow("Ctrl+W closes") << 2 << ctrl(Qt::Key_W) << 1 << 0 << PreviewMode::edit;
    QTest::newRow("Ctrl+W without tab") << 0 << ctrl(Qt::Key_W) << 0 << -1 << PreviewMode::edit;
    QTest::newRow("Ctrl+P cycles") << 1 << ctrl(Qt::Key_P) << 1 << 0 << PreviewMode::split;
    QTest::newRow("Ctrl+P without tab") << 0 << ctrl(Qt::Key_P) << 0 << -1 << PreviewMode::edit;
    QTest::newRow("previous") << 3 << ctrlShift(Qt::Key_BracketLeft) << 3 << 1 << PreviewMode::edit;
    QTest::newRow("next wraps") << 3 << ctrlShift(Qt::Key_BracketRight) << 3 << 0
                                << PreviewMode::edit;
}

void AppCommandsTest::shortcuts()
{
    QFETCH(int, tabs);
    QFETCH(QKeySequence, keys);
    Window window;
    QVERIFY(QTest::qWaitForWindowActive(&window.window));
    for (int i = 0; i < tabs; ++i)
        window.tabManager.newTab(QString::number(i));
    window.press(keys);
    QTEST(int(window.tabManager.tabs().size()), "tabsAfter");
    QTEST(int(window.tabManager.currentTabIndex()), "currentAfter");
    QTEST(window.tabManager.previewMode(), "modeAfter");
}

QTEST_MAIN(AppCommandsTest)
#include "tst_app_commands.moc"
