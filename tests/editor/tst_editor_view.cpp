#include "editor_test_support.h"

#include "editor/editor_view.h"
#include "editor/find_bar.h"
#include "editor/plain_text_text_view.h"
#include "model/tab_manager.h"
#include "settings/preferences.h"

#include <QAction>
#include <QLineEdit>
#include <QPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using quillet::EditorView;
using quillet::PlainTextTextView;
using quillet::Preferences;
using quillet::Scratchpad;
using quillet::TabManager;

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
    void typingUpdatesTheShownScratchpad();
    void clickingReportsTheCursor();
    void switchLeavesScratchpadsUntouched_data();
    void switchLeavesScratchpadsUntouched();
    void eachTabKeepsItsOwnUndo();
    void undoStopsAtTheOpenedText();
    void selectionOnSwitch_data();
    void selectionOnSwitch();
    void switchGivesTheEditorFocus();
    void tabKeysKeepTheFocus_data();
    void tabKeysKeepTheFocus();
    void lineEndsAreKept_data();
    void lineEndsAreKept();
    void externalChangeIsShown();
    void closingATabDropsItsView();
    void largeTabIsPreparedAside_data();
    void largeTabIsPreparedAside();
    void preferencesAreFollowedLive_data();
    void preferencesAreFollowedLive();
    void lineNumberGutterFitsTheLineCount();
    void editActionsActOnTheTabInFront();
    void findShortcutsOpenTheBar_data();
    void findShortcutsOpenTheBar();
};

void EditorViewTest::typingUpdatesTheShownScratchpad()
{
    Fixture fixture({QStringLiteral("one")});
    auto tab = fixture.tab(0);
    QSignalSpy contentSpy(tab.get(), &Scratchpad::contentChanged);
    fixture.view().setSelectedRange(3, 0);

    QTest::keyClicks(&fixture.view(), QStringLiteral(" two"));

    QCOMPARE(contentSpy.size(), 4);
    QCOMPARE(tab->content(), QStringLiteral("one two"));
    QVERIFY(tab->isDirty());
    QCOMPARE(tab->wordCount(), 2);
    QCOMPARE(tab->cursorPosition(), 7);
    QCOMPARE(tab->currentColumn(), 8);
    // The view and the scratchpad hold one buffer, changed in place: a key copies no text.
    const QChar *buffer = tab->content().constData();
    QTest::keyClick(&fixture.view(), Qt::Key_Backspace);
    QCOMPARE(tab->content(), QStringLiteral("one tw"));
    QCOMPARE(tab->content().constData(), buffer);
    QCOMPARE(fixture.view().text().constData(), buffer);
}

void EditorViewTest::clickingReportsTheCursor()
{
    Fixture fixture({QStringLiteral("first\nsecond")});
    auto tab = fixture.tab(0);
    QTextCursor cursor(fixture.view().document());
    cursor.setPosition(9);
    const QRect rect = fixture.view().cursorRect(cursor);

    QTest::mouseClick(fixture.view().viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(rect.left() + 1, rect.center().y()));

    QCOMPARE(tab->cursorPosition(), 9);
    QCOMPARE(tab->currentLine(), 2);
    QVERIFY(!tab->isDirty());
}

void EditorViewTest::switchLeavesScratchpadsUntouched_data()
{
    QTest::addColumn<bool>("dirty");
    QTest::newRow("a clean file stays clean") << false;
    QTest::newRow("a dirty tab stays as it was") << true;
}

