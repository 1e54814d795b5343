#include "editor_test_support.h"

#include "editor/plain_text_text_view.h"
#include "editor/theme.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

#include <memory>

using quillet::PlainTextTextView;
using quillet::test::documentText;
using quillet::test::isPlain;

namespace {

enum class Contents { richText, plainOnly, imageOnly, urlsOnly, nothing, emptyText };
enum class Route { shortcut, contextMenu, textControl };

QMimeData *mimeDataWith(Contents contents)
{
    auto *data = new QMimeData;
    switch (contents) {
    case Contents::richText:
        data->setHtml(QStringLiteral("<p style='color:red'><b>Bold</b> <a href='https://x.test'>"
                                     "link</a></p>"));
        data->setText(QStringLiteral("plain words"));
        data->setImageData(QImage(4, 4, QImage::Format_RGB32));
        data->setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/file.txt"))});
        break;
    case Contents::plainOnly:
        data->setText(QStringLiteral("two\nlines"));
        break;
    case Contents::imageOnly:
        data->setImageData(QImage(4, 4, QImage::Format_RGB32));
        break;
    case Contents::urlsOnly:
        data->setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt")),
                       QUrl(QStringLiteral("https://example.test/"))});
        break;
    case Contents::nothing:
        break;
    case Contents::emptyText:
        data->setText(QString());
        break;
    }
    return data;
}

void paste(PlainTextTextView &view, Route route)
{
    switch (route) {
    case Route::shortcut:
        QTest::keyClick(&view, Qt::Key_V, Qt::ControlModifier);
        break;
    case Route::contextMenu: {
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                view.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(view.viewport(), &event);
        QMenu *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QAction *pasteAction = menu->findChild<QAction *>(QStringLiteral("edit-paste"));
        QVERIFY(pasteAction);
        // Enabled only when there is something to paste; then it is the only way in.
        if (pasteAction->isEnabled())
            pasteAction->trigger();
        menu->close();
        break;
    }
    case Route::textControl:
        // The base class's own paste, the route of the X11 middle-click paste.
        static_cast<QPlainTextEdit &>(view).paste();
        break;
    }
}

// A view in a shown window, the alert sound counted.
struct Fixture {
    Fixture()
    {
        view.resize(400, 300);
        view.setAlertSound([this] { ++beeps; });
        view.setOnTextChange([this](const QString &text) { reported.append(text); });
        view.setOnCursorChange([this](qint64 location) { cursors.append(location); });
        view.show();
        view.setFocus();
    }

    PlainTextTextView view;
    int beeps = 0;
    QStringList reported;
    QList<qint64> cursors;
};

QPoint pointOfOffset(const PlainTextTextView &view, int offset)
{
    QTextCursor cursor(view.document());
    cursor.setPosition(offset);
    const QRect rect = view.cursorRect(cursor);
    return QPoint(rect.left() + 1, rect.center().y());
}

// Words of every kind the line breaker treats apart: brackets, hyphens, numbers, tabs, a
// right-to-left word, a combining accent, a character beyond the BMP.
QString longParagraph(int size)
{
    const QStringList words = {QStringLiteral("plain"),
                               QStringLiteral("(bracketed)"),
                               QStringLiteral("well-known"),
                               QStringLiteral("1,000.50"),
                               QStringLiteral("tab\there"),
                               QStringLiteral("\u0645\u0631\u062d\u0628\u0627"),
                               QStringLiteral("cafe\u0301"),
                               QStringLiteral("\U0001F600"),
                               QStringLiteral("end."),
                               QStringLiteral("a"),
                               QStringLiteral("longerwordthanmost")};
    QRandomGenerator random(7);
    QString text;
    while (text.size() < size)
        text += words.at(random.bounded(words.size())) + u' ';
    return text;
}

QList<std::pair<int, int>> linesOf(const QTextBlock &block)
{
    QList<std::pair<int, int>> lines;
    for (int i = 0; i < block.layout()->lineCount(); ++i)
        lines.append(
            {block.layout()->lineAt(i).textStart(), block.layout()->lineAt(i).textLength()});
    return lines;
}

} // namespace

class PlainTextTextViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void paste_data();
    void paste();
    void pasteOverSelectionIsOneUndoStep();
    void pasteWithoutTextLeavesUndoHistoryAlone();
    void tabKey_data();
    void tabKey();
    void drop_data();
    void drop();
    void cursorReports_data();
    void cursorReports();
    void mouseReleaseReportsTheClickedOffset();
    void reportedTextFollowsEveryEdit_data();
    void reportedTextFollowsEveryEdit();
    void setTextStartsAFreshHistoryAndReportsNothing();
    void largeTextArrivesWhileEventsFlow_data();
    void largeTextArrivesWhileEventsFlow();
    void copyCarriesPlainTextOnly();
    void caretPlacedBeforeLayoutIsShown_data();
    void caretPlacedBeforeLayoutIsShown();
    void directionalControlsAreMarkedAndKept_data();
    void directionalControlsAreMarkedAndKept();
    void directionalMarkersCoverOnlyLinesInView();
    void lastLineKeepsTheInsetBelowIt_data();
    void lastLineKeepsTheInsetBelowIt();
    void longUnbrokenStretchesWrapAnywhere_data();
    void longUnbrokenStretchesWrapAnywhere();
    void longParagraphEditsLayOutAsAWhole_data();
    void longParagraphEditsLayOutAsAWhole();
};

void PlainTextTextViewTest::initTestCase()
{
    QApplication::setEffectEnabled(Qt::UI_AnimateMenu, false);
}

void PlainTextTextViewTest::paste_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<Contents>("contents");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("beeps");

    const QString before = QStringLiteral("start ");
    const struct {
        const char *name;
        Route route;
        bool beepsWithoutText;
    } routes[] = {{"shortcut", Route::shortcut, true},
                  {"context menu", Route::contextMenu, false},
                  {"text control", Route::textControl, true}};
    for (const auto &route : routes) {
        const auto row = [&](const char *what) -> QTestData & {
            return QTest::addRow("%s, %s", route.name, what) << route.route;
        };
        row("rich text gives its plain text")
            << Contents::richText << before + QStringLiteral("plain words") << 0;
        row("plain text with a line break")
            << Contents::plainOnly << before + QStringLiteral("two\nlines") << 0;
        // The context menu offers no paste without text, so nothing happens and nothing sounds.
        const int noTextBeeps = route.beepsWithoutText ? 1 : 0;
        row("an image alone") << Contents::imageOnly << before << noTextBeeps;
        row("file URLs alone") << Contents::urlsOnly << before << noTextBeeps;
        row("an empty clipboard") << Contents::nothing << before << noTextBeeps;
        row("empty text") << Contents::emptyText << before << noTextBeeps;
    }
}

void PlainTextTextViewTest::paste()
{
    QFETCH(Route, route);
    QFETCH(Contents, contents);
    QFETCH(QString, expected);
    QFETCH(int, beeps);

    Fixture fixture;
    QTest::keyClicks(&fixture.view, QStringLiteral("start "));
    QApplication::clipboard()->setMimeData(mimeDataWith(contents));
    const int undoSteps = fixture.view.document()->availableUndoSteps();

    ::paste(fixture.view, route);

    QCOMPARE(fixture.view.text(), expected);
    QCOMPARE(documentText(fixture.view), expected);
    QCOMPARE(fixture.beeps, beeps);
    QVERIFY(isPlain(fixture.view));
    if (expected == QStringLiteral("start ")) {
        QCOMPARE(fixture.view.document()->availableUndoSteps(), undoSteps);
    } else {
        QCOMPARE(fixture.reported.last(), expected);
        fixture.view.undo();
        QCOMPARE(fixture.view.text(), QStringLiteral("start "));
    }
}

