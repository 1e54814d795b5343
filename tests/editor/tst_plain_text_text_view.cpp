#include "editor_test_support.h"

#include "style/theme.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTimer>

using quillet::PlainTextTextView;
using namespace quillet::test;
using namespace Qt::StringLiterals;
using Range = PlainTextTextView::SelectedRange;

namespace {

enum class Contents { richText, plainOnly, urlsOnly, emptyText };
enum class Route { shortcut, contextMenu, textControl, drop };

QMimeData *mimeDataWith(Contents contents)
{
    auto *data = new QMimeData;
    if (contents == Contents::richText) {
        data->setHtml(u"<p style='color:red'><b>Bold</b> <a href='https://x.test'>link</a></p>"_s);
        data->setText(u"plain words"_s);
        data->setImageData(QImage(4, 4, QImage::Format_RGB32));
    }
    if (contents == Contents::richText || contents == Contents::urlsOnly)
        data->setUrls({QUrl::fromLocalFile(u"/tmp/a.txt"_s), QUrl(u"https://example.test/"_s)});
    if (contents == Contents::plainOnly)
        data->setText(u"two\nlines"_s);
    if (contents == Contents::emptyText)
        data->setText(QString());
    return data;
}

QRect caretAt(const PlainTextTextView &view, int offset)
{
    QTextCursor cursor(view.document());
    cursor.setPosition(offset);
    return view.cursorRect(cursor);
}

QPoint pointOfOffset(const PlainTextTextView &view, int offset)
{
    const QRect caret = caretAt(view, offset);
    return QPoint(caret.left() + 1, caret.center().y());
}

// The clipboard's contents arrive by the route; a drop brings them at offset 6.
void paste(PlainTextTextView &view, Route route)
{
    if (route == Route::drop) {
        const QMimeData *data = QApplication::clipboard()->mimeData();
        const QPoint point = pointOfOffset(view, 6);
        // Shift proposes a move, but the text is copied: a drag out of this view leaves it.
        const auto actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(point, actions, data, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(view.viewport(), &enter);
        QDropEvent drop(point, actions, data, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(view.viewport(), &drop);
        QCOMPARE(drop.isAccepted(), enter.isAccepted());
        QVERIFY(!drop.isAccepted() ||
                (enter.dropAction() == Qt::CopyAction && drop.dropAction() == Qt::CopyAction));
    } else if (route == Route::shortcut) {
        QTest::keyClick(&view, Qt::Key_V, Qt::ControlModifier);
    } else if (route == Route::textControl) {
        // The base class's own paste, the route of the X11 middle-click paste.
        static_cast<QPlainTextEdit &>(view).paste();
    } else {
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                view.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(view.viewport(), &event);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        auto *action = menu ? menu->findChild<QAction *>(u"edit-paste"_s) : nullptr;
        QVERIFY(action);
        // Enabled only when there is something to paste.
        if (action->isEnabled())
            action->trigger();
        menu->close();
    }
}

// A view in a shown window, with what it reports and the alert sound counted.
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

// Words of every kind the line breaker treats apart: brackets, hyphens, numbers, tabs, a
// right-to-left word, a combining accent, a character beyond the BMP.
QString longParagraph(int size)
{
    const QStringList words = u"plain (bracketed) well-known 1,000.50 tab\there "
                              u"\u0645\u0631\u062d\u0628\u0627 cafe\u0301 \U0001F600 end. a "
                              u"longerwordthanmost"_s.split(u' ');
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
    void initTestCase() { QApplication::setEffectEnabled(Qt::UI_AnimateMenu, false); }
    void paste_data();
    void paste();
    void reportedTextFollowsEveryEdit_data();
    void reportedTextFollowsEveryEdit();
    void largeTextArrivesWhileEventsFlow_data();
    void largeTextArrivesWhileEventsFlow();
    void caretPlacedBeforeLayoutIsShown_data();
    void caretPlacedBeforeLayoutIsShown();
    void directionalControlsAreMarkedAndKept_data();
    void directionalControlsAreMarkedAndKept();
    void longUnbrokenStretchesWrapAnywhere_data();
    void longUnbrokenStretchesWrapAnywhere();
    void longParagraphEditsLayOutAsAWhole_data();
    void longParagraphEditsLayOutAsAWhole();
};

void PlainTextTextViewTest::paste_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<Contents>("contents");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("beeps");
    // The context menu offers no paste without text, and a drag without it is refused: nothing
    // sounds there. A drop goes in before the selection, which stays on the text it covered.
    const std::tuple<const char *, Route, int, QString> routes[] = {
        {"shortcut", Route::shortcut, 1, {}},
        {"menu", Route::contextMenu, 0, {}},
        {"text control", Route::textControl, 1, {}},
        {"drop", Route::drop, 0, u"XX"_s}};
    for (const auto &[name, route, noTextBeeps, after] : routes) {
        const auto row = [&](const char *what, Contents contents) -> QTestData & {
            return QTest::addRow("%s, %s", name, what) << route << contents;
        };
        row("rich text gives its plain text", Contents::richText)
            << u"start plain words"_s + after << 0;
        row("plain text with a line break", Contents::plainOnly)
            << u"start two\nlines"_s + after << 0;
        row("file URLs alone", Contents::urlsOnly) << u"start XX"_s << noTextBeeps;
        row("empty text", Contents::emptyText) << u"start XX"_s << noTextBeeps;
    }
}

// The text replaces the selection, or goes in at the drop, as one undo step; without text nothing
// changes.
void PlainTextTextViewTest::paste()
{
    QFETCH(Route, route);
    QFETCH(Contents, contents);
    QFETCH(QString, expected);
    Fixture fixture;
    QTest::keyClicks(&fixture.view, u"start XX"_s);
    fixture.view.setSelectedRange(6, 2);
    QApplication::clipboard()->setMimeData(mimeDataWith(contents));
    const int undoSteps = fixture.view.document()->availableUndoSteps();

    ::paste(fixture.view, route);

    QCOMPARE(fixture.view.text(), expected);
    QTEST(fixture.beeps, "beeps");
    QVERIFY(isPlain(fixture.view));
    if (expected == u"start XX") {
        QCOMPARE(fixture.view.document()->availableUndoSteps(), undoSteps);
        return;
    }
    QCOMPARE(fixture.reported.last(), expected);
    const qsizetype kept = route == Route::drop ? 2 : 0;
    QCOMPARE(fixture.view.selectedRange(), (Range{expected.size() - kept, kept}));
    // Typing after it is an undo step of its own.
    QTest::keyClicks(&fixture.view, u"z"_s);
    fixture.view.undo();
    QCOMPARE(fixture.view.text(), expected);
    fixture.view.undo();
    QCOMPARE(fixture.view.text(), u"start XX"_s);
}

void PlainTextTextViewTest::reportedTextFollowsEveryEdit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("lineEnding");
    QTest::newRow("CR LF, one line feed")
        << u"first line\r\nsecond line\nthird\u2028still\r\nthird"_s << u"\r\n"_s;
    QTest::newRow("carriage returns") << u"first line\rsecond\r\rthird"_s << u"\r"_s;
}

// Random typing, deletions across lines, pastes over selections, undo, redo and clicks: after
// each, the text the view reports is what its document holds, every line ending the one way.
void PlainTextTextViewTest::reportedTextFollowsEveryEdit()
{
    QFETCH(QString, text);
    QFETCH(QString, lineEnding);
    Fixture fixture;
    PlainTextTextView &view = fixture.view;
    view.setText(text);
    const std::function<void()> edits[] = {
        [&] { QTest::keyClicks(&view, u"xy"_s); },
        [&] { QTest::keyClick(&view, Qt::Key_Return); },
        [&] { QTest::keyClick(&view, Qt::Key_Backspace); },
        [&] { QTest::keyClick(&view, Qt::Key_Delete); },
        [&] { view.pastePlainText(u"p\nq\r\nr"_s); },
        [&] { view.undo(); },
        [&] { view.redo(); },
        [&] {
            // A click reports where it left the caret.
            fixture.cursors.clear();
            QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(30, 30));
            QCOMPARE(fixture.cursors, QList{view.selectedRange().location});
        }};
    QRandomGenerator random(20240607);
    for (int step = 0; step < 300; ++step) {
        const int length = int(view.text().size());
        const int at = random.bounded(length + 1);
        view.setSelectedRange(at, random.bounded(std::min(12, length - at) + 1));
        edits[random.bounded(8)]();
        QCOMPARE(view.text(), documentText(view));
        // The selection's offsets are those of the reported text.
        const Range selected = view.selectedRange();
        QCOMPARE(view.text().sliced(selected.location, selected.length),
                 view.textCursor().selectedText().replace(QChar::ParagraphSeparator, lineEnding));
    }
    QCOMPARE(fixture.reported.last(), view.text());
    QVERIFY(isPlain(view));
}

