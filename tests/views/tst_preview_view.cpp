#include "views/link_activation.h"
#include "views/preview_block_layout.h"
#include "views/preview_view.h"

#include "markdown/markdown_block_parser.h"
#include "model/scratchpad.h"
#include "support/hostile_markdown.h"

#include "views_test_support.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>

using quillet::MarkdownBlock;
using quillet::PreviewBlockLayout;
using quillet::PreviewText;
using quillet::PreviewTone;
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

class PreviewViewTest : public QObject {
    Q_OBJECT

private slots:
    void headingTopPadding_data();
    void headingTopPadding();
    void listMarkersAndIndent();
    void inlineCodeIsMonospaced_data();
    void inlineCodeIsMonospaced();
    void codeBlockLabel_data();
    void codeBlockLabel();
    void quoteBarFollowsWrappedText();
    void tableGrid_data();
    void tableGrid();
    void tableColumns_data();
    void tableColumns();
    void editLaysOutOnlyTheChangedBlock();
    void longBlocksLayOutWhatIsInView_data();
    void longBlocksLayOutWhatIsInView();
    void scrollKeepsFirstVisibleBlock_data();
    void scrollKeepsFirstVisibleBlock();
    void longTextParsesInTheBackground();
    void hostileTextsLeaveTheEventLoopTurning_data();
    void hostileTextsLeaveTheEventLoopTurning();
    void selectionOnlyInCode();
    void linkActivationByScheme_data();
    void linkActivationByScheme();
    void screenshots_data();
    void screenshots();
};

void PreviewViewTest::headingTopPadding_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<qreal>("top");
    QTest::newRow("level 1") << "# One" << 8.0;
    QTest::newRow("level 2") << "## Two" << 8.0;
    QTest::newRow("level 3") << "### Three" << 4.0;
    QTest::newRow("level 6") << "###### Six" << 4.0;
}

void PreviewViewTest::headingTopPadding()
{
    QFETCH(QString, source);
    QFETCH(qreal, top);
    Preview preview(source);
    QCOMPARE(preview.view.blockCount(), 1);
    const PreviewBlockLayout &layout = preview.view.blockLayout(0);
    QCOMPARE(layout.text(Part::heading)->origin.y(), top);
    QCOMPARE(layout.height(), std::ceil(top + layout.text(Part::heading)->text->height()));
    QCOMPARE(preview.view.blockRect(0).topLeft(), QPointF(16, 16));
}

void PreviewViewTest::listMarkersAndIndent()
{
    Preview preview(QStringLiteral("3. a\n9. b\n1. c\n\n    - [ ] deep\n- [x] done\n\n"
                                   "9223372036854775807. x\n1. y\n2. z"));
    const PreviewBlockLayout &ordered = preview.view.blockLayout(0);
    QStringList markers;
    for (const auto &text : ordered.texts()) {
        if (text.part == Part::marker) {
            markers << text.text->text();
            // Right-aligned in the 24-point slot of a top-level item.
            QCOMPARE(text.origin.x() + text.text->naturalWidth(), 8.0 + 24);
        }
    }
    QCOMPARE(markers, QStringList({"3.", "4.", "5."}));

    const PreviewBlockLayout &tasks = preview.view.blockLayout(2);
    QCOMPARE(tasks.symbols().size(), 2);
    // Indent 4: the row starts 4 * 8 + 8 points in; the text after the 16-point slot and 6.
    QCOMPARE(tasks.symbols().at(0).rect.center().x(), 40.0 + 8);
    QCOMPARE(tasks.symbols().at(0).name, QStringLiteral("square"));
    QCOMPARE(tasks.symbols().at(0).tone, PreviewTone::secondary);
    QCOMPARE(tasks.symbols().at(1).name, QStringLiteral("checkmark.square.fill"));
    QCOMPARE(tasks.symbols().at(1).tone, PreviewTone::accent);
    QCOMPARE(tasks.texts().at(0).origin.x(), 40.0 + 16 + 6);
    QCOMPARE(tasks.texts().at(1).tone, PreviewTone::secondary);
    QVERIFY(tasks.texts().at(1).text->textLayout().formats().at(0).format.font().strikeOut());
    QVERIFY(!tasks.texts().at(0).text->textLayout().formats().at(0).format.font().strikeOut());

    const PreviewBlockLayout &huge = preview.view.blockLayout(4);
    QStringList hugeMarkers;
    for (const auto &text : huge.texts()) {
        if (text.part == Part::marker)
            hugeMarkers << text.text->text();
    }
    QCOMPARE(hugeMarkers,
             QStringList({"9223372036854775807.", "9223372036854775808.", "9223372036854775809."}));
    // The slot widens to the widest marker: none runs into the margin, all end at one edge.
    qreal markerEnd = -1;
    for (const auto &text : huge.texts()) {
        if (text.part == Part::marker) {
            QVERIFY(text.origin.x() >= 8);
            const qreal end = text.origin.x() + text.text->naturalWidth();
            QVERIFY(markerEnd < 0 || qAbs(end - markerEnd) < 0.01);
            markerEnd = end;
        } else {
            QCOMPARE(text.origin.x(), markerEnd + 6);
        }
    }
}