void PlainTextTextViewTest::pasteOverSelectionIsOneUndoStep()
{
    Fixture fixture;
    QTest::keyClicks(&fixture.view, QStringLiteral("abcd"));
    fixture.view.setSelectedRange(1, 2);
    QApplication::clipboard()->setText(QStringLiteral("XYZ"));

    QTest::keyClick(&fixture.view, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(fixture.beeps, 0);
    QCOMPARE(fixture.view.text(), QStringLiteral("aXYZd"));
    QCOMPARE(fixture.view.selectedRange(), (PlainTextTextView::SelectedRange{4, 0}));
    QTest::keyClicks(&fixture.view, QStringLiteral("e"));

    fixture.view.undo();
    QCOMPARE(fixture.view.text(), QStringLiteral("aXYZd"));
    fixture.view.undo();
    QCOMPARE(fixture.view.text(), QStringLiteral("abcd"));
    QCOMPARE(fixture.reported.last(), QStringLiteral("abcd"));
}

void PlainTextTextViewTest::pasteWithoutTextLeavesUndoHistoryAlone()
{
    Fixture fixture;
    QTest::keyClicks(&fixture.view, QStringLiteral("ab"));
    fixture.view.undo();
    QVERIFY(fixture.view.document()->isRedoAvailable());
    const int reports = fixture.reported.size();
    QApplication::clipboard()->setMimeData(mimeDataWith(Contents::imageOnly));

    QTest::keyClick(&fixture.view, Qt::Key_V, Qt::ControlModifier);

    QCOMPARE(fixture.beeps, 1);
    QCOMPARE(fixture.reported.size(), reports);
    QVERIFY(fixture.view.document()->isRedoAvailable());
    fixture.view.redo();
    QCOMPARE(fixture.view.text(), QStringLiteral("ab"));
}

void PlainTextTextViewTest::tabKey_data()
{
    QTest::addColumn<qint64>("tabWidth");
    QTest::addColumn<int>("selectionLength");
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<QString>("expected");
    // The text is "abcdef" with the cursor (or the selection's start) after "ab".
    QTest::newRow("four spaces at the cursor")
        << qint64(4) << 0 << Qt::Key_Tab << QStringLiteral("ab    cdef");
    QTest::newRow("four spaces replace a selection")
        << qint64(4) << 3 << Qt::Key_Tab << QStringLiteral("ab    f");
    QTest::newRow("another width") << qint64(2) << 0 << Qt::Key_Tab << QStringLiteral("ab  cdef");
    QTest::newRow("a width below 1 inserts one space")
        << qint64(0) << 0 << Qt::Key_Tab << QStringLiteral("ab cdef");
    QTest::newRow("a width above 16 inserts sixteen")
        << qint64(40) << 0 << Qt::Key_Tab << QStringLiteral("ab") + QString(16, u' ') + "cdef";
    QTest::newRow("shift-tab inserts nothing")
        << qint64(4) << 0 << Qt::Key_Backtab << QStringLiteral("abcdef");
}

void PlainTextTextViewTest::tabKey()
{
    QFETCH(qint64, tabWidth);
    QFETCH(int, selectionLength);
    QFETCH(Qt::Key, key);
    QFETCH(QString, expected);

    Fixture fixture;
    fixture.view.setTabWidth(tabWidth);
    fixture.view.setText(QStringLiteral("abcdef"));
    fixture.view.setSelectedRange(2, selectionLength);

    QTest::keyClick(&fixture.view, key,
                    key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);

    QCOMPARE(fixture.view.text(), expected);
    QVERIFY(!fixture.view.text().contains(u'\t'));
    QVERIFY(isPlain(fixture.view));
    if (expected != QStringLiteral("abcdef")) {
        // Typing after the Tab is a step of its own.
        QTest::keyClicks(&fixture.view, QStringLiteral("z"));
        fixture.view.undo();
        QCOMPARE(fixture.view.text(), expected);
        fixture.view.undo();
        QCOMPARE(fixture.view.text(), QStringLiteral("abcdef"));
    }
}

void PlainTextTextViewTest::drop_data()
{
    QTest::addColumn<Contents>("contents");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("expected");
    QTest::newRow("rich drag drops its plain text")
        << Contents::richText << true << QStringLiteral("hello plain wordsworld");
    QTest::newRow("plain text") << Contents::plainOnly << true
                                << QStringLiteral("hello two\nlinesworld");
    QTest::newRow("files alone are refused")
        << Contents::urlsOnly << false << QStringLiteral("hello world");
    QTest::newRow("an image alone is refused")
        << Contents::imageOnly << false << QStringLiteral("hello world");
}

void PlainTextTextViewTest::drop()
{
    QFETCH(Contents, contents);
    QFETCH(bool, accepted);
    QFETCH(QString, expected);

    Fixture fixture;
    fixture.view.setText(QStringLiteral("hello world"));
    fixture.view.setSelectedRange(0, 5);
    const std::unique_ptr<QMimeData> data(mimeDataWith(contents));
    const QPoint point = pointOfOffset(fixture.view, 6);

    QDragEnterEvent enter(point, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(fixture.view.viewport(), &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    QDropEvent dropEvent(point, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                         Qt::NoModifier);
    QApplication::sendEvent(fixture.view.viewport(), &dropEvent);

    QCOMPARE(dropEvent.isAccepted(), accepted);
    QCOMPARE(fixture.view.text(), expected);
    QCOMPARE(fixture.view.textCursor().selectedText(), QStringLiteral("hello"));
    QVERIFY(isPlain(fixture.view));
    QCOMPARE(fixture.beeps, 0);
    if (accepted) {
        QCOMPARE(dropEvent.dropAction(), Qt::CopyAction);
        fixture.view.undo();
        QCOMPARE(fixture.view.text(), QStringLiteral("hello world"));
    }
}

void PlainTextTextViewTest::cursorReports_data()
{
    QTest::addColumn<bool>("suppressed");
    QTest::addColumn<bool>("byKeyRelease");
    QTest::addColumn<QList<qint64>>("expected");
    QTest::newRow("set selection reports its location") << false << false << QList<qint64>{3};
    QTest::newRow("set selection while suppressed reports nothing")
        << true << false << QList<qint64>{};
    // Right collapses the selection to its end.
    QTest::newRow("key release reports") << false << true << QList<qint64>{3, 5};
    QTest::newRow("key release reports even while suppressed") << true << true << QList<qint64>{5};
}

void PlainTextTextViewTest::cursorReports()
{
    QFETCH(bool, suppressed);
    QFETCH(bool, byKeyRelease);
    QFETCH(QList<qint64>, expected);

    Fixture fixture;
    fixture.view.setText(QStringLiteral("a😀bcdef"));
    fixture.view.setSuppressCallbacks(suppressed);
    // Three UTF-16 units: "a" and the two halves of the emoji; the length is never reported.
    fixture.view.setSelectedRange(3, 2);
    if (byKeyRelease)
        QTest::keyClick(&fixture.view, Qt::Key_Right);

    QCOMPARE(fixture.cursors, expected);
    QVERIFY(fixture.reported.isEmpty());
}

void PlainTextTextViewTest::mouseReleaseReportsTheClickedOffset()
{
    Fixture fixture;
    fixture.view.setText(QStringLiteral("one two three"));
    fixture.view.setSuppressCallbacks(true);

    QTest::mouseClick(fixture.view.viewport(), Qt::LeftButton, Qt::NoModifier,
                      pointOfOffset(fixture.view, 4));

    QCOMPARE(fixture.cursors, QList<qint64>{4});
}

void PlainTextTextViewTest::reportedTextFollowsEveryEdit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("lineEnding");
    QTest::newRow("line feeds, one CR LF")
        << QStringLiteral("first line\nsecond line\r\nthird\u2028still\nthird") << "\n";
    QTest::newRow("CR LF, one line feed")
        << QStringLiteral("first line\r\nsecond line\nthird\u2028still\r\nthird") << "\r\n";
    QTest::newRow("carriage returns") << QStringLiteral("first line\rsecond\r\rthird") << "\r";
}

void PlainTextTextViewTest::reportedTextFollowsEveryEdit()
{
    QFETCH(QString, text);
    QFETCH(QString, lineEnding);
    // Random typing, deletions across lines, pastes over selections, undo and redo: after each,
    // the text the view reports equals what its document holds, every line ending the one way.
    Fixture fixture;
    fixture.view.setText(text);
    QCOMPARE(fixture.view.lineEnding(), lineEnding);
    QCOMPARE(fixture.view.text(), documentText(fixture.view));
    QRandomGenerator random(20240607);
    for (int step = 0; step < 300; ++step) {
        const int length = int(fixture.view.text().size());
        const int at = random.bounded(length + 1);
        const int span = random.bounded(std::min(12, length - at) + 1);
        fixture.view.setSelectedRange(at, span);
        switch (random.bounded(7)) {
        case 0:
            QTest::keyClicks(&fixture.view, QStringLiteral("xy"));
            break;
        case 1:
            QTest::keyClick(&fixture.view, Qt::Key_Return);
            break;
        case 2:
            QTest::keyClick(&fixture.view, Qt::Key_Backspace);
            break;
        case 3:
            QTest::keyClick(&fixture.view, Qt::Key_Delete);
            break;
        case 4:
            fixture.view.pastePlainText(QStringLiteral("p\nq\r\nr"));
            break;
        case 5:
            fixture.view.undo();
            break;
        case 6:
            fixture.view.redo();
            break;
        }
        QCOMPARE(fixture.view.text(), documentText(fixture.view));
        // The selection's offsets are those of the reported text.
        const PlainTextTextView::SelectedRange selected = fixture.view.selectedRange();
        QCOMPARE(fixture.view.text().sliced(selected.location, selected.length),
                 fixture.view.textCursor().selectedText().replace(QChar::ParagraphSeparator,
                                                                  lineEnding));
    }
    QVERIFY(!fixture.reported.isEmpty());
    QCOMPARE(fixture.reported.last(), fixture.view.text());
    QVERIFY(isPlain(fixture.view));
}

void PlainTextTextViewTest::setTextStartsAFreshHistoryAndReportsNothing()
{
    Fixture fixture;
    QTest::keyClicks(&fixture.view, QStringLiteral("typed"));
    const int reports = fixture.reported.size();

    fixture.view.setText(QStringLiteral("opened"));

    QCOMPARE(fixture.reported.size(), reports);
    QVERIFY(!fixture.view.document()->isUndoAvailable());
    fixture.view.undo();
    QCOMPARE(fixture.view.text(), QStringLiteral("opened"));
}

void PlainTextTextViewTest::caretPlacedBeforeLayoutIsShown_data()
{
    QTest::addColumn<int>("caretLine");
    QTest::newRow("caret on line 1") << 0;
    QTest::newRow("caret far down") << 150;
}

void PlainTextTextViewTest::caretPlacedBeforeLayoutIsShown()
{
    QFETCH(int, caretLine);
    // A view inside a window not shown yet has a child's tiny default size when its text comes.
    QWidget window;
    auto *view = new PlainTextTextView(&window);
    QString text;
    for (int line = 0; line < 200; ++line)
        text += QStringLiteral("line %1\n").arg(line);
    view->setText(text);
    view->setSelectedRange(text.indexOf(QStringLiteral("line %1\n").arg(caretLine)), 0);
    // Keeping that caret in view scrolls by a line at that size, depending on font and platform.
    view->verticalScrollBar()->setValue(1);
    window.resize(600, 400);
    view->setGeometry(window.rect());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(view->textCursor().blockNumber(), caretLine);
    QVERIFY(view->viewport()->rect().contains(view->cursorRect()));
    if (caretLine == 0)
        QCOMPARE(view->verticalScrollBar()->value(), 0);
}

enum class Meanwhile { nothing, key, paste, select, close };

void PlainTextTextViewTest::largeTextArrivesWhileEventsFlow_data()
{
    QTest::addColumn<QString>("lineEnding");
    QTest::addColumn<Meanwhile>("meanwhile");
    QTest::newRow("left alone") << QStringLiteral("\n") << Meanwhile::nothing;
    QTest::newRow("CR LF lines") << QStringLiteral("\r\n") << Meanwhile::nothing;
    QTest::newRow("a key is refused") << QStringLiteral("\n") << Meanwhile::key;
    QTest::newRow("a paste is refused") << QStringLiteral("\r\n") << Meanwhile::paste;
    QTest::newRow("a selection is made at the end") << QStringLiteral("\r\n") << Meanwhile::select;
    QTest::newRow("the view is closed") << QStringLiteral("\n") << Meanwhile::close;
}

void PlainTextTextViewTest::largeTextArrivesWhileEventsFlow()
{
    QFETCH(QString, lineEnding);
    QFETCH(Meanwhile, meanwhile);
    QString large;
    for (int line = 0; large.size() <= 4 * PlainTextTextView::kDeferredLength; ++line)
        large += QStringLiteral("line %1 of a long text").arg(line) + lineEnding;
    auto fixture = std::make_unique<Fixture>();
    PlainTextTextView &view = fixture->view;
    QTest::keyClicks(&view, QStringLiteral("old"));
    fixture->reported.clear();

    view.setText(large);
    QCOMPARE(view.text(), large);
    QVERIFY(view.isReadOnly());
    // The event loop turns while part of the text is in.
    int partialTurns = 0;
    QTimer ticker;
    ticker.setInterval(0);
    connect(&ticker, &QTimer::timeout, &view, [&] {
        if (!view.document()->isEmpty() && view.isPreparingText())
            ++partialTurns;
    });
    ticker.start();
    QTRY_VERIFY(!view.document()->isEmpty());

    int beeps = 0;
    PlainTextTextView::SelectedRange selection;
    switch (meanwhile) {
    case Meanwhile::nothing:
        break;
    case Meanwhile::key:
        QTest::keyClick(&view, Qt::Key_X);
        QTest::keyClick(&view, Qt::Key_Backspace);
        beeps = 2;
        break;
    case Meanwhile::paste:
        QVERIFY(!view.pastePlainText(QStringLiteral("pasted")));
        beeps = 1;
        break;
    case Meanwhile::select:
        selection = {large.size() - 10, 4};
        view.setSelectedRange(selection.location, selection.length);
        QCOMPARE(view.selectedRange(), selection);
        break;
    case Meanwhile::close: {
        QPointer<PlainTextTextView> closed(&view);
        fixture.reset();
        QVERIFY(!closed);
        // Whatever was still to come for the view finds nothing.
        QTest::qWait(50);
        return;
    }
    }
    QCOMPARE(view.text(), large);
    QTRY_VERIFY_WITH_TIMEOUT(!view.isPreparingText(), 30000);

    QVERIFY(partialTurns > 1);
    QCOMPARE(view.text(), large);
    QCOMPARE(view.lineEnding(), lineEnding);
    QCOMPARE(documentText(view), large);
    // The plain text edit scrolls by lines.
    QVERIFY(view.verticalScrollBar()->maximum() > view.document()->blockCount() / 2);
    QCOMPARE(fixture->beeps, beeps);
    QVERIFY(fixture->reported.isEmpty());
    QCOMPARE(view.selectedRange(), selection);
    QVERIFY(!view.isReadOnly());
    QVERIFY(!view.document()->isUndoAvailable());
    // Edits now go through, and undo stops at the text as it came.
    QTest::keyClick(&view, Qt::Key_Z);
    QCOMPARE(view.text().size(), large.size() - selection.length + 1);
    QCOMPARE(fixture->reported.size(), 1);
    view.undo();
    QCOMPARE(view.text(), large);
    QVERIFY(!view.document()->isUndoAvailable());
}

void PlainTextTextViewTest::copyCarriesPlainTextOnly()
{
    Fixture fixture;
    fixture.view.setText(QStringLiteral("one\ntwo"));
    fixture.view.selectAll();

    fixture.view.copy();

    const QMimeData *copied = QApplication::clipboard()->mimeData();
    QCOMPARE(copied->formats(), QStringList{QStringLiteral("text/plain")});
    QCOMPARE(copied->text(), QStringLiteral("one\ntwo"));
}

void PlainTextTextViewTest::directionalControlsAreMarkedAndKept_data()
{
    QTest::addColumn<QChar>("control");
    const char16_t controls[] = {0x202A, 0x202B, 0x202C, 0x202D, 0x202E,
                                 0x2066, 0x2067, 0x2068, 0x2069};
    for (const char16_t control : controls)
        QTest::addRow("U+%04X", unsigned(control)) << QChar(control);
}

// A pasted control stays in the document, in the reported text and in a copy, and a marker is
// painted where it is.
void PlainTextTextViewTest::directionalControlsAreMarkedAndKept()
{
    QFETCH(QChar, control);
    Fixture fixture;
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.view));
    const QString pasted = QStringLiteral("invoice") + control + QStringLiteral("fdp.exe");
    QVERIFY(PlainTextTextView::isBidiControl(control));

    QVERIFY(fixture.view.pastePlainText(pasted));

    QCOMPARE(fixture.view.text(), pasted);
    QCOMPARE(fixture.view.document()->toPlainText(), pasted);
    QCOMPARE(fixture.reported.last(), pasted);
    fixture.view.selectAll();
    fixture.view.copy();
    QCOMPARE(QApplication::clipboard()->text(), pasted);

    const QList<PlainTextTextView::BidiMarker> markers = fixture.view.visibleBidiMarkers();
    QCOMPARE(markers.size(), 1);
    QCOMPARE(markers.first().position, 7);
    QCOMPARE(markers.first().control, control);
    QTextCursor at(fixture.view.document());
    at.setPosition(7);
    const QRect caret = fixture.view.cursorRect(at);
    const QRectF rect = markers.first().rect;
    QVERIFY2(rect.left() <= caret.left() + 1 && rect.right() >= caret.left() - 1,
             qPrintable(QStringLiteral("marker %1..%2, caret at %3")
                            .arg(rect.left())
                            .arg(rect.right())
                            .arg(caret.left())));
    QVERIFY(rect.top() <= caret.center().y() && rect.bottom() >= caret.center().y());

    // The marker's colour is on screen inside its rectangle (the caret is moved out of it).
    fixture.view.setSelectedRange(0, 0);
    const QImage image = fixture.view.viewport()->grab().toImage();
    const QColor colour = quillet::Theme::bidiMarker();
    bool painted = false;
    const QRect pixels = rect.toAlignedRect().adjusted(-int(rect.width()), 0, int(rect.width()), 0);
    for (int y = pixels.top(); y <= pixels.bottom() && !painted; ++y) {
        for (int x = pixels.left(); x <= pixels.right() && !painted; ++x) {
            const QColor pixel = image.pixelColor(QPoint(x, y) * image.devicePixelRatio());
            painted = std::abs(pixel.red() - colour.red()) < 8 &&
                      std::abs(pixel.green() - colour.green()) < 8 &&
                      std::abs(pixel.blue() - colour.blue()) < 8;
        }
    }
    QVERIFY(painted);
}

