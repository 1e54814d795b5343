#include "model/clock.h"
#include "model/scratchpad.h"

#include <QSignalSpy>
#include <QtTest>

#include <algorithm>

using quillet::Scratchpad;
using quillet::ScopedClockOverride;

namespace {

const QDateTime kPinnedTime(QDate(2026, 3, 1), QTime(9, 30), Qt::UTC);

std::optional<QUrl> fileUrl(const QString &path)
{
    if (path.isEmpty())
        return std::nullopt;
    return QUrl::fromLocalFile(path);
}

} // namespace

class ScratchpadTest : public QObject {
    Q_OBJECT

private slots:
    void defaultConstruction();
    void countsAndPosition_data();
    void countsAndPosition();
    void deriveTitle_data();
    void deriveTitle();
    void constructionKeepsGivenTitle();
    void equalValueNotifiesNobody_data();
    void equalValueNotifiesNobody();
    void countsNotifyOnlyWhenTheyChange();
    void fromSnapshotIsDirtyAndDatedNow();
};

void ScratchpadTest::defaultConstruction()
{
    ScopedClockOverride clock([] { return kPinnedTime; });
    Scratchpad scratchpad;
    QCOMPARE(scratchpad.title(), QStringLiteral("Untitled"));
    QVERIFY(scratchpad.content().isEmpty());
    QVERIFY(!scratchpad.filePath());
    QVERIFY(!scratchpad.isDirty());
    QVERIFY(!scratchpad.id().isNull());
    QCOMPARE(scratchpad.createdAt(), kPinnedTime);
    QCOMPARE(scratchpad.modifiedAt(), kPinnedTime);
    QCOMPARE(scratchpad.wordCount(), 0);
    QCOMPARE(scratchpad.characterCount(), 0);
    QCOMPARE(scratchpad.currentLine(), 1);
    QCOMPARE(scratchpad.currentColumn(), 1);
    QVERIFY(Scratchpad().id() != scratchpad.id());
}

void ScratchpadTest::countsAndPosition_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<qint64>("cursor");
    QTest::addColumn<qint64>("words");
    QTest::addColumn<qint64>("characters");
    QTest::addColumn<qint64>("line");
    QTest::addColumn<qint64>("column");

    const QString twoLines = QStringLiteral("hello world\nfoo");
    QTest::newRow("after the line feed") << twoLines << 12LL << 3LL << 15LL << 2LL << 1LL;
    QTest::newRow("inside line 1") << twoLines << 5LL << 3LL << 15LL << 1LL << 6LL;
    QTest::newRow("cursor beyond the end")
        << QStringLiteral("ab\ncde") << 100LL << 2LL << 6LL << 2LL << 4LL;
    QTest::newRow("only blanks") << QStringLiteral(" \t\n \n") << 0LL << 0LL << 5LL << 1LL << 1LL;
    QTest::newRow("emoji is one character and one column")
        << QString::fromUtf8("👩‍💻!") << 6LL << 1LL << 2LL << 1LL << 3LL;
    QTest::newRow("emoji before the cursor on line 2")
        << QString::fromUtf8("👍🏽 a\n👍🏽b") << 12LL << 3LL << 6LL << 2LL << 3LL;
    QTest::newRow("combining accents before the cursor")
        << QString::fromUtf8("cafe\xCC\x81 au") << 5LL << 2LL << 7LL << 1LL << 5LL;
    QTest::newRow("CR LF before the cursor")
        << QStringLiteral("one\r\ntwo") << 6LL << 2LL << 7LL << 2LL << 2LL;
    QTest::newRow("tab counts one column") << QStringLiteral("\tx") << 2LL << 1LL << 2LL << 1LL
                                           << 3LL;
    QTest::newRow("no-break space separates words")
        << QString::fromUtf8("a\xC2\xA0\x62") << 0LL << 2LL << 3LL << 1LL << 1LL;
}

