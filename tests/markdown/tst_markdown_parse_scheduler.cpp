#include "markdown/markdown_block_parser.h"
#include "markdown/markdown_parse_scheduler.h"

#include <QTest>
#include <QThreadPool>

using namespace quillet;

class MarkdownParseSchedulerTest : public QObject {
    Q_OBJECT

private slots:
    void deliversOnlyTheLatestText_data()
    {
        // The first text is shown, then the others replace it one after the other, with a frame's
        // tick after each or all within one frame; the scheduler may go away right after.
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<bool>("tick");
        QTest::addColumn<bool>("worker");
        QTest::addColumn<bool>("destroyed");
        const auto paragraphs = [](int count) {
            QString text;
            for (int i = 0; i < count; ++i)
                text += QStringLiteral("Paragraph %1 with *some* words.\n\n").arg(i);
            return text;
        };
        const QString small = paragraphs(300);
        const QString large = paragraphs(7000);
        // A heading and a paragraph typed in the middle, and the paragraph after them changed.
        const auto edited = [](QString text) {
            const qsizetype at = text.indexOf(u"Paragraph", text.size() / 2);
            return text.insert(at + 30, u'X').insert(at, QStringLiteral("# New\nNew.\n\n"));
        };
        QTest::newRow("changes within a frame: one parse")
            << QStringList{"", "a", "# b", small} << false << false << false;
        QTest::newRow("long paragraph in a short text on the worker")
            << QStringList{"", QString(20'000, u'a')} << true << true << false;
        // A form feed line is no blank line to the parser: one paragraph of 25,000 characters.
        QString formFeeds;
        for (int i = 0; i < 5; ++i)
            formFeeds += QString(5000, u'a') + QStringLiteral("\n\f\n");
        QTest::newRow("paragraph over form feed lines on the worker")
            << QStringList{"", formFeeds} << true << true << false;
        QTest::newRow("changes while the worker parses: only the last")
            << QStringList{"", large, large + "# a", "# b\n\n" + large} << true << true << false;
        QTest::newRow("edit in the middle of a small text")
            << QStringList{small, edited(small)} << true << false << false;
        QTest::newRow("edit in the middle of a large text")
            << QStringList{large, edited(large)} << true << true << false;
        QTest::newRow("destroyed while the worker parses")
            << QStringList{small, large} << true << true << true;
    }

    // Blocks arrive for the latest text only, once, and name the ones that changed: where a full
    // parse of the new text differs from one of the text shown before.
    void deliversOnlyTheLatestText()
    {
        QFETCH(QStringList, texts);
        QFETCH(bool, tick);
        QFETCH(bool, worker);
        QFETCH(bool, destroyed);
        QString text = texts.first();
        auto scheduler = std::make_unique<MarkdownParseScheduler>();
        scheduler->restart([&text] { return text; });
        QList<MarkdownBlock> blocks;
        QList<QList<qsizetype>> ranges;
        connect(scheduler.get(), &MarkdownParseScheduler::blocksReady,
                [&](const QList<MarkdownBlock> &delivered, qsizetype first, qsizetype removed,
                    qsizetype added) {
                    blocks = delivered;
                    ranges.append({first, removed, added});
                });
        QTRY_VERIFY_WITH_TIMEOUT(!scheduler->isPending(), 20000);
        ranges.clear();

        for (const QString &next : texts.sliced(1)) {
            text = next;
            scheduler->textChanged();
            if (tick)
                scheduler->refreshNow();
        }
        QCOMPARE(ranges.size(), tick && !worker ? texts.size() - 1 : 0);
        QCOMPARE(scheduler->isPending(), ranges.isEmpty());
        if (destroyed) {
            scheduler.reset();
            QThreadPool::globalInstance()->waitForDone();
            QCoreApplication::processEvents();
            QVERIFY(ranges.isEmpty());
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(!scheduler->isPending(), 20000);
        QCOMPARE(ranges.size(), 1);
        const QList<MarkdownBlock> before = MarkdownBlockParser::parse(texts.first());
        const QList<MarkdownBlock> after = MarkdownBlockParser::parse(texts.last());
        QVERIFY(blocks == after);
        const qsizetype prefix =
            std::mismatch(before.cbegin(), before.cend(), after.cbegin(), after.cend()).first -
            before.cbegin();
        const qsizetype suffix = std::mismatch(before.crbegin(), before.crend() - prefix,
                                               after.crbegin(), after.crend() - prefix)
                                     .first -
                                 before.crbegin();
        QCOMPARE(ranges.first(), QList<qsizetype>({prefix, before.size() - prefix - suffix,
                                                   after.size() - prefix - suffix}));
    }
};

QTEST_GUILESS_MAIN(MarkdownParseSchedulerTest)
#include "tst_markdown_parse_scheduler.moc"
