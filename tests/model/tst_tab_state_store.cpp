#include "model/auto_saver.h"
#include "model/state_lock.h"
#include "model/tab_state_file.h"
#include "model/tab_state_store.h"
#include "platform/cancellable_sleep.h"
#include "platform/clock.h"
#include "support/stdout_capture.h"
#include "support/temp_folder.h"

#include <QSet>
#include <QtTest>

#include <mutex>
#include <sys/stat.h>
#include <thread>

using namespace std::chrono_literals;
using quillet::AutoSaver;
using quillet::CancellableSleep;
using quillet::Scratchpad;
using quillet::TabPersistence;
using quillet::TabStateStore;
using quillet::testing::StdoutCapture;
namespace TabStateFile = quillet::TabStateFile;
using Tabs = QList<std::shared_ptr<Scratchpad>>;
using Snapshots = QList<Scratchpad::Snapshot>;

namespace {

const QByteArray kUuidA = "0F8FAD5B-D9CB-469F-A165-70867728950E";
const QByteArray kUuidB = "7C9E6679-7425-40DE-944B-E07FC1F90AE7";
const QString kAutosave = QStringLiteral("Quillet/autosave");
const QString kState = QStringLiteral("Quillet/autosave/tabs.json");

QByteArray entry(const QByteArray &id, const QByteArray &content, const QByteArray &extra = {})
{
    return "{\"id\":\"" + id + "\",\"title\":\"t\",\"content\":\"" + content +
           "\",\"createdAt\":\"2026-03-01T09:30:00Z\"" + extra + "}";
}

Scratchpad::Snapshot snapshot(const QString &content, const std::optional<QUrl> &file = {})
{
    return {QUuid::createUuid(), content, content, file, QDateTime::currentDateTimeUtc()};
}

int modeOf(const QString &path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777)
                                                                     : -1;
}

} // namespace

class TabStateStoreTest : public QObject {
    Q_OBJECT

private slots:
    void init() { m_folder = std::make_unique<quillet::testing::TempFolder>(); }

    void restoresValidFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QStringList>("filePaths");