enum class Meanwhile { key, paste, select, selectBack };

void PlainTextTextViewTest::largeTextArrivesWhileEventsFlow_data()
{
    QTest::addColumn<QString>("lineEnding");
    QTest::addColumn<Meanwhile>("meanwhile");
    QTest::addColumn<int>("beeps");
    QTest::newRow("a key is refused") << u"\n"_s << Meanwhile::key << 2;
    QTest::newRow("a paste is refused, CR LF lines") << u"\r\n"_s << Meanwhile::paste << 1;
    QTest::newRow("a selection is made at the end") << u"\r\n"_s << Meanwhile::select << 0;
    QTest::newRow("a selection back from the end of what is in")
        << u"\n"_s << Meanwhile::selectBack << 0;
}

void PlainTextTextViewTest::largeTextArrivesWhileEventsFlow()
{
    QFETCH(QString, lineEnding);
    QFETCH(Meanwhile, meanwhile);
    const QString large = largeText(lineEnding);
    Fixture fixture;
    PlainTextTextView &view = fixture.view;
    QTest::keyClicks(&view, u"old"_s);
    fixture.reported.clear();

    view.setText(large);
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

    PlainTextTextView::SelectedRange selection;
    switch (meanwhile) {
    case Meanwhile::key:
        QTest::keyClick(&view, Qt::Key_X);
        QTest::keyClick(&view, Qt::Key_Backspace);
        break;
    case Meanwhile::paste:
        QVERIFY(!view.pastePlainText(u"pasted"_s));
        break;
    case Meanwhile::select:
        selection = {large.size() - 10, 4};
        view.setSelectedRange(selection.location, selection.length);
        break;
    case Meanwhile::selectBack: {
        // As a drag from the end of what is in: the anchor sits where the next lines go in.
        QTextCursor back(view.document());
        back.movePosition(QTextCursor::End);
        back.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor);
        view.setTextCursor(back);
        selection = view.selectedRange();
        break;
    }
    }
    // The view reports the whole text at once, and refused edits leave it so.
    QCOMPARE(view.text(), large);
    QTRY_VERIFY_WITH_TIMEOUT(!view.isPreparingText(), 30000);

    QVERIFY(partialTurns > 1);
    QCOMPARE(documentText(view), large);
    // The plain text edit scrolls by lines.
    QVERIFY(view.verticalScrollBar()->maximum() > view.document()->blockCount() / 2);
    QTEST(fixture.beeps, "beeps");
    QCOMPARE(view.selectedRange(), selection);
    // Edits now go through, and undo stops at the text as it came.
    QTest::keyClick(&view, Qt::Key_Z);
    QCOMPARE(view.text().size(), large.size() - selection.length + 1);
    QCOMPARE(fixture.reported.size(), 1);
    view.undo();
    QCOMPARE(view.text(), large);
    QVERIFY(!view.document()->isUndoAvailable());
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
    view->setText(u"a line\n"_s.repeated(200));
    view->setSelectedRange(caretLine * 7, 0);
    // Keeping that caret in view scrolls by a line at that size, depending on font and platform.
    view->verticalScrollBar()->setValue(1);
    window.resize(600, 400);
    view->setGeometry(window.rect());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QVERIFY(view->viewport()->rect().contains(view->cursorRect()));
    if (caretLine == 0)
        QCOMPARE(view->verticalScrollBar()->value(), 0);
}