void ScratchpadTest::countsAndPosition()
{
    QFETCH(QString, content);
    QFETCH(qint64, cursor);
    Scratchpad scratchpad({}, Scratchpad::kUntitled, content);
    scratchpad.setCursorPosition(cursor);
    scratchpad.updateCounts();
    QTEST(scratchpad.wordCount(), "words");
    QTEST(scratchpad.characterCount(), "characters");
    QTEST(scratchpad.currentLine(), "line");
    QTEST(scratchpad.currentColumn(), "column");
    // The cursor stays in the editor's unit.
    QCOMPARE(scratchpad.cursorPosition(), cursor);

    // Typed in and erased again in place, the text has the same figures.
    const qsizetype at = std::min<qsizetype>(cursor, content.size());
    const QString typed = QString::fromUtf8("x\u0301 👍🏽\n");
    QVERIFY(scratchpad.replaceContent(at, 0, typed));
    scratchpad.updateCounts();
    QVERIFY(scratchpad.replaceContent(at, typed.size(), {}));
    QVERIFY(!scratchpad.replaceContent(content.size() + 1, 0, u"x"));
    scratchpad.updateCounts();
    QCOMPARE(scratchpad.content(), content);
    QTEST(scratchpad.wordCount(), "words");
    QTEST(scratchpad.characterCount(), "characters");
    QTEST(scratchpad.currentLine(), "line");
    QTEST(scratchpad.currentColumn(), "column");
}

void ScratchpadTest::deriveTitle_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("filePath");
    QTest::addColumn<QString>("title");

    QTest::newRow("heading markers both ends") << QStringLiteral("## Shopping list ##\nmilk")
                                               << QString() << QStringLiteral("Shopping list");
    QTest::newRow("hash tag") << QStringLiteral("#tags") << QString() << QStringLiteral("tags");
    QTest::newRow("hash inside") << QStringLiteral("C# notes") << QString()
                                 << QStringLiteral("C# notes");
    QTest::newRow("only hashes, later text") << QStringLiteral("###\nlater text") << QString()
                                             << QStringLiteral("Untitled");
    QTest::newRow("only hashes with a file")
        << QStringLiteral("# ## #\nlater") << QStringLiteral("/tmp/notes.md")
        << QStringLiteral("notes");
    QTest::newRow("leading blank lines") << QStringLiteral("\n\nPlan") << QString()
                                         << QStringLiteral("Plan");
    QTest::newRow("leading blanks of every kind")
        << QString::fromUtf8("\t \u00A0\u2028\r\n\u0085 Idea \t") << QString()
        << QStringLiteral("Idea");
    QTest::newRow("cut at 40 letters") << QString(50, u'x') << QString() << QString(40, u'x');
    QTest::newRow("hashes past the cut trimmed back into it")
        << QString(38, u'x') + QString(10, u'#') + QStringLiteral("\nnext") << QString()
        << QString(38, u'x');
    QTest::newRow("hashes past the cut kept before text")
        << QString(38, u'x') + QStringLiteral("## #y\nnext") << QString()
        << QString(38, u'x') + QStringLiteral("##");
    QTest::newRow("cut counts characters, not code units")
        << QString::fromUtf8("👍🏽").repeated(45) << QString() << QString::fromUtf8("👍🏽").repeated(40);
    QTest::newRow("inner spaces kept, tab kept")
        << QStringLiteral("#\ta  b #") << QString() << QStringLiteral("\ta  b");
    QTest::newRow("first line ends at CR") << QStringLiteral("First\rSecond") << QString()
                                           << QStringLiteral("First");
    QTest::newRow("blank content, no file") << QStringLiteral(" \t\n") << QString()
                                            << QStringLiteral("Untitled");
    QTest::newRow("blank content, file") << QString() << QStringLiteral("/tmp/report.tar.gz")
                                         << QStringLiteral("report.tar");
    QTest::newRow("hidden file keeps its name") << QString() << QStringLiteral("/tmp/.profile")
                                                << QStringLiteral(".profile");
    QTest::newRow("text wins over the file") << QStringLiteral("# Ideas")
                                             << QStringLiteral("/tmp/notes.md")
                                             << QStringLiteral("Ideas");
}

void ScratchpadTest::deriveTitle()
{
    QFETCH(QString, content);
    QFETCH(QString, filePath);
    Scratchpad scratchpad({}, QStringLiteral("before"), content, fileUrl(filePath));
    scratchpad.deriveTitle();
    QTEST(scratchpad.title(), "title");
}

void ScratchpadTest::constructionKeepsGivenTitle()
{
    Scratchpad scratchpad({}, QStringLiteral("Old"), QStringLiteral("# New"));
    QCOMPARE(scratchpad.title(), QStringLiteral("Old"));
}

