#include "model/clock.h"
#include "model/state_lock.h"
#include "model/tab_manager.h"
#include "model/tab_state_file.h"
#include "support/stdout_capture.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>
#include <sys/stat.h>

using quillet::PreviewMode;
using quillet::Scratchpad;
using quillet::TabManager;
using quillet::testing::StdoutCapture;
namespace TabStateFile = quillet::TabStateFile;

namespace {

constexpr char kRestorePrefix[] = "Tab restoration failed: ";

const QByteArray kUuidA = "0F8FAD5B-D9CB-469F-A165-70867728950E";
const QByteArray kUuidB = "7C9E6679-7425-40DE-944B-E07FC1F90AE7";
const QByteArray kUuidC = "3F333DF6-90A4-4FDA-8DD3-9485D27CEE36";

QByteArray entry(const QByteArray &id, const QByteArray &title, const QByteArray &content,
                 const QByteArray &extra = {})
{
    return "{\"id\":\"" + id + "\",\"title\":\"" + title + "\",\"content\":\"" + content +
           "\",\"createdAt\":\"2026-03-01T09:30:00Z\"" + extra + "}";
}

TabManager::Persistence persistenceIn(const QTemporaryDir &folder,
                                      std::chrono::milliseconds interval = std::chrono::hours(1))
{
    TabManager::Persistence persistence;
    persistence.autosaveDirectory = folder.filePath(QStringLiteral("Quillet/autosave"));
    persistence.autoSaveInterval = interval;
    return persistence;
}

QString statePath(const QTemporaryDir &folder)
{
    return folder.filePath(QStringLiteral("Quillet/autosave/tabs.json"));
}

void writeState(const QTemporaryDir &folder, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(statePath(folder)).absolutePath());
    QFile file(statePath(folder));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int modeOf(const QString &path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777)
                                                                     : -1;
}

QStringList contents(const TabManager &manager)
{
    QStringList list;
    for (const auto &tab : manager.tabs())
        list.append(tab->content());
    return list;
}

} // namespace

class PersistenceTest : public QObject {
    Q_OBJECT

private slots:
    void restoresValidFiles_data();
    void restoresValidFiles();
    void rejectsUnreadableFiles_data();
    void rejectsUnreadableFiles();
    void setAsideNeverOverwritesAnEarlierOne();
    void noFileRestoresNothingAndAutosaveWritesEmptyArray();
    void restorationClearsInterruptedWritesOnly_data();
    void restorationClearsInterruptedWritesOnly();
    void autosaveFollowsClosedTabs();
    void quitWritesTheLastEdits();
    void onlyTheLockHolderTouchesTheFolder_data();
    void onlyTheLockHolderTouchesTheFolder();
    void restoreOffKeepsThePreviousFile();
    void refusesStateFilesThatAreNotRegular_data();
    void refusesStateFilesThatAreNotRegular();
    void encodesTheFormat();
    void roundTripsEveryKindOfText_data();
    void roundTripsEveryKindOfText();
    void failedWriteLeavesPreviousFile();
    void failedAutosaveRetriesAtTheNextInterval();
    void unchangedTabsAreNotRewritten();
};

void PersistenceTest::restoresValidFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("filePaths");

    QTest::newRow("empty array") << QByteArray("[]") << QStringList() << QStringList();
    QTest::newRow("three tabs in file order")
        << "[" + entry(kUuidA, "a", "first") + "," + entry(kUuidB, "b", "second") + "," +
               entry(kUuidC, "c", "third") + "]"
        << QStringList{"first", "second", "third"} << QStringList{"", "", ""};
    QTest::newRow("stored title is derived again")
        << "[" + entry(kUuidA, "Old", "# New") + "]" << QStringList{"New"} << QStringList{""};
    QTest::newRow("lower-case id, unknown keys, null file")
        << "[" + entry(kUuidA.toLower(), "x", "text", ",\"filePath\":null,\"colour\":[1,2]") + "]"
        << QStringList{"text"} << QStringList{""};
    QTest::newRow("percent-escaped file with spaces and non-ASCII")
        << "[" +
               entry(kUuidA, "x", "",
                     ",\"filePath\":\"file:///home/ann/My%20Notes/caf%C3%A9.md\"") +
               "]"
        << QStringList{"café"} << QStringList{"/home/ann/My Notes/café.md"};
    QTest::newRow("offset date is accepted")
        << QByteArray("[{\"id\":\"" + kUuidA +
                      "\",\"title\":\"\",\"content\":\"t\","
                      "\"createdAt\":\"2026-03-01T10:30:00+01:00\"}]")
        << QStringList{"t"} << QStringList{""};
    QTest::newRow("all-zero id kept as stored")
        << "[" + entry("00000000-0000-0000-0000-000000000000", "z", "zero") + "]"
        << QStringList{"zero"} << QStringList{""};
    QTest::newRow("duplicate id: both kept, the second under a new id")
        << "[" + entry(kUuidA, "a", "first") + "," + entry(kUuidA, "a", "second") + "]"
        << QStringList{"first", "second"} << QStringList{"", ""};
}

