#include "views/editor_preview_container.h"
#include "views/markdown_hint_button.h"
#include "views/preview_view.h"
#include "views/settings_view.h"
#include "views/status_bar_view.h"
#include "views/symbol_button.h"
#include "views/text_label.h"
#include "views/view_accessibility.h"
#include "views/welcome_view.h"
#include "views_test_support.h"

#include "editor/editor_view.h"
#include "editor/find_bar.h"
#include "editor/plain_text_text_view.h"

#include <QAccessible>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

#include <functional>

using namespace quillet;

namespace {

// With a settings window of its own, for the rows that show one.
struct Window : test::ContentWindow {
    using ContentWindow::ContentWindow;
    std::unique_ptr<SettingsView> settings;
};

// The name of what holds the keyboard: a tab's title, a region, or the widget's
// object name.
QString focusName(const Window &window)
{
    QWidget *focus = QApplication::focusWidget();
    if (auto *item = qobject_cast<TabItemView *>(focus))
        return item->scratchpad()->title();
    const auto within = [focus](QWidget *area) {
        return area && (area == focus || area->isAncestorOf(focus));
    };
    if (within(window.view.editingArea() ? window.view.editingArea()->editor() : nullptr))
        return QStringLiteral("editor");
    if (within(window.view.editingArea() ? window.view.editingArea()->preview() : nullptr))
        return QStringLiteral("preview");
    if (window.view.welcomeView() && focus == window.view.welcomeView()->newScratchpadButton())
        return QStringLiteral("welcome");
    if (within(window.view.statusBar()))
        return QStringLiteral("status");
    return focus ? focus->objectName() : QString();
}

// The node's role, then its name in brackets unless that is empty or the text it shows; "none"
// without a node.
QString roleAndName(QAccessibleInterface *node, const QString &shownText = {})
{
    if (!node)
        return QStringLiteral("none");
    QString line =
        QString::fromLatin1(QMetaEnum::fromType<QAccessible::Role>().valueToKey(node->role()));
    const QString name = node->text(QAccessible::Name);
    if (!name.isEmpty() && name != shownText)
        line += u'[' + name + u']';
    return line;
}

// The preview's tree, depth first: each node's role, its name where it says more than its text,
// its text, and whether a task is done.
void readTree(QAccessibleInterface *node, QStringList &lines)
{
    QVERIFY(!node->child(node->childCount()));
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface *child = node->child(i);
        QCOMPARE(node->indexOfChild(child), i);
        const QString text =
            child->textInterface()
                ? child->textInterface()->text(0, child->textInterface()->characterCount())
                : QString();
        QString line = roleAndName(child, text);
        // Headings, items and cells are short: a screen reader announces them by name.
        static const QList named{QAccessible::Heading, QAccessible::ListItem, QAccessible::Cell,
                                 QAccessible::ColumnHeader};
        if (named.contains(child->role()))
            QCOMPARE(child->text(QAccessible::Name), text);
        if (child->textInterface())
            line += u':' + text;
        if (child->state().checkable)
            line += child->state().checked ? u"|checked" : u"|unchecked";
        lines.append(line);
        readTree(child, lines);
    }
}

using Pick = std::function<QWidget *(Window &)>;

QAccessibleInterface *a11y(QWidget *widget)
{
    return QAccessible::queryAccessibleInterface(widget);
}

Pick named(const char *name)
{
    return [name](Window &w) { return w.view.findChild<QWidget *>(QLatin1String(name)); };
}

// The settings window, opened with the dark appearance stored, or its child of that name.
Pick inSettings(const char *name = nullptr)
{
    return [name](Window &w) -> QWidget * {
        w.preferences.setAppTheme(QStringLiteral("dark"));
        w.settings = std::make_unique<SettingsView>(w.preferences);
        if (!name)
            return w.settings.get();
        return w.settings->findChild<QWidget *>(QLatin1String(name));
    };
}

} // namespace