void PreviewViewTest::inlineCodeIsMonospaced_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<Part>("part");
    QTest::newRow("paragraph") << "Call `iiMM` now" << Part::paragraph;
    QTest::newRow("heading") << "## Call `iiMM` now" << Part::heading;
    QTest::newRow("checked task") << "- [x] Call `iiMM` now" << Part::itemText;
    // A table cell is looked up in the grid instead.
    QTest::newRow("table cell") << "| a |\n| - |\n| Call `iiMM` now |" << Part::rule;
}

// The letters of a code span are drawn in a face where a narrow and a wide letter take the same
// advance, while the body text around it keeps its proportional face. The glyph runs are those
// that painting the block draws.
void PreviewViewTest::inlineCodeIsMonospaced()
{
    QFETCH(QString, source);
    QFETCH(Part, part);
    Preview preview(source);
    const PreviewBlockLayout &block = preview.view.blockLayout(0);
    const quillet::PreviewText *text = nullptr;
    if (block.table()) {
        for (const auto &cell : block.table()->cells()) {
            if (cell.text->text().contains(u"iiMM"))
                text = cell.text.get();
        }
    } else if (const auto *piece = block.text(part)) {
        text = piece->text.get();
    }
    QVERIFY(text);
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
    QCOMPARE(inCode.size(), 3);
    QCOMPARE(inCode.at(0), inCode.at(1));
    QCOMPARE(inCode.at(1), inCode.at(2));
    // "Call" in the body face: "a" and "l" differ in width.
    const QList<qreal> inBody = advances(0);
    QCOMPARE(inBody.size(), 3);
    QVERIFY(inBody.at(0) != inBody.at(1));
}

void PreviewViewTest::codeBlockLabel_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("labelled");
    QTest::newRow("no language") << kCodeFence + "\na = 1\n" + kCodeFence << false;
    QTest::newRow("language") << kCodeFence + "python\na = 1\n" + kCodeFence << true;
}

void PreviewViewTest::codeBlockLabel()
{
    QFETCH(QString, source);
    QFETCH(bool, labelled);
    Preview preview(source);
    const PreviewBlockLayout &layout = preview.view.blockLayout(0);
    const auto &box = layout.fills().at(0);
    QCOMPARE(box.part, Part::codeBox);
    QCOMPARE(box.rect.top(), 4.0);
    QCOMPARE(box.cornerRadius, 6.0);
    const auto *content = layout.text(Part::codeContent);
    QCOMPARE(content->text->text(), QStringLiteral("a = 1\n"));
    QCOMPARE(content->origin.x(), 12.0);
    const auto *label = layout.text(Part::codeLabel);
    QCOMPARE(label != nullptr, labelled);
    if (labelled) {
        QCOMPARE(label->origin.y(), box.rect.top() + 8);
        QCOMPARE(content->origin.y(), label->origin.y() + label->text->height() + 12);
    } else {
        QCOMPARE(content->origin.y(), box.rect.top() + 12);
    }
    // The final line feed leaves an empty line: two lines' height for one line of code.
    const qreal line = content->text->textLayout().lineAt(0).height();
    QCOMPARE(content->text->height(), std::ceil(2 * line));
    QCOMPARE(box.rect.bottom(), content->origin.y() + content->text->height() + 12);
    QCOMPARE(layout.height(), box.rect.bottom() + 4);
}