void PersistenceTest::restoresValidFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, titles);
    QFETCH(QStringList, filePaths);
    QTemporaryDir folder;
    writeState(folder, file);
    StdoutCapture output;
    TabManager manager(persistenceIn(folder));

    QCOMPARE(output.text(), QByteArray());
    QCOMPARE(manager.tabs().size(), titles.size());
    for (qsizetype i = 0; i < titles.size(); ++i) {
        const auto &tab = manager.tabs().at(i);
        QCOMPARE(tab->title(), titles.at(i));
        QVERIFY(tab->isDirty());
        QCOMPARE(tab->filePath() ? tab->filePath()->toLocalFile() : QString(), filePaths.at(i));
    }
    if (titles.isEmpty())
        QVERIFY(!manager.selectedTabId());
    else
        QCOMPARE(manager.currentTabIndex(), 0);
    QCOMPARE(manager.previewMode(), PreviewMode::edit);
    QSet<QUuid> ids;
    for (const auto &tab : manager.tabs())
        ids.insert(tab->id());
    QCOMPARE(ids.size(), manager.tabs().size());
    if (!titles.isEmpty()) {
        const qsizetype idAt = file.indexOf("\"id\":\"") + 6;
        QCOMPARE(manager.tabs().first()->id().toString(QUuid::WithoutBraces).toUpper().toLatin1(),
                 file.mid(idAt, 36).toUpper());
    }
    // Every tab's text, for this user's eyes only, also when an earlier run made it readable.
    QCOMPARE(modeOf(statePath(folder)), 0600);
    QCOMPARE(modeOf(QFileInfo(statePath(folder)).absolutePath()), 0700);
}

void PersistenceTest::rejectsUnreadableFiles_data()
{
    QTest::addColumn<QByteArray>("file");

    QTest::newRow("zero bytes") << QByteArray();
    QTest::newRow("not JSON") << QByteArray("hello, world");
    QTest::newRow("an object, not an array") << QByteArray("{}");
    QTest::newRow("fractional seconds")
        << "[" + entry(kUuidA, "a", "x").replace("09:30:00Z", "09:30:00.5Z") + "]";
    QTest::newRow("date without zone")
        << "[" + entry(kUuidA, "a", "x").replace("09:30:00Z", "09:30:00") + "]";
    QTest::newRow("missing createdAt")
        << QByteArray("[{\"id\":\"" + kUuidA + "\",\"title\":\"a\",\"content\":\"x\"}]");
    QTest::newRow("invalid id") << "[" + entry("not-a-uuid", "a", "x") + "]";
    QTest::newRow("braced id") << "[" + entry("{" + kUuidA + "}", "a", "x") + "]";
    QTest::newRow("content is a number") << QByteArray("[{\"id\":\"" + kUuidA +
                                                       "\",\"title\":\"a\",\"content\":5,"
                                                       "\"createdAt\":\"2026-03-01T09:30:00Z\"}]");
    QTest::newRow("filePath is not a URL")
        << "[" + entry(kUuidA, "a", "x", ",\"filePath\":\"http://exa mple.com/%zz\"") + "]";
    QTest::newRow("filePath is a number") << "[" + entry(kUuidA, "a", "x", ",\"filePath\":3") + "]";
    QTest::newRow("invalid UTF-8 in a string") << "[" + entry(kUuidA, "a", "caf\xE9") + "]";
    QTest::newRow("unterminated string") << QByteArray("[{\"id\":\"abc");
    QTest::newRow("trailing comma") << "[" + entry(kUuidA, "a", "x") + ",]";
    QTest::newRow("text after the array") << "[" + entry(kUuidA, "a", "x") + "] x";
    QTest::newRow("bad escape") << "[" + entry(kUuidA, "a", "\\q") + "]";
    QTest::newRow("leading zero in an unknown key")
        << "[" + entry(kUuidA, "a", "x", ",\"n\":01") + "]";
    QTest::newRow("nested too deeply")
        << "[" +
               entry(kUuidA, "a", "x", ",\"n\":" + QByteArray(2000, '[') + QByteArray(2000, ']')) +
               "]";
    QTest::newRow("second of two is bad")
        << "[" + entry(kUuidA, "a", "good") + "," + entry("bad", "b", "x") + "]";
    QTest::newRow("raw line feed inside a string") << "[" + entry(kUuidA, "a", "two\nlines") + "]";
    QTest::newRow("raw tab inside a key") << "[" + entry(kUuidA, "a", "x", ",\"k\te\":1") + "]";
    QTest::newRow("id followed by an escaped line feed")
        << "[" + entry(kUuidA + "\\n", "a", "x") + "]";
    QTest::newRow("date followed by an escaped line feed")
        << "[" + entry(kUuidA, "a", "x").replace("09:30:00Z", "09:30:00Z\\n") + "]";
}

