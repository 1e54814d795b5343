#include "editor_test_support.h"

#include "editor/editor_view.h"
#include "editor/find_bar.h"
#include "model/tab_manager.h"
#include "settings/preferences.h"

#include <QAction>
#include <QPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

using namespace quillet;
using namespace Qt::StringLiterals;
using Range = PlainTextTextView::SelectedRange;

namespace {

// A shown editor following the tab manager's current tab, as the window wires it.
struct Fixture {
    explicit Fixture(const QStringList &contents)
        : preferences(std::make_unique<QSettings>(dir.filePath(QStringLiteral("prefs.conf")),
                                                  QSettings::IniFormat))
        , editor(tabManager, preferences)
    {
        for (const QString &content : contents)
            tabManager.newTab(content);
        // Restored and opened tabs start clean; the tests watch what a switch does to that.
        for (const auto &tab : tabManager.tabs())
            tab->setIsDirty(false);
        QObject::connect(&tabManager, &TabManager::currentTabChanged, &editor,
                         [this] { editor.setScratchpad(tabManager.currentTab()); });
        editor.resize(500, 400);
        editor.show();
        editor.activateWindow();
        select(0);
        editor.setScratchpad(tabManager.currentTab());
    }

    std::shared_ptr<Scratchpad> tab(int index) const { return tabManager.tabs().at(index); }
    void select(int index) { tabManager.selectTab(tab(index)->id()); }
    PlainTextTextView &view() const { return *editor.textView(); }

    QTemporaryDir dir;
    TabManager tabManager{TabManager::Persistence::disabled()};
    Preferences preferences;
    EditorView editor;
};

} // namespace

class EditorViewTest : public QObject {
    Q_OBJECT

private slots:
    void eachTabKeepsItsOwnUndo();
    void selectionOnSwitch_data();
    void selectionOnSwitch();
    void lineEndsAreKept_data();
    void lineEndsAreKept();
    void externalChangeIsShown();
    void largeTabIsPreparedAside_data();
    void largeTabIsPreparedAside();
    void preferencesAreFollowedLive_data();
    void preferencesAreFollowedLive();
    void findShortcutsOpenTheBar_data();
    void findShortcutsOpenTheBar();
};

void EditorViewTest::eachTabKeepsItsOwnUndo()
{
    Fixture fixture({u"A"_s, u"B"_s});
    QAction *undo = fixture.editor.editActions().undo;
    for (const int tab : {0, 1}) {
        fixture.select(tab);
        fixture.view().setSelectedRange(1, 0);
        QTest::keyClicks(&fixture.view(), QString::number(tab + 1));
    }
    fixture.select(0);

    // The second undo would go back past the opened text.
    undo->trigger();
    undo->trigger();

    QCOMPARE(fixture.tab(0)->content(), u"A"_s);
    QVERIFY(!undo->isEnabled());
    QCOMPARE(fixture.tab(1)->content(), u"B2"_s);
    fixture.select(1);
    QVERIFY(undo->isEnabled());
    undo->trigger();
    QCOMPARE(fixture.tab(1)->content(), u"B"_s);
    fixture.editor.editActions().redo->trigger();
    QCOMPARE(fixture.tab(1)->content(), u"B2"_s);

    // Copy follows the tab in front: a selection carried to a shorter text ends as a caret
    // there. With no tab in front no tab's text shows.
    QAction *copy = fixture.editor.editActions().copy;
    fixture.view().setSelectedRange(1, 1);
    QVERIFY(copy->isEnabled());
    fixture.select(0);
    QCOMPARE(fixture.view().selectedRange().length, 0);
    QVERIFY(!copy->isEnabled());
    fixture.editor.setScratchpad(nullptr);
    QVERIFY(!fixture.editor.textViewFor(fixture.tab(0)->id())->isVisibleTo(&fixture.editor));
}

