#include "platform/clock.h"
#include "model/state_lock.h"
#include "model/tab_manager.h"
#include "model/tab_state_file.h"
#include "support/stdout_capture.h"
#include "support/temp_folder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QtTest>

#include <thread>
#include <sys/stat.h>

using namespace std::chrono_literals;
using quillet::Scratchpad;
using quillet::TabManager;
using quillet::testing::StdoutCapture;
namespace TabStateFile = quillet::TabStateFile;

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
        TabManager manager(persistence());

        QCOMPARE(output.text(), QByteArray());
        QCOMPARE(manager.tabs().size(), titles.size());
        QSet<QUuid> ids;
        for (qsizetype i = 0; i < titles.size(); ++i) {
            const auto &tab = manager.tabs().at(i);
            QCOMPARE(tab->title(), titles.at(i));
            QVERIFY(tab->isDirty());
            QCOMPARE(tab->filePath() ? tab->filePath()->toLocalFile() : QString(), filePaths.at(i));
            ids.insert(tab->id());
        }
        QCOMPARE(ids.size(), titles.size());
        QCOMPARE(manager.currentTabIndex(), titles.isEmpty() ? -1 : 0);
        if (!titles.isEmpty()) {
            const qsizetype idAt = file.indexOf("\"id\":\"") + 6;
            QCOMPARE(
                manager.tabs().first()->id().toString(QUuid::WithoutBraces).toUpper().toLatin1(),
                file.mid(idAt, 36).toUpper());
        }
        // Every tab's text, for this user's eyes only, also when an earlier run made it readable.
        QCOMPARE(modeOf(statePath()), 0600);
        QCOMPARE(modeOf(m_folder->path(kAutosave)), 0700);
    }

    void rejectsUnreadableFiles_data()
    {
        QTest::addColumn<QByteArray>("file");

        const QByteArray good = entry(kUuidA, "x");
        const auto array = [](const QByteArray &inside) { return "[" + inside + "]"; };
        QTest::newRow("zero bytes") << QByteArray();
        QTest::newRow("not JSON") << QByteArray("hello, world");
        QTest::newRow("an object, not an array") << QByteArray("{}");
        QTest::newRow("fractional seconds") << array(QByteArray(good).replace("00Z", "00.5Z"));
        QTest::newRow("date without zone") << array(QByteArray(good).replace("00Z", "00"));
        QTest::newRow("missing createdAt")
            << array(QByteArray(good).replace(",\"createdAt\":\"2026-03-01T09:30:00Z\"", ""));
        QTest::newRow("invalid id") << array(entry("not-a-uuid", "x"));
        QTest::newRow("braced id") << array(entry("{" + kUuidA + "}", "x"));
        QTest::newRow("content is a number") << array(QByteArray(good).replace("\"x\"", "5"));
        QTest::newRow("filePath is not a URL")
            << array(entry(kUuidA, "x", ",\"filePath\":\"http://exa mple.com/%zz\""));
        QTest::newRow("filePath is a number") << array(entry(kUuidA, "x", ",\"filePath\":3"));
        QTest::newRow("filePath with an unpaired surrogate")
            << array(entry(kUuidA, "x", ",\"filePath\":\"file:///a\\udddd\""));
        QTest::newRow("invalid UTF-8 in a string") << array(entry(kUuidA, "caf\xE9"));
        QTest::newRow("unterminated string") << QByteArray("[{\"id\":\"abc");
        QTest::newRow("trailing comma") << array(good + ",");
        QTest::newRow("text after the array") << array(good) + " x";
        QTest::newRow("bad escape") << array(entry(kUuidA, "\\q"));
        QTest::newRow("leading zero in an unknown key") << array(entry(kUuidA, "x", ",\"n\":01"));
        QTest::newRow("nested too deeply")
            << array(entry(kUuidA, "x", ",\"n\":" + QByteArray(2000, '[') + QByteArray(2000, ']')));
        QTest::newRow("second of two is bad") << array(good + "," + entry("bad", "x"));
        QTest::newRow("raw line feed inside a string") << array(entry(kUuidA, "two\nlines"));
        QTest::newRow("raw tab inside a key") << array(entry(kUuidA, "x", ",\"k\te\":1"));
        QTest::newRow("raw unit separator inside a string") << array(entry(kUuidA, "a\x1F" "b"));
        QTest::newRow("id followed by an escaped line feed") << array(entry(kUuidA + "\\n", "x"));
        QTest::newRow("date followed by an escaped line feed")
            << array(QByteArray(good).replace("00Z", "00Z\\n"));
    }

    // The file is moved aside, never over an earlier one, with one line naming where; the next
    // write makes a fresh, readable file.
    void rejectsUnreadableFiles()
    {
        QFETCH(QByteArray, file);
        const QDateTime now(QDate(2026, 12, 6), QTime(19, 5, 9), Qt::UTC);
        quillet::ScopedClockOverride clock([&] { return now; });
        const QString kept = statePath() + QStringLiteral(".unreadable-20261206T190509Z");
        for (const QString &keptPath : {kept, kept + QStringLiteral("-2")}) {
            writeState(file);
            StdoutCapture output;
            TabManager manager(persistence());
            QVERIFY(manager.tabs().isEmpty());
            const QByteArray printed = output.text();
            QVERIFY2(printed.startsWith("Tab restoration failed: ") &&
                         printed.endsWith(keptPath.toUtf8() + '\n') && printed.count('\n') == 1,
                     printed.constData());
            QVERIFY(!QFileInfo::exists(statePath()));
            manager.newTab(QStringLiteral("after the failure"));
        }
        QCOMPARE(m_folder->read(kept), file);
        QCOMPARE(m_folder->read(kept + QStringLiteral("-2")), file);
        QString error;
        const auto written = TabStateFile::decode(state(), &error);
        QVERIFY2(written, qPrintable(error));
        QCOMPARE(written->size(), 1);
        QCOMPARE(written->first().content, QStringLiteral("after the failure"));
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
        QTest::newRow("an rsync temporary") << ".notes.md.Xa91Qz" << false << notes;
        QTest::newRow("the state file's old-style name") << ".tabs.json.a1B2c3" << false << notes;
        // The tab's file name is a name, never a pattern.
        QTest::newRow("wildcards in the tab's file name") << ".a-notes.md.backup" << false
                                                          << "[ab]*.md";
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
        TabManager manager(persistence());
        QCOMPARE(contents(manager), QStringList{QStringLiteral("kept")});
        QCOMPARE(QFile::exists(m_folder->path(other)), !removed);
        QCOMPARE(output.text(), QByteArray());
    }

    // Without a file nothing is restored and "[]" is written; after that only a change of the tabs
    // writes the file again (every write renames a new file into place, so its identity tells).
    void autosaveWritesOnlyChanges()
    {
        StdoutCapture output;
        TabManager manager(persistence(10ms));
        QVERIFY(manager.tabs().isEmpty());
        QTRY_COMPARE(state(), QByteArray("[]"));
        manager.newTab(QStringLiteral("one"));
        manager.newTab(QStringLiteral("two"));
        QTRY_VERIFY(state().contains("\"two\""));
        const auto identity = [&] {
            struct stat status {};
            ::stat(QFile::encodeName(statePath()).constData(), &status);
            return std::pair(status.st_ino,
                             status.st_mtim.tv_nsec + status.st_mtim.tv_sec * 1000000000);
        };
        const auto written = identity();
        QTest::qWait(200);
        QCOMPARE(identity(), written);

        manager.updateContent(*manager.tabs().first(), QStringLiteral("edited"));
        QTRY_VERIFY(state().contains("edited"));
        manager.closeTab(manager.tabs().first()->id());
        manager.closeCurrentTab();
        QTRY_COMPARE(state(), QByteArray("[]"));
        QCOMPARE(output.text(), QByteArray());
    }

    void restoreOffKeepsThePreviousFile()
    {
        writeState("[" + entry(kUuidA, "earlier") + "]");
        QVERIFY(QFile::copy(statePath(), statePath() + QStringLiteral(".previous")));
        writeState("[" + entry(kUuidB, "last run") + "]");
        TabManager::Persistence settings = persistence(20ms);
        settings.restoreTabs = false;
        // Two runs without restoring and without tabs: the second must not lose the last tabs.
        for (int run = 0; run < 2; ++run) {
            TabManager manager(settings);
            QVERIFY(manager.tabs().isEmpty());
            QTRY_COMPARE(state(), QByteArray("[]"));
        }
        QVERIFY(m_folder->read(kState + QStringLiteral(".previous")).contains("last run"));
        QCOMPARE(modeOf(statePath() + QStringLiteral(".previous")), 0600);
        QCOMPARE(m_folder->files(kAutosave),
                 QStringList({"quillet.lock", "tabs.json", "tabs.json.previous"}));
    }

    void refusesStateFilesThatAreNotRegular_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("FIFO") << QString();
        QTest::newRow("link to /dev/zero") << "/dev/zero";
        QTest::newRow("link to a readable state file") << "elsewhere.json";
    }

    // None of them may hang or grow without end; each is moved aside like any unreadable file, and
    // the next write makes a regular file of its own instead of writing through the link.
    void refusesStateFilesThatAreNotRegular()
    {
        QFETCH(QString, target);
        QDir().mkpath(m_folder->path(kAutosave));
        const QByteArray elsewhere = "[" + entry(kUuidA, "elsewhere") + "]";
        QVERIFY(m_folder->write("elsewhere.json", elsewhere));
        if (target.isEmpty())
            QCOMPARE(::mkfifo(QFile::encodeName(statePath()).constData(), 0600), 0);
        else
            QVERIFY(QFile::link(m_folder->path(target), statePath()));
        {
            StdoutCapture output;
            TabManager manager(persistence());
            QVERIFY(manager.tabs().isEmpty());
            QVERIFY2(output.text().startsWith("Tab restoration failed: ") &&
                         output.text().contains("kept as"),
                     output.text().constData());
            manager.newTab(QStringLiteral("new"));
        }
        QVERIFY(QFileInfo(statePath()).isFile() && !QFileInfo(statePath()).isSymLink());
        QVERIFY(state().contains("\"new\""));
        QCOMPARE(m_folder->read("elsewhere.json"), elsewhere);
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
        TabManager::Persistence settings = persistence(20ms);
        settings.lockWait = holderLetsGo ? std::chrono::milliseconds(30s) : 300ms;
        {
            TabManager manager(settings);
            letGo.join();
            QCOMPARE(manager.stateHeldElsewhere(), !holderLetsGo);
            QCOMPARE(contents(manager),
                     holderLetsGo ? QStringList{"the other run's tab"} : QStringList());
            manager.newTab(QStringLiteral("typed here"));
            if (holderLetsGo)
                QTRY_VERIFY(state().contains("typed here"));
            else
                QTest::qWait(200);
        }
        if (!holderLetsGo) {
            QCOMPARE(state(), saved);
            QCOMPARE(m_folder->files(kAutosave), before);
        }
    }

    void encodesTheFormat()
    {
        const QDateTime created(QDate(2026, 3, 1), QTime(9, 30, 0, 750), Qt::UTC);
        const QByteArray bytes = TabStateFile::encode(
            {{QUuid::fromString(QLatin1String(kUuidA.toLower())), QStringLiteral("T"),
              QStringLiteral("a\"b\n"),
              QUrl::fromLocalFile(QStringLiteral("/home/ann/My Notes/é.md")), created},
             {QUuid::fromString(QLatin1String(kUuidB)), {}, {}, std::nullopt, created}});
        QVERIFY(!bytes.contains('\n') && !bytes.contains(": "));
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

    void roundTripsEveryKindOfText_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("filePath");

        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("quotes, backslashes, controls")
            << QString::fromUtf8("\"\\/\b\f\t\r\n\x01\x1F end") << "/tmp/a b/c.md";
        QTest::newRow("emoji, accents, RTL, NUL")
            << QString::fromUtf8("👩‍💻 e\xCC\x81 שלום ") + QChar(0) + u'!'
            << "/tmp/ünï cödé/#hash?.txt";
        QTest::newRow("unpaired surrogates") << QChar(0xD800) + QStringLiteral("a") + QChar(0xDC00)
                                             << QString();
        // Long enough to be encoded in several pieces, with a pair across every piece boundary.
        QTest::newRow("long text of emoji")
            << QString::fromUtf8("x😀").repeated(300000) << QString();
        QTest::newRow("line and paragraph separators") << "a\u2028b\u2029c" << "/tmp/100%.md";
        // Found by fuzzing: a U+FEFF first in the text or right after an escape was dropped.
        QTest::newRow("zero-width no-break spaces") << "\uFEFFa\n\uFEFFb\uFEFF" << QString();
    }

    // Typed into a tab and written when the manager quits, then restored by the next one.
    void roundTripsEveryKindOfText()
    {
        QFETCH(QString, content);
        QFETCH(QString, filePath);
        const std::optional<QUrl> file =
            filePath.isEmpty() ? std::nullopt : std::optional(QUrl::fromLocalFile(filePath));
        {
            TabManager manager(persistence());
            manager.newTab(QStringLiteral("before"), file);
            manager.updateContent(*manager.currentTab(), content);
        }
        TabManager restarted(persistence());
        QCOMPARE(restarted.tabs().size(), 1);
        QCOMPARE(restarted.tabs().first()->content(), content);
        QCOMPARE(restarted.tabs().first()->filePath(), file);
        if (file)
            QCOMPARE(restarted.tabs().first()->filePath()->toLocalFile(), filePath);
    }

    // A folder where the temporary file would go makes every write fail, even for root; the
    // previous file stays, and once the fault is gone a later interval writes what stayed in
    // memory.
    void failedWritesKeepThePreviousFileAndRetry()
    {
        {
            TabManager manager(persistence());
            manager.newTab(QStringLiteral("kept"));
        }
        const QByteArray before = state();
        const QString autosave = m_folder->path(kAutosave);
        QVERIFY(QFile::rename(autosave, autosave + QStringLiteral(".real")));
        QVERIFY(m_folder->write(kAutosave, {}));
        StdoutCapture output;
        {
            TabManager manager(persistence(20ms));
            manager.newTab(QStringLiteral("only in memory"));
            QTRY_VERIFY(output.text().startsWith("Auto-save failed: "));
            QCOMPARE(m_folder->read(kAutosave + QStringLiteral(".real/tabs.json")), before);

            QVERIFY(QFile::remove(autosave) && QDir().mkpath(autosave));
            QTRY_VERIFY(state().contains("only in memory"));
        }
        for (const QString &line : output.lines())
            QVERIFY2(line.startsWith(QStringLiteral("Auto-save failed: ")), qPrintable(line));
        QVERIFY(output.text().endsWith('\n'));
        QString error;
        QVERIFY2(TabStateFile::decode(state(), &error), qPrintable(error));
    }

private:
    std::unique_ptr<quillet::testing::TempFolder> m_folder;

    TabManager::Persistence persistence(std::chrono::milliseconds interval = 1h) const
    {
        TabManager::Persistence result;
        result.autosaveDirectory = m_folder->path(kAutosave);
        result.autoSaveInterval = interval;
        return result;
    }
    QString statePath() const { return m_folder->path(kState); }
    QByteArray state() const { return m_folder->read(kState); }
    void writeState(const QByteArray &bytes) { QVERIFY(m_folder->write(kState, bytes)); }
};

QTEST_GUILESS_MAIN(PersistenceTest)
#include "tst_persistence.moc"