void PlainTextTextViewTest::directionalMarkersCoverOnlyLinesInView()
{
    Fixture fixture;
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.view));
    QStringList lines(2000, QStringLiteral("plain line"));
    lines.first() = QStringLiteral("first \u202E line");
    // On a wrapped line well into its paragraph.
    lines.last() =
        QStringLiteral("wrapped words ").repeated(100) + QStringLiteral("last \u2066 line");
    fixture.view.setText(lines.join(u'\n'));

    QList<PlainTextTextView::BidiMarker> markers = fixture.view.visibleBidiMarkers();
    QCOMPARE(markers.size(), 1);
    QCOMPARE(markers.first().control, QChar(0x202E));

    fixture.view.setSelectedRange(fixture.view.text().size(), 0); // scrolls to the end
    markers = fixture.view.visibleBidiMarkers();
    QCOMPARE(markers.size(), 1);
    QCOMPARE(markers.first().control, QChar(0x2066));
    QCOMPARE(markers.first().position, fixture.view.text().size() - 6);
}

void PlainTextTextViewTest::lastLineKeepsTheInsetBelowIt_data()
{
    QTest::addColumn<qreal>("multiple");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("typing");
    for (const bool typing : {false, true}) {
        for (const qreal multiple : {1.0, 1.5, 2.5}) {
            for (const int height : {300, 311, 323, 337}) {
                QTest::addRow("%s, line height %.1f, %d px",
                              typing ? "typed at the end" : "scrolled to the end", multiple, height)
                    << multiple << height << typing;
            }
        }
    }
}