void EditorViewTest::switchLeavesScratchpadsUntouched()
{
    QFETCH(bool, dirty);
    // Looking at CR LF text must not rewrite it either.
    Fixture fixture({QStringLiteral("first tab"), QStringLiteral("second\r\ntab")});
    for (const auto &tab : fixture.tabManager.tabs()) {
        tab->setIsDirty(dirty);
        tab->setModifiedAt(QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC));
    }
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (const auto &tab : fixture.tabManager.tabs()) {
        for (const auto signal : {&Scratchpad::contentChanged, &Scratchpad::isDirtyChanged,
                                  &Scratchpad::modifiedAtChanged, &Scratchpad::titleChanged,
                                  &Scratchpad::cursorPositionChanged})
            spies.push_back(std::make_unique<QSignalSpy>(tab.get(), signal));
    }

    fixture.select(1);
    fixture.select(0);
    fixture.select(1);

    QCOMPARE(fixture.view().text(), QStringLiteral("second\r\ntab"));
    QCOMPARE(fixture.tab(1)->content(), QStringLiteral("second\r\ntab"));
    for (const auto &tab : fixture.tabManager.tabs()) {
        QCOMPARE(tab->isDirty(), dirty);
        QCOMPARE(tab->modifiedAt(), QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC));
    }
    for (const auto &spy : spies)
        QCOMPARE(spy->size(), 0);
}

void EditorViewTest::eachTabKeepsItsOwnUndo()
{
    Fixture fixture({QStringLiteral("A"), QStringLiteral("B")});
    fixture.view().setSelectedRange(1, 0);
    QTest::keyClicks(&fixture.view(), QStringLiteral("1"));
    fixture.select(1);
    fixture.view().setSelectedRange(1, 0);
    QTest::keyClicks(&fixture.view(), QStringLiteral("2"));
    fixture.select(0);

    fixture.editor.editActions().undo->trigger();
    fixture.editor.editActions().undo->trigger();

    QCOMPARE(fixture.tab(0)->content(), QStringLiteral("A"));
    QCOMPARE(fixture.tab(1)->content(), QStringLiteral("B2"));
    fixture.select(1);
    QVERIFY(fixture.editor.editActions().undo->isEnabled());
    fixture.editor.editActions().undo->trigger();
    QCOMPARE(fixture.tab(1)->content(), QStringLiteral("B"));
    fixture.editor.editActions().redo->trigger();
    QCOMPARE(fixture.tab(1)->content(), QStringLiteral("B2"));
    QCOMPARE(fixture.tab(0)->content(), QStringLiteral("A"));
}

void EditorViewTest::undoStopsAtTheOpenedText()
{
    Fixture fixture({QStringLiteral("restored text")});
    QVERIFY(!fixture.editor.editActions().undo->isEnabled());
    fixture.view().selectAll();
    QTest::keyClicks(&fixture.view(), QStringLiteral("new"));

    for (int i = 0; i < 5; ++i)
        fixture.view().undo();

    QCOMPARE(fixture.tab(0)->content(), QStringLiteral("restored text"));
    QCOMPARE(fixture.view().text(), QStringLiteral("restored text"));
    QVERIFY(!fixture.editor.editActions().undo->isEnabled());
}

void EditorViewTest::selectionOnSwitch_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<qint64>("location");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<qint64>("expectedLocation");
    QTest::addColumn<qint64>("expectedLength");
    // The tab left behind is "0123456789abcdef".
    QTest::newRow("a selection that fits is kept")
        << QStringLiteral("ABCDEFGHIJKLMNOP") << qint64(10) << qint64(3) << qint64(10) << qint64(3);
    QTest::newRow("an end past the new text is clamped")
        << QStringLiteral("ABCDEFGHIJKL") << qint64(10) << qint64(5) << qint64(10) << qint64(2);
    QTest::newRow("a location at the end still fits")
        << QStringLiteral("ABCDEFGHIJ") << qint64(10) << qint64(0) << qint64(10) << qint64(0);
    QTest::newRow("a location past the new text is not carried")
        << QStringLiteral("ABCD") << qint64(10) << qint64(0) << qint64(0) << qint64(0);
    // Offsets that fall inside a character of the new text move to its edges.
    QTest::newRow("a caret inside an emoji goes before it")
        << QStringLiteral("012345678😀") << qint64(10) << qint64(0) << qint64(9) << qint64(0);
    QTest::newRow("a caret before an accent goes before its letter")
        << QStringLiteral("012345678e\u0301") << qint64(10) << qint64(0) << qint64(9) << qint64(0);
    QTest::newRow("a selection ending inside an emoji takes all of it")
        << QStringLiteral("0123456789😀x") << qint64(10) << qint64(1) << qint64(10) << qint64(2);
    QTest::newRow("a caret inside CR LF goes before it")
        << QStringLiteral("012345678\r\nx") << qint64(10) << qint64(0) << qint64(9) << qint64(0);
}

