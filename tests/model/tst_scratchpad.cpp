#include "platform/clock.h"
#include "model/scratchpad.h"

#include <QSignalSpy>
#include <QtTest>

using quillet::Scratchpad;
using quillet::ScopedClockOverride;

namespace {

const QDateTime kPinnedTime(QDate(2026, 3, 1), QTime(9, 30), Qt::UTC);

// Words, characters, line and column, compared at once.
QList<qint64> figures(const Scratchpad &s)
{
    return {s.wordCount(), s.characterCount(), s.currentLine(), s.currentColumn()};
}

} // namespace

class ScratchpadTest : public QObject {
    Q_OBJECT

private slots:
    void countsFollowEdits_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<qint64>("cursor");
        QTest::addColumn<QList<qint64>>("figures"); // words, characters, line, column

        QTest::newRow("cursor beyond the end") << "ab\ncde" << 100LL << QList<qint64>{2, 6, 2, 4};
        QTest::newRow("cursor after a first line feed")
            << "\nab" << 1LL << QList<qint64>{1, 3, 2, 1};
        QTest::newRow("emoji before the cursor on line 2")
            << "👍🏽 a\n👍🏽b" << 12LL << QList<qint64>{3, 6, 2, 3};
    }

    // The cursor stays in the editor's UTF-16 units while the figures count characters; text typed
    // before it has the figures of the new text counted afresh, and erased again, the old ones.
    void countsFollowEdits()
    {
        QFETCH(QString, content);
        QFETCH(qint64, cursor);
        Scratchpad scratchpad({}, Scratchpad::kUntitled, content);
        scratchpad.setCursorPosition(cursor);
        for (int round = 0; round < 2; ++round) {
            scratchpad.updateCounts();
            QTEST(figures(scratchpad), "figures");
            QCOMPARE(scratchpad.cursorPosition(), cursor);

            const QString typed = QString::fromUtf8("x\u0301 👍🏽\n");
            QVERIFY(scratchpad.replaceContent(1, 0, typed));
            scratchpad.updateCounts();
            Scratchpad recounted({}, Scratchpad::kUntitled, scratchpad.content());
            recounted.setCursorPosition(cursor);
            recounted.updateCounts();
            QCOMPARE(figures(scratchpad), figures(recounted));
            QVERIFY(scratchpad.replaceContent(1, typed.size(), {}));
            QVERIFY(!scratchpad.replaceContent(content.size() + 1, 0, u"x"));
            QCOMPARE(scratchpad.content(), content);
        }
    }

    void deriveTitle_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("filePath");
        QTest::addColumn<QString>("title");

        QTest::newRow("heading markers both ends")
            << "## Shopping list ##\nmilk" << QString() << "Shopping list";
        QTest::newRow("hash tag") << "#tags" << QString() << "tags";
        QTest::newRow("hash inside") << "C# notes" << QString() << "C# notes";
        QTest::newRow("only hashes, later text") << "###\nlater text" << QString() << "Untitled";
        QTest::newRow("only hashes with a file") << "# ## #\nlater" << "/tmp/notes.md" << "notes";
        QTest::newRow("leading blanks of every kind")
            << "\t \u00A0\u2028\r\n\u0085 Idea \t" << QString() << "Idea";
        QTest::newRow("hashes past the cut trimmed back into it")
            << QString(38, u'x') + QString(10, u'#') + QStringLiteral("\nnext") << QString()
            << QString(38, u'x');
        QTest::newRow("hashes past the cut kept before text")
            << QString(38, u'x') + QStringLiteral("## #y\nnext") << QString()
            << QString(38, u'x') + QStringLiteral("##");
        QTest::newRow("cut counts characters, not code units")
            << QString::fromUtf8("👍🏽").repeated(45) << QString()
            << QString::fromUtf8("👍🏽").repeated(40);
        QTest::newRow("inner spaces kept, tab kept") << "#\ta  b #" << QString() << "\ta  b";
        QTest::newRow("first line ends at CR") << "First\rSecond" << QString() << "First";
        QTest::newRow("blank content, no file") << " \t\n" << QString() << "Untitled";
        QTest::newRow("blank content, file") << QString() << "/tmp/report.tar.gz" << "report.tar";
        QTest::newRow("hidden file keeps its name") << QString() << "/tmp/.profile" << ".profile";
        QTest::newRow("text wins over the file") << "# Ideas" << "/tmp/notes.md" << "Ideas";
    }

    void deriveTitle()
    {
        QFETCH(QString, content);
        QFETCH(QString, filePath);
        Scratchpad scratchpad({}, QStringLiteral("before"), content,
                              filePath.isEmpty() ? std::nullopt
                                                 : std::optional(QUrl::fromLocalFile(filePath)));
        scratchpad.deriveTitle();
        QTEST(scratchpad.title(), "title");
    }

    // Counts notify only when they change, yet a new text of equal length is still recounted.
    void countsNotifyOnlyWhenTheyChange()
    {
        Scratchpad scratchpad({}, Scratchpad::kUntitled, QStringLiteral("one two"));
        QSignalSpy words(&scratchpad, &Scratchpad::wordCountChanged);
        QSignalSpy characters(&scratchpad, &Scratchpad::characterCountChanged);
        QSignalSpy columns(&scratchpad, &Scratchpad::currentColumnChanged);
        const auto counts = [&] {
            return QList<qsizetype>{words.size(), characters.size(), columns.size()};
        };

        scratchpad.setContent(QStringLiteral("one tw"));
        scratchpad.setCursorPosition(3);
        scratchpad.updateCounts();
        QCOMPARE(counts(), QList<qsizetype>({0, 1, 1}));
        scratchpad.setContent(QStringLiteral("a b c "));
        scratchpad.updateCounts();
        QCOMPARE(counts(), QList<qsizetype>({1, 1, 1}));
        QCOMPARE(scratchpad.wordCount(), 3);
    }

    // A restored tab keeps its id, title, text and file, counts as edited and is dated now.
    void fromSnapshotIsDirtyAndDatedNow()
    {
        Scratchpad::Snapshot snapshot{QUuid::createUuid(), QStringLiteral("Old"),
                                      QStringLiteral("# New"), QUrl::fromLocalFile("/tmp/x y.md"),
                                      QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC)};
        ScopedClockOverride clock([] { return kPinnedTime; });
        const auto scratchpad = Scratchpad::from(snapshot);
        snapshot.createdAt = kPinnedTime;
        QCOMPARE(scratchpad->snapshot(), snapshot);
        QVERIFY(scratchpad->isDirty());
        QCOMPARE(scratchpad->modifiedAt(), kPinnedTime);
    }
};

QTEST_GUILESS_MAIN(ScratchpadTest)
#include "tst_scratchpad.moc"