// Scrolled to the end, 16 pixels stay between the last line's box and the editor's bottom edge,
// whatever the height and the line spacing; never more than one line beyond that.
void PlainTextTextViewTest::lastLineKeepsTheInsetBelowIt()
{
    QFETCH(qreal, multiple);
    QFETCH(int, height);
    QFETCH(bool, typing);
    PlainTextTextView view;
    view.setLineHeightMultiple(multiple);
    QStringList lines;
    for (int i = 1; i <= 120; ++i)
        lines.append(QStringLiteral("line %1").arg(i));
    view.setText(lines.join(u'\n'));
    view.resize(400, height);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QScrollBar *bar = view.verticalScrollBar();
    if (typing) {
        view.moveCursor(QTextCursor::End);
        QTest::keyClick(&view, Qt::Key_Return);
        QTest::keyClicks(&view, QStringLiteral("the end"));
    } else {
        bar->setValue(bar->maximum());
    }
    QCoreApplication::processEvents();

    const QTextBlock last = view.document()->lastBlock();
    const QTextLine line = last.layout()->lineAt(last.layout()->lineCount() - 1);
    const qreal step = line.height() * multiple;
    QTextCursor end(view.document());
    end.movePosition(QTextCursor::End);
    const QRect caret = view.cursorRect(end);
    const qreal boxBottom = caret.top() + line.height() + (step - line.height()) / 2;
    const qreal inset = view.viewport()->height() - boxBottom;
    QVERIFY2(inset >= 15 && inset < 16 + step, qPrintable(QString::number(inset)));
}