void PersistenceTest::rejectsUnreadableFiles()
{
    QFETCH(QByteArray, file);
    QTemporaryDir folder;
    writeState(folder, file);
    const QDateTime now(QDate(2026, 12, 6), QTime(19, 5, 9), Qt::UTC);
    quillet::ScopedClockOverride clock([&] { return now; });
    const QString keptPath = statePath(folder) + QStringLiteral(".unreadable-20261206T190509Z");
    {
        StdoutCapture output;
        TabManager manager(persistenceIn(folder));
        QVERIFY(manager.tabs().isEmpty());
        QVERIFY(!manager.selectedTabId());

        const QByteArray printed = output.text();
        QVERIFY2(printed.startsWith(kRestorePrefix), printed.constData());
        QVERIFY(printed.endsWith(keptPath.toUtf8() + '\n'));
        QCOMPARE(printed.count('\n'), 1);
        QCOMPARE(readFile(keptPath), file);
        QVERIFY(!QFileInfo::exists(statePath(folder)));
        manager.newTab(QStringLiteral("after the failure"));
    }
    // The quit-time write makes a fresh, readable file beside the one kept aside.
    QString error;
    const auto written = TabStateFile::decode(readFile(statePath(folder)), &error);
    QVERIFY2(written, qPrintable(error));
    QCOMPARE(written->size(), 1);
    QCOMPARE(written->first().content, QStringLiteral("after the failure"));
    QCOMPARE(readFile(keptPath), file);
}

void PersistenceTest::setAsideNeverOverwritesAnEarlierOne()
{
    QTemporaryDir folder;
    const QDateTime now(QDate(2026, 12, 6), QTime(8, 0), Qt::UTC);
    quillet::ScopedClockOverride clock([&] { return now; });
    for (const QByteArray &bytes : {QByteArray("first bad"), QByteArray("second bad")}) {
        writeState(folder, bytes);
        StdoutCapture output;
        TabManager manager(persistenceIn(folder));
        Q_UNUSED(manager);
        QFile::remove(statePath(folder)); // as if the user fixed nothing and restarted
    }
    const QString base = statePath(folder) + QStringLiteral(".unreadable-20261206T080000Z");
    QCOMPARE(readFile(base), QByteArray("first bad"));
    QCOMPARE(readFile(base + QStringLiteral("-2")), QByteArray("second bad"));
}