void EditorViewTest::selectionOnSwitch()
{
    QFETCH(QString, target);
    QFETCH(qint64, location);
    QFETCH(qint64, length);
    QFETCH(qint64, expectedLocation);
    QFETCH(qint64, expectedLength);

    Fixture fixture({QStringLiteral("0123456789abcdef"), target});
    fixture.view().setSelectedRange(location, length);
    QSignalSpy cursorSpy(fixture.tab(1).get(), &Scratchpad::cursorPositionChanged);

    fixture.select(1);

    QCOMPARE(fixture.view().selectedRange(),
             (PlainTextTextView::SelectedRange{expectedLocation, expectedLength}));
    QCOMPARE(cursorSpy.size(), 0);
}

void EditorViewTest::switchGivesTheEditorFocus()
{
    Fixture fixture({QStringLiteral("A"), QStringLiteral("B")});
    QVERIFY(QTest::qWaitForWindowActive(&fixture.editor));
    fixture.editor.findBar()->openFind();
    QTRY_VERIFY(!fixture.view().hasFocus());

    fixture.select(1);

    // Before any event is handled: keys queued behind the switch go to the new tab.
    QVERIFY(fixture.view().hasFocus());
    QCOMPARE(fixture.editor.textView(), fixture.editor.textViewFor(fixture.tab(1)->id()));
}

void EditorViewTest::tabKeysKeepTheFocus_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::newRow("shift-tab") << Qt::Key_Backtab << Qt::KeyboardModifiers(Qt::ShiftModifier);
    QTest::newRow("alt-tab") << Qt::Key_Tab << Qt::KeyboardModifiers(Qt::AltModifier);
}

void EditorViewTest::tabKeysKeepTheFocus()
{
    QFETCH(Qt::Key, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    Fixture fixture({QStringLiteral("abc")});
    // Somewhere else the focus could go, as the window has.
    QLineEdit elsewhere(&fixture.editor);
    elsewhere.show();
    QVERIFY(QTest::qWaitForWindowActive(&fixture.editor));
    fixture.view().setFocus();
    QTRY_VERIFY(fixture.view().hasFocus());
    fixture.view().setSelectedRange(3, 0);

    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("x"));

    QVERIFY(fixture.view().hasFocus());
    QCOMPARE(fixture.tab(0)->content(), QStringLiteral("abcx"));
}

void EditorViewTest::lineEndsAreKept_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<qint64>("lastLine");
    QTest::addColumn<qint64>("lastColumn");
    QTest::addColumn<QString>("edited");
    // The caret goes to the end with Ctrl+End, then Enter and "x" are typed.
    QTest::newRow("line feeds") << QStringLiteral("a\nb\ncd") << qint64(3) << qint64(3)
                                << QStringLiteral("a\nb\ncd\nx");
    QTest::newRow("CR LF") << QStringLiteral("a\r\nb\r\ncd") << qint64(3) << qint64(3)
                           << QStringLiteral("a\r\nb\r\ncd\r\nx");
    QTest::newRow("mostly CR LF") << QStringLiteral("a\r\nb\r\nc\nd") << qint64(4) << qint64(2)
                                  << QStringLiteral("a\r\nb\r\nc\r\nd\r\nx");
    QTest::newRow("emoji before the caret on a CR LF line")
        << QStringLiteral("a\r\n😀b") << qint64(2) << qint64(3) << QStringLiteral("a\r\n😀b\r\nx");
}