void PlainTextTextViewTest::longUnbrokenStretchesWrapAnywhere_data()
{
    // How the text arrives, what it is, and whether the view then wraps anywhere.
    QTest::addColumn<QString>("route");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("anywhere");

    constexpr qsizetype limit = PlainTextTextView::kLongestUnbrokenStretch;
    const QString longStretch(limit + 1, u'x');
    const QString halfStretch(limit / 2 + 1, u'x');
    const QString words = QStringLiteral("plain words ").repeated(1000);
    QTest::newRow("opened, one long stretch") << "open" << words + longStretch << true;
    QTest::newRow("opened, a stretch at the limit") << "open" << QString(limit, u'x') << false;
    QTest::newRow("opened, long lines of words") << "open" << words + u'\n' + words << false;
    QTest::newRow("opened, long stretch split by a line feed")
        << "open" << halfStretch + u'\n' + halfStretch << false;
    QTest::newRow("pasted, long stretch") << "paste" << longStretch << true;
    // The view holds halfStretch + " " + halfStretch, and the paste replaces the space.
    QTest::newRow("pasted, joins two stretches") << "join" << QStringLiteral("x") << true;
    QTest::newRow("pasted, keeps them apart") << "join" << QStringLiteral("-\t-") << false;
    QTest::newRow("typed, joins two stretches") << "type" << QStringLiteral("x") << true;
}

