#include "app_test_support.h"

#include "editor/editor_view.h"
#include "editor/find_bar.h"
#include "editor/plain_text_text_view.h"
#include "views/markdown_hint_button.h"
#include "views/view_accessibility.h"

#include <QAccessible>
#include <QClipboard>
#include <QMenu>
#include <QSignalSpy>
#include <QTabWidget>
#include <QtTest>

using quillet::SettingsView;
using quillet::test::Window;
using namespace Qt::StringLiterals;

class AppCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { quillet::ViewAccessibility::install(); }

    void menus_data()
    {
        QTest::addColumn<int>("tabs");
        QTest::addColumn<bool>("closeOne");
        QTest::addColumn<QStringList>("disabled");
        const QStringList needTab{"Save",       "Save As…", "Close Tab",      "Undo",
                                  "Redo",       "Cut",      "Copy",           "Paste",
                                  "Select All", "Find…",    "Toggle Preview", "Markdown Reference"};
        QTest::newRow("no tab") << 0 << false << needTab + QStringList{"Reopen Closed Tab"};
        QTest::newRow("a tab") << 2 << false << QStringList{"Reopen Closed Tab"};
        QTest::newRow("last tab closed") << 1 << true << needTab;
    }

    // The items that need a tab are off without one. Their keys are pressed below, in the
    // end-to-end flows, or compared with the reference lists.
    void menus()
    {
        QFETCH(int, tabs);
        QFETCH(bool, closeOne);
        QFETCH(QStringList, disabled);
        Window window(tabs);
        if (closeOne)
            window.tabManager.closeCurrentTab();
        QStringList off;
        for (QAction *top : window.window.menuBar()->actions())
            for (QAction *action : top->menu()->actions())
                if (!action->isEnabled() && !action->isSeparator())
                    off << action->text();
        off.sort();
        disabled.sort();
        QCOMPARE(off, disabled);
    }

    void editItemsActOnTheFocusedEditor_data()
    {
        // "ell" of "hello" is selected and "X" on the clipboard before the item is chosen.
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("clipboard");
        QTest::newRow("Cut") << "Cut" << "ho" << "" << "ell";
        QTest::newRow("Copy") << "Copy" << "hello" << "ell" << "ell";
        QTest::newRow("Paste") << "Paste" << "hXo" << "" << "X";
        QTest::newRow("Select All") << "Select All" << "hello" << "hello" << "X";
        QTest::newRow("Find…") << "Find…" << "hello" << "ell" << "X";
    }

    void editItemsActOnTheFocusedEditor()
    {
        QFETCH(QString, item);
        Window window(1);
        QVERIFY(QTest::qWaitForWindowActive(&window.window));
        auto *editor = window.window.findChild<quillet::EditorView *>();
        quillet::PlainTextTextView *view = editor->textView();
        view->setText(u"hello"_s);
        view->setFocus();
        view->setSelectedRange(1, 3);
        QGuiApplication::clipboard()->setText(u"X"_s);
        for (QAction *action : window.commands.editMenu()->actions())
            if (action->text() == item)
                action->trigger();
        QTEST(view->toPlainText(), "text");
        QTEST(view->textCursor().selectedText(), "selected");
        QTEST(QGuiApplication::clipboard()->text(), "clipboard");
        QCOMPARE(editor->findBar()->isVisible(), item == u"Find…");
    }

    void shortcuts_data()
    {
        // After the keys: "tabs/current tab/preview mode", and whether the reference shows.
        QTest::addColumn<int>("tabs");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("after");
        const auto row = [](const char *name, int tabs, const char *keys, const char *after) {
            QTest::newRow(name) << tabs << QKeySequence(QString::fromUtf8(keys)) << QString(after);
        };
        row("Ctrl+N adds", 0, "Ctrl+N", "1/0/0");
        row("Ctrl+T adds", 2, "Ctrl+T", "3/2/0");
        row("Ctrl+W closes", 2, "Ctrl+W", "1/0/0");
        row("Ctrl+P cycles", 1, "Ctrl+P", "1/0/1");
        row("previous", 3, "Ctrl+Shift+[", "3/1/0");
        row("next wraps", 3, "Ctrl+Shift+]", "3/0/0");
        row("F1 opens the reference", 1, "F1", "1/0/0 reference");
        row("Ctrl+Shift+T reopens", 2, "Ctrl+W, Ctrl+Shift+T", "2/1/0");
    }

    void shortcuts()
    {
        QFETCH(int, tabs);
        QFETCH(QKeySequence, keys);
        Window window(tabs);
        QVERIFY(QTest::qWaitForWindowActive(&window.window));
        for (int i = 0; i < keys.count(); ++i)
            QTest::keyClick(&window.window, keys[i].key(), keys[i].keyboardModifiers());
        QCoreApplication::processEvents();
        QString after = u"%1/%2/%3"_s.arg(window.tabManager.tabs().size())
                            .arg(window.tabManager.currentTabIndex())
                            .arg(int(window.tabManager.previewMode()));
        // The keyboard's way to the reference: in the accessibility tree, a dialog of that name.
        const auto *button = window.window.findChild<quillet::MarkdownHintButton *>();
        if (QWidget *popover = button ? button->popover() : nullptr;
            popover && popover->isVisible()) {
            QAccessibleInterface *dialog = QAccessible::queryAccessibleInterface(popover);
            QCOMPARE(dialog->role(), QAccessible::Dialog);
            QCOMPARE(dialog->text(QAccessible::Name), u"Markdown Reference"_s);
            after += u" reference"_s;
            popover->close();
        }
        QTEST(after, "after");
    }

    void oneSettingsWindowThatDoesNotBlock()
    {
        Window app(1);
        app.openSettings();
        QVERIFY(app.settings->isWindow() && !app.settings->isModal());
        // Asked again while open: the same window, as it was.
        app.settings->tabView()->setCurrentIndex(2);
        app.openSettings();
        QCOMPARE(app.settings->tabView()->currentIndex(), 2);
        // Quitting works from there as from the main window.
        QSignalSpy quit(&app.commands, &quillet::AppCommands::quitRequested);
        QTest::keyClick(app.settings, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(quit.count(), 1);
        // Escape closes it wherever its focus is, and nothing else; reopened, it starts over,
        // and meanwhile the main window kept working.
        QWidget *focus = app.settings->focusWidget() ? app.settings->focusWidget() : app.settings;
        QTest::keyClick(focus, Qt::Key_Escape);
        QTRY_VERIFY(!app.settings->isVisible());
        app.openSettings();
        QCOMPARE(app.settings->tabView()->currentIndex(), 0);
        app.window.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &app.window);
        QTest::keyClick(&app.window, Qt::Key_T, Qt::ControlModifier);
        QCOMPARE(app.tabManager.tabs().size(), 2);
    }
};

QTEST_MAIN(AppCommandsTest)
#include "tst_app_commands.moc"