void EditorViewTest::selectionOnSwitch_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<Range>("expected");
    // The tab left behind is "0123456789abcdef", selected from 10.
    QTest::newRow("a selection that fits is kept") << u"ABCDEFGHIJKLMNOP"_s << 3LL << Range{10, 3};
    QTest::newRow("an end past the new text is clamped")
        << u"ABCDEFGHIJKL"_s << 5LL << Range{10, 2};
    QTest::newRow("a location at the end still fits") << u"ABCDEFGHIJ"_s << 0LL << Range{10, 0};
    QTest::newRow("a location past the new text is not carried") << u"ABCD"_s << 0LL << Range{};
    // Offsets that fall inside a character of the new text move to its edges.
    QTest::newRow("a caret inside an emoji goes before it")
        << u"012345678😀"_s << 0LL << Range{9, 0};
    QTest::newRow("a selection ending inside an emoji takes all of it")
        << u"0123456789😀x"_s << 1LL << Range{10, 2};
}

// The selection is carried over, and a switch writes nothing into a scratchpad, a dirty one or a
// clean one, not even the normalised line ends of the one shown.
void EditorViewTest::selectionOnSwitch()
{
    QFETCH(QString, target);
    QFETCH(qint64, length);
    Fixture fixture({u"0123456789abcdef"_s, target});
    fixture.tab(0)->setIsDirty(true);
    fixture.view().setSelectedRange(10, length);
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (const auto &tab : fixture.tabManager.tabs())
        for (const auto signal : {&Scratchpad::contentChanged, &Scratchpad::isDirtyChanged,
                                  &Scratchpad::modifiedAtChanged, &Scratchpad::titleChanged,
                                  &Scratchpad::cursorPositionChanged})
            spies.push_back(std::make_unique<QSignalSpy>(tab.get(), signal));

    fixture.select(1);
    QTEST(fixture.view().selectedRange(), "expected");
    fixture.select(0);
    fixture.select(1);

    for (const auto &spy : spies)
        QCOMPARE(spy->size(), 0);
}

void EditorViewTest::lineEndsAreKept_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("edited");
    // Ctrl+End, then Enter and "x".
    QTest::newRow("mostly CR LF") << u"a\r\nb\r\nc\nd"_s << u"a\r\nb\r\nc\r\nd\r\nx"_s;
    QTest::newRow("emoji before the caret on a CR LF line") << u"a\r\n😀b"_s << u"a\r\n😀b\r\nx"_s;
}