void PlainTextTextViewTest::directionalControlsAreMarkedAndKept_data()
{
    QTest::addColumn<QChar>("control");
    // The ends of both ranges.
    for (const char16_t control : {0x202A, 0x202E, 0x2066, 0x2069})
        QTest::addRow("U+%04X", unsigned(control)) << QChar(control);
}

// A pasted control stays in the document, in the reported text and in a copy, which carries
// plain text alone, and a marker is painted where it is.
void PlainTextTextViewTest::directionalControlsAreMarkedAndKept()
{
    QFETCH(QChar, control);
    Fixture fixture;
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.view));
    const QString pasted = u"invoice"_s + control + u"fdp.exe\nnext"_s;

    QVERIFY(fixture.view.pastePlainText(pasted));

    QCOMPARE(fixture.reported.last(), pasted);
    fixture.view.selectAll();
    fixture.view.copy();
    QCOMPARE(QApplication::clipboard()->mimeData()->formats(), QStringList{u"text/plain"_s});
    QCOMPARE(QApplication::clipboard()->text(), pasted);

    const QList<PlainTextTextView::BidiMarker> markers = fixture.view.visibleBidiMarkers();
    QCOMPARE(markers.size(), 1);
    QCOMPARE(markers.first().position, 7);
    const QRect caret = caretAt(fixture.view, 7);
    const QRectF rect = markers.first().rect;
    QVERIFY(rect.adjusted(-1, 0, 1, 0).contains(QPointF(caret.left(), caret.center().y())));

    // The marker's colour is on screen around its rectangle (the caret is moved out of it).
    fixture.view.setSelectedRange(0, 0);
    const QImage image =
        fixture.view.viewport()
            ->grab(rect.toAlignedRect().adjusted(-int(rect.width()), 0, int(rect.width()), 0))
            .toImage();
    const QColor colour = quillet::Theme::bidiMarker();
    bool painted = false;
    for (int i = 0; i < image.width() * image.height(); ++i) {
        const QColor pixel = image.pixelColor(i % image.width(), i / image.width());
        painted |= std::max({std::abs(pixel.red() - colour.red()),
                             std::abs(pixel.green() - colour.green()),
                             std::abs(pixel.blue() - colour.blue())}) < 8;
    }
    QVERIFY(painted);

    // Only lines in view count: none below it, in the next paragraph or further down in one that
    // starts in view, and at the end one well into its paragraph.
    QStringList lines(2000, u"plain line"_s);
    lines.first() = lines.last() = u"wrapped words "_s.repeated(100) + control + u" line"_s;
    fixture.view.setText(pasted + u'\n' + lines.join(u'\n'));
    QCOMPARE(fixture.view.visibleBidiMarkers().size(), 1);
    fixture.view.setSelectedRange(fixture.view.text().size(), 0); // scrolls to the end
    QCOMPARE(fixture.view.visibleBidiMarkers().size(), 1);
    QCOMPARE(fixture.view.visibleBidiMarkers().first().position, fixture.view.text().size() - 6);
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
    const QString words = u"plain words "_s.repeated(1000);
    QTest::newRow("opened, one long stretch") << "open" << words + longStretch << true;
    QTest::newRow("opened, long lines of words") << "open" << words + u'\n' + words << false;
    QTest::newRow("opened, long stretch split by a line feed")
        << "open" << halfStretch + u'\n' + halfStretch << false;
    QTest::newRow("pasted, long stretch") << "paste" << longStretch << true;
    // The view holds halfStretch + " " + halfStretch, and the paste replaces the space.
    QTest::newRow("pasted, joins two stretches") << "join" << u"x"_s << true;
    QTest::newRow("pasted, keeps them apart") << "join" << u"-\t-"_s << false;
    QTest::newRow("typed, joins two stretches") << "type" << u"x"_s << true;
}