void PersistenceTest::noFileRestoresNothingAndAutosaveWritesEmptyArray()
{
    QTemporaryDir folder;
    StdoutCapture output;
    TabManager manager(persistenceIn(folder, std::chrono::milliseconds(20)));
    QVERIFY(manager.tabs().isEmpty());
    QVERIFY(QFileInfo(folder.filePath(QStringLiteral("Quillet/autosave"))).isDir());
    QTRY_COMPARE(readFile(statePath(folder)), QByteArray("[]"));
    QCOMPARE(output.text(), QByteArray());
}

void PersistenceTest::restorationClearsInterruptedWritesOnly_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("removed");
    QTest::addColumn<QString>("tabFile");

    const QString notes = QStringLiteral("notes.md");
    QTest::newRow("interrupted write")
        << QStringLiteral(".tabs.json.quillet-write-a1B2c3") << true << notes;
    QTest::newRow("interrupted save of a tab's file")
        << QStringLiteral(".notes.md.quillet-write-a1B2c3") << true << notes;
    QTest::newRow("set-aside file")
        << QStringLiteral("tabs.json.unreadable-20261206T080000Z") << false << notes;
    QTest::newRow("longer suffix")
        << QStringLiteral(".tabs.json.quillet-write-a1B2c3d") << false << notes;
    QTest::newRow("shorter suffix")
        << QStringLiteral(".tabs.json.quillet-write-a1B2c") << false << notes;
    QTest::newRow("without the dot")
        << QStringLiteral("tabs.json.quillet-write-a1B2c3") << false << notes;
    QTest::newRow("another tab's file")
        << QStringLiteral(".other.md.quillet-write-a1B2c3") << false << notes;
    // Other programs' files beside the tab's file are the user's own.
    QTest::newRow("the user's backup") << QStringLiteral(".notes.md.backup") << false << notes;
    QTest::newRow("an rsync temporary") << QStringLiteral(".notes.md.Xa91Qz") << false << notes;
    QTest::newRow("the state file's old-style name")
        << QStringLiteral(".tabs.json.a1B2c3") << false << notes;
    // The tab's file name is a name, never a pattern.
    QTest::newRow("wildcards in the tab's file name")
        << QStringLiteral(".a-notes.md.backup") << false << QStringLiteral("[ab]*.md");
    QTest::newRow("unbalanced bracket in the tab's file name")
        << QStringLiteral(".x[.md.quillet-write-a1B2c3") << true << QStringLiteral("x[.md");
}

void PersistenceTest::restorationClearsInterruptedWritesOnly()
{
    QFETCH(QString, fileName);
    QFETCH(bool, removed);
    QFETCH(QString, tabFile);

    QTemporaryDir folder;
    const QString tabPath = folder.filePath(tabFile);
    writeState(folder,
               "[" +
                   entry(kUuidA, "t", "kept",
                         ",\"filePath\":\"" +
                             QUrl::fromLocalFile(tabPath).toString(QUrl::FullyEncoded).toUtf8() +
                             "\"") +
                   "]");
    // Beside the tab's file, or beside the state file when it names that.
    const bool besideState = fileName.contains(u"tabs.json");
    const QString other =
        (besideState ? QFileInfo(statePath(folder)).absoluteDir() : QDir(folder.path()))
            .filePath(fileName);
    QFile file(other);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("partial");
    file.close();

    StdoutCapture output;
    TabManager manager(persistenceIn(folder));
    QCOMPARE(contents(manager), QStringList{QStringLiteral("kept")});
    QCOMPARE(QFile::exists(other), !removed);
    QCOMPARE(output.text(), QByteArray());
}

void PersistenceTest::autosaveFollowsClosedTabs()
{
    QTemporaryDir folder;
    TabManager manager(persistenceIn(folder, std::chrono::milliseconds(20)));
    manager.newTab(QStringLiteral("one"));
    manager.newTab(QStringLiteral("two"));
    QTRY_VERIFY(readFile(statePath(folder)).contains("\"two\""));
    manager.closeTab(manager.tabs().first()->id());
    manager.closeCurrentTab();
    QTRY_COMPARE(readFile(statePath(folder)), QByteArray("[]"));
}