// Typing reaches the scratchpad as the exact edit, in the text's own line ends, and the caret as
// an offset in that text.
void EditorViewTest::lineEndsAreKept()
{
    QFETCH(QString, content);
    QFETCH(QString, edited);
    Fixture fixture({content});
    auto tab = fixture.tab(0);
    QSignalSpy contentSpy(tab.get(), &Scratchpad::contentChanged);

    QTest::keyClick(&fixture.view(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(&fixture.view(), Qt::Key_Return);
    QTest::keyClicks(&fixture.view(), u"x"_s);

    QCOMPARE(contentSpy.size(), 2);
    QCOMPARE(tab->content(), edited);
    QVERIFY(tab->isDirty());
    QCOMPARE(tab->cursorPosition(), edited.size());
    // The view and the scratchpad hold one buffer, changed in place: a key copies no text.
    const QChar *buffer = tab->content().constData();
    QTest::keyClick(&fixture.view(), Qt::Key_Backspace);
    QCOMPARE(tab->content(), edited.chopped(1));
    QCOMPARE(tab->content().constData(), buffer);
    QCOMPARE(fixture.view().text().constData(), buffer);
}

void EditorViewTest::externalChangeIsShown()
{
    Fixture fixture({u"before"_s, u"other"_s});
    auto tab = fixture.tab(0);
    QTest::keyClicks(&fixture.view(), u"x"_s);
    fixture.view().setSelectedRange(2, 3);
    const PlainTextTextView *hidden = fixture.editor.textViewFor(tab->id());

    fixture.tabManager.updateContent(*tab, u"changed elsewhere"_s);

    QCOMPARE(fixture.view().text(), u"changed elsewhere"_s);
    QCOMPARE(fixture.view().selectedRange(), (Range{2, 3}));
    // A file reloaded from disk leaves the tab's own text one undo away.
    fixture.view().undo();
    QCOMPARE(tab->content(), u"xbefore"_s);
    fixture.view().redo();
    QCOMPARE(tab->content(), u"changed elsewhere"_s);
    // A kept caret that falls inside a character of the new text moves before it, and the move is
    // not reported as the user's.
    fixture.view().setSelectedRange(3, 0);
    QSignalSpy cursorSpy(tab.get(), &Scratchpad::cursorPositionChanged);
    fixture.tabManager.updateContent(*tab, u"😀😀"_s);
    QCOMPARE(fixture.view().selectedRange(), (Range{2, 0}));
    QCOMPARE(cursorSpy.size(), 0);
    // A tab that is not in front follows too.
    fixture.select(1);
    fixture.tabManager.updateContent(*tab, u"again"_s);
    QCOMPARE(hidden->text(), u"again"_s);
}

enum class WhilePreparing { typeInAnotherTab, useEditShortcuts, changeElsewhere, closeItsTab };

void EditorViewTest::largeTabIsPreparedAside_data()
{
    QTest::addColumn<WhilePreparing>("meanwhile");
    QTest::newRow("typing in another tab") << WhilePreparing::typeInAnotherTab;
    QTest::newRow("edit shortcuts are refused") << WhilePreparing::useEditShortcuts;
    QTest::newRow("its text changes elsewhere") << WhilePreparing::changeElsewhere;
    QTest::newRow("its tab is closed") << WhilePreparing::closeItsTab;
}

void EditorViewTest::largeTabIsPreparedAside()
{
    QFETCH(WhilePreparing, meanwhile);
    const QString large = test::largeText();
    Fixture fixture({u"small"_s, large});
    fixture.select(1);
    QPointer<PlainTextTextView> prepared = &fixture.view();
    int beeps = 0;
    prepared->setAlertSound([&beeps] { ++beeps; });
    QTRY_VERIFY(!prepared->document()->isEmpty());
    QVERIFY(prepared->isPreparingText());
    const std::shared_ptr<Scratchpad> tab = fixture.tab(1);

    switch (meanwhile) {
    case WhilePreparing::typeInAnotherTab:
        fixture.select(0);
        QTest::keyClicks(&fixture.view(), QStringLiteral("abc"));
        QCOMPARE(fixture.tab(0)->content(), QStringLiteral("abcsmall"));
        QVERIFY(prepared->isPreparingText());
        break;
    case WhilePreparing::useEditShortcuts:
        for (const QKeySequence::StandardKey key :
             {QKeySequence::Paste, QKeySequence::Undo, QKeySequence::Cut})
            QTest::keySequence(prepared, key);
        QTRY_COMPARE(beeps, 3);
        break;
    case WhilePreparing::changeElsewhere:
        fixture.tabManager.updateContent(*tab, QStringLiteral("reloaded"));
        QVERIFY(!prepared->isPreparingText());
        QTest::keyClicks(prepared, QStringLiteral("x"));
        QCOMPARE(tab->content(), QStringLiteral("xreloaded"));
        QTest::qWait(50);
        QCOMPARE(quillet::test::documentText(*prepared), tab->content());
        return;
    case WhilePreparing::closeItsTab:
        fixture.tabManager.closeTab(tab->id());
        QTRY_VERIFY(!prepared);
        QCOMPARE(fixture.view().text(), QStringLiteral("small"));
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(!prepared->isPreparingText(), 30000);
    QCOMPARE(quillet::test::documentText(*prepared), large);
    QCOMPARE(tab->content(), large);
    QVERIFY(!tab->isDirty());
    QCOMPARE(tab->cursorPosition(), 0);
}

void EditorViewTest::preferencesAreFollowedLive_data()
{
    QTest::addColumn<double>("fontSize");
    QTest::addColumn<double>("lineHeight");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<qreal>("multiple");
    QTest::addColumn<qint64>("tabWidth");
    QTest::addColumn<qint64>("spaces");
    QTest::newRow("within the limits") << 20.0 << 2.5 << 20 << 2.5 << 8LL << 8LL;
    QTest::newRow("below them") << 1.0 << 0.1 << 4 << 0.5 << 0LL << 1LL;
    QTest::newRow("above them") << 500.0 << 9.0 << 200 << 4.0 << 40LL << 16LL;
}

// The view in front follows at once, and a view made after the change starts with it.
void EditorViewTest::preferencesAreFollowedLive()
{
    QFETCH(double, fontSize);
    QFETCH(double, lineHeight);
    QFETCH(qint64, tabWidth);
    QFETCH(qint64, spaces);
    Fixture fixture({QString(2000, u'\n'), u"B"_s});
    fixture.preferences.setEditorFontSize(fontSize);
    fixture.preferences.setEditorLineHeight(lineHeight);
    fixture.preferences.setEditorTabWidth(tabWidth);

    QList<int> gutters;
    for (const int tab : {0, 1}) {
        fixture.select(tab);
        QTEST(fixture.view().plainFont().pixelSize(), "pixels");
        QTEST(fixture.view().lineHeightMultiple(), "multiple");
        QVERIFY(test::isPlain(fixture.view()));
        gutters.append(fixture.view().viewport()->geometry().left());
    }
    // The line numbers' gutter fits the line count, and goes with them.
    QVERIFY(gutters[0] > gutters[1] && gutters[1] > 0);
    fixture.preferences.setEditorShowLineNumbers(false);
    QCOMPARE(fixture.view().viewport()->geometry().left(), 0);
    // The Tab key puts that many spaces in place of the selection.
    fixture.view().setSelectedRange(0, 1);
    QTest::keyClick(&fixture.view(), Qt::Key_Tab);
    QCOMPARE(fixture.tab(1)->content(), QString(spaces, u' '));
}

void EditorViewTest::findShortcutsOpenTheBar_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<QString>("searchText");
    QTest::addColumn<bool>("replaceShown");
    const QKeySequence find(QKeySequence::Find);
    QTest::newRow("find takes the selection") << find << 4LL << u"beta"_s << false;
    QTest::newRow("no selection keeps the last search") << find << 0LL << u"earlier"_s << false;
    QTest::newRow("a selection across lines is ignored") << find << 8LL << u"earlier"_s << false;
    QTest::newRow("find and replace")
        << QKeySequence(Qt::CTRL | Qt::Key_H) << 4LL << u"beta"_s << true;
}

// The bar takes the selection and the focus, which comes back to the editor at a switch.
void EditorViewTest::findShortcutsOpenTheBar()
{
    QFETCH(QKeySequence, keys);
    QFETCH(qint64, length);
    Fixture fixture({u"alpha beta\ngamma"_s, u"abc"_s});
    QVERIFY(QTest::qWaitForWindowActive(&fixture.editor));
    FindBar *bar = fixture.editor.findBar();
    bar->setSearchText(u"earlier"_s);
    fixture.view().setSelectedRange(6, length);
    QTest::keySequence(&fixture.view(), keys);
    QVERIFY(bar->isVisible() && !fixture.view().hasFocus());
    QTEST(bar->replaceShown(), "replaceShown");
    QTEST(bar->searchText(), "searchText");

    fixture.select(1);
    // Before any event is handled: keys queued behind the switch go to the new tab.
    QVERIFY(fixture.view().hasFocus());
    QTest::keyClicks(QApplication::focusWidget(), u"x"_s);
    QCOMPARE(fixture.tab(1)->content(), u"xabc"_s);
}

QTEST_MAIN(EditorViewTest)
#include "tst_editor_view.moc"
