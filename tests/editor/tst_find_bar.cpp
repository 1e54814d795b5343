#include "editor_test_support.h"

#include "editor/find_bar.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

using quillet::FindBar;
using quillet::PlainTextTextView;
using namespace Qt::StringLiterals;

namespace {

// A text view with the bar below it, as the editor lays them out.
struct Fixture {
    explicit Fixture(const QString &text)
    {
        window.resize(800, 300);
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(view);
        layout->addWidget(bar);
        view->setText(text);
        view->setOnTextChange([this](const QString &reportedText) { reported = reportedText; });
        view->setOnCursorChange([this](qint64 location) { cursor = location; });
        bar->setTarget(view);
        window.show();
        window.activateWindow();
        bar->openFind();
    }

    QLineEdit *field(int index) const { return bar->findChildren<QLineEdit *>().at(index); }
    qint64 selectionStart() const { return view->selectedRange().location; }

    QWidget window;
    PlainTextTextView *view = new PlainTextTextView(&window);
    FindBar *bar = new FindBar(&window);
    QString reported;
    qint64 cursor = -1;
};

} // namespace

class FindBarTest : public QObject {
    Q_OBJECT

private slots:
    void searchSteps_data();
    void searchSteps();
    void highlightsFollowTheTargetWithoutFormattingTheText_data();
    void highlightsFollowTheTargetWithoutFormattingTheText();
    void replaceAndReplaceAll();
};

void FindBarTest::searchSteps_data()
{
    // Each step types into the search field, or presses a key (capitalised), and leaves "selection
    // start/match count", or "closed" with the focus back in the text.
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("after");
    // A longer search text keeps a match that still fits and moves on from one that does not.
    QTest::newRow("typing searches as typed")
        << u"cat carrot cart car"_s << QStringList{"car", "t"} << QStringList{"4/3", "11/1"};
    QTest::newRow("enter goes forward and wraps")
        << u"ab - AB - ab"_s << QStringList{"ab", "Return", "Return", "Return"}
        << QStringList{"0/3", "5/3", "10/3", "0/3"};
    QTest::newRow("shift-enter goes back and wraps") << u"ab - AB - ab"_s
        << QStringList{"ab", "Shift+Return", "Shift+Return"} << QStringList{"0/3", "10/3", "5/3"};
    QTest::newRow("escape closes") << u"ab"_s << QStringList{"ab", "Escape"}
                                   << QStringList{"0/1", "closed"};
}

void FindBarTest::searchSteps()
{
    QFETCH(QString, text);
    QFETCH(QStringList, steps);
    Fixture fixture(text);
    QVERIFY(QTest::qWaitForWindowActive(&fixture.window));
    QStringList after;
    for (const QString &step : steps) {
        if (const QKeyCombination key = QKeySequence(step)[0]; step.front().isUpper())
            QTest::keyClick(fixture.field(0), key.key(), key.keyboardModifiers());
        else
            QTest::keyClicks(fixture.field(0), step);
        if (!fixture.bar->isVisible() && fixture.view->hasFocus())
            after << u"closed"_s;
        else
            after << QString::number(fixture.selectionStart()) + u'/' +
                         QString::number(fixture.bar->matchCount());
        // The status bar follows each match while the focus stays in the search field.
        QCOMPARE(fixture.cursor, fixture.selectionStart());
    }
    QTEST(after, "after");
}

// Matches are extra selections: no format and no reported edit. They leave a view the bar stops
// searching, and every view when it closes.
void FindBarTest::highlightsFollowTheTargetWithoutFormattingTheText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("a short text") << u"y x y x y"_s;
    // Searched while only its first lines are in the document.
    QTest::newRow("a large text") << u"y x\n"_s + quillet::test::largeText() + u"y x y"_s;
}

void FindBarTest::highlightsFollowTheTargetWithoutFormattingTheText()
{
    QFETCH(QString, text);
    Fixture fixture(text);
    fixture.bar->setSearchText(u"y"_s);
    QTRY_VERIFY(!fixture.view->isPreparingText());
    QCOMPARE(fixture.view->extraSelections().size(), 3);
    QVERIFY(quillet::test::isPlain(*fixture.view));

    PlainTextTextView other;
    other.setText(u"y y"_s);
    fixture.bar->setTarget(&other);
    QVERIFY(fixture.view->extraSelections().isEmpty());
    QCOMPARE(other.extraSelections().size(), 2);
    fixture.bar->close();
    QVERIFY(other.extraSelections().isEmpty());
}

void FindBarTest::replaceAndReplaceAll()
{
    Fixture fixture(u"red green red blue red"_s);
    fixture.bar->setSearchText(u"red"_s);
    // The toggle shows the replace field, where Return replaces a match and goes to the next.
    QTest::mouseClick(fixture.bar->findChild<QToolButton *>({}, Qt::FindDirectChildrenOnly),
                      Qt::LeftButton);
    QVERIFY(fixture.field(1)->isVisible());
    QTest::keyClicks(fixture.field(1), u"pink"_s);
    QTest::keyClick(fixture.field(1), Qt::Key_Return);
    QCOMPARE(fixture.reported, u"pink green red blue red"_s);
    QCOMPARE(fixture.selectionStart(), 11);
    fixture.bar->replaceAll();
    QCOMPARE(fixture.reported, u"pink green pink blue pink"_s);
    QVERIFY(quillet::test::isPlain(*fixture.view));
    fixture.view->undo();
    QCOMPARE(fixture.reported, u"pink green red blue red"_s);
}

QTEST_MAIN(FindBarTest)
#include "tst_find_bar.moc"