void PreviewViewTest::quoteBarFollowsWrappedText()
{
    Preview preview(QStringLiteral("> short"), QSize(300, 600));
    const qreal shortBar = preview.view.blockLayout(0).fills().at(0).rect.height();
    preview.edit(QStringLiteral("> ") + QString(QStringLiteral("many words ")).repeated(40));
    const PreviewBlockLayout &layout = preview.view.blockLayout(0);
    const auto &bar = layout.fills().at(0);
    QCOMPARE(bar.part, Part::quoteBar);
    QCOMPARE(bar.rect.width(), 3.0);
    QVERIFY(layout.text(Part::quoteText)->text->lineCount() > 3);
    QCOMPARE(bar.rect.height(), layout.text(Part::quoteText)->text->height() + 8);
    QVERIFY(bar.rect.height() > 3 * shortBar);
    QCOMPARE(layout.text(Part::quoteText)->origin.x(), 15.0);
}

void PreviewViewTest::tableGrid_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("cells");
    QTest::addColumn<int>("shaded");
    QTest::addColumn<int>("rowRules");
    QTest::newRow("long row cut") << "a | b\n--|--\n1 | 2 | 3" << 2 << 4 << 0 << 0;
    QTest::newRow("short row filled") << "a | b | c\n--|--|--\n1 |\n" << 3 << 6 << 0 << 0;
    QTest::newRow("no rows") << "a | b\n--|--" << 2 << 2 << 0 << 0;
    QTest::newRow("four rows") << "h\n--|\n1|\n2|\n3|\n4|" << 1 << 5 << 2 << 3;
}

void PreviewViewTest::tableGrid()
{
    QFETCH(QString, source);
    QFETCH(int, columns);
    QFETCH(int, cells);
    QFETCH(int, shaded);
    QFETCH(int, rowRules);
    Preview preview(source);
    const PreviewBlockLayout &layout = preview.view.blockLayout(0);
    const quillet::MarkdownTableView *table = layout.table();
    QVERIFY(table);
    QCOMPARE(layout.tableOrigin().y(), 8.0);
    QCOMPARE(layout.height(), std::ceil(table->height() + 16));
    QCOMPARE(table->columnCount(), columns);
    QCOMPARE(table->cells().size(), cells);
    QCOMPARE(table->width(), preview.view.columnWidth());
    int shades = 0;
    for (const auto &cell : table->cells()) {
        if (cell.row >= 0 && cell.background) {
            QCOMPARE(cell.row % 2, 1);
            QCOMPARE(*cell.background, PreviewTone::faintControlBackground);
            ++shades;
        }
        QVERIFY(cell.rect.width() >= cell.text->naturalWidth() + 20);
    }
    QCOMPARE(shades, shaded * columns);
    QCOMPARE(table->rules().size(), 1 + rowRules);
    QCOMPARE(table->rules().at(0).rect.height(), 1.0);
    QCOMPARE(table->rules().at(0).tone, PreviewTone::separator);
    for (qsizetype i = 1; i < table->rules().size(); ++i) {
        QCOMPARE(table->rules().at(i).rect.height(), 0.5);
        QCOMPARE(table->rules().at(i).tone, PreviewTone::faintSeparator);
    }
    const auto &header = table->cells().at(0);
    QCOMPARE(header.textOrigin - header.rect.topLeft(), QPointF(10, 6));
    if (cells > columns) {
        const auto &data = table->cells().at(columns);
        QCOMPARE(data.textOrigin - data.rect.topLeft(), QPointF(10, 5));
    }
}