Q_DECLARE_METATYPE(Pick)

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { ViewAccessibility::install(); }

    void rolesAndNames_data()
    {
        QTest::addColumn<Pick>("pick");
        QTest::addColumn<QString>("expected");

        QTest::newRow("strip") << named("tabStrip") << "PageTabList";
        QTest::newRow("tab") << Pick([](Window &w) { return w.tab(0); }) << "PageTab[Note 1]";
        QTest::newRow("close") << Pick([](Window &w) { return w.tab(1)->closeButton(); })
                               << "Button[Close Note 2]";
        QTest::newRow("+") << named("newTabButton") << "Button[New Scratchpad]";
        QTest::newRow("?") << named("markdownHintButton") << "Button[Markdown Reference]";
        QTest::newRow("status bar") << Pick([](Window &w) { return w.view.statusBar(); })
                                    << "StatusBar";
        QTest::newRow("location") << named("location") << "StaticText[Unsaved]";
        QTest::newRow("position") << named("position") << "StaticText[Ln 1, Col 1]";
        QTest::newRow("preview mode") << named("previewButton") << "Button[Preview mode: Edit]";
        QTest::newRow("find field") << Pick([](Window &w) {
            return w.view.editingArea()->editor()->findBar()->findChild<QLineEdit *>();
        }) << "EditableText[Find]";
        QTest::newRow("welcome icon") << Pick([](Window &w) {
            w.tabManager.setTabs({});
            test::settle();
            return w.view.welcomeView()->findChild<QWidget *>(QStringLiteral("welcomeSymbol"));
        }) << "Button[Text document]";
        QTest::newRow("settings") << inSettings() << "Dialog[Settings]";
        // The stored appearance is the checked one.
        QTest::newRow("appearance") << Pick([](Window &w) {
            inSettings()(w);
            return w.settings->themeSegment(QStringLiteral("dark"));
        }) << "RadioButton[Dark]|checked";
        QTest::newRow("other appearance") << Pick([](Window &w) {
            inSettings()(w);
            return w.settings->themeSegment(QStringLiteral("light"));
        }) << "RadioButton[Light]";
        QTest::newRow("shortcuts") << inSettings("shortcutList") << "Grouping[Shortcuts]";
        // A shortcut row reads as one line.
        QTest::newRow("shortcut row")
            << inSettings("shortcutRow")
            << "StaticText[New scratchpad, " +
                   QKeySequence(Qt::CTRL | Qt::Key_N).toString(QKeySequence::NativeText) + ']';
    }

    void rolesAndNames()
    {
        QFETCH(Pick, pick);
        Window window(2);
        QAccessibleInterface *node = a11y(pick(window));
        QTEST(roleAndName(node) + (node && node->state().checked ? "|checked" : ""), "expected");
    }

    // The tab's name and selection and its close button's name follow the model, and pressing
    // a tab or an appearance picks it.
    void pressesAndNamesReachTheModel()
    {
        Window window(2);
        QAccessibleInterface *strip = a11y(named("tabStrip")(window));
        QCOMPARE(strip->childCount(), 2);
        QAccessibleInterface *first = strip->child(0);
        first->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(first->state().selected);
        QVERIFY(!strip->child(1)->state().selected);

        window.tabManager.updateContent(*window.tabManager.tabs().first(), QStringLiteral("Plan"));
        QCOMPARE(first->text(QAccessible::Name), QStringLiteral("Plan"));
        QCOMPARE(a11y(window.tab(0)->closeButton())->text(QAccessible::Name),
                 QStringLiteral("Close Plan"));

        // Pressing an appearance picks it.
        auto *settings = static_cast<SettingsView *>(inSettings()(window));
        a11y(settings->themeSegment(QStringLiteral("light")))
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(window.preferences.appTheme(), QStringLiteral("light"));
        // A shortcut row is read once, not again through its labels.
        QCOMPARE(a11y(settings->findChild<QWidget *>(QStringLiteral("shortcutRow")))->childCount(), 0);
    }

    void keysMoveTheFocus_data()
    {
        QTest::addColumn<int>("tabs");
        QTest::addColumn<PreviewMode>("mode");
        QTest::addColumn<QKeySequence>("keys");
        // What holds the keyboard after each key.
        QTest::addColumn<QString>("focused");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<bool>("menu");

        // Focus starts on the selected tab, the last one.
        const auto row = [](const char *name, int tabs, QKeySequence keys, const char *focused,
                            const char *selected, PreviewMode mode = PreviewMode::edit) {
            QTest::newRow(name) << tabs << mode << keys << QString::fromUtf8(focused)
                                << QString::fromUtf8(selected) << !*focused;
        };
        const auto keys = [](auto... k) { return QKeySequence(k...); };
        row("Left moves, selects nothing", 3, keys(Qt::Key_Left), "Note 2", "Note 3");
        row("Enter selects, the editor takes the keyboard", 3,
            keys(Qt::Key_Left, Qt::Key_Left, Qt::Key_Return), "Note 2 > Note 1 > editor", "Note 1");
        row("Space selects", 3, keys(Qt::Key_Left, Qt::Key_Space), "Note 2 > Note 2", "Note 2");
        row("Left stops at the first tab", 2, keys(Qt::Key_Left, Qt::Key_Left, Qt::Key_Left),
            "Note 1 > Note 1 > Note 1", "Note 2");
        row("Right goes on to the buttons", 2, keys(Qt::Key_Right, Qt::Key_Right),
            "markdownHintButton > newTabButton", "Note 2");
        row("Tab leaves the tabs", 2, keys(Qt::Key_Tab), "status", "Note 2");
        row("Tab goes from button to button", 2, keys(Qt::Key_Right, Qt::Key_Tab),
            "markdownHintButton > newTabButton", "Note 2");
        row("Delete closes, focus stays in the strip", 3, keys(Qt::Key_Left, Qt::Key_Delete),
            "Note 2 > Note 3", "Note 3");
        row("Delete on the selected tab", 3, keys(Qt::Key_Delete), "Note 2", "Note 2");
        row("Delete on the last tab focuses the welcome view", 1, keys(Qt::Key_Delete), "welcome",
            "");
        row("Menu key", 2, keys(Qt::Key_Menu), "", "Note 2");
        row("Shift+F10", 2, keys(Qt::SHIFT | Qt::Key_F10), "", "Note 2");
        const auto f6 = keys(Qt::Key_F6, Qt::Key_F6, Qt::Key_F6, Qt::Key_F6);
        row("F6 in edit mode", 1, f6, "editor > status > Note 1 > editor", "Note 1");
        row("F6 in split mode", 1, f6, "editor > preview > status > Note 1", "Note 1",
            PreviewMode::split);
        const QKeyCombination back = Qt::SHIFT | Qt::Key_F6;
        row("Shift+F6 in split mode", 1, keys(back, back, back, back),
            "status > preview > editor > Note 1", "Note 1", PreviewMode::split);
        row("F6 in preview mode", 1, f6, "preview > status > Note 1 > preview", "Note 1",
            PreviewMode::preview);
    }

    void keysMoveTheFocus()
    {
        QFETCH(int, tabs);
        QFETCH(PreviewMode, mode);
        QFETCH(QKeySequence, keys);
        QFETCH(bool, menu);
        Window window(tabs);
        window.tabManager.setPreviewMode(mode);
        test::settle();
        QVERIFY(window.activate());
        window.view.tabBar()->focusSelectedTab();
        QStringList focused;
        for (int i = 0; i < keys.count(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), keys[i].key(),
                            keys[i].keyboardModifiers());
            test::settle();
            focused << focusName(window);
        }
        QTEST(window.selectedTitle(), "selected");
        auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QCOMPARE(bool(popup), menu);
        if (popup) {
            QCOMPARE(popup->actions().constFirst()->text(), QStringLiteral("Close Tab"));
            popup->close();
            return;
        }
        QTEST(focused.join(QStringLiteral(" > ")), "focused");
    }

    void previewReadsItsBlocks_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QStringList>("tree");

        const QString document =
            QStringLiteral("# Plan *now*\n\nSome *emphasis* and [a link](https://example.org)\n\n"
                           "3. one\n4. two\n\n| A | **B** |\n|---|---|\n| 1 | `2` |\n\n"
                           "```sh\nls -l\n```\n\n> quoted\n\n---\n- [x] done\n- [ ] open");
        QTest::newRow("every kind, in order")
            << QString() << document
            << QStringList{"Heading:Plan now", "Paragraph:Some emphasis and a link", "List",
                           "ListItem:3. one", "ListItem:4. two", "Table", "Row", "ColumnHeader:A",
                           "ColumnHeader:B", "Row", "Cell:1", "Cell:2", "EditableText[sh]:ls -l",
                           "Section:quoted", "Separator", "List", "ListItem:done|checked",
                           "ListItem:open|unchecked"};
        QTest::newRow("an edited paragraph")
            << "# Title\n\nold words\n\nend" << "# Title\n\nnew words\n\nend"
            << QStringList{"Heading:Title", "Paragraph:new words", "Paragraph:end"};
        QTest::newRow("a block added above") << "# Title\n\nend" << "intro\n\n# Title\n\nend"
            << QStringList{"Paragraph:intro", "Heading:Title", "Paragraph:end"};
        QTest::newRow("a cell edited") << "| A |\n|---|\n| 1 |" << "| A |\n|---|\n| 12 |"
            << QStringList{"Table", "Row", "ColumnHeader:A", "Row", "Cell:12"};
    }

    // The preview reads as a document of its blocks with their text as shown, and after an edit
    // the tree (read before it too) tells the new text.
    void previewReadsItsBlocks()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        Window window(1);
        window.tabManager.setPreviewMode(PreviewMode::split);
        test::settle();
        PreviewView *preview = window.view.editingArea()->preview();
        QAccessibleInterface *document = QAccessible::queryAccessibleInterface(preview);
        QCOMPARE(document->role(), QAccessible::Document);
        QStringList lines;
        for (const QString &text : {before, after}) {
            window.tabManager.updateContent(*window.tabManager.tabs().first(), text);
            preview->refreshNow();
            lines.clear();
            readTree(document, lines);
        }
        QTEST(lines, "tree");
        // A screen reader places a block on screen through its window.
        QCOMPARE(document->child(0)->window(), window.view.windowHandle());
    }

    void focusIsVisible_data()
    {
        QTest::addColumn<Pick>("pick");
        // What takes the keyboard when not the picked widget, its focus proxy or its scroll area.
        QTest::addColumn<Pick>("focusOn");
        QTest::newRow("tab") << Pick([](Window &w) { return w.tab(0); }) << Pick();
        QTest::newRow("+") << named("newTabButton") << Pick();
        QTest::newRow("preview") << Pick([](Window &w) {
            w.tabManager.setPreviewMode(PreviewMode::split);
            test::settle();
            return w.view.editingArea()->preview()->viewport();
        }) << Pick();
        // Its ring must show on the accent fill the control draws behind it.
        QTest::newRow("chosen appearance segment") << Pick([](Window &w) -> QWidget * {
            inSettings()(w)->show();
            w.settings->activateWindow();
            if (!QTest::qWaitForWindowActive(w.settings.get()))
                return nullptr;
            return w.settings->findChild<QWidget *>(QStringLiteral("themePicker"));
        }) << Pick([](Window &w) { return w.settings->themeSegment(QStringLiteral("dark")); });
    }

    // Taking the keyboard changes what the control looks like.
    void focusIsVisible()
    {
        QFETCH(Pick, pick);
        QFETCH(Pick, focusOn);
        Window window(2);
        QVERIFY(window.activate());
        QWidget *widget = pick(window);
        QVERIFY(widget);
        const QImage before = widget->grab().toImage();
        QWidget *focused = widget->focusProxy() ? widget->focusProxy() : widget;
        if (auto *scroll = qobject_cast<QAbstractScrollArea *>(widget->parentWidget()))
            focused = scroll;
        if (focusOn)
            focused = focusOn(window);
        focused->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY(focused->hasFocus());
        QVERIFY(widget->grab().toImage() != before);
    }
};

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