void ScratchpadTest::equalValueNotifiesNobody_data()
{
    QTest::addColumn<QString>("field");
    for (const char *field : {"title", "content", "filePath", "isDirty", "modifiedAt",
                              "cursorPosition"})
        QTest::newRow(field) << QString::fromLatin1(field);
}

void ScratchpadTest::equalValueNotifiesNobody()
{
    QFETCH(QString, field);
    Scratchpad scratchpad;
    const QMetaProperty property =
        scratchpad.metaObject()->property(scratchpad.metaObject()->indexOfProperty(
            field.toLatin1().constData()));
    QVERIFY(property.isValid() && property.hasNotifySignal());
    QSignalSpy spy(&scratchpad, property.notifySignal());

    const std::map<QString, QVariant> different = {
        {QStringLiteral("title"), QStringLiteral("Other")},
        {QStringLiteral("content"), QStringLiteral("text")},
        {QStringLiteral("filePath"),
         QVariant::fromValue(std::optional<QUrl>(QUrl::fromLocalFile("/tmp/a.md")))},
        {QStringLiteral("isDirty"), true},
        {QStringLiteral("modifiedAt"), kPinnedTime},
        {QStringLiteral("cursorPosition"), qint64(3)},
    };
    QVERIFY(property.write(&scratchpad, property.read(&scratchpad)));
    QCOMPARE(spy.count(), 0);
    QVERIFY(property.write(&scratchpad, different.at(field)));
    QCOMPARE(spy.count(), 1);
    QVERIFY(property.write(&scratchpad, different.at(field)));
    QCOMPARE(spy.count(), 1);
}

void ScratchpadTest::countsNotifyOnlyWhenTheyChange()
{
    Scratchpad scratchpad({}, Scratchpad::kUntitled, QStringLiteral("one two"));
    QSignalSpy words(&scratchpad, &Scratchpad::wordCountChanged);
    QSignalSpy characters(&scratchpad, &Scratchpad::characterCountChanged);
    QSignalSpy columns(&scratchpad, &Scratchpad::currentColumnChanged);
    QSignalSpy lines(&scratchpad, &Scratchpad::currentLineChanged);

    scratchpad.setContent(QStringLiteral("one tw"));
    scratchpad.updateCounts();
    QCOMPARE(words.count(), 0);
    QCOMPARE(characters.count(), 1);
    QCOMPARE(scratchpad.characterCount(), 6);

    scratchpad.setCursorPosition(3);
    scratchpad.updateCounts();
    QCOMPARE(columns.count(), 1);
    QCOMPARE(lines.count(), 0);
    QCOMPARE(scratchpad.currentColumn(), 4);

    // Replacing the text with one of equal length must still recount.
    scratchpad.setContent(QStringLiteral("a b c "));
    scratchpad.updateCounts();
    QCOMPARE(words.count(), 1);
    QCOMPARE(scratchpad.wordCount(), 3);
}

void ScratchpadTest::fromSnapshotIsDirtyAndDatedNow()
{
    const Scratchpad::Snapshot snapshot{QUuid::createUuid(), QStringLiteral("Old"),
                                        QStringLiteral("# New\nbody words"),
                                        QUrl::fromLocalFile(QStringLiteral("/tmp/x y.md")),
                                        QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC)};
    ScopedClockOverride clock([] { return kPinnedTime; });
    const auto scratchpad = Scratchpad::from(snapshot);
    QCOMPARE(scratchpad->id(), snapshot.id);
    QCOMPARE(scratchpad->title(), QStringLiteral("Old"));
    QCOMPARE(scratchpad->content(), snapshot.content);
    QCOMPARE(scratchpad->filePath(), snapshot.filePath);
    QVERIFY(scratchpad->isDirty());
    QCOMPARE(scratchpad->createdAt(), kPinnedTime);
    QCOMPARE(scratchpad->modifiedAt(), kPinnedTime);
    QCOMPARE(scratchpad->cursorPosition(), 0);
    QCOMPARE(scratchpad->wordCount(), 4);

    const Scratchpad::Snapshot back = scratchpad->snapshot();
    QCOMPARE(back.id, snapshot.id);
    QCOMPARE(back.content, snapshot.content);
    QCOMPARE(back.createdAt, kPinnedTime);
}

QTEST_GUILESS_MAIN(ScratchpadTest)
#include "tst_scratchpad.moc"
