#include "views/preview_block_layout.h"
#include "views/preview_view.h"

#include "model/scratchpad.h"
#include "support/hostile_markdown.h"

#include "views_test_support.h"

#include <QClipboard>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>

using quillet::MarkdownBlock;
using quillet::PreviewBlockLayout;
using quillet::PreviewText;
using quillet::PreviewView;
using quillet::Scratchpad;
using Part = PreviewBlockLayout::Part;

namespace {

// A shown preview of `text`, with its blocks parsed.
struct Preview {
    explicit Preview(const QString &text, QSize size = QSize(600, 800))
        : scratchpad(std::make_shared<Scratchpad>(QUuid(), Scratchpad::kUntitled, text))
    {
        view.resize(size);
        view.setScratchpad(scratchpad);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
    }
    void edit(const QString &text)
    {
        QSignalSpy shown(&view, &PreviewView::blocksChanged);
        scratchpad->setContent(text);
        QVERIFY(shown.wait(5000));
    }
    std::shared_ptr<Scratchpad> scratchpad;
    PreviewView view;
};

const QString kCodeFence = QStringLiteral("```");

} // namespace

// Everything a laid-out block or slice shows as text, in order.
static QStringList shownTexts(const PreviewBlockLayout &layout)
{
    QStringList texts;
    for (qsizetype i = 0; i < layout.sliceCount(); ++i)
        if (const PreviewBlockLayout *slice = layout.slice(i))
            texts << shownTexts(*slice);
    for (const auto &text : layout.texts())
        texts << text.text->text();
    if (layout.table())
        for (const auto &cell : layout.table()->cells())
            texts << cell.text->text();
    return texts;
}

// A paragraph shows all of its text, or a first part of it and an ellipsis when it is longer or
// in more runs than the preview lays out.
static void verifyShownPart(const QString &shown, const quillet::StyledText &full)
{
    if (full.text().size() <= PreviewText::kLongestStyledText &&
        full.runs().size() <= PreviewText::kMostStyledRuns) {
        QVERIFY(shown == full.text());
        return;
    }
    QVERIFY(shown.size() <= PreviewText::kLongestStyledText + 1);
    QVERIFY(shown.endsWith(u'\u2026'));
    QVERIFY(full.text().startsWith(QStringView(shown).chopped(1)));
}

class PreviewViewTest : public QObject {
    Q_OBJECT

private slots:
    // Markers count on from the list's start, also past the largest 64-bit number; a checked task
    // is struck through and a deeper one starts further in.
    void listMarkersAndIndent()
    {
        Preview preview(QStringLiteral("3. a\n9. b\n1. c\n\n    - [ ] deep\n- [x] done\n\n"
                                       "9223372036854775807. x\n1. y\n2. z"));
        const auto markers = [&](qsizetype block) {
            QStringList texts;
            for (const auto &text : preview.view.blockLayout(block).texts())
                if (text.part == Part::marker)
                    texts << text.text->text();
            return texts.join(u' ');
        };
        QCOMPARE(markers(0), QStringLiteral("3. 4. 5."));
        QCOMPARE(markers(4),
                 QStringLiteral("9223372036854775807. 9223372036854775808. 9223372036854775809."));
        const PreviewBlockLayout &tasks = preview.view.blockLayout(2);
        QCOMPARE(tasks.symbols().size(), 2);
        QVERIFY(tasks.symbols().at(0).rect.left() > tasks.symbols().at(1).rect.left());
        QVERIFY(tasks.symbols().at(0).name != tasks.symbols().at(1).name);
        QVERIFY(tasks.texts().at(1).text->textLayout().formats().at(0).format.font().strikeOut());
        QVERIFY(!tasks.texts().at(0).text->textLayout().formats().at(0).format.font().strikeOut());
    }