void PersistenceTest::restoreOffKeepsThePreviousFile()
{
    QTemporaryDir folder;
    const QByteArray earlier = "[" + entry(kUuidA, "a", "earlier") + "]";
    writeState(folder, earlier);
    QFile::copy(statePath(folder), statePath(folder) + QStringLiteral(".previous"));
    writeState(folder, "[" + entry(kUuidB, "b", "last run") + "]");
    TabManager::Persistence persistence = persistenceIn(folder, std::chrono::milliseconds(20));
    persistence.restoreTabs = false;
    // Two runs without restoring and without tabs: the second must not lose the last tabs.
    for (int run = 0; run < 2; ++run) {
        TabManager manager(persistence);
        QVERIFY(manager.tabs().isEmpty());
        QTRY_COMPARE(readFile(statePath(folder)), QByteArray("[]"));
    }
    QVERIFY(readFile(statePath(folder) + QStringLiteral(".previous")).contains("last run"));
    QCOMPARE(modeOf(statePath(folder) + QStringLiteral(".previous")), 0600);
    QCOMPARE(QDir(QFileInfo(statePath(folder)).absolutePath())
                 .entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList({"quillet.lock", "tabs.json", "tabs.json.previous"}));
}

void PersistenceTest::refusesStateFilesThatAreNotRegular_data()
{
    QTest::addColumn<QString>("kind");

    QTest::newRow("FIFO") << QStringLiteral("fifo");
    QTest::newRow("link to /dev/zero") << QStringLiteral("zero");
    QTest::newRow("link to a readable state file") << QStringLiteral("link");
}

// None of them may hang or grow without end; each is moved aside like any unreadable file, and
// the next write makes a regular file of its own instead of writing through the link.
void PersistenceTest::refusesStateFilesThatAreNotRegular()
{
    QFETCH(QString, kind);
    QTemporaryDir folder;
    QDir().mkpath(QFileInfo(statePath(folder)).absolutePath());
    const QByteArray native = QFile::encodeName(statePath(folder));
    const QString elsewhere = folder.filePath(QStringLiteral("elsewhere.json"));
    const QByteArray elsewhereBytes = "[" + entry(kUuidA, "a", "elsewhere") + "]";
    if (kind == u"fifo") {
        QCOMPARE(::mkfifo(native.constData(), 0600), 0);
    } else if (kind == u"zero") {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), statePath(folder)));
    } else {
        QFile file(elsewhere);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(elsewhereBytes);
        file.close();
        QVERIFY(QFile::link(elsewhere, statePath(folder)));
    }
    {
        StdoutCapture output;
        TabManager manager(persistenceIn(folder));
        QVERIFY(manager.tabs().isEmpty());
        QVERIFY2(output.text().startsWith(kRestorePrefix), output.text().constData());
        QVERIFY2(output.text().contains("kept as"), output.text().constData());
        manager.newTab(QStringLiteral("new"));
    }
    QVERIFY(QFileInfo(statePath(folder)).isFile() && !QFileInfo(statePath(folder)).isSymLink());
    QVERIFY(readFile(statePath(folder)).contains("\"new\""));
    if (kind == u"link")
        QCOMPARE(readFile(elsewhere), elsewhereBytes);
}

void PersistenceTest::quitWritesTheLastEdits()
{
    QTemporaryDir folder;
    {
        TabManager manager(persistenceIn(folder));
        manager.newTab(QStringLiteral("typed just before quitting"));
        manager.newTab();
        manager.updateContent(*manager.currentTab(), QStringLiteral("# Second\nbody"));
    }
    TabManager restarted(persistenceIn(folder));
    QCOMPARE(contents(restarted), QStringList({"typed just before quitting", "# Second\nbody"}));
    QCOMPARE(restarted.tabs().at(1)->title(), QStringLiteral("Second"));
}

void PersistenceTest::onlyTheLockHolderTouchesTheFolder_data()
{
    QTest::addColumn<bool>("holderLetsGo");
    QTest::newRow("held through the wait: nothing read, written or cleared") << false;
    QTest::newRow("let go during the wait: restores and takes over") << true;
}