void PreviewViewTest::tableColumns_data()
{
    QTest::addColumn<QString>("source");
    // Whether the table is wider than the column and scrolls sideways.
    QTest::addColumn<bool>("scrolls");
    const QString note = QStringLiteral("a note long enough to need several lines ").repeated(8);
    QTest::newRow("one long cell") << "| Qty | Note |\n|---|---|\n| 12 | " + note + "|" << false;
    QTest::newRow("two long cells, short ones between")
        << "| A | Note | Qty | More |\n|--|--|--|--|\n| 1 | " + note + "| 300 | " + note + "|"
        << false;
    QString wide = QStringLiteral("|");
    QString separator = QStringLiteral("|");
    for (int c = 0; c < 64; ++c) {
        wide += QStringLiteral(" Column%1 |").arg(c);
        separator += QStringLiteral("---|");
    }
    QTest::newRow("64 columns") << wide + u'\n' + separator << true;
}

// Columns are never narrower than their longest word; only the wide ones wrap, and a table whose
// words do not fit in the column scrolls sideways.
void PreviewViewTest::tableColumns()
{
    QFETCH(QString, source);
    QFETCH(bool, scrolls);
    Preview preview(source);
    const quillet::MarkdownTableView *table = preview.view.blockLayout(0).table();
    QVERIFY(table);
    for (const auto &cell : table->cells()) {
        PreviewText probe(cell.text->text(), cell.text->textLayout().font());
        const qreal natural = probe.naturalWidth();
        QVERIFY(cell.rect.width() >= probe.longestWordWidth() + 20);
        // Short cells are not wrapped.
        if (natural < 100)
            QCOMPARE(cell.text->lineCount(), 1);
        for (int line = 0; line < cell.text->lineCount(); ++line)
            QVERIFY(cell.text->textLayout().lineAt(line).naturalTextWidth() <=
                    cell.rect.width() - 20);
    }
    QCOMPARE(table->width() > preview.view.columnWidth(), scrolls);
    QCOMPARE(preview.view.horizontalScrollBar()->maximum() > 0, scrolls);
    if (!scrolls)
        QCOMPARE(table->width(), preview.view.columnWidth());
}

void PreviewViewTest::editLaysOutOnlyTheChangedBlock()
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
    for (qsizetype i = 0; i < count; ++i) {
        const PreviewBlockLayout &layout = preview.view.blockLayout(i);
        if (i == 300) {
            QVERIFY(&layout != before.at(i));
            QCOMPARE(layout.text(Part::paragraph)->text->text(),
                     QStringLiteral("XParagraph 150 with some words."));
        } else {
            QCOMPARE(&layout, before.at(i));
            QCOMPARE(layout.timesLaidOut(), 1);
        }
    }
    // A new block in the middle: the ones after it keep their layouts too.
    preview.edit(text.left(changed) + QStringLiteral("New.\n\n") + text.mid(changed));
    QCOMPARE(preview.view.blockCount(), count + 2);
    QCOMPARE(&preview.view.blockLayout(count + 1), before.at(count - 1));
}

// Everything a laid-out block or slice shows as text, in order.
static QStringList shownTexts(const PreviewBlockLayout &layout)
{
    QStringList texts;
    for (qsizetype i = 0; i < layout.sliceCount(); ++i) {
        if (const PreviewBlockLayout *slice = layout.slice(i))
            texts << shownTexts(*slice);
    }
    for (const auto &text : layout.texts())
        texts << text.text->text();
    if (layout.table()) {
        for (const auto &cell : layout.table()->cells())
            texts << cell.text->text();
    }
    return texts;
}

void PreviewViewTest::longBlocksLayOutWhatIsInView_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("lastRow");
    QString table = QStringLiteral("| Item | Qty |\n|---|---|\n");
    QString list;
    QString ordered;
    QString code = kCodeFence + u'\n';
    for (int i = 0; i < 20000; ++i) {
        table += QStringLiteral("| row %1 | 1 |\n").arg(i);
        list += QStringLiteral("- row %1\n").arg(i);
        ordered += QStringLiteral("%1. row %2\n").arg(i + 1).arg(i);
        if (i < 15000)
            code += QStringLiteral("row %1\n").arg(i);
    }
    QTest::newRow("table of 20,000 rows") << table << "row 19999";
    QTest::newRow("list of 20,000 items") << list << "row 19999";
    QTest::newRow("ordered list of 20,000 items") << ordered << "20000.";
    QTest::newRow("code of 15,000 lines") << code + kCodeFence << "row 14999\n";
}