void EditorViewTest::lineEndsAreKept()
{
    QFETCH(QString, content);
    QFETCH(qint64, lastLine);
    QFETCH(qint64, lastColumn);
    QFETCH(QString, edited);
    Fixture fixture({content});
    auto tab = fixture.tab(0);

    QTest::keyClick(&fixture.view(), Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(tab->currentLine(), lastLine);
    QCOMPARE(tab->currentColumn(), lastColumn);
    QTest::keyClick(&fixture.view(), Qt::Key_Return);
    QTest::keyClicks(&fixture.view(), QStringLiteral("x"));

    QCOMPARE(tab->content(), edited);
    QCOMPARE(tab->currentLine(), lastLine + 1);
    QCOMPARE(tab->currentColumn(), 2);
}

void EditorViewTest::externalChangeIsShown()
{
    Fixture fixture({QStringLiteral("before"), QStringLiteral("other")});
    QTest::keyClicks(&fixture.view(), QStringLiteral("x"));
    fixture.view().setSelectedRange(2, 3);
    const PlainTextTextView *hidden = fixture.editor.textViewFor(fixture.tab(0)->id());
    const QString typed = fixture.view().text();

    fixture.tabManager.updateContent(*fixture.tab(0), QStringLiteral("changed elsewhere"));

    QCOMPARE(fixture.view().text(), QStringLiteral("changed elsewhere"));
    QCOMPARE(fixture.view().selectedRange(), (PlainTextTextView::SelectedRange{2, 3}));
    QCOMPARE(fixture.tab(0)->content(), QStringLiteral("changed elsewhere"));
    // A file reloaded from disk leaves the tab's own text one undo away.
    fixture.view().undo();
    QCOMPARE(fixture.tab(0)->content(), typed);
    fixture.view().redo();
    QCOMPARE(fixture.tab(0)->content(), QStringLiteral("changed elsewhere"));
    // A kept caret that falls inside a character of the new text moves before it.
    fixture.view().setSelectedRange(3, 0);
    fixture.tabManager.updateContent(*fixture.tab(0), QStringLiteral("😀😀"));
    QCOMPARE(fixture.view().selectedRange(), (PlainTextTextView::SelectedRange{2, 0}));
    // A tab that is not in front follows too.
    fixture.select(1);
    fixture.tabManager.updateContent(*fixture.tab(0), QStringLiteral("again"));
    QCOMPARE(hidden->text(), QStringLiteral("again"));
}

void EditorViewTest::closingATabDropsItsView()
{
    Fixture fixture({QStringLiteral("A"), QStringLiteral("B")});
    fixture.select(1);
    const QUuid closing = fixture.tab(0)->id();
    QPointer<PlainTextTextView> view = fixture.editor.textViewFor(closing);
    QVERIFY(view);

    fixture.tabManager.closeTab(closing);

    QVERIFY(!fixture.editor.textViewFor(closing));
    QTRY_VERIFY(!view);
    fixture.tabManager.closeCurrentTab();
    QVERIFY(!fixture.editor.textView());
    QVERIFY(!fixture.editor.scratchpad());
}

enum class WhilePreparing {
    typeInAnotherTab,
    useEditShortcuts,
    changeElsewhere,
    closeItsTab,
    quit
};

void EditorViewTest::largeTabIsPreparedAside_data()
{
    QTest::addColumn<WhilePreparing>("meanwhile");
    QTest::newRow("typing in another tab") << WhilePreparing::typeInAnotherTab;
    QTest::newRow("edit shortcuts are refused") << WhilePreparing::useEditShortcuts;
    QTest::newRow("its text changes elsewhere") << WhilePreparing::changeElsewhere;
    QTest::newRow("its tab is closed") << WhilePreparing::closeItsTab;
    QTest::newRow("the editor goes away") << WhilePreparing::quit;
}

void EditorViewTest::largeTabIsPreparedAside()
{
    QFETCH(WhilePreparing, meanwhile);
    QString large;
    for (int line = 0; large.size() <= 4 * PlainTextTextView::kDeferredLength; ++line)
        large += QStringLiteral("line %1 of a long text\n").arg(line);
    auto fixture = std::make_unique<Fixture>(QStringList{QStringLiteral("small"), large});
    fixture->select(1);
    QPointer<PlainTextTextView> prepared = &fixture->view();
    int beeps = 0;
    prepared->setAlertSound([&beeps] { ++beeps; });
    QTRY_VERIFY(!prepared->document()->isEmpty());
    QVERIFY(prepared->isPreparingText());
    const std::shared_ptr<Scratchpad> tab = fixture->tab(1);

    switch (meanwhile) {
    case WhilePreparing::typeInAnotherTab:
        fixture->select(0);
        QTest::keyClicks(&fixture->view(), QStringLiteral("abc"));
        QCOMPARE(fixture->tab(0)->content(), QStringLiteral("abcsmall"));
        QVERIFY(prepared->isPreparingText());
        break;
    case WhilePreparing::useEditShortcuts:
        for (const QKeySequence::StandardKey key :
             {QKeySequence::Paste, QKeySequence::Undo, QKeySequence::Cut})
            QTest::keySequence(prepared, key);
        QTRY_COMPARE(beeps, 3);
        break;
    case WhilePreparing::changeElsewhere:
        fixture->tabManager.updateContent(*tab, QStringLiteral("reloaded"));
        QVERIFY(!prepared->isPreparingText());
        QTest::keyClicks(prepared, QStringLiteral("x"));
        QCOMPARE(tab->content(), QStringLiteral("xreloaded"));
        QCOMPARE(quillet::test::documentText(*prepared), tab->content());
        QTest::qWait(50);
        QCOMPARE(quillet::test::documentText(*prepared), tab->content());
        return;
    case WhilePreparing::closeItsTab:
        fixture->tabManager.closeTab(tab->id());
        QTRY_VERIFY(!prepared);
        QCOMPARE(fixture->view().text(), QStringLiteral("small"));
        return;
    case WhilePreparing::quit:
        fixture.reset();
        QVERIFY(!prepared);
        QTest::qWait(50);
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
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QVariant>("used");
    QTest::newRow("font size") << QStringLiteral("editorFontSize") << QVariant(20.0)
                               << QVariant(20);
    QTest::newRow("font size below 4")
        << QStringLiteral("editorFontSize") << QVariant(1.0) << QVariant(4);
    QTest::newRow("font size above 200")
        << QStringLiteral("editorFontSize") << QVariant(500.0) << QVariant(200);
    QTest::newRow("line height") << QStringLiteral("editorLineHeight") << QVariant(2.5)
                                 << QVariant(2.5);
    QTest::newRow("line height below 0.5")
        << QStringLiteral("editorLineHeight") << QVariant(0.1) << QVariant(0.5);
    QTest::newRow("line height above 4")
        << QStringLiteral("editorLineHeight") << QVariant(9.0) << QVariant(4.0);
    QTest::newRow("tab width") << QStringLiteral("editorTabWidth") << QVariant(8)
                               << QVariant(qint64(8));
    QTest::newRow("tab width below 1")
        << QStringLiteral("editorTabWidth") << QVariant(0) << QVariant(qint64(1));
    QTest::newRow("tab width above 16")
        << QStringLiteral("editorTabWidth") << QVariant(64) << QVariant(qint64(16));
    QTest::newRow("line numbers off")
        << QStringLiteral("editorShowLineNumbers") << QVariant(false) << QVariant(false);
}

void EditorViewTest::preferencesAreFollowedLive()
{
    QFETCH(QString, key);
    QFETCH(QVariant, stored);
    QFETCH(QVariant, used);

    Fixture fixture({QStringLiteral("A"), QStringLiteral("B")});
    const PlainTextTextView &shown = fixture.view();
    // The defaults, before anything is stored.
    QCOMPARE(shown.plainFont().pixelSize(), 14);
    QCOMPARE(shown.lineHeightMultiple(), 1.5);
    QCOMPARE(shown.tabWidth(), 4);
    QVERIFY(shown.showsLineNumbers());

    const auto value = [&](const PlainTextTextView &view) -> QVariant {
        if (key == QStringLiteral("editorFontSize"))
            return view.plainFont().pixelSize();
        if (key == QStringLiteral("editorLineHeight"))
            return view.lineHeightMultiple();
        if (key == QStringLiteral("editorTabWidth"))
            return view.tabWidth();
        return view.showsLineNumbers();
    };
    if (key == QStringLiteral("editorFontSize"))
        fixture.preferences.setEditorFontSize(stored.toDouble());
    else if (key == QStringLiteral("editorLineHeight"))
        fixture.preferences.setEditorLineHeight(stored.toDouble());
    else if (key == QStringLiteral("editorTabWidth"))
        fixture.preferences.setEditorTabWidth(stored.toLongLong());
    else
        fixture.preferences.setEditorShowLineNumbers(stored.toBool());

    QCOMPARE(value(shown), used);
    QVERIFY(quillet::test::isPlain(shown));
    // A view made after the change starts with it.
    fixture.select(1);
    QCOMPARE(value(fixture.view()), used);
}

void EditorViewTest::lineNumberGutterFitsTheLineCount()
{
    Fixture fixture({QStringLiteral("one line"), QString(2000, u'\n')});
    const int narrow = fixture.view().viewport()->geometry().left();
    fixture.select(1);
    const int wide = fixture.view().viewport()->geometry().left();
    QVERIFY(narrow > 0);
    QVERIFY(wide > narrow);

    fixture.preferences.setEditorShowLineNumbers(false);
    QCOMPARE(fixture.view().viewport()->geometry().left(), 0);
}

void EditorViewTest::editActionsActOnTheTabInFront()
{
    Fixture fixture({QStringLiteral("first"), QStringLiteral("second")});
    const EditorView::EditActions &actions = fixture.editor.editActions();
    QVERIFY(!actions.copy->isEnabled());
    actions.selectAll->trigger();
    QVERIFY(actions.copy->isEnabled());
    actions.cut->trigger();
    QCOMPARE(fixture.tab(0)->content(), QString());

    fixture.select(1);
    QVERIFY(!actions.copy->isEnabled());
    fixture.view().setSelectedRange(6, 0);
    actions.paste->trigger();

    QCOMPARE(fixture.tab(1)->content(), QStringLiteral("secondfirst"));
    QCOMPARE(fixture.tab(0)->content(), QString());
}

void EditorViewTest::findShortcutsOpenTheBar_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<bool>("replaceShown");
    QTest::newRow("find") << QKeySequence(QKeySequence::Find) << false;
    QTest::newRow("find and replace") << QKeySequence(Qt::CTRL | Qt::Key_H) << true;
}

void EditorViewTest::findShortcutsOpenTheBar()
{
    QFETCH(QKeySequence, keys);
    QFETCH(bool, replaceShown);

    Fixture fixture({QStringLiteral("alpha beta gamma")});
    QVERIFY(QTest::qWaitForWindowActive(&fixture.editor));
    fixture.view().setFocus();
    fixture.view().setSelectedRange(6, 4);

    QTest::keySequence(&fixture.view(), keys);

    quillet::FindBar *bar = fixture.editor.findBar();
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->replaceShown(), replaceShown);
    QCOMPARE(bar->searchText(), QStringLiteral("beta"));
    QCOMPARE(fixture.tab(0)->content(), QStringLiteral("alpha beta gamma"));
}

QTEST_MAIN(EditorViewTest)
#include "tst_editor_view.moc"