void PersistenceTest::onlyTheLockHolderTouchesTheFolder()
{
    QFETCH(bool, holderLetsGo);
    QTemporaryDir folder;
    const QByteArray saved = "[" + entry(kUuidA, "a", "the other run's tab") + "]";
    writeState(folder, saved);
    const QString autosave = QFileInfo(statePath(folder)).absolutePath();
    // What an interrupted write of the other process looks like while it is still writing.
    QFile inFlight(autosave + QStringLiteral("/.tabs.json.Ab12Cd"));
    QVERIFY(inFlight.open(QIODevice::WriteOnly));
    // Another process: flock treats a second open file description as a separate owner.
    quillet::StateLock::Result other = quillet::StateLock::acquire(autosave, {});
    QCOMPARE(other.outcome, quillet::StateLock::Outcome::acquired);
    const QStringList before = QDir(autosave).entryList(QDir::Files | QDir::Hidden);
    std::thread letGo([&] {
        if (holderLetsGo) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            other.lock.reset();
        }
    });
    TabManager::Persistence persistence = persistenceIn(folder, std::chrono::milliseconds(20));
    persistence.lockWait = holderLetsGo ? std::chrono::seconds(30) : std::chrono::milliseconds(300);
    {
        TabManager manager(persistence);
        letGo.join();
        QCOMPARE(manager.stateHeldElsewhere(), !holderLetsGo);
        QCOMPARE(contents(manager),
                 holderLetsGo ? QStringList{"the other run's tab"} : QStringList());
        manager.newTab(QStringLiteral("typed here"));
        if (holderLetsGo)
            QTRY_VERIFY(readFile(statePath(folder)).contains("typed here"));
        else
            QTest::qWait(200);
    }
    if (!holderLetsGo) {
        QCOMPARE(readFile(statePath(folder)), saved);
        QCOMPARE(QDir(autosave).entryList(QDir::Files | QDir::Hidden), before);
    }
}

void PersistenceTest::encodesTheFormat()
{
    const Scratchpad::Snapshot snapshot{
        QUuid::fromString(QLatin1String(kUuidA.toLower())), QStringLiteral("T"),
        QStringLiteral("a\"b\n"), QUrl::fromLocalFile(QStringLiteral("/home/ann/My Notes/é.md")),
        QDateTime(QDate(2026, 3, 1), QTime(9, 30, 0, 750), Qt::UTC)};
    const QByteArray bytes = TabStateFile::encode(
        {snapshot, Scratchpad::Snapshot{QUuid::fromString(QLatin1String(kUuidB)),
                                        {},
                                        {},
                                        std::nullopt,
                                        QDateTime(QDate(2026, 3, 1), QTime(9, 30), Qt::UTC)}});
    QVERIFY(!bytes.contains('\n'));
    QVERIFY(!bytes.contains(": "));
    const QJsonArray array = QJsonDocument::fromJson(bytes).array();
    QCOMPARE(array.size(), 2);
    const QJsonObject first = array.at(0).toObject();
    QCOMPARE(first.value("id").toString().toLatin1(), kUuidA);
    QCOMPARE(first.value("createdAt").toString(), QStringLiteral("2026-03-01T09:30:00Z"));
    QCOMPARE(first.value("filePath").toString(),
             QStringLiteral("file:///home/ann/My%20Notes/%C3%A9.md"));
    QCOMPARE(first.value("content").toString(), QStringLiteral("a\"b\n"));
    QVERIFY(!array.at(1).toObject().contains("filePath"));
}

void PersistenceTest::roundTripsEveryKindOfText_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("filePath");

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("quotes, backslashes, controls")
        << QString::fromUtf8("\"\\/\b\f\t\r\n\x01\x1F end") << QStringLiteral("/tmp/a b/c.md");
    QTest::newRow("emoji, accents, RTL, NUL")
        << QString::fromUtf8("👩‍💻 e\xCC\x81 שלום ") + QChar(0) + QStringLiteral("!")
        << QStringLiteral("/tmp/ünï cödé/#hash?.txt");
    QTest::newRow("unpaired surrogates")
        << QString(QChar(0xD800)) + QStringLiteral("a") + QChar(0xDC00) << QString();
    // Long enough to be encoded in several pieces, with a pair across every piece boundary.
    QTest::newRow("long text of emoji") << QString::fromUtf8("x😀").repeated(300000) << QString();
    QTest::newRow("line and paragraph separators")
        << QString::fromUtf8("a\u2028b\u2029c") << QStringLiteral("/tmp/100%.md");
    // Found by fuzzing: a U+FEFF first in the text or right after an escape was dropped.
    QTest::newRow("zero-width no-break spaces")
        << QString::fromUtf8("\uFEFFa\n\uFEFFb\uFEFF") << QString();
}