    void inlineCodeIsMonospaced_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<Part>("part");
        QTest::newRow("paragraph") << "Call `iiMM` now" << Part::paragraph;
        QTest::newRow("heading") << "## Call `iiMM` now" << Part::heading;
        QTest::newRow("checked task") << "- [x] Call `iiMM` now" << Part::itemText;
        // The part is not used: a table's cell is the grid's last.
        QTest::newRow("table cell") << "| a |\n| - |\n| Call `iiMM` now |" << Part::rule;
    }

    // The letters of a code span are drawn in a face where a narrow and a wide letter take the same
    // advance, while the body text around it keeps its proportional face. The glyph runs are those
    // that painting the block draws.
    void inlineCodeIsMonospaced()
    {
        QFETCH(QString, source);
        QFETCH(Part, part);
        Preview preview(source);
        const PreviewBlockLayout &block = preview.view.blockLayout(0);
        const PreviewText *text =
            block.table() ? block.table()->cells().last().text.get() : block.text(part)->text.get();
        const int code = int(text->text().indexOf(u"iiMM"));
        QVERIFY(code > 0);
        // The advances from each of four letters to the next: i to i, i to M, M to M.
        auto advances = [&](int from) {
            QList<qreal> result;
            for (const QGlyphRun &run : text->textLayout().glyphRuns(from, 4)) {
                const QList<QPointF> positions = run.positions();
                for (qsizetype i = 1; i < positions.size(); ++i)
                    result.append(positions.at(i).x() - positions.at(i - 1).x());
            }
            return result;
        };
        const QList<qreal> inCode = advances(code);
        QCOMPARE(inCode, QList<qreal>(3, inCode.value(0)));
        // "Call" in the body face: "a" and "l" differ in width.
        const QList<qreal> inBody = advances(0);
        QVERIFY(inBody.size() == 3 && inBody.at(0) != inBody.at(1));
    }

    void boxesHoldTheirWrappedText_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<Part>("box");
        QTest::addColumn<Part>("part");
        QTest::addColumn<QString>("label");
        QTest::newRow("quote of many lines") << "> " + QStringLiteral("many words ").repeated(40)
                                             << Part::quoteBar << Part::quoteText << "";
        QTest::newRow("code with a language") << kCodeFence + "python\na = 1\n" + kCodeFence
                                              << Part::codeBox << Part::codeContent << "python";
    }

    void boxesHoldTheirWrappedText()
    {
        QFETCH(QString, source);
        QFETCH(Part, part);
        Preview preview(source, QSize(300, 600));
        const PreviewBlockLayout &layout = preview.view.blockLayout(0);
        const auto &fill = layout.fills().at(0);
        QTEST(fill.part, "box");
        const auto *text = layout.text(part);
        QVERIFY(fill.rect.top() <= text->origin.y() &&
                text->origin.y() + text->text->height() <= fill.rect.bottom());
        const auto *shownLabel = layout.text(Part::codeLabel);
        QTEST(shownLabel ? shownLabel->text->text() : QString(), "label");
        if (shownLabel)
            QVERIFY(shownLabel->origin.y() + shownLabel->text->height() <= text->origin.y());
    }

    void tables_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("cells");
        // Whether the table is wider than the column and scrolls sideways.
        QTest::addColumn<bool>("scrolls");
        QTest::newRow("long row cut") << "a | b\n--|--\n1 | 2 | 3" << 2 << 4 << false;
        QTest::newRow("short row filled") << "a | b | c\n--|--|--\n1 |\n" << 3 << 6 << false;
        QTest::newRow("no rows") << "a | b\n--|--" << 2 << 2 << false;
        const QString note =
            QStringLiteral("a note long enough to need several lines ").repeated(8);
        QTest::newRow("one long cell")
            << "| Qty | Note |\n|---|---|\n| 12 | " + note + "|" << 2 << 4 << false;
        QTest::newRow("two long cells, short ones between")
            << "| A | Note | Qty | More |\n|--|--|--|--|\n| 1 | " + note + "| 300 | " + note + "|"
            << 4 << 8 << false;
        QString wide;
        for (int c = 0; c < 64; ++c)
            wide += QStringLiteral("| Column%1 ").arg(c);
        QTest::newRow("64 columns")
            << wide + "|\n" + QStringLiteral("|---").repeated(64) + "|" << 64 << 64 << true;
    }

    // Columns are never narrower than their longest word; only the wide ones wrap, and a table
    // whose words do not fit in the column scrolls sideways. Rows are cut or filled to the header's
    // columns.
    void tables()
    {
        QFETCH(QString, source);
        QFETCH(bool, scrolls);
        Preview preview(source);
        const PreviewBlockLayout &layout = preview.view.blockLayout(0);
        const quillet::MarkdownTableView *table = layout.table();
        QVERIFY(table);
        QTEST(table->columnCount(), "columns");
        QTEST(int(table->cells().size()), "cells");
        for (const auto &cell : table->cells()) {
            PreviewText probe(cell.text->text(), cell.text->textLayout().font());
            QVERIFY(cell.rect.width() >= probe.longestWordWidth() + 20);
            if (probe.naturalWidth() < 100)
                QCOMPARE(cell.text->lineCount(), 1);
            for (int line = 0; line < cell.text->lineCount(); ++line)
                QVERIFY(cell.text->textLayout().lineAt(line).naturalTextWidth() <=
                        cell.rect.width() - 20);
        }
        QCOMPARE(table->width() > preview.view.columnWidth(), scrolls);
        QCOMPARE(preview.view.horizontalScrollBar()->maximum() > 0, scrolls);
    }

    void editLaysOutOnlyTheChangedBlock()
    {
        QString text;
        for (int i = 0; i < 300; ++i)
            text += QStringLiteral("Paragraph %1 with some words.\n\n").arg(i);
        Preview preview(text);
        const qsizetype count = preview.view.blockCount();
        QList<const PreviewBlockLayout *> before;
        for (qsizetype i = 0; i < count; ++i)
            before << &preview.view.blockLayout(i);
        const qsizetype changed = text.indexOf(QStringLiteral("Paragraph 150"));
        preview.edit(text.left(changed) + u'X' + text.mid(changed));
        QCOMPARE(preview.view.blockCount(), count);
        QCOMPARE(preview.view.blockLayout(300).text(Part::paragraph)->text->text(),
                 QStringLiteral("XParagraph 150 with some words."));
        for (qsizetype i = 0; i < count; ++i) {
            if (i != 300)
                QVERIFY(&preview.view.blockLayout(i) == before.at(i) &&
                        before.at(i)->timesLaidOut() == 1);
        }
        // A new block in the middle: the ones after it keep their layouts too.
        preview.edit(text.left(changed) + QStringLiteral("New.\n\n") + text.mid(changed));
        QCOMPARE(preview.view.blockCount(), count + 2);
        QCOMPARE(&preview.view.blockLayout(count + 1), before.at(count - 1));
    }

    void longBlocksLayOutWhatIsInView_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("lastRow");
        QString table = QStringLiteral("| Item | Qty |\n|---|---|\n");
        QString ordered;
        QString code = kCodeFence + u'\n';
        for (int i = 0; i < 20000; ++i) {
            table += QStringLiteral("| row %1 | 1 |\n").arg(i);
            ordered += QStringLiteral("%1. row %2\n").arg(i + 1).arg(i);
            if (i < 15000)
                code += QStringLiteral("row %1\n").arg(i);
        }
        QTest::newRow("table of 20,000 rows") << table << "row 19999";
        QTest::newRow("ordered list of 20,000 items") << ordered << "20000.";
        QTest::newRow("code of 15,000 lines") << code + kCodeFence << "row 14999\n";
    }

    // A block of thousands of rows lays out the rows in view and a little more, wherever the view
    // is, and keeps no more than that: an edit, a scroll to its end and the idle time after.
    void longBlocksLayOutWhatIsInView()
    {
        QFETCH(QString, text);
        QFETCH(QString, lastRow);
        Preview preview(text, QSize(600, 400));
        QTRY_VERIFY_WITH_TIMEOUT(!preview.view.isRefreshPending(), 20000);
        const qsizetype few = 8;
        const auto held = [&] { return preview.view.blockLayout(0).slicesHeld(); };
        const auto shown = [&] { return shownTexts(preview.view.blockLayout(0)).join(u'\n'); };
        preview.view.viewport()->repaint();
        QVERIFY(held() > 0 && held() <= few);
        QVERIFY(shown().contains(u"row 3"));
        QTRY_VERIFY_WITH_TIMEOUT(!preview.view.isLayoutPending(), 60000);
        QVERIFY(held() <= few);

        // An edit in view lays out that slice again; the others keep their heights, also when the
        // edit widens a column of a table and so moves every column.
        const qsizetype at = text.indexOf(QStringLiteral("row 3"));
        preview.edit(text.left(at) + QStringLiteral("edited ") + text.mid(at));
        preview.view.viewport()->repaint();
        QVERIFY(shown().contains(u"edited row 3"));
        QVERIFY(preview.view.blockLayout(0).isMeasured());
        QVERIFY(held() <= few);

        QScrollBar *bar = preview.view.verticalScrollBar();
        bar->setValue(bar->maximum());
        preview.view.viewport()->repaint();
        QVERIFY(!shown().contains(u"edited row 3"));
        QVERIFY(shown().contains(lastRow));
        QVERIFY(held() <= few);
        // Measured to the end, the slices stack up to the block's height, and the view ends with
        // it.
        const PreviewBlockLayout &layout = preview.view.blockLayout(0);
        const qsizetype last = layout.sliceCount() - 1;
        QVERIFY(layout.slice(last));
        QCOMPARE(layout.height(), std::ceil(layout.sliceTop(last) + layout.slice(last)->height()));
        QCOMPARE(preview.view.blockRect(preview.view.blockCount() - 1).bottom() +
                     PreviewView::kMargin,
                 preview.view.contentHeight());
    }

    void scrollKeepsFirstVisibleBlock_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("insertedAbove");
        QTest::newRow("narrower: blocks above grow") << 300 << 0;
        QTest::newRow("paragraphs typed above, laid out later") << 600 << 100;
    }

    // Blocks above the view that get their real height (after a resize, or when new ones arrive
    // with estimated heights) do not move what is shown: the first block in view stays where it was
    // on screen, also when the view is scrolled into the middle of that block.
    void scrollKeepsFirstVisibleBlock()
    {
        QFETCH(int, width);
        QFETCH(int, insertedAbove);
        const QString words =
            QStringLiteral("Words that wrap at the width of the column. ").repeated(6);
        QString text;
        for (int i = 0; i < 200; ++i)
            text += QStringLiteral("Paragraph %1. ").arg(i) + words + QStringLiteral("\n\n");
        Preview preview(text, QSize(600, 400));
        QTRY_VERIFY(!preview.view.isLayoutPending());
        // Paragraph 120 (a blank line between each two) is the first block in view, 10 points in.
        const qsizetype shown = 240;
        QScrollBar *bar = preview.view.verticalScrollBar();
        bar->setValue(int(preview.view.blockRect(shown).top()) + 10);
        const qreal onScreen = preview.view.blockRect(shown).top() - bar->value();

        QString typed;
        for (int i = 0; i < insertedAbove; ++i)
            typed += QStringLiteral("New %1. ").arg(i) + words + QStringLiteral("\n\n");
        if (insertedAbove > 0)
            preview.edit(typed + text);
        else
            preview.view.resize(width, 400);
        const qsizetype expected = shown + 2 * insertedAbove;
        QTRY_VERIFY(!preview.view.isLayoutPending());
        const PreviewBlockLayout &layout = preview.view.blockLayout(expected);
        QVERIFY(layout.text(Part::paragraph)->text->text().startsWith(u"Paragraph 120."));
        QCOMPARE(preview.view.blockRect(expected).top() - bar->value(), onScreen);
    }

    void hostileTextsAreLaidOutAndPainted_data()
    {
        QTest::addColumn<QString>("text");
        for (const quillet::testing::HostileMarkdown &input : quillet::testing::hostileMarkdown())
            QTest::newRow(input.name) << input.text;
    }

    // Texts that make the inline parser work hard are laid out and painted in the end: a paragraph
    // shows its text or a first part of it, a table at most its most columns.
    void hostileTextsAreLaidOutAndPainted()
    {
        QFETCH(QString, text);
        Preview preview{QStringLiteral("before")};
        preview.scratchpad->setContent(text);
        // Generous: only a hang detector.
        QTRY_VERIFY_WITH_TIMEOUT(!preview.view.isRefreshPending(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!preview.view.isLayoutPending(), 20000);

        const MarkdownBlock &first = preview.view.block(0);
        if (const auto *paragraph = first.as<MarkdownBlock::Paragraph>()) {
            const PreviewText *shownText =
                preview.view.blockLayout(0).text(Part::paragraph)->text.get();
            verifyShownPart(shownText->text(), paragraph->text);
        }
        if (const auto *table = first.as<MarkdownBlock::Table>()) {
            const quillet::MarkdownTableView *shownTable = preview.view.blockLayout(0).table();
            QCOMPARE(shownTable->columnCount(),
                     std::min<int>(int(table->header.size()),
                                   quillet::MarkdownTableView::kMaximumColumns));
        }
        // Painting what is in view must get through too.
        preview.view.viewport()->repaint();
    }

    void selectionOnlyInCode()
    {
        // The second word holds a letter outside the Basic Multilingual Plane.
        Preview preview("Paragraph text\n\n" + kCodeFence + "\nalpha b\U0001D486ta\ngamma\n" +
                        kCodeFence);
        QWidget *viewport = preview.view.viewport();
        const QRectF paragraph = preview.view.blockRect(0);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, paragraph.center().toPoint());
        QCOMPARE(preview.view.selectedText(), QString());

        qsizetype code = 2;
        QVERIFY(preview.view.block(code).as<MarkdownBlock::CodeBlock>());
        const auto *content = preview.view.blockLayout(code).text(Part::codeContent);
        const QPointF origin = preview.view.blockRect(code).topLeft() + content->origin;
        const QTextLine first = content->text->textLayout().lineAt(0);
        const qreal y = first.y() + first.height() / 2;
        // Double-click on its last letters.
        const QPoint onBeta = (origin + QPointF(first.cursorToX(9), y)).toPoint();
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, onBeta);
        QCOMPARE(preview.view.selectedText(), QStringLiteral("b\U0001D486ta"));
        // Drag from the start of the content into the second line.
        const QTextLine second = content->text->textLayout().lineAt(1);
        const QPoint onSecond = (origin + QPointF(second.cursorToX(14), second.y() + 4)).toPoint();
        QTest::mousePress(viewport, Qt::LeftButton, {}, (origin + QPointF(0, y)).toPoint());
        QTest::mouseMove(viewport, onSecond);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, onSecond);
        QCOMPARE(preview.view.selectedText(), QStringLiteral("alpha b\U0001D486ta\nga"));
        preview.view.setFocus();
        QTest::keySequence(&preview.view, QKeySequence::Copy);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("alpha b\U0001D486ta\nga"));
        // A press outside the code clears it.
        QTest::mouseClick(viewport, Qt::LeftButton, {}, paragraph.center().toPoint());
        QCOMPARE(preview.view.selectedText(), QString());
    }

    void linkActivationByScheme_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<bool>("opened");
        QTest::newRow("https") << "https://example.org/a" << true;
        QTest::newRow("http upper case") << "HTTP://example.org" << true;
        QTest::newRow("mailto") << "mailto:someone@example.org" << true;
        QTest::newRow("file") << "file:///etc/passwd" << false;
        QTest::newRow("javascript") << "javascript:alert(1)" << false;
        QTest::newRow("absolute path") << "/usr/bin/xterm" << false;
        QTest::newRow("https with braces, bar and caret") << "https://example.org/{a}|b^c" << true;
        QTest::newRow("javascript with braces") << "javascript:{alert(1)}" << false;
    }

    void linkActivationByScheme()
    {
        QFETCH(QString, destination);
        QFETCH(bool, opened);
        // Plain words, then the link over several lines.
        Preview preview(QStringLiteral("plain words ").repeated(20) + QStringLiteral("[") +
                        QStringLiteral("linked words ").repeated(30) + QStringLiteral("](") +
                        destination + QStringLiteral(")"));
        QList<QUrl> openedUrls;
        preview.view.setUrlOpener([&](const QUrl &url) { openedUrls << url; });
        const auto *text = preview.view.blockLayout(0).text(Part::paragraph);
        const QTextLayout &layout = text->text->textLayout();
        QVERIFY(layout.lineCount() > 3);
        // A point on the edge between two lines is in the lower one.
        for (int i = 1; i < layout.lineCount(); ++i) {
            const QTextLine line = layout.lineAt(i), above = layout.lineAt(i - 1);
            QCOMPARE(text->text->linkAt(QPointF(line.x() + 2, above.y() + above.height())),
                     text->text->linkAt(QPointF(line.x() + 2, line.y() + line.height() / 2)));
        }
        const QTextLine line = layout.lineAt(layout.lineCount() - 1);
        const QPoint onLink = (preview.view.blockRect(0).topLeft() + text->origin +
                               QPointF(line.x() + 4, line.y() + line.height() / 2))
                                  .toPoint();
        QMouseEvent move(QEvent::MouseMove, onLink, preview.view.viewport()->mapToGlobal(onLink),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(preview.view.viewport(), &move);
        QCOMPARE(preview.view.viewport()->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(preview.view.viewport(), Qt::LeftButton, {}, onLink);
        QCOMPARE(openedUrls.size(), opened ? 1 : 0);
    }
};

QTEST_MAIN(PreviewViewTest)
#include "tst_preview_view.moc"