// A block of thousands of rows lays out the rows in view and a little more, wherever the view
// is, and keeps no more than that: an edit, a scroll to its end and the idle time after.
void PreviewViewTest::longBlocksLayOutWhatIsInView()
{
    QFETCH(QString, text);
    QFETCH(QString, lastRow);
    Preview preview(text, QSize(600, 400));
    QTRY_VERIFY_WITH_TIMEOUT(!preview.view.isRefreshPending(), 20000);
    const qsizetype few = 8;
    const auto held = [&] { return preview.view.blockLayout(0).slicesHeld(); };
    const auto shown = [&] { return shownTexts(preview.view.blockLayout(0)).join(u'\n'); };
    preview.view.viewport()->repaint();
    QVERIFY(preview.view.blockLayout(0).isSliced());
    QVERIFY(held() > 0);
    QVERIFY(held() <= few);
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
    // Measured to the end, the slices stack up to the block's height, and the view ends with it.
    const PreviewBlockLayout &layout = preview.view.blockLayout(0);
    const qsizetype last = layout.sliceCount() - 1;
    QVERIFY(layout.slice(last));
    QCOMPARE(layout.height(), std::ceil(layout.sliceTop(last) + layout.slice(last)->height()));
    QCOMPARE(preview.view.blockRect(preview.view.blockCount() - 1).bottom() + PreviewView::kMargin,
             preview.view.contentHeight());
}

void PreviewViewTest::scrollKeepsFirstVisibleBlock_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("insertedAbove");
    QTest::newRow("narrower: blocks above grow") << 300 << 0;
    QTest::newRow("wider: blocks above shrink") << 900 << 0;
    QTest::newRow("paragraphs typed above, laid out later") << 600 << 100;
}

// Blocks above the view that get their real height (after a resize, or when new ones arrive
// with estimated heights) do not move what is shown: the first block in view stays where it was
// on screen, also when the view is scrolled into the middle of that block.
void PreviewViewTest::scrollKeepsFirstVisibleBlock()
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
    QCOMPARE(onScreen, -10.0);

    qsizetype expected = shown;
    if (insertedAbove > 0) {
        QString typed;
        for (int i = 0; i < insertedAbove; ++i)
            typed += QStringLiteral("New %1. ").arg(i) + words + QStringLiteral("\n\n");
        preview.edit(typed + text);
        expected += 2 * insertedAbove;
        QVERIFY(preview.view.isLayoutPending());
    } else {
        preview.view.resize(width, 400);
        QVERIFY(preview.view.isLayoutPending());
    }
    QTRY_VERIFY(!preview.view.isLayoutPending());
    const PreviewBlockLayout &layout = preview.view.blockLayout(expected);
    QVERIFY(layout.text(Part::paragraph)->text->text().startsWith(u"Paragraph 120."));
    QCOMPARE(preview.view.blockRect(expected).top() - bar->value(), onScreen);
}

void PreviewViewTest::longTextParsesInTheBackground()
{
    const QString line = QStringLiteral("Some prose, long enough to fill a line of text.\n\n");
    const QString text = line.repeated(int(PreviewView::kBackgroundParseSize / line.size()) + 10);
    Preview preview{QString()};
    preview.scratchpad->setContent(text);
    preview.scratchpad->setContent(text + QStringLiteral("# End"));
    QTRY_VERIFY_WITH_TIMEOUT(!preview.view.isRefreshPending(), 10000);
    // Whatever was shown on the way, the blocks now are those of the last text.
    const auto *last =
        preview.view.block(preview.view.blockCount() - 1).as<MarkdownBlock::Heading>();
    QVERIFY(last);
    QCOMPARE(last->text.text(), QStringLiteral("End"));
}

void PreviewViewTest::hostileTextsLeaveTheEventLoopTurning_data()
{
    QTest::addColumn<QString>("text");
    for (const quillet::testing::HostileMarkdown &input : quillet::testing::hostileMarkdown())
        QTest::newRow(input.name) << input.text;
}