void PersistenceTest::roundTripsEveryKindOfText()
{
    QFETCH(QString, content);
    QFETCH(QString, filePath);
    const std::optional<QUrl> file =
        filePath.isEmpty() ? std::nullopt : std::optional(QUrl::fromLocalFile(filePath));
    QTemporaryDir folder;
    {
        TabManager manager(persistenceIn(folder));
        manager.newTab(content, file);
    }
    TabManager restarted(persistenceIn(folder));
    QCOMPARE(restarted.tabs().size(), 1);
    QCOMPARE(restarted.tabs().first()->content(), content);
    QCOMPARE(restarted.tabs().first()->filePath(), file);
    if (file)
        QCOMPARE(restarted.tabs().first()->filePath()->toLocalFile(), filePath);
}

void PersistenceTest::failedWriteLeavesPreviousFile()
{
    QTemporaryDir folder;
    {
        TabManager manager(persistenceIn(folder));
        manager.newTab(QStringLiteral("kept"));
    }
    const QByteArray before = readFile(statePath(folder));
    // A folder where the temporary file would go makes every write fail, even for root.
    const QString autosave = folder.filePath(QStringLiteral("Quillet/autosave"));
    QVERIFY(QFile::rename(autosave, autosave + QStringLiteral(".real")));
    QVERIFY(QFile(autosave).open(QIODevice::WriteOnly)); // a regular file in its place
    StdoutCapture output;
    {
        TabManager manager(persistenceIn(folder));
        manager.newTab(QStringLiteral("cannot be written"));
    }
    const QByteArray printed = output.text();
    QVERIFY2(printed.startsWith("Auto-save failed: "), printed.constData());
    QCOMPARE(printed.count('\n'), 1);
    QVERIFY(printed.endsWith('\n'));
    QCOMPARE(readFile(autosave + QStringLiteral(".real/tabs.json")), before);
}

void PersistenceTest::failedAutosaveRetriesAtTheNextInterval()
{
    QTemporaryDir folder;
    const QString autosave = folder.filePath(QStringLiteral("Quillet/autosave"));
    QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral("Quillet"))));
    QVERIFY(QFile(autosave).open(QIODevice::WriteOnly)); // a file where the folder should be
    StdoutCapture output;
    TabManager manager(persistenceIn(folder, std::chrono::milliseconds(20)));
    manager.newTab(QStringLiteral("only in memory"));
    QTRY_VERIFY(output.text().startsWith("Auto-save failed: "));

    // The fault goes away: a later interval writes the text that stayed in the tab.
    QVERIFY(QFile::remove(autosave));
    QVERIFY(QDir().mkpath(autosave));
    QTRY_VERIFY(readFile(statePath(folder)).contains("only in memory"));
    QString error;
    QVERIFY2(TabStateFile::decode(readFile(statePath(folder)), &error), qPrintable(error));
}

void PersistenceTest::unchangedTabsAreNotRewritten()
{
    QTemporaryDir folder;
    TabManager manager(persistenceIn(folder, std::chrono::milliseconds(10)));
    manager.newTab(QStringLiteral("left alone"));
    QTRY_VERIFY(readFile(statePath(folder)).contains("left alone"));
    // Every write renames a new file into place, so the file's identity tells writes apart.
    const auto identity = [&] {
        struct stat status {};
        ::stat(QFile::encodeName(statePath(folder)).constData(), &status);
        return std::pair(status.st_ino,
                         status.st_mtim.tv_nsec + status.st_mtim.tv_sec * 1'000'000'000);
    };
    const auto written = identity();
    QTest::qWait(200);
    QCOMPARE(identity(), written);

    manager.updateContent(*manager.tabs().first(), QStringLiteral("edited"));
    QTRY_VERIFY(readFile(statePath(folder)).contains("edited"));
    QVERIFY(identity() != written);
}

QTEST_GUILESS_MAIN(PersistenceTest)
#include "tst_persistence.moc"
