#include "app_test_support.h"

#include "views/text_label.h"

#include <QRegularExpression>
#include <QScrollArea>
#include <QtTest>

namespace {

// Where a row's words and the menu's title differ while meaning the same command. The tab bar's
// button says "New Scratchpad" but carries the key of "New Tab", which does the same.
const QHash<QString, QString> kMenuTitle = {
    {"welcome: Open file", "Open…"},        {"settings: Open file", "Open…"},
    {"status bar: New", "New Scratchpad"},  {"status bar: Preview", "Toggle Preview"},
    {"status bar: Tab", "New Tab"},         {"status bar: Close", "Close Tab"},
    {"tooltip: New Scratchpad", "New Tab"},
};

// Case and an ellipsis aside, a row's label is the menu's title: "Settings" names "Settings…".
const QAction *menuAction(const QMenuBar &bar, QString title)
{
    title.remove(u'…');
    for (const QAction *top : bar.actions())
        for (const QAction *action : top->menu()->actions())
            if (QString(action->text()).remove(u'…').compare(title, Qt::CaseInsensitive) == 0)
                return action;
    return nullptr;
}

} // namespace

class ShortcutListsTest : public QObject {
    Q_OBJECT

private slots:
    void rowsShowTheMenusKeys_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("menuTitle");
        QTest::addColumn<QKeySequence>("menuKeys");
        quillet::test::Window app(0);
        const QMainWindow &window = app.window;

        const auto addRow = [&](const QString &name, const QString &keys, const QString &label) {
            const QAction *action = menuAction(*window.menuBar(), kMenuTitle.value(name, label));
            QTest::newRow(qPrintable(name)) << keys << (action ? action->text() : QString())
                                            << (action ? action->shortcut() : QKeySequence());
        };
        // A row is a widget holding its key text, then its label.
        const auto addList = [&](const QString &list, const QWidget *rows) {
            QVERIFY2(rows && rows->findChild<QWidget *>(), qPrintable(list + ": no rows found"));
            for (const QWidget *row : rows->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                const auto texts =
                    row->findChildren<quillet::TextLabel *>(Qt::FindDirectChildrenOnly);
                QCOMPARE(texts.size(), 2);
                addRow(list + ": " + texts[1]->text(), texts[0]->text(), texts[1]->text());
            }
        };
        addList("welcome", window.findChild<QWidget *>("shortcutList"));
        const auto *scroll = window.findChild<QScrollArea *>("shortcutsScroll");
        addList("settings", scroll ? scroll->widget() : nullptr);
        app.tabManager.newTab();
        addList("status bar", window.findChild<QWidget *>("shortcutReminders"));
        // Tooltips that end in a key, such as "Toggle preview (Ctrl+P)".
        static const QRegularExpression withKeys(QStringLiteral("^(.+) \\((.+)\\)$"));
        for (const QWidget *widget : window.findChildren<QWidget *>())
            if (const auto match = withKeys.match(widget->toolTip()); match.hasMatch())
                addRow("tooltip: " + match.captured(1), match.captured(2), match.captured(1));
    }

    void rowsShowTheMenusKeys()
    {
        QFETCH(QString, shown);
        QFETCH(QString, menuTitle);
        QFETCH(QKeySequence, menuKeys);
        QVERIFY2(!menuTitle.isEmpty(), "the row's label names no menu item");
        QCOMPARE(QKeySequence::fromString(shown, QKeySequence::NativeText).toString(),
                 menuKeys.toString());
    }
};

// Every row of every reference list, read off the widgets as shown, and the menu item it names.
QTEST_MAIN(ShortcutListsTest)
#include "tst_shortcut_lists.moc"