// A paragraph shows all of its text, or a first part of it and an ellipsis when it is longer or
// in more runs than the preview lays out.
static void verifyShownPart(const QString &shown, const quillet::StyledText &full)
{
    if (full.text().size() <= PreviewText::kLongestStyledText &&
        full.runs().size() <= PreviewText::kMostStyledRuns) {
        QCOMPARE(shown.size(), full.text().size());
        QVERIFY(shown == full.text());
        return;
    }
    QVERIFY(shown.size() <= PreviewText::kLongestStyledText + 1);
    QVERIFY(shown.endsWith(u'\u2026'));
    QVERIFY(full.text().startsWith(QStringView(shown).chopped(1)));
}

// Texts that make the inline parser work hard are parsed off the event loop: a timer keeps
// firing while the parse runs, and the blocks shown in the end are those of the text.
void PreviewViewTest::hostileTextsLeaveTheEventLoopTurning()
{
    QFETCH(QString, text);
    Preview preview{QStringLiteral("before")};
    int ticks = 0;
    qint64 longestGap = 0;
    QElapsedTimer sinceTick;
    QTimer timer;
    timer.setInterval(1);
    connect(&timer, &QTimer::timeout, &preview.view, [&] {
        ++ticks;
        longestGap = std::max(longestGap, sinceTick.restart());
    });
    QSignalSpy shown(&preview.view, &PreviewView::blocksChanged);

    preview.scratchpad->setContent(text);
    preview.view.refreshNow();
    // All but the 10 KB quote line, which is cheap, go to the worker.
    QCOMPARE(PreviewView::parsesInBackground(text), text.size() > 16 * 1024);
    if (PreviewView::parsesInBackground(text)) {
        QVERIFY(preview.view.isRefreshPending());
        QVERIFY(shown.isEmpty()); // the parse did not run here, on the event loop's thread
    }
    sinceTick.start();
    timer.start();
    // Generous: only a hang detector.
    QTRY_VERIFY_WITH_TIMEOUT(!preview.view.isRefreshPending(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!preview.view.isLayoutPending(), 20000);
    timer.stop();
    QCOMPARE(shown.size(), 1);

    const QList<MarkdownBlock> expected = quillet::MarkdownBlockParser::parse(text);
    QCOMPARE(preview.view.blockCount(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        QVERIFY(preview.view.block(i) == expected.at(i));
    if (const auto *paragraph = expected.first().as<MarkdownBlock::Paragraph>()) {
        const PreviewText *shownText =
            preview.view.blockLayout(0).text(Part::paragraph)->text.get();
        verifyShownPart(shownText->text(), paragraph->text);
    }
    if (const auto *table = expected.first().as<MarkdownBlock::Table>()) {
        const quillet::MarkdownTableView *shownTable = preview.view.blockLayout(0).table();
        QCOMPARE(
            shownTable->columnCount(),
            std::min<int>(int(table->header.size()), quillet::MarkdownTableView::kMaximumColumns));
    }
    // Painting what is in view is part of what the event loop has to get through.
    preview.view.viewport()->repaint();
    // For reading, never checked: the longest the event loop went without a turn.
    qInfo("%d ticks, longest gap between two %lld ms", ticks, longestGap);
}

void PreviewViewTest::selectionOnlyInCode()
{
    Preview preview("Paragraph text\n\n" + kCodeFence + "\nalpha beta\ngamma\n" + kCodeFence);
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
    // Double-click on "beta".
    const QPoint onBeta = (origin + QPointF(first.cursorToX(8), y)).toPoint();
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, onBeta);
    QCOMPARE(preview.view.selectedText(), QStringLiteral("beta"));
    // Drag from the start of the content into the second line.
    const QTextLine second = content->text->textLayout().lineAt(1);
    QTest::mousePress(viewport, Qt::LeftButton, {}, (origin + QPointF(0, y)).toPoint());
    QTest::mouseMove(viewport, (origin + QPointF(second.cursorToX(13), second.y() + 4)).toPoint());
    QTest::mouseRelease(viewport, Qt::LeftButton, {},
                        (origin + QPointF(second.cursorToX(13), second.y() + 4)).toPoint());
    QCOMPARE(preview.view.selectedText(), QStringLiteral("alpha beta\nga"));
    preview.view.setFocus();
    QTest::keySequence(&preview.view, QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("alpha beta\nga"));
    // A press outside the code clears it.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, paragraph.center().toPoint());
    QCOMPARE(preview.view.selectedText(), QString());
}

void PreviewViewTest::linkActivationByScheme_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("opened");
    QTest::newRow("https") << "https://example.org/a" << true;
    QTest::newRow("http upper case") << "HTTP://example.org" << true;
    QTest::newRow("mailto") << "mailto:someone@example.org" << true;
    QTest::newRow("file") << "file:///etc/passwd" << false;
    QTest::newRow("javascript") << "javascript:alert(1)" << false;
    QTest::newRow("data") << "data:text/html,hi" << false;
    QTest::newRow("custom scheme") << "vscode://open" << false;
    QTest::newRow("relative") << "notes/other.md" << false;
    QTest::newRow("absolute path") << "/usr/bin/xterm" << false;
    QTest::newRow("https with braces, bar and caret") << "https://example.org/{a}|b^c" << true;
    QTest::newRow("javascript with braces") << "javascript:{alert(1)}" << false;
}

void PreviewViewTest::linkActivationByScheme()
{
    QFETCH(QString, destination);
    QFETCH(bool, opened);
    Preview preview(QStringLiteral("[link text](%1)").arg(destination));
    QList<QUrl> openedUrls;
    preview.view.setUrlOpener([&](const QUrl &url) { openedUrls << url; });
    QSignalSpy activated(&preview.view, &PreviewView::linkActivated);
    const auto *text = preview.view.blockLayout(0).text(Part::paragraph);
    const QPoint onLink = (preview.view.blockRect(0).topLeft() + text->origin +
                           QPointF(text->text->textLayout().lineAt(0).naturalTextWidth() / 2, 8))
                              .toPoint();
    QMouseEvent move(QEvent::MouseMove, onLink, preview.view.viewport()->mapToGlobal(onLink),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(preview.view.viewport(), &move);
    QCOMPARE(preview.view.viewport()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(preview.view.viewport(), Qt::LeftButton, {}, onLink);
    QCOMPARE(activated.size(), 1);
    QCOMPARE(activated.at(0).at(0).toString(), destination);
    QCOMPARE(activated.at(0).at(1).toBool(), opened);
    QCOMPARE(openedUrls.size(), opened ? 1 : 0);
    QCOMPARE(quillet::LinkActivation::openableUrl(destination).has_value(), opened);
}

void PreviewViewTest::screenshots_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void PreviewViewTest::screenshots()
{
    QFETCH(bool, dark);
    QApplication::setPalette(quillet::test::appearance(dark));
    const QString sample = QStringLiteral(
        "# Heading one\n## Heading two\n### Heading three\n"
        "A paragraph with **bold**, *italic*, ~~struck~~, `code` and a "
        "[link](https://example.org) that wraps across the width of the column.\n\n"
        "```swift\nlet greeting = \"hello\"\nprint(greeting)\n```\n"
        "> A quote that is long enough to wrap onto a second line of the preview column.\n\n"
        "- first\n  - nested\n- third\n\n3. three\n4. four\n\n- [ ] to do\n- [x] done\n\n"
        "| Name | Value |\n|---|---|\n| a | **1** |\n| b | 2 |\n| c | 3 |\n| d |\n\n"
        "| Qty | Note |\n|---|---|\n| 12 | A note long enough to wrap in its own column, "
        "while the quantity keeps its width. |\n\n2024. A year\n2025. The next\n\n---\n"
        "Last line.");
    Preview preview(sample, QSize(560, 1100));
    preview.view.update();
    QApplication::processEvents();
    quillet::test::saveScreenshot(preview.view, dark ? QStringLiteral("preview_dark")
                                                     : QStringLiteral("preview_light"));
    QApplication::setPalette(quillet::test::appearance(false));
}

QTEST_MAIN(PreviewViewTest)
#include "tst_preview_view.moc"
