#include "editor_test_support.h"

#include "editor/find_bar.h"
#include "editor/plain_text_text_view.h"

#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>

using quillet::FindBar;
using quillet::PlainTextTextView;

namespace {

// A text view with the bar below it, as the editor lays them out.
struct Fixture {
    explicit Fixture(const QString &text)
    {
        auto *layout = new QVBoxLayout(&window);
        view = new PlainTextTextView(&window);
        bar = new FindBar(&window);
        layout->addWidget(view);
        layout->addWidget(bar);
        view->setText(text);
        view->setOnTextChange([this](const QString &reportedText) { reported = reportedText; });
        view->setOnCursorChange([this](qint64 location) { cursor = location; });
        bar->setTarget(view);
        window.resize(500, 300);
        window.show();
        window.activateWindow();
    }

    QLineEdit *searchField() const { return bar->findChildren<QLineEdit *>().at(0); }
    qint64 selectionStart() const { return view->selectedRange().location; }

    QWidget window;
    PlainTextTextView *view = nullptr;
    FindBar *bar = nullptr;
    QString reported;
    qint64 cursor = -1;
};

} // namespace

class FindBarTest : public QObject {
    Q_OBJECT

private slots:
    void openTakesTheSelection_data();
    void openTakesTheSelection();
    void typingSearchesIncrementally();
    void enterAndShiftEnterStepThroughMatches_data();
    void enterAndShiftEnterStepThroughMatches();
    void matchesAreHighlightedWithoutFormattingTheText_data();
    void matchesAreHighlightedWithoutFormattingTheText();
    void escapeClosesAndReturnsFocus();
    void replaceAndReplaceAll();
};

void FindBarTest::openTakesTheSelection_data()
{
    QTest::addColumn<qint64>("location");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<QString>("expected");
    QTest::newRow("a selection becomes the search text")
        << qint64(4) << qint64(3) << QStringLiteral("two");
    QTest::newRow("no selection keeps the last search")
        << qint64(4) << qint64(0) << QStringLiteral("earlier");
    QTest::newRow("a selection across lines is ignored")
        << qint64(4) << qint64(12) << QStringLiteral("earlier");
}

void FindBarTest::openTakesTheSelection()
{
    QFETCH(qint64, location);
    QFETCH(qint64, length);
    QFETCH(QString, expected);

    Fixture fixture(QStringLiteral("one two three\nfour"));
    fixture.bar->setSearchText(QStringLiteral("earlier"));
    fixture.view->setSelectedRange(location, length);

    fixture.bar->openFind();

    QVERIFY(fixture.bar->isVisible());
    QCOMPARE(fixture.bar->searchText(), expected);
}

void FindBarTest::typingSearchesIncrementally()
{
    Fixture fixture(QStringLiteral("cat carrot cart car"));
    fixture.bar->openFind();
    QVERIFY(QTest::qWaitForWindowActive(&fixture.window));

    QTest::keyClicks(fixture.searchField(), QStringLiteral("car"));
    QCOMPARE(fixture.view->textCursor().selectedText(), QStringLiteral("car"));
    QCOMPARE(fixture.selectionStart(), 4);
    QCOMPARE(fixture.bar->matchCount(), 3);

    // A longer search text keeps a match that still fits and moves on from one that does not.
    QTest::keyClicks(fixture.searchField(), QStringLiteral("t"));
    QCOMPARE(fixture.selectionStart(), 11);
    QCOMPARE(fixture.bar->matchCount(), 1);
}

void FindBarTest::enterAndShiftEnterStepThroughMatches_data()
{
    QTest::addColumn<QList<int>>("keys"); // 1: Enter, -1: Shift+Enter
    QTest::addColumn<QList<qint64>>("starts");
    // "ab" occurs at 0, 5 and 10; the search itself selects the first.
    QTest::newRow("enter goes forward and wraps") << QList<int>{1, 1, 1} << QList<qint64>{5, 10, 0};
    QTest::newRow("shift-enter goes back and wraps") << QList<int>{-1, -1} << QList<qint64>{10, 5};
}

void FindBarTest::enterAndShiftEnterStepThroughMatches()
{
    QFETCH(QList<int>, keys);
    QFETCH(QList<qint64>, starts);

    Fixture fixture(QStringLiteral("ab - AB - ab"));
    fixture.bar->openFind();
    fixture.bar->setSearchText(QStringLiteral("ab"));
    QCOMPARE(fixture.selectionStart(), 0);

    QList<qint64> visited;
    for (int key : keys) {
        QTest::keyClick(fixture.searchField(), Qt::Key_Return,
                        key < 0 ? Qt::ShiftModifier : Qt::NoModifier);
        visited.append(fixture.selectionStart());
        // The status bar follows each match while the focus stays in the search field.
        QCOMPARE(fixture.cursor, visited.last());
    }
    QCOMPARE(visited, starts);
}

void FindBarTest::matchesAreHighlightedWithoutFormattingTheText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("a short text") << QStringLiteral("x y x y x");
    // Searched while only its first lines are in the document.
    const QString filler = QStringLiteral("filler words\n");
    const qsizetype lines = 2 * PlainTextTextView::kDeferredLength / filler.size();
    QTest::newRow("a large text") << QStringLiteral("x y\n") + filler.repeated(lines) +
                                         QStringLiteral("x y x");
}

void FindBarTest::matchesAreHighlightedWithoutFormattingTheText()
{
    QFETCH(QString, text);
    Fixture fixture(text);
    fixture.bar->openFind();
    fixture.bar->setSearchText(QStringLiteral("x"));

    QTRY_VERIFY(!fixture.view->isPreparingText());
    QCOMPARE(fixture.view->extraSelections().size(), 3);
    QVERIFY(quillet::test::isPlain(*fixture.view));
    QVERIFY(fixture.reported.isNull());

    fixture.bar->close();
    QVERIFY(fixture.view->extraSelections().isEmpty());
}

void FindBarTest::escapeClosesAndReturnsFocus()
{
    Fixture fixture(QStringLiteral("text"));
    QVERIFY(QTest::qWaitForWindowActive(&fixture.window));
    fixture.bar->openFind();
    QTRY_VERIFY(fixture.searchField()->hasFocus());

    QTest::keyClick(fixture.searchField(), Qt::Key_Escape);

    QVERIFY(!fixture.bar->isVisible());
    QTRY_VERIFY(fixture.view->hasFocus());
}

void FindBarTest::replaceAndReplaceAll()
{
    Fixture fixture(QStringLiteral("red green red blue red"));
    fixture.bar->openReplace();
    QVERIFY(fixture.bar->replaceShown());
    fixture.bar->setSearchText(QStringLiteral("red"));
    fixture.bar->setReplacementText(QStringLiteral("pink"));

    fixture.bar->replace();
    QCOMPARE(fixture.reported, QStringLiteral("pink green red blue red"));
    QCOMPARE(fixture.selectionStart(), 11);

    fixture.bar->replaceAll();
    QCOMPARE(fixture.reported, QStringLiteral("pink green pink blue pink"));
    QVERIFY(quillet::test::isPlain(*fixture.view));
    fixture.view->undo();
    QCOMPARE(fixture.reported, QStringLiteral("pink green red blue red"));
}

QTEST_MAIN(FindBarTest)
#include "tst_find_bar.moc"