void PlainTextTextViewTest::longUnbrokenStretchesWrapAnywhere()
{
    QFETCH(QString, route);
    QFETCH(QString, text);
    Fixture fixture;
    const QString halfStretch(PlainTextTextView::kLongestUnbrokenStretch / 2 + 1, u'x');
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
    }
    // Opened or pasted text is measured before it is laid out; typing, on the next turn.
    if (route == u"type")
        QCoreApplication::processEvents();

    QTEST(fixture.view.wrapsAnywhere(), "anywhere");
    // Opening another text chooses afresh.
    fixture.view.setText(u"short text"_s);
    QVERIFY(!fixture.view.wrapsAnywhere());
}

void PlainTextTextViewTest::longParagraphEditsLayOutAsAWhole_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<qreal>("multiple");
    const QString words = longParagraph(14000);
    const QString unbroken = QString(300, u' ') + QString(14000, u'x');
    QTest::newRow("typed at the end, spaced lines") << words << "end" << 1.5;
    QTest::newRow("typed in the middle") << words << "middle" << 1.0;
    QTest::newRow("typed near the start") << words << "start" << 1.0;
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

    if (edit == u"end") {
        QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(&view, u" more words (and brackets)"_s);
    } else if (edit == u"middle" || edit == u"start") {
        view.setSelectedRange(edit == u"middle" ? text.size() / 2 : 3, 0);
        QTest::keyClicks(&view, u"inserted words, then) some more "_s);
    } else if (edit == u"bracket") {
        view.setSelectedRange(lineStart, 0);
        QTest::keyClick(&view, Qt::Key_ParenRight, Qt::NoModifier);
    } else if (edit == u"paste" || edit == u"undo") {
        view.setSelectedRange(lineStart, 0);
        QVERIFY(view.pastePlainText(longParagraph(3000)));
        if (edit == u"undo")
            view.undo();
    } else if (edit == u"both") {
        // The end of the first and the start of the second in view together.
        view.setSelectedRange(blockEnd, 0);
        QTest::keyClicks(&view, u" (one"_s);
        view.setSelectedRange(blockEnd + 6, 0);
        QTest::keyClicks(&view, u"two) "_s);
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