        QTest::newRow("empty array") << QByteArray("[]") << QStringList() << QStringList();
        QTest::newRow("tabs in file order, stored title derived again")
            << "[" + entry(kUuidA, "# first") + "," + entry(kUuidB, "second") + "]"
            << QStringList{"first", "second"} << QStringList{"", ""};
        QTest::newRow("lower-case id, unknown keys, null file")
            << "[" + entry(kUuidA.toLower(), "text", ",\"filePath\":null,\"colour\":[1,2]") + "]"
            << QStringList{"text"} << QStringList{""};
        QTest::newRow("percent-escaped file with spaces and non-ASCII")
            << "[" +
                   entry(kUuidA, "", ",\"filePath\":\"file:///home/ann/My%20Notes/caf%C3%A9.md\"") +
                   "]"
            << QStringList{"café"} << QStringList{"/home/ann/My Notes/café.md"};
        QTest::newRow("offset date is accepted")
            << "[" + entry(kUuidA, "t").replace("09:30:00Z", "10:30:00+01:00") + "]"
            << QStringList{"t"} << QStringList{""};
        // As a person or another tool may have laid it out.
        const QByteArray spaced =
            entry(kUuidA, "first").replace("\",\"", "\" ,\r\n \"").replace("\":\"", "\" : \"");
        QTest::newRow("white space between every token")
            << " \n[\n\t" + spaced + " , \n " + entry(kUuidB, "second") + "\n]\n"
            << QStringList{"first", "second"} << QStringList{"", ""};
        QTest::newRow("all-zero id kept as stored")
            << "[" + entry("00000000-0000-0000-0000-000000000000", "zero") + "]"
            << QStringList{"zero"} << QStringList{""};
        QTest::newRow("duplicate id: both kept, the second under a new id")
            << "[" + entry(kUuidA, "first") + "," + entry(kUuidA, "second") + "]"
            << QStringList{"first", "second"} << QStringList{"", ""};
    }

    void restoresValidFiles()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, titles);
        QFETCH(QStringList, filePaths);
        writeState(file);
        StdoutCapture output;
        TabStateStore store(persistence());
        const Tabs tabs = store.restore();

        QCOMPARE(output.text(), QByteArray());
        QCOMPARE(tabs.size(), titles.size());
        QSet<QUuid> ids;
        for (qsizetype i = 0; i < titles.size(); ++i) {
            const auto &tab = tabs.at(i);
            QCOMPARE(tab->title(), titles.at(i));
            QVERIFY(tab->isDirty());
            QCOMPARE(tab->filePath() ? tab->filePath()->toLocalFile() : QString(), filePaths.at(i));
            ids.insert(tab->id());
        }
        QCOMPARE(ids.size(), titles.size());
        // Every tab's text, for this user's eyes only, also when an earlier run made it readable.
        QCOMPARE(modeOf(statePath()), 0600);
        QCOMPARE(modeOf(m_folder->path(kAutosave)), 0700);
    }

    void rejectsUnreadableFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        // Instead of the file: a FIFO, or a link to this (under the test's folder when relative).
        QTest::addColumn<QString>("special");

        const QByteArray good = entry(kUuidA, "x");
        const auto array = [](const QByteArray &inside) { return "[" + inside + "]"; };
        const auto row = [](const char *name, const QByteArray &file) {
            QTest::newRow(name) << file << QString();
        };
        row("zero bytes", QByteArray());
        row("not JSON", "hello, world");
        row("an object, not an array", "{}");
        row("fractional seconds", array(QByteArray(good).replace("00Z", "00.5Z")));
        row("date without zone", array(QByteArray(good).replace("00Z", "00")));
        row("missing createdAt",
            array(QByteArray(good).replace(",\"createdAt\":\"2026-03-01T09:30:00Z\"", "")));
        row("invalid id", array(entry("not-a-uuid", "x")));
        row("braced id", array(entry("{" + kUuidA + "}", "x")));
        row("content is a number", array(QByteArray(good).replace("\"x\"", "5")));
        row("filePath is not a URL",
            array(entry(kUuidA, "x", ",\"filePath\":\"http://exa mple.com/%zz\"")));
        row("filePath is a number", array(entry(kUuidA, "x", ",\"filePath\":3")));
        row("filePath with an unpaired surrogate",
            array(entry(kUuidA, "x", ",\"filePath\":\"file:///a\\udddd\"")));
        row("invalid UTF-8 in a string", array(entry(kUuidA, "caf\xE9")));
        row("unterminated string", "[{\"id\":\"abc");
        row("trailing comma", array(good + ","));
        row("text after the array", array(good) + " x");
        row("bad escape", array(entry(kUuidA, "\\q")));
        row("leading zero in an unknown key", array(entry(kUuidA, "x", ",\"n\":01")));
        row("nested too deeply",
            array(entry(kUuidA, "x", ",\"n\":" + QByteArray(2000, '[') + QByteArray(2000, ']'))));
        row("second of two is bad", array(good + "," + entry("bad", "x")));
        row("raw line feed inside a string", array(entry(kUuidA, "two\nlines")));
        row("raw tab inside a key", array(entry(kUuidA, "x", ",\"k\te\":1")));
        // Alone in the second eight bytes of a string, so no other byte there gives it away.
        row("raw unit separator inside a string", array(entry(kUuidA, "abcdefgh\x1F"
                                                                      "ijklmnop")));
        row("id followed by an escaped line feed", array(entry(kUuidA + "\\n", "x")));
        row("date followed by an escaped line feed",
            array(QByteArray(good).replace("00Z", "00Z\\n")));
        // None of them may hang or grow without end, nor be written through.
        QTest::newRow("FIFO") << QByteArray() << "fifo";
        QTest::newRow("link to /dev/zero") << QByteArray() << "/dev/zero";
        QTest::newRow("link to a readable state file") << QByteArray() << "elsewhere.json";
    }

    // The file is moved aside, never over an earlier one, with one line naming where; the next
    // write makes a fresh, regular, readable file.
    void rejectsUnreadableFiles()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, special);
        const QDateTime now(QDate(2026, 12, 6), QTime(19, 5, 9), Qt::UTC);
        quillet::ScopedClockOverride clock([&] { return now; });
        const QByteArray elsewhere = "[" + entry(kUuidA, "elsewhere") + "]";
        QVERIFY(m_folder->write("elsewhere.json", elsewhere));
        const QString kept = statePath() + QStringLiteral(".unreadable-20261206T190509Z");
        for (const QString &keptPath : {kept, kept + QStringLiteral("-2")}) {
            writeState(file);
            if (special == u"fifo") {
                QVERIFY(QFile::remove(statePath()));
                QCOMPARE(::mkfifo(QFile::encodeName(statePath()).constData(), 0600), 0);
            } else if (!special.isEmpty()) {
                QVERIFY(QFile::remove(statePath()));
                QVERIFY(QFile::link(m_folder->path(special), statePath()));
            }
            StdoutCapture output;
            QObject owner;
            TabStateStore store(persistence());
            QVERIFY(store.restore().isEmpty());
            const QByteArray printed = output.text();
            QVERIFY2(printed.startsWith("Tab restoration failed: ") &&
                         printed.endsWith(keptPath.toUtf8() + '\n') && printed.count('\n') == 1,
                     printed.constData());
            QVERIFY(!QFileInfo::exists(statePath()));
            store.startAutoSave(&owner, [] { return Snapshots{snapshot("after the failure")}; });
            store.finish();
        }
        if (special.isEmpty()) {
            QCOMPARE(m_folder->read(kept), file);
            QCOMPARE(m_folder->read(kept + QStringLiteral("-2")), file);
        }
        QVERIFY(QFileInfo(statePath()).isFile() && !QFileInfo(statePath()).isSymLink());
        const auto written = TabStateFile::decode(state());
        QVERIFY2(written, qPrintable(written.reason()));
        QCOMPARE(written->size(), 1);
        QCOMPARE(written->first().content, QStringLiteral("after the failure"));
        QCOMPARE(m_folder->read("elsewhere.json"), elsewhere);
    }

    void restorationClearsInterruptedWritesOnly_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<bool>("removed");
        QTest::addColumn<QString>("tabFile");

        const QString notes = QStringLiteral("notes.md");
        QTest::newRow("interrupted write") << ".tabs.json.quillet-write-a1B2c3" << true << notes;
        QTest::newRow("interrupted save of a tab's file")
            << ".notes.md.quillet-write-a1B2c3" << true << notes;
        QTest::newRow("set-aside file")
            << "tabs.json.unreadable-20261206T080000Z" << false << notes;
        QTest::newRow("longer suffix") << ".tabs.json.quillet-write-a1B2c3d" << false << notes;
        QTest::newRow("shorter suffix") << ".tabs.json.quillet-write-a1B2c" << false << notes;
        QTest::newRow("without the dot") << "tabs.json.quillet-write-a1B2c3" << false << notes;
        QTest::newRow("another tab's file") << ".other.md.quillet-write-a1B2c3" << false << notes;
        // Other programs' files beside the tab's file are the user's own.
        QTest::newRow("the user's backup") << ".notes.md.backup" << false << notes;
        // The tab's file name is a name, never a pattern.
        QTest::newRow("wildcards in the tab's file name")
            << ".a-notes.md.backup" << false << "[ab]*.md";
        QTest::newRow("unbalanced bracket in the tab's file name")
            << ".x[.md.quillet-write-a1B2c3" << true << "x[.md";
        // Marked "!": another user's file; "@": a link to a file of the user's.
        QTest::newRow("another user's file") << "!.notes.md.quillet-write-a1B2c3" << false << notes;
        QTest::newRow("a link") << "@.notes.md.quillet-write-a1B2c3" << false << notes;
    }

    void restorationClearsInterruptedWritesOnly()
    {
        QFETCH(QString, fileName);
        QFETCH(bool, removed);
        QFETCH(QString, tabFile);
        const QByteArray url = QUrl::fromLocalFile(m_folder->path(tabFile)).toEncoded();
        writeState("[" + entry(kUuidA, "kept", ",\"filePath\":\"" + url + "\"") + "]");
        // Beside the tab's file, or beside the state file when it names that.
        const QChar mark = fileName.at(0);
        if (mark == u'!' || mark == u'@')
            fileName.remove(0, 1);
        const QString other =
            fileName.contains(u"tabs.json") ? kAutosave + u'/' + fileName : fileName;
        QVERIFY(m_folder->write(mark == u'@' ? QStringLiteral("linked") : other, "partial"));
        if (mark == u'@')
            QVERIFY(QFile::link(m_folder->path("linked"), m_folder->path(other)));
        if (mark == u'!' &&
            ::chown(QFile::encodeName(m_folder->path(other)).constData(), 65534, 65534))
            QSKIP("needs root to give a file to another user");

        StdoutCapture output;
        TabStateStore store(persistence());
        const Tabs restored = store.restore();
        QVERIFY(restored.size() == 1 && restored.first()->content() == u"kept");
        QCOMPARE(QFile::exists(m_folder->path(other)), !removed);
        QCOMPARE(output.text(), QByteArray());
    }

    void restoreOffKeepsThePreviousFile()
    {
        writeState("[" + entry(kUuidA, "earlier") + "]");
        QVERIFY(QFile::copy(statePath(), statePath() + QStringLiteral(".previous")));
        writeState("[" + entry(kUuidB, "last run") + "]");
        TabPersistence settings = persistence(20ms);
        settings.restoreTabs = false;
        // Two runs without restoring and without tabs: the second must not lose the last tabs.
        for (int run = 0; run < 2; ++run) {
            QObject owner;
            TabStateStore store(settings);
            QVERIFY(store.restore().isEmpty());
            store.startAutoSave(&owner, [] { return Snapshots(); });
            QTRY_COMPARE(state(), QByteArray("[]"));
        }
        QVERIFY(m_folder->read(kState + QStringLiteral(".previous")).contains("last run"));
        QCOMPARE(modeOf(statePath() + QStringLiteral(".previous")), 0600);
        QCOMPARE(m_folder->files(kAutosave),
                 QStringList({"quillet.lock", "tabs.json", "tabs.json.previous"}));
    }

    void failureToKeepTheFileStopsTheAutosave_data()
    {
        QTest::addColumn<bool>("restoreTabs");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("no name left to set an unreadable file aside")
            << true << QByteArray("not json")
            << QByteArray("; the file could not be moved aside, so tabs will not be saved until "
                          "it is\n");
        QTest::newRow("no room to keep the last run's tabs")
            << false << "[" + entry(kUuidA, "last run") + "]"
            << QByteArray(": Is a directory), so tabs will not be saved this run\n");
    }

    // The one line says so, and the file the user may still want is never written over.
    void failureToKeepTheFileStopsTheAutosave()
    {
        QFETCH(bool, restoreTabs);
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, line);
        const QDateTime now(QDate(2026, 12, 6), QTime(19, 5, 9), Qt::UTC);
        quillet::ScopedClockOverride clock([&] { return now; });
        writeState(file);
        const QString aside = kState + QStringLiteral(".unreadable-20261206T190509Z");
        QVERIFY(m_folder->write(aside, {}));
        for (int taken = 2; taken < 1000; ++taken)
            QVERIFY(m_folder->write(aside + QStringLiteral("-%1").arg(taken), {}));
        QVERIFY(QDir().mkpath(statePath() + QStringLiteral(".previous")));
        TabPersistence settings = persistence(10ms);
        settings.restoreTabs = restoreTabs;

        StdoutCapture output;
        QObject owner;
        TabStateStore store(settings);
        QVERIFY(store.restore().isEmpty());
        store.startAutoSave(&owner, [] { return Snapshots{snapshot("typed after")}; });
        QTest::qWait(50);
        store.finish();
        QVERIFY2(output.text().startsWith("Tab restoration ") && output.text().endsWith(line) &&
                     output.text().count('\n') == 1,
                 output.text().constData());
        QCOMPARE(state(), file);
    }

    void onlyTheLockHolderTouchesTheFolder_data()
    {
        QTest::addColumn<bool>("holderLetsGo");
        QTest::newRow("held through the wait: nothing read, written or cleared") << false;
        QTest::newRow("let go during the wait: restores and takes over") << true;
    }

    void onlyTheLockHolderTouchesTheFolder()
    {
        QFETCH(bool, holderLetsGo);
        const QByteArray saved = "[" + entry(kUuidA, "the other run's tab") + "]";
        writeState(saved);
        // What an interrupted write of the other process looks like while it is still writing.
        QVERIFY(m_folder->write(kAutosave + QStringLiteral("/.tabs.json.Ab12Cd"), {}));
        // Another process: flock treats a second open file description as a separate owner.
        quillet::StateLock::Result other =
            quillet::StateLock::acquire(m_folder->path(kAutosave), {});
        QCOMPARE(other.outcome, quillet::StateLock::Outcome::acquired);
        const QStringList before = m_folder->files(kAutosave);
        std::thread letGo([&] {
            if (holderLetsGo) {
                std::this_thread::sleep_for(200ms);
                other.lock.reset();
            }
        });
        TabPersistence settings = persistence(20ms);
        settings.lockWait = holderLetsGo ? std::chrono::milliseconds(30s) : 300ms;
        {
            QObject owner;
            TabStateStore store(settings);
            letGo.join();
            QCOMPARE(store.heldElsewhere(), !holderLetsGo);
            QCOMPARE(store.restore().size(), holderLetsGo ? 1 : 0);
            store.startAutoSave(&owner, [] { return Snapshots{snapshot("typed here")}; });
            if (holderLetsGo)
                QTRY_VERIFY(state().contains("typed here"));
            else
                QTest::qWait(200);
            store.finish();
        }
        if (!holderLetsGo) {
            QCOMPARE(state(), saved);
            QCOMPARE(m_folder->files(kAutosave), before);
        }
    }

    void roundTripsEveryKindOfText_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("filePath");
        QTest::addColumn<QByteArray>("url"); // as the file spells it

        QTest::newRow("empty") << QString() << QString() << QByteArray();
        QTest::newRow("quotes, backslashes, controls")
            << QString::fromUtf8("\"\\/\b\f\t\r\n\x01\x1F end") << "/tmp/a b/c.md"
            << QByteArray("file:///tmp/a%20b/c.md");
        QTest::newRow("emoji, accents, RTL, NUL")
            << QString::fromUtf8("👩‍💻 e\xCC\x81 שלום ") + QChar(0) + u'!'
            << "/tmp/ünï cödé/#hash?.txt"
            << QByteArray("file:///tmp/%C3%BCn%C3%AF%20c%C3%B6d%C3%A9/%23hash%3F.txt");
        QTest::newRow("unpaired surrogates")
            << QChar(0xD800) + QStringLiteral("a") + QChar(0xDC00) << QString() << QByteArray();
        // Long enough to be encoded in several pieces, with a pair across every piece boundary.
        QTest::newRow("long text of emoji")
            << QString::fromUtf8("x😀").repeated(300000) << QString() << QByteArray();
        QTest::newRow("line and paragraph separators")
            << "a\u2028b\u2029c"
            << "/tmp/100%.md" << QByteArray("file:///tmp/100%25.md");
        // Found by fuzzing: a U+FEFF first in the text or right after an escape was dropped.
        QTest::newRow("zero-width no-break spaces")
            << "\uFEFFa\n\uFEFFb\uFEFF" << QString() << QByteArray();
    }

    // Written by one run as it finishes, compactly, with the id in upper case, the date in whole
    // seconds and a file only when there is one; then restored by the next run.
    void roundTripsEveryKindOfText()
    {
        QFETCH(QString, content);
        QFETCH(QString, filePath);
        QFETCH(QByteArray, url);
        const std::optional<QUrl> file =
            filePath.isEmpty() ? std::nullopt : std::optional(QUrl::fromLocalFile(filePath));
        const Scratchpad::Snapshot saved = snapshot(content, file);
        {
            QObject owner;
            TabStateStore store(persistence());
            store.startAutoSave(&owner, [&] { return Snapshots{saved}; });
            store.finish();
        }
        const QByteArray bytes = state();
        QVERIFY(!bytes.contains('\n') && !bytes.contains(": "));
        QVERIFY(bytes.startsWith("[{\"id\":\"" +
                                 saved.id.toString(QUuid::WithoutBraces).toUpper().toLatin1()));
        QCOMPARE(bytes.contains(file ? ",\"filePath\":\"" + url + '"' : "filePath"),
                 file.has_value());
        const Tabs restored = TabStateStore(persistence()).restore();
        QCOMPARE(restored.size(), 1);
        QCOMPARE(restored.first()->id(), saved.id);
        QCOMPARE(restored.first()->content(), content);
        QCOMPARE(restored.first()->filePath(), file);
    }

    // A folder where the temporary file would go makes every write fail, even for root; the
    // previous file stays, and once the fault is gone a later interval writes what is there.
    void failedWritesKeepThePreviousFileAndRetry()
    {
        Snapshots tabs;
        StdoutCapture output;
        QObject owner;
        TabStateStore store(persistence(20ms));
        QVERIFY(store.restore().isEmpty());
        store.startAutoSave(&owner, [&] { return tabs; });
        QTRY_COMPARE(state(), QByteArray("[]"));
        tabs = {snapshot("kept")};
        QTRY_VERIFY(state().contains("kept"));
        const QByteArray before = state();
        const QString autosave = m_folder->path(kAutosave);
        QVERIFY(QFile::rename(autosave, autosave + QStringLiteral(".real")));
        QVERIFY(m_folder->write(kAutosave, {}));

        tabs = {snapshot("only in memory")};
        QTRY_VERIFY(output.text().startsWith("Auto-save failed: "));
        QCOMPARE(m_folder->read(kAutosave + QStringLiteral(".real/tabs.json")), before);
        QVERIFY(QFile::remove(autosave) && QDir().mkpath(autosave));
        QTRY_VERIFY(state().contains("only in memory"));
        store.finish();
        for (const QString &line : output.lines())
            QVERIFY2(line.startsWith(QStringLiteral("Auto-save failed: ")), qPrintable(line));
    }

    void writesOnlyWhatTheFileLacks_data()
    {
        // Each interval's tab text, whether each write attempt succeeds, and the texts written.
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QList<bool>>("succeeds");
        QTest::addColumn<QStringList>("written");

        using S = QStringList;
        using B = QList<bool>;
        QTest::newRow("nothing changes") << S{"a", "a", "a"} << B{true} << S{"a"};
        QTest::newRow("one edit") << S{"a", "a", "b", "b"} << B{true, true} << S{"a", "b"};
        QTest::newRow("edit undone") << S{"a", "b", "a"} << B{true, true, true} << S{"a", "b", "a"};
        QTest::newRow("failed write retried") << S{"a", "a", "a"} << B{false, true} << S{"a", "a"};
        QTest::newRow("failure after a success")
            << S{"a", "b", "b", "b"} << B{true, false, true} << S{"a", "b", "b"};
        // A failed write may have left anything behind: the next interval writes even a text equal
        // to the last one written.
        QTest::newRow("failed edit undone")
            << S{"a", "b", "a"} << B{true, false, true} << S{"a", "b", "a"};
    }

    // Each failed write prints its line, and only those do. A new interval, set while the
    // second snapshots are taken, applies from the next wait on.
    void writesOnlyWhatTheFileLacks()
    {
        QFETCH(QStringList, offered);
        QFETCH(QList<bool>, succeeds);
        QFETCH(QStringList, written);

        const QUuid id = QUuid::createUuid();
        const QDateTime created = QDateTime::currentDateTimeUtc();
        qsizetype taken = 0;
        std::mutex mutex;
        QStringList writes;
        QList<std::chrono::milliseconds> waits;
        const auto seen = [&] {
            std::lock_guard lock(mutex);
            return waits;
        };
        // The owner holds on to its texts as a tab does, so the saver's are shared with them.
        QStringList held;
        QObject owner;
        StdoutCapture output;
        AutoSaver *running = nullptr;
        AutoSaver saver(
            &owner, 1h,
            [&] {
                // A fresh string each time: equal text must be found equal by content.
                const QString text =
                    QString(offered.at(std::min(taken, offered.size() - 1)).data());
                if (++taken == 2)
                    running->setInterval(2s);
                held.append(text);
                return Snapshots{{id, text, text, {}, created}};
            },
            [&](const Snapshots &snapshots) -> quillet::IoStatus {
                std::lock_guard lock(mutex);
                writes.append(snapshots.first().content);
                if (succeeds.at(std::min(writes.size(), succeeds.size()) - 1))
                    return {};
                return quillet::ioFailure(QStringLiteral("disk full"));
            },
            // Notes each wait and ends it at once, so the loop goes round as fast as it is fed.
            [&](CancellableSleep &sleep, std::chrono::milliseconds interval) {
                std::lock_guard lock(mutex);
                waits.append(interval);
                return sleep.sleepFor(0ms);
            });
        running = &saver;
        // A wait begins only after the interval before it has been written or skipped.
        QTRY_VERIFY(seen().size() > offered.size());
        saver.stop();
        QCOMPARE(waits.first(2), (QList<std::chrono::milliseconds>{1h, 1h}));
        QCOMPARE(waits.sliced(2), QList<std::chrono::milliseconds>(waits.size() - 2, 2s));
        std::lock_guard lock(mutex);
        QCOMPARE(writes, written);
        const QStringList failures(succeeds.count(false),
                                   QStringLiteral("Auto-save failed: disk full"));
        QCOMPARE(output.lines(), failures);
    }

private:
    std::unique_ptr<quillet::testing::TempFolder> m_folder;

    TabPersistence persistence(std::chrono::milliseconds interval = 1h) const
    {
        return {.autosaveDirectory = m_folder->path(kAutosave), .autoSaveInterval = interval};
    }
    QString statePath() const { return m_folder->path(kState); }
    QByteArray state() const { return m_folder->read(kState); }
    void writeState(const QByteArray &bytes) { QVERIFY(m_folder->write(kState, bytes)); }
};

QTEST_GUILESS_MAIN(TabStateStoreTest)
#include "tst_tab_state_store.moc"