void PlainTextTextViewTest::longUnbrokenStretchesWrapAnywhere()
{
    QFETCH(QString, route);
    QFETCH(QString, text);
    QFETCH(bool, anywhere);

    Fixture fixture;
    const QString halfStretch(PlainTextTextView::kLongestUnbrokenStretch / 2 + 1, u'x');
    QString expected = text;
    if (route == u"open") {
        fixture.view.setText(text);
    } else if (route == u"paste") {
        QVERIFY(fixture.view.pastePlainText(text));
    } else {
        fixture.view.setText(halfStretch + u' ' + halfStretch);
        fixture.view.setSelectedRange(halfStretch.size(), 1);
        if (route == u"join")
            QVERIFY(fixture.view.pastePlainText(text));
        else
            QTest::keyClicks(&fixture.view, text);
        expected = halfStretch + text + halfStretch;
    }
    QCoreApplication::processEvents();

    QCOMPARE(fixture.view.wrapsAnywhere(), anywhere);
    QCOMPARE(fixture.view.text(), expected);
    QCOMPARE(documentText(fixture.view), expected);

    // Opening another text chooses afresh.
    fixture.view.setText(QStringLiteral("short text"));
    QVERIFY(!fixture.view.wrapsAnywhere());
}

void PlainTextTextViewTest::longParagraphEditsLayOutAsAWhole_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<qreal>("multiple");

    const QString words = longParagraph(14000);
    const QString unbroken = QString(300, u' ') + QString(14000, u'x');
    QTest::newRow("typed at the end") << words << "end" << 1.0;
    QTest::newRow("typed at the end, spaced lines") << words << "end" << 1.5;
    QTest::newRow("typed in the middle") << words << "middle" << 1.0;
    QTest::newRow("typed near the start") << words << "start" << 1.0;
    QTest::newRow("space at a break erased") << words << "join" << 1.0;
    QTest::newRow("bracket typed at a line start") << words << "bracket" << 1.0;
    QTest::newRow("words pasted in the middle") << words << "paste" << 1.0;
    QTest::newRow("selection across lines replaced") << words << "replace" << 1.5;
    QTest::newRow("paste undone") << words << "undo" << 1.0;
    QTest::newRow("typed into an unbroken stretch") << unbroken << "middle" << 1.0;
    QTest::newRow("typed into two paragraphs in turn") << words + u'\n' + words << "both" << 1.0;
}

