#include "platform/durable_file.h"
#include "model/tab_manager.h"
#include "platform/text_file.h"
#include "support/fake_file_panels.h"
#include "support/stdout_capture.h"
#include "support/temp_folder.h"

#include <QtTest>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

using quillet::TabManager;
using quillet::testing::FakeFilePanels;
using quillet::testing::StdoutCapture;

class FileOperationsTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_folder = std::make_unique<quillet::testing::TempFolder>();
    }

    void opensLargeAndHostileFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("failure");

        const QByteArray none;
        const QString invalid = QStringLiteral("not valid UTF-8");
        QTest::newRow("200 MB") << "large" << none << QString();
        QTest::newRow("200 MB, quit while it is read") << "quit" << none << QString();
        QTest::newRow("50 MB on one line") << "long line" << none << QString();
        QTest::newRow("NUL bytes") << "bytes" << QByteArray("a\0b\0", 4) << QString();
        QTest::newRow("empty") << "bytes" << none << QString();
        QTest::newRow("byte-order mark dropped")
            << "bytes" << QByteArray("\xEF\xBB\xBFhi") << QString();
        QTest::newRow("Latin-1 byte") << "bytes" << QByteArray("caf\xE9 au lait") << invalid;
        QTest::newRow("truncated sequence at the end")
            << "bytes" << QByteArray("caf\xC3") << invalid;
        QTest::newRow("FIFO") << "fifo" << none << "is not a regular file";
        QTest::newRow("device") << "device" << none << "is not a regular file";
        QTest::newRow("vanished after the panel") << "vanished" << none << "No such file";
        QTest::newRow("16 GB, more than memory holds") << "huge" << none << "too large to open";
    }

    // Chosen between two copies of one small file: a strict UTF-8 file becomes one clean tab
    // holding exactly its text (less a byte-order mark), in the chosen order; anything else prints
    // the one failure line and opens nothing. None may hang, nor hold the event loop while a large
    // file is read; quitting meanwhile keeps the other tabs.
    void opensLargeAndHostileFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, failure);
        constexpr qsizetype kMegabyte = 1024 * 1024;
        QString target = path("f.txt");
        const bool large = kind == u"large" || kind == u"quit";
        auto [owned, panels] = managerWithPanels(persistence());
        TabManager &manager = *owned;
        if (large) {
            // Sparse, so it costs no disk: text at both ends and in the middle, NULs between.
            createFile(target, "head\n");
            QFile file(target);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.resize(200 * kMegabyte));
            QVERIFY(file.seek(100 * kMegabyte) && file.write("middle \xC3\xA9\n") == 10);
            QVERIFY(file.seek(200 * kMegabyte - 4) && file.write("tail") == 4);
        } else if (kind == u"long line") {
            // Five bytes a repeat, so the points where a reader working in pieces would cut fall
            // at every place within a four-byte character.
            bytes = QByteArray("x\xF0\x9F\x91\x8D").repeated(10 * kMegabyte);
            createFile(target, bytes);
        } else if (kind == u"bytes") {
            createFile(target, bytes);
        } else if (kind == u"huge") {
            createFile(target, "head\n");
            QVERIFY(QFile::resize(target, 16 * 1024 * kMegabyte));
        } else if (kind == u"fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
        } else if (kind == u"device") {
            target = QStringLiteral("/dev/zero");
        } else {
            // Removed while the user is still in the open panel, after choosing it.
            createFile(target, "soon gone");
            panels->whileOpening = [target] { QFile::remove(target); };
        }
        createFile("good.md", "# Good\ntext");
        const QUrl good = QUrl::fromLocalFile(path("good.md"));
        panels->filesToOpen = {good, QUrl::fromLocalFile(target), good};
        manager.newTab(QStringLiteral("kept"));

        StdoutCapture output;
        manager.openFile();
        if (kind == u"quit") {
            owned.reset();
            QCOMPARE(output.lines(), QStringList());
            QVERIFY(m_folder->read("state/tabs.json").contains("\"content\":\"kept\""));
            return;
        }
        int turns = 0;
        int turnsBeforeTab = -1;
        QTimer turn;
        connect(&turn, &QTimer::timeout, [&] { ++turns; });
        connect(&manager, &TabManager::tabsChanged, [&] { turnsBeforeTab = turns; });
        turn.start(0);
        QTRY_VERIFY_WITH_TIMEOUT(!manager.isOpeningFiles(), 60000);
        const QStringList lines = output.lines();

        if (large)
            QVERIFY2(turnsBeforeTab > 0, "the event loop stood still while the file was read");
        const auto tabs = manager.tabs();
        QCOMPARE(tabs.size(), failure.isEmpty() ? 4 : 3);
        QCOMPARE(manager.currentTabIndex(), tabs.size() - 1);
        QCOMPARE(tabs.first()->content(), QStringLiteral("kept"));
        for (const auto &tab : tabs.sliced(1))
            QVERIFY(!tab->isDirty());
        QCOMPARE(tabs.at(1)->filePath(), good);
        QCOMPARE(tabs.last()->content(), QStringLiteral("# Good\ntext"));
        QVERIFY(tabs.at(1)->id() != tabs.last()->id());
        if (!failure.isEmpty()) {
            QCOMPARE(lines.size(), 1);
            QVERIFY2(lines.first().startsWith(QStringLiteral("Failed to open file: ") + target +
                                              QStringLiteral(": ")) &&
                         lines.first().contains(failure),
                     qPrintable(lines.first()));
            return;
        }
        QCOMPARE(lines, QStringList());
        const QString text = tabs.at(2)->content();
        if (large) {
            // One two-byte character, so one unit fewer than there are bytes.
            QCOMPARE(text.size(), 200 * kMegabyte - 1);
            QCOMPARE(text.first(5), QStringLiteral("head\n"));
            QCOMPARE(text.sliced(100 * kMegabyte, 9), QStringLiteral("middle \u00E9\n"));
            QCOMPARE(text.last(4), QStringLiteral("tail"));
            QCOMPARE(text.count(QChar(u'\0')), text.size() - 18);
        } else {
            const QString expected =
                QString::fromUtf8(bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes);
            QCOMPARE(text.size(), expected.size());
            QVERIFY(text == expected); // QCOMPARE would print the whole text on a mismatch
        }
    }

    // Save asks for a place only while the tab has no file; Save As always asks and moves the tab;
    // a cancelled panel changes nothing.
    void savesAndSavesAs()
    {
        auto [manager, panels] = managerWithPanels();
        manager->openFile(); // cancelled
        QCOMPARE(panels->openRequests, 1);
        QVERIFY(manager->tabs().isEmpty());
        manager->saveCurrent(); // no current tab: no panel
        QVERIFY(panels->proposedNames.isEmpty());

        manager->newTab();
        manager->saveCurrent(); // cancelled
        QCOMPARE(panels->proposedNames, QStringList{"Untitled.md"});
        const auto tab = manager->currentTab();
        QVERIFY(!tab->filePath());

        panels->saveLocation = QUrl::fromLocalFile(path("report.md"));
        manager->updateContent(*tab, QStringLiteral("Quarterly figures"));
        manager->saveCurrent();
        QCOMPARE(m_folder->read("report.md"), QByteArray("Quarterly figures"));
        QVERIFY(!tab->isDirty());

        manager->updateContent(*tab, QStringLiteral("# Plan"));
        manager->saveCurrent();
        QCOMPARE(panels->proposedNames.size(), 2);
        QCOMPARE(m_folder->read("report.md"), QByteArray("# Plan"));
        QVERIFY(!tab->isDirty());

        panels->saveLocation = QUrl::fromLocalFile(path("new.md"));
        manager->saveCurrentAs();
        QCOMPARE(panels->proposedNames.size(), 3);
        QCOMPARE(panels->proposedNames.last(), QStringLiteral("report.md"));
        QCOMPARE(tab->filePath(), QUrl::fromLocalFile(path("new.md")));
        QCOMPARE(tab->title(), QStringLiteral("new"));
        QCOMPARE(m_folder->read("new.md"), QByteArray("# Plan"));
    }

    void proposesANameAFileCanHave_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("name");

        QTest::newRow("slash") << "Q3/Q4 plan" << "Q3-Q4 plan.md";
        QTest::newRow("backslash and control") << "a\\b\u0007c" << "a-b-c.md";
        QTest::newRow("only dots") << ".." << "Untitled.md";
    }

    // The proposed name saves into the folder the panel is in, not a sub-folder.
    void proposesANameAFileCanHave()
    {
        QFETCH(QString, title);
        QFETCH(QString, name);
        auto [manager, panels] = managerWithPanels();
        manager->newTab();
        manager->currentTab()->setTitle(title);
        manager->saveCurrentAs();
        QCOMPARE(panels->proposedNames, QStringList{name});
    }

    void failedSaveChangesNothing_data()
    {
        QTest::addColumn<QString>("target");
        // Tests may run as root, who can write into read-only folders; these fail for everyone.
        QTest::newRow("missing parent folder") << "no/such/folder/x.md";
        QTest::newRow("parent is a regular file") << "plain.txt/x.md";
        QTest::newRow("target is a folder") << "a-folder";
    }

    void failedSaveChangesNothing()
    {
        QFETCH(QString, target);
        createFile("plain.txt", "x");
        QDir().mkpath(path("a-folder"));
        auto [manager, panels] = managerWithPanels();
        manager->newTab(QStringLiteral("# Draft"));
        manager->updateContent(*manager->currentTab(), QStringLiteral("# Draft\ntext"));
        panels->saveLocation = QUrl::fromLocalFile(path(target));

        StdoutCapture output;
        manager->saveCurrent();
        QCOMPARE(output.lines().size(), 1);
        QVERIFY2(output.text().startsWith("Failed to save file: ") && output.text().endsWith('\n'),
                 output.text().constData());
        const auto tab = manager->currentTab();
        QVERIFY(tab->isDirty());
        QVERIFY(!tab->filePath());
        QCOMPARE(tab->title(), QStringLiteral("Draft"));
        QCOMPARE(m_folder->files(), QStringList{"plain.txt"});
    }

    // Exactly the text's bytes (no byte-order mark, no added line end), into the file a link
    // names, which keeps its mode; no temporary file is left behind.
    void writesExactBytesThroughLinksKeepingMode()
    {
        createFile("real.md", "old");
        QCOMPARE(::chmod(QFile::encodeName(path("real.md")).constData(), 0740), 0);
        QVERIFY(QFile::link(path("real.md"), path("link.md")));
        const QString text = QString::fromUtf8("é👍\r\n\tend");
        QVERIFY(quillet::writeUtf8TextFile(path("link.md"), text).ok());
        QCOMPARE(m_folder->read("real.md"), text.toUtf8());
        QVERIFY(quillet::writeUtf8TextFile(path("link.md"), QString()).ok());
        QCOMPARE(m_folder->read("real.md"), QByteArray());

        QVERIFY(QFileInfo(path("link.md")).isSymLink());
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(path("real.md")).constData(), &info), 0);
        QCOMPARE(info.st_mode & 07777, mode_t(0740));
        QCOMPARE(m_folder->files(), QStringList({"link.md", "real.md"}));
    }

    void durableWriteFailures_data()
    {
        QTest::addColumn<int>("writeError");
        QTest::addColumn<int>("failingSync"); // 1: the file's, 2: the folder's
        QTest::addColumn<bool>("failRename");
        QTest::addColumn<QByteArray>("contentAfter");

        QTest::newRow("write fails") << EIO << 0 << false << QByteArray("old");
        QTest::newRow("disk full") << ENOSPC << 0 << false << QByteArray("old");
        QTest::newRow("file sync fails") << 0 << 1 << false << QByteArray("old");
        QTest::newRow("rename fails") << 0 << 0 << true << QByteArray("old");
        // After the rename only durability is in doubt; it is still reported.
        QTest::newRow("folder sync fails") << 0 << 2 << false << QByteArray("new");
    }

    void durableWriteFailures()
    {
        QFETCH(int, writeError);
        QFETCH(int, failingSync);
        QFETCH(bool, failRename);
        createFile("t.json", "old");
        quillet::DurableWriteSystem system;
        // One byte at a time, the first going through, so a full disk is met halfway into the file.
        int writeCalls = 0;
        system.write = [&](int fd, const void *data, unsigned long size) -> long {
            if (writeError != 0 && ++writeCalls > 1) {
                errno = writeError;
                return -1;
            }
            return ::write(fd, data, writeError != 0 ? 1 : size);
        };
        int syncCalls = 0;
        system.sync = [&](int fd) {
            errno = EIO;
            return ++syncCalls == failingSync ? -1 : ::fsync(fd);
        };
        system.rename = [&](const char *from, const char *to) {
            errno = EXDEV;
            return failRename ? -1 : ::rename(from, to);
        };
        // A descriptor left open on any way out would make saves fail after a thousand or so.
        const auto openDescriptors = [] {
            return QDir(QStringLiteral("/proc/self/fd"))
                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                .size();
        };
        const qsizetype openBefore = openDescriptors();
        const quillet::IoStatus written = quillet::writeFileDurably(path("t.json"), "new", system);
        QCOMPARE(openDescriptors(), openBefore);
        QVERIFY(!written);
        const QString error = written.reason();
        QVERIFY2(error.contains(path("t.json")), qPrintable(error));
        if (writeError != 0)
            QVERIFY2(error.contains(QString::fromLocal8Bit(std::strerror(writeError))),
                     qPrintable(error));
        QTEST(m_folder->read("t.json"), "contentAfter");
        QCOMPARE(m_folder->files(), QStringList{"t.json"});
    }

    void refusesUnsafeSaves_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("asNobody");
        QTest::addColumn<QString>("failure");

        const QString denied = QStringLiteral(": Permission denied");
        QTest::newRow("read-only file of the user's own") << "read-only" << true << denied;
        QTest::newRow("another user's file in a folder the user may write")
            << "foreign" << true << denied;
        QTest::newRow("another user's link in a sticky shared folder")
            << "planted link" << false << denied;
        QTest::newRow("own link in a sticky shared folder is followed")
            << "own link" << false << QString();
        QTest::newRow("device node in place of the file")
            << "device" << false << ": is not a regular file";
    }

    // Saving replaces a file by renaming over it, which only needs the folder's permission; it must
    // still write nothing where the user could not write, nor through a link the kernel would not
    // follow. The cases with another user run the save in a child that has become "nobody".
    void refusesUnsafeSaves()
    {
        QFETCH(QString, kind);
        QFETCH(bool, asNobody);
        QFETCH(QString, failure);
        if (::geteuid() != 0 && kind != u"read-only")
            QSKIP("needs root to give files to another user");
        constexpr uid_t kNobody = 65534;
        const bool dropPrivileges = asNobody && ::geteuid() == 0;
        QCOMPARE(::chmod(QFile::encodeName(path({})).constData(), 0777), 0);

        QString target = path("note.md");
        const QString victim = target;
        const QByteArray old = "the other version";
        const QByteArray native = QFile::encodeName(target);
        if (kind == u"planted link" || kind == u"own link") {
            QVERIFY(QDir().mkpath(path("shared")));
            QCOMPARE(::chmod(QFile::encodeName(path("shared")).constData(), 01777), 0);
            createFile(victim, old);
            target = path("shared/note.md");
            QVERIFY(QFile::link(victim, target));
            if (kind == u"planted link")
                QCOMPARE(::lchown(QFile::encodeName(target).constData(), kNobody, kNobody), 0);
        } else if (kind == u"device") {
            QCOMPARE(::mknod(native.constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
        } else {
            createFile(target, old);
            if (kind == u"read-only" && dropPrivileges)
                QCOMPARE(::chown(native.constData(), kNobody, kNobody), 0);
            QCOMPARE(::chmod(native.constData(), kind == u"read-only" ? 0444 : 0644), 0);
        }

        const auto save = [&] {
            return quillet::writeUtf8TextFile(target, QStringLiteral("mine")).reason();
        };
        QString error;
        if (dropPrivileges) {
            int pipe[2];
            QCOMPARE(::pipe(pipe), 0);
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                    ::_exit(3);
                const QByteArray result = save().toUtf8();
                const auto written = ::write(pipe[1], result.constData(), size_t(result.size()));
                ::_exit(written == result.size() ? 0 : 4);
            }
            ::close(pipe[1]);
            QFile reader;
            QVERIFY(reader.open(pipe[0], QIODevice::ReadOnly, QFile::AutoCloseHandle));
            error = QString::fromUtf8(reader.readAll());
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        } else {
            error = save();
        }

        struct stat status {};
        QCOMPARE(::lstat(QFile::encodeName(target).constData(), &status), 0);
        QCOMPARE(S_ISLNK(status.st_mode), kind.endsWith(u"link"));
        if (failure.isEmpty()) {
            QCOMPARE(error, QString());
            QCOMPARE(m_folder->read(victim), QByteArray("mine"));
            return;
        }
        QVERIFY2(error.endsWith(failure) && error.contains(QFileInfo(target).fileName()),
                 qPrintable(error));
        if (kind == u"device")
            QVERIFY(S_ISCHR(status.st_mode));
        else
            QCOMPARE(m_folder->read(victim), old);
        QCOMPARE(m_folder->files(QFileInfo(target).absolutePath()).filter("quillet-write"),
                 QStringList());
    }

    void neverOverwritesAnotherProgramsChange_data()
    {
        QTest::addColumn<QString>("flow");
        QTest::addColumn<QByteArray>("onDisk");
        QTest::addColumn<QString>("inTab");
        QTest::addColumn<bool>("conflict");

        const QByteArray mine = "mine", theirs = "theirs";
        QTest::newRow("changed, then Ctrl+S: refused") << "save" << theirs << "mine" << true;
        QTest::newRow("restored tab, changed while closed, then Ctrl+S: refused")
            << "restart and save" << theirs << "mine" << true;
        QTest::newRow("touched, same text: saved") << "touch and save" << mine << "mine" << false;
        QTest::newRow("replaced by a folder, then Ctrl+S: refused")
            << "folder" << QByteArray() << "mine" << true;
        QTest::newRow("refused, then Overwrite") << "overwrite" << mine << "mine" << false;
        QTest::newRow("refused, then Reload") << "reload" << theirs << "theirs" << false;
        QTest::newRow("changed, then Save As onto it: saved")
            << "save as" << mine << "mine" << false;
        QTest::newRow("clean tab follows the disk") << "follow" << theirs << "theirs" << false;
        QTest::newRow("clean tab follows a write in place")
            << "follow in place" << theirs << "theirs" << false;
    }

    // A tab remembers what its file was when it last read or wrote it; a file another program
    // changed since is never replaced without the user choosing so, and both versions stay within
    // reach.
    void neverOverwritesAnotherProgramsChange()
    {
        QFETCH(QString, flow);
        QFETCH(QString, inTab);
        QFETCH(bool, conflict);
        const QString file = path("notes.md");
        createFile(file, "first");
        auto [manager, panels] = managerWithPanels(persistence());
        panels->filesToOpen = {QUrl::fromLocalFile(file)};
        panels->saveLocation = QUrl::fromLocalFile(file);
        manager->openFile();
        QTRY_VERIFY(manager->currentTab());
        // Another program writes its own version, by replacing the file as editors do.
        const auto change = [&](const QByteArray &bytes) {
            createFile("theirs.tmp", bytes);
            QVERIFY(::rename(QFile::encodeName(path("theirs.tmp")).constData(),
                             QFile::encodeName(file).constData()) == 0);
        };
        if (flow.startsWith(u"follow")) {
            manager->updateCursorPosition(*manager->currentTab(), 3);
            flow == u"follow" ? change("theirs") : createFile(file, "theirs");
            QTRY_COMPARE(manager->currentTab()->content(), inTab);
            QVERIFY(!manager->currentTab()->isDirty());
            return;
        }
        manager->updateContent(*manager->currentTab(), QStringLiteral("mine"));
        if (flow == u"restart and save") {
            manager.reset(); // quits, writing the tab with what its file was
            change("theirs");
            manager =
                std::make_unique<TabManager>(persistence(), std::make_unique<FakeFilePanels>());
            QCOMPARE(manager->currentTab()->content(), QStringLiteral("mine"));
        } else if (flow == u"folder") {
            QVERIFY(QFile::remove(file) && QDir().mkdir(file));
        } else {
            change(flow == u"touch and save" ? "first" : "theirs");
            // Time for the file watch's news, which must leave unsaved text alone.
            QTest::qWait(200);
        }

        StdoutCapture output;
        flow == u"save as" ? manager->saveCurrentAs() : manager->saveCurrent();
        const auto tab = manager->currentTab();
        if (flow == u"overwrite")
            manager->overwriteOnDisk(*tab);
        else if (flow == u"reload")
            manager->reloadFromDisk(*tab);

        QTEST(m_folder->read(file), "onDisk");
        QCOMPARE(tab->content(), inTab);
        QCOMPARE(tab->hasConflict(), conflict);
        QCOMPARE(tab->isDirty(), conflict);
        const QStringList lines = output.lines();
        if (conflict || flow == u"overwrite" || flow == u"reload") {
            QCOMPARE(lines.size(), 1);
            QVERIFY2(lines.first().startsWith(QStringLiteral("Failed to save file: ") + file +
                                              QStringLiteral(": the file was changed")),
                     qPrintable(lines.first()));
        } else {
            QCOMPARE(lines, QStringList());
        }
    }

private:
    std::unique_ptr<quillet::testing::TempFolder> m_folder;
    QString path(const QString &name) const { return m_folder->path(name); }
    void createFile(const QString &name, const QByteArray &bytes)
    {
        QVERIFY(m_folder->write(name, bytes));
    }
    // A tab manager with fake panels, by default without persistence; the panels stay usable by
    // the test.
    std::pair<std::unique_ptr<TabManager>, FakeFilePanels *>
    managerWithPanels(TabManager::Persistence persistence = TabManager::Persistence::disabled())
    {
        auto owned = std::make_unique<FakeFilePanels>();
        FakeFilePanels *panels = owned.get();
        return {std::make_unique<TabManager>(persistence, std::move(owned)), panels};
    }
    TabManager::Persistence persistence() const
    {
        return {.autosaveDirectory = path("state"), .autoSaveInterval = std::chrono::hours(1)};
    }
};

QTEST_GUILESS_MAIN(FileOperationsTest)
#include "tst_file_operations.moc"
