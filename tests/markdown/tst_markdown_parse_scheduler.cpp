#include "markdown/markdown_block_parser.h"
#include "markdown/markdown_parse_scheduler.h"

#include <QTest>
#include <QThreadPool>

#include <memory>

using namespace quillet;

namespace {

struct Delivery {
    QList<MarkdownBlock> blocks;
    qsizetype first = 0;
    qsizetype removed = 0;
    qsizetype added = 0;
};

QString paragraphs(int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("Paragraph %1 with *some* words.\n\n").arg(i);
    return text;
}

// A heading and a new paragraph typed into the middle, and one paragraph changed after them.
QString editedInTheMiddle(QString text)
{
    const qsizetype middle = text.indexOf(u"Paragraph", text.size() / 2);
    return text.insert(middle + 30, u'X').insert(middle, QStringLiteral("# New\nNew.\n\n"));
}

} // namespace

class MarkdownParseSchedulerTest : public QObject {
    Q_OBJECT

private slots:
    void deliversOnlyTheLatestText_data();
    void deliversOnlyTheLatestText();
};

void MarkdownParseSchedulerTest::deliversOnlyTheLatestText_data()
{
    // The first text is shown before the others are typed, one after the other.
    QTest::addColumn<QStringList>("texts");
    // Whether a frame's tick follows each change, or all of them fall within one frame.
    QTest::addColumn<bool>("tick");
    QTest::addColumn<bool>("worker");
    // Whether the scheduler goes away right after the changes.
    QTest::addColumn<bool>("destroyed");
    const QString small = paragraphs(300);
    const QString large = paragraphs(7000);
    QTest::newRow("small text at once") << QStringList{"", small} << true << false << false;
    QTest::newRow("changes within a frame: one parse")
        << QStringList{"", "a", "# b", small} << false << false << false;
    QTest::newRow("large text on the worker") << QStringList{"", large} << true << true << false;
    QTest::newRow("long paragraph in a short text on the worker")
        << QStringList{"", QString(20'000, u'a')} << true << true << false;
    QTest::newRow("changes while the worker parses: only the last")
        << QStringList{"", large, large + "# a", "# b\n\n" + large} << true << true << false;
    QTest::newRow("edit in the middle of a small text")
        << QStringList{small, editedInTheMiddle(small)} << true << false << false;
    QTest::newRow("edit in the middle of a large text")
        << QStringList{large, editedInTheMiddle(large)} << true << true << false;
    QTest::newRow("destroyed while the worker parses")
        << QStringList{small, large} << true << true << true;
}

// Results arrive for the latest text only, once, and name the blocks that changed: where a full
// parse of the new text differs from one of the text shown before.
void MarkdownParseSchedulerTest::deliversOnlyTheLatestText()
{
    QFETCH(QStringList, texts);
    QFETCH(bool, tick);
    QFETCH(bool, worker);
    QFETCH(bool, destroyed);
    QString text = texts.first();
    auto scheduler = std::make_unique<MarkdownParseScheduler>();
    scheduler->restart([&text] { return text; });
    QTRY_VERIFY_WITH_TIMEOUT(!scheduler->isPending(), 20000);
    QList<Delivery> delivered;
    connect(scheduler.get(), &MarkdownParseScheduler::blocksReady,
            [&](const QList<MarkdownBlock> &blocks, qsizetype first, qsizetype removed,
                qsizetype added) { delivered.append({blocks, first, removed, added}); });

    for (const QString &next : texts.sliced(1)) {
        text = next;
        scheduler->textChanged();
        if (tick)
            scheduler->refreshNow();
    }
    QCOMPARE(delivered.size(), tick && !worker ? texts.size() - 1 : 0);
    QCOMPARE(scheduler->isPending(), delivered.isEmpty());
    if (destroyed) {
        scheduler.reset();
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QVERIFY(delivered.isEmpty());
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(!scheduler->isPending(), 20000);
    QCOMPARE(delivered.size(), 1);

    const Delivery &last = delivered.last();
    const QList<MarkdownBlock> before = MarkdownBlockParser::parse(texts.first());
    const QList<MarkdownBlock> after = MarkdownBlockParser::parse(texts.last());
    QVERIFY(last.blocks == after);
    qsizetype prefix = 0;
    while (prefix < std::min(before.size(), after.size()) && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < std::min(before.size(), after.size()) - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    QCOMPARE(last.first, prefix);
    QCOMPARE(last.removed, before.size() - prefix - suffix);
    QCOMPARE(last.added, after.size() - prefix - suffix);
}

QTEST_GUILESS_MAIN(MarkdownParseSchedulerTest)
#include "tst_markdown_parse_scheduler.moc"