// Lines of a long paragraph are made again only around an edit. After any edit the paragraph
// breaks into the same lines, the caret sits in view where a click lands on it, and the view
// paints the same pixels as after a layout of the whole paragraph from scratch.
void PlainTextTextViewTest::longParagraphEditsLayOutAsAWhole()
{
    QFETCH(QString, text);
    QFETCH(QString, edit);
    QFETCH(qreal, multiple);

    Fixture fixture;
    PlainTextTextView &view = fixture.view;
    view.setLineHeightMultiple(multiple);
    view.setText(text);
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QTextBlock block = view.document()->firstBlock();
    const QTextLayout *layout = block.layout();
    QVERIFY(layout->lineCount() > 100);
    const int lineStart = layout->lineAt(layout->lineCount() / 2).textStart();
    const int blockEnd = block.length() - 1;
    const QString pasted = longParagraph(3000);

    if (edit == u"end") {
        QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(&view, QStringLiteral(" more words (and brackets)"));
        QTest::keyClick(&view, Qt::Key_Backspace);
    } else if (edit == u"middle" || edit == u"start") {
        view.setSelectedRange(edit == u"middle" ? text.size() / 2 : 3, 0);
        QTest::keyClicks(&view, QStringLiteral("inserted words, then) some more "));
    } else if (edit == u"join") {
        view.setSelectedRange(lineStart, 0);
        QTest::keyClick(&view, Qt::Key_Backspace);
    } else if (edit == u"bracket") {
        view.setSelectedRange(lineStart, 0);
        QTest::keyClick(&view, Qt::Key_ParenRight, Qt::NoModifier);
    } else if (edit == u"paste" || edit == u"undo") {
        view.setSelectedRange(lineStart, 0);
        QVERIFY(view.pastePlainText(pasted));
        if (edit == u"undo")
            view.undo();
    } else if (edit == u"both") {
        // The end of the first and the start of the second in view together.
        view.setSelectedRange(blockEnd, 0);
        QTest::keyClicks(&view, QStringLiteral(" (one"));
        view.setSelectedRange(blockEnd + 6, 0);
        QTest::keyClicks(&view, QStringLiteral("two) "));
    } else if (edit == u"replace") {
        view.setSelectedRange(lineStart - 150, 300);
        QTest::keyClick(&view, Qt::Key_Z, Qt::NoModifier, 10);
    }
    QCoreApplication::processEvents();
    QCOMPARE(documentText(view), view.text());

    const QList<std::pair<int, int>> lines = linesOf(block);
    const QRect caret = view.cursorRect();
    const QImage painted = view.viewport()->grab().toImage();
    QVERIFY(view.viewport()->rect().contains(caret));
    QCOMPARE(view.cursorForPosition(caret.center()).position(), view.textCursor().position());

    block.layout()->clearLayout();
    static_cast<QPlainTextDocumentLayout *>(view.document()->documentLayout())
        ->ensureBlockLayout(block);
    QCOMPARE(linesOf(block), lines);
    QCOMPARE(view.cursorRect(), caret);
    QCOMPARE(view.viewport()->grab().toImage(), painted);
}

QTEST_MAIN(PlainTextTextViewTest)
#include "tst_plain_text_text_view.moc"
