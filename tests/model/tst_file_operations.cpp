#include "model/durable_file.h"
#include "model/tab_manager.h"
#include "model/text_file.h"
#include "support/fake_file_panels.h"
#include "support/stdout_capture.h"

#include <QDir>
#include <QTemporaryDir>
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

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void createFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A tab manager with fake panels and no persistence; `panels` stays usable by the test.
std::unique_ptr<TabManager> managerWithPanels(FakeFilePanels *&panels)
{
    auto owned = std::make_unique<FakeFilePanels>();
    panels = owned.get();
    return std::make_unique<TabManager>(TabManager::Persistence::disabled(), std::move(owned));
}

// Removes a file while the user is still in the open panel, after choosing it.
class VanishingFilePanels : public FakeFilePanels {
public:
    QString vanishing;

    std::optional<QList<QUrl>> chooseFilesToOpen() override
    {
        if (!vanishing.isEmpty())
            QFile::remove(vanishing);
        return FakeFilePanels::chooseFilesToOpen();
    }
};

QStringList printedLines(StdoutCapture &output)
{
    QStringList lines = QString::fromUtf8(output.text()).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class FileOperationsTest : public QObject {
    Q_OBJECT

private slots:
    void init();

    void readsStrictUtf8_data();
    void readsStrictUtf8();
    void refusesHostileFiles_data();
    void refusesHostileFiles();
    void opensChosenFilesInOrder();
    void openCancelledChangesNothing();
    void opensTheSameFileTwice();
    void opensLargeAndHostileFiles_data();
    void opensLargeAndHostileFiles();
    void saveAsksOnlyWithoutFile();
    void saveAsMovesTabToNewFile();
    void failedSaveChangesNothing_data();
    void failedSaveChangesNothing();
    void writesExactBytes();
    void keepsPermissionsAndSymlinks();
    void durableWriteFailures_data();
    void durableWriteFailures();
    void refusesUnsafeSaves_data();
    void refusesUnsafeSaves();
    void proposesANameAFileCanHave_data();
    void proposesANameAFileCanHave();
    void neverOverwritesAnotherProgramsChange_data();
    void neverOverwritesAnotherProgramsChange();

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    QString path(const QString &name) const { return m_folder->filePath(name); }
};

void FileOperationsTest::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
}

void FileOperationsTest::readsStrictUtf8_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QString>("text");

    QTest::newRow("plain") << QByteArray("hello\r\nworld") << true
                           << QStringLiteral("hello\r\nworld");
    QTest::newRow("empty") << QByteArray() << true << QString();
    QTest::newRow("byte-order mark dropped")
        << QByteArray("\xEF\xBB\xBFhi") << true << QStringLiteral("hi");
    QTest::newRow("multibyte") << QByteArray("caf\xC3\xA9 \xF0\x9F\x91\x8D") << true
                               << QString::fromUtf8("café 👍");
    QTest::newRow("Latin-1 byte") << QByteArray("caf\xE9 au lait") << false << QString();
    QTest::newRow("truncated sequence at the end") << QByteArray("caf\xC3") << false << QString();
    QTest::newRow("overlong encoding") << QByteArray("\xC0\xAF") << false << QString();
    QTest::newRow("encoded surrogate") << QByteArray("\xED\xA0\x80") << false << QString();
}

void FileOperationsTest::readsStrictUtf8()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, readable);
    createFile(path("f.txt"), bytes);
    QString error;
    const std::optional<QString> text = quillet::readUtf8TextFile(path("f.txt"), &error);
    QCOMPARE(text.has_value(), readable);
    if (readable)
        QTEST(*text, "text");
    else
        QVERIFY(error.contains(path("f.txt")));
}

void FileOperationsTest::refusesHostileFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("failure");

    // A FIFO without a writer would block an ordinary open; a device would be read forever.
    QTest::newRow("FIFO") << QStringLiteral("fifo") << QStringLiteral("is not a regular file");
    QTest::newRow("device") << QStringLiteral("device") << QStringLiteral("is not a regular file");
    QTest::newRow("vanished before the read")
        << QStringLiteral("vanished") << QStringLiteral("No such file");
    QTest::newRow("NUL bytes are text") << QStringLiteral("nul") << QString();
}

void FileOperationsTest::refusesHostileFiles()
{
    QFETCH(QString, kind);
    QFETCH(QString, failure);
    QString target = path("f.txt");
    if (kind == u"fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
    else if (kind == u"device")
        target = QStringLiteral("/dev/zero");
    else if (kind == u"vanished") {
        createFile(target, "soon gone");
        QVERIFY(QFile::remove(target));
    } else
        createFile(target, QByteArray("a\0b\0", 4));

    QString error;
    const std::optional<QString> text = quillet::readUtf8TextFile(target, &error);
    if (failure.isEmpty()) {
        QVERIFY(text.has_value());
        QCOMPARE(*text, QStringView(u"a\0b\0", 4).toString());
    } else {
        QVERIFY(!text.has_value());
        QVERIFY2(error.startsWith(target + QStringLiteral(": ")) && error.contains(failure),
                 qPrintable(error));
    }
}

void FileOperationsTest::opensChosenFilesInOrder()
{
    createFile(path("meeting.md"), "# Meeting notes\nagenda");
    createFile(path("shopping.txt"), "");
    createFile(path("latin1.txt"), "caf\xE9");
    QDir().mkpath(path("folder.md"));
    FakeFilePanels *panels = nullptr;
    auto manager = managerWithPanels(panels);
    panels->filesToOpen = QList<QUrl>{
        QUrl::fromLocalFile(path("meeting.md")), QUrl::fromLocalFile(path("latin1.txt")),
        QUrl::fromLocalFile(path("missing.md")), QUrl::fromLocalFile(path("folder.md")),
        QUrl::fromLocalFile(path("shopping.txt"))};

    StdoutCapture output;
    manager->openFile();
    QTRY_VERIFY(!manager->isOpeningFiles());
    const QStringList lines = printedLines(output);

    QCOMPARE(manager->tabs().size(), 2);
    QCOMPARE(manager->tabs().at(0)->title(), QStringLiteral("Meeting notes"));
    QCOMPARE(manager->tabs().at(1)->title(), QStringLiteral("shopping"));
    for (const auto &tab : manager->tabs())
        QVERIFY(!tab->isDirty());
    QCOMPARE(manager->currentTabIndex(), 1);
    QCOMPARE(manager->tabs().at(0)->filePath(), QUrl::fromLocalFile(path("meeting.md")));

    QCOMPARE(lines.size(), 3);
    for (const QString &line : lines)
        QVERIFY2(line.startsWith(QStringLiteral("Failed to open file: ")), qPrintable(line));
    QVERIFY(lines.at(0).contains(QStringLiteral("latin1.txt")));
    QVERIFY(lines.at(1).contains(QStringLiteral("missing.md")));
    QVERIFY(lines.at(2).contains(QStringLiteral("folder.md")));
}

void FileOperationsTest::openCancelledChangesNothing()
{
    FakeFilePanels *panels = nullptr;
    auto manager = managerWithPanels(panels);
    manager->openFile();
    QCOMPARE(panels->openRequests, 1);
    QVERIFY(manager->tabs().isEmpty());
}

void FileOperationsTest::opensTheSameFileTwice()
{
    createFile(path("a.md"), "same");
    FakeFilePanels *panels = nullptr;
    auto manager = managerWithPanels(panels);
    panels->filesToOpen = QList<QUrl>{QUrl::fromLocalFile(path("a.md"))};
    manager->openFile();
    manager->openFile();
    QTRY_COMPARE(manager->tabs().size(), 2);
    QVERIFY(manager->tabs().at(0)->id() != manager->tabs().at(1)->id());
    manager->updateContent(*manager->tabs().at(0), QStringLiteral("changed"));
    QCOMPARE(manager->tabs().at(1)->content(), QStringLiteral("same"));
}

void FileOperationsTest::opensLargeAndHostileFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("failure");

    QTest::newRow("200 MB") << QStringLiteral("large") << QString();
    QTest::newRow("200 MB, quit while it is read") << QStringLiteral("quit") << QString();
    QTest::newRow("50 MB on one line") << QStringLiteral("long line") << QString();
    QTest::newRow("NUL bytes") << QStringLiteral("nul") << QString();
    QTest::newRow("FIFO") << QStringLiteral("fifo") << QStringLiteral("is not a regular file");
    QTest::newRow("device") << QStringLiteral("device") << QStringLiteral("is not a regular file");
    QTest::newRow("vanished after the panel")
        << QStringLiteral("vanished") << QStringLiteral("No such file");
    QTest::newRow("16 GB, more than memory holds")
        << QStringLiteral("huge") << QStringLiteral("too large to open");
}

// Through the open panel: a readable file becomes one tab holding exactly its text; anything
// else prints the one failure line and leaves the tabs as they were. None of them may hang, nor
// hold the event loop while a large file is read; quitting meanwhile keeps the other tabs.
void FileOperationsTest::opensLargeAndHostileFiles()
{
    QFETCH(QString, kind);
    QFETCH(QString, failure);
    constexpr qsizetype kMegabyte = 1024 * 1024;
    QString target = path("f.txt");
    QString expected;
    bool large = false;
    auto panels = std::make_unique<VanishingFilePanels>();
    VanishingFilePanels *vanishing = panels.get();
    if (kind == u"large" || kind == u"quit") {
        // Sparse, so it costs no disk: text at both ends and in the middle, NULs between.
        createFile(target, "head\n");
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.resize(200 * kMegabyte));
        QVERIFY(file.seek(100 * kMegabyte));
        QCOMPARE(file.write("middle \xC3\xA9\n"), 10);
        QVERIFY(file.seek(200 * kMegabyte - 4));
        QCOMPARE(file.write("tail"), 4);
        file.close();
        // Checked in pieces below rather than built: the text alone is 400 MB.
        large = true;
    } else if (kind == u"long line") {
        // Multibyte characters across the points where a reader working in pieces would cut.
        QByteArray bytes(50 * kMegabyte, 'x');
        for (qsizetype at = kMegabyte - 1; at + 4 < bytes.size(); at += kMegabyte)
            bytes.replace(at, 4, "\xF0\x9F\x91\x8D");
        createFile(target, bytes);
        expected = QString::fromUtf8(bytes);
    } else if (kind == u"nul") {
        createFile(target, QByteArray("a\0b\0", 4));
        expected = QStringView(u"a\0b\0", 4).toString();
    } else if (kind == u"huge") {
        createFile(target, "head\n");
        QVERIFY(QFile::resize(target, 16 * 1024 * kMegabyte));
    } else if (kind == u"fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
    } else if (kind == u"device") {
        target = QStringLiteral("/dev/zero");
    } else {
        createFile(target, "soon gone");
        vanishing->vanishing = target;
    }
    vanishing->filesToOpen = QList<QUrl>{QUrl::fromLocalFile(target)};
    TabManager::Persistence persistence;
    persistence.autosaveDirectory = path("state");
    persistence.autoSaveInterval = std::chrono::hours(1);
    auto owned = std::make_unique<TabManager>(persistence, std::move(panels));
    TabManager &manager = *owned;
    manager.newTab(QStringLiteral("kept"));

    StdoutCapture output;
    manager.openFile();
    if (kind == u"quit") {
        owned.reset();
        QCOMPARE(printedLines(output), QStringList());
        QVERIFY(readFile(path("state/tabs.json")).contains("\"content\":\"kept\""));
        return;
    }
    int turns = 0;
    int turnsBeforeTab = -1;
    QTimer turn;
    connect(&turn, &QTimer::timeout, [&] { ++turns; });
    connect(&manager, &TabManager::tabsChanged, [&] { turnsBeforeTab = turns; });
    turn.start(0);
    QTRY_VERIFY_WITH_TIMEOUT(!manager.isOpeningFiles(), 60000);
    const QStringList lines = printedLines(output);

    if (large)
        QVERIFY2(turnsBeforeTab > 0, "the event loop stood still while the file was read");
    if (failure.isEmpty()) {
        QVERIFY(lines.isEmpty());
        QCOMPARE(manager.tabs().size(), 2);
        QCOMPARE(manager.currentTabIndex(), 1);
        const QString text = manager.currentTab()->content();
        if (large) {
            // One two-byte character, so one unit fewer than there are bytes.
            QCOMPARE(text.size(), 200 * kMegabyte - 1);
            QCOMPARE(text.first(5), QStringLiteral("head\n"));
            QCOMPARE(text.sliced(100 * kMegabyte, 9), QStringLiteral("middle \u00E9\n"));
            QCOMPARE(text.last(4), QStringLiteral("tail"));
            QCOMPARE(text.count(QChar(u'\0')), text.size() - 18);
        } else {
            // QCOMPARE would print the whole text on a mismatch.
            QCOMPARE(text.size(), expected.size());
            QVERIFY(text == expected);
        }
        QVERIFY(!manager.currentTab()->isDirty());
    } else {
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith(QStringLiteral("Failed to open file: ") + target +
                                          QStringLiteral(": ")) &&
                     lines.first().contains(failure),
                 qPrintable(lines.first()));
        QCOMPARE(manager.tabs().size(), 1);
        QCOMPARE(manager.currentTabIndex(), 0);
        QCOMPARE(manager.currentTab()->content(), QStringLiteral("kept"));
    }
}

void FileOperationsTest::saveAsksOnlyWithoutFile()
{
    FakeFilePanels *panels = nullptr;
    auto manager = managerWithPanels(panels);
    manager->saveCurrent(); // no current tab: nothing, no panel
    QVERIFY(panels->proposedNames.isEmpty());

    manager->newTab();
    manager->saveCurrent(); // cancelled
    QCOMPARE(panels->proposedNames, QStringList{"Untitled.md"});
    QVERIFY(!manager->currentTab()->filePath());

    panels->saveLocation = QUrl::fromLocalFile(path("report.md"));
    manager->updateContent(*manager->currentTab(), QStringLiteral("Quarterly figures"));
    manager->saveCurrent();
    const auto tab = manager->currentTab();
    QCOMPARE(readFile(path("report.md")), QByteArray("Quarterly figures"));
    QCOMPARE(tab->title(), QStringLiteral("report"));
    QVERIFY(!tab->isDirty());
    QCOMPARE(tab->filePath(), QUrl::fromLocalFile(path("report.md")));

    // With a file, saving writes at once without asking.
    manager->updateContent(*tab, QStringLiteral("Quarterly figures, revised"));
    QCOMPARE(tab->title(), QStringLiteral("Quarterly figures, revised"));
    QVERIFY(tab->isDirty());
    manager->saveCurrent();
    QCOMPARE(panels->proposedNames.size(), 2);
    QCOMPARE(readFile(path("report.md")), QByteArray("Quarterly figures, revised"));
    QVERIFY(!tab->isDirty());
}

void FileOperationsTest::saveAsMovesTabToNewFile()
{
    createFile(path("old.md"), "# Plan");
    FakeFilePanels *panels = nullptr;
    auto manager = managerWithPanels(panels);
    panels->filesToOpen = QList<QUrl>{QUrl::fromLocalFile(path("old.md"))};
    manager->openFile();
    QTRY_VERIFY(manager->currentTab());
    panels->saveLocation = QUrl::fromLocalFile(path("new.md"));
    manager->saveCurrentAs();
    QCOMPARE(panels->proposedNames, QStringList{"Plan.md"});
    QCOMPARE(manager->currentTab()->filePath(), QUrl::fromLocalFile(path("new.md")));
    QCOMPARE(manager->currentTab()->title(), QStringLiteral("new"));
    QCOMPARE(readFile(path("new.md")), QByteArray("# Plan"));
}

void FileOperationsTest::failedSaveChangesNothing_data()
{
    QTest::addColumn<QString>("target");
    // Tests may run as root, who can write into read-only folders; these fail for everyone.
    QTest::newRow("missing parent folder") << QStringLiteral("no/such/folder/x.md");
    QTest::newRow("parent is a regular file") << QStringLiteral("plain.txt/x.md");
    QTest::newRow("target is a folder") << QStringLiteral("a-folder");
}

void FileOperationsTest::failedSaveChangesNothing()
{
    QFETCH(QString, target);
    createFile(path("plain.txt"), "x");
    QDir().mkpath(path("a-folder"));
    FakeFilePanels *panels = nullptr;
    auto manager = managerWithPanels(panels);
    manager->newTab(QStringLiteral("# Draft"));
    manager->updateContent(*manager->currentTab(), QStringLiteral("# Draft\ntext"));
    panels->saveLocation = QUrl::fromLocalFile(path(target));

    StdoutCapture output;
    manager->saveCurrent();
    const QStringList lines = printedLines(output);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().startsWith(QStringLiteral("Failed to save file: ")),
             qPrintable(lines.first()));
    QVERIFY(output.text().endsWith('\n'));
    const auto tab = manager->currentTab();
    QVERIFY(tab->isDirty());
    QVERIFY(!tab->filePath());
    QCOMPARE(tab->title(), QStringLiteral("Draft"));
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void FileOperationsTest::writesExactBytes()
{
    const QString text = QString::fromUtf8("no BOM, no final line end: é👍\r\n\tend");
    QCOMPARE(quillet::writeUtf8TextFile(path("x.txt"), text), std::nullopt);
    QCOMPARE(readFile(path("x.txt")), text.toUtf8());
    QCOMPARE(quillet::writeUtf8TextFile(path("x.txt"), QString()), std::nullopt);
    QCOMPARE(readFile(path("x.txt")), QByteArray());
    // No temporary file is left behind.
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"x.txt"});
}

void FileOperationsTest::keepsPermissionsAndSymlinks()
{
    createFile(path("real.md"), "old");
    QVERIFY(QFile::setPermissions(path("real.md"), QFile::ReadOwner | QFile::WriteOwner |
                                                       QFile::ReadGroup | QFile::ExeOwner));
    QVERIFY(QFile::link(path("real.md"), path("link.md")));
    QCOMPARE(quillet::writeUtf8TextFile(path("link.md"), QStringLiteral("new")), std::nullopt);

    QVERIFY(QFileInfo(path("link.md")).isSymLink());
    QCOMPARE(readFile(path("real.md")), QByteArray("new"));
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(path("real.md")).constData(), &info), 0);
    QCOMPARE(info.st_mode & 07777, mode_t(0740));
}

void FileOperationsTest::durableWriteFailures_data()
{
    QTest::addColumn<int>("writeError");
    QTest::addColumn<bool>("failSync");
    QTest::addColumn<bool>("failRename");
    QTest::addColumn<bool>("failFolderSync");
    QTest::addColumn<QByteArray>("contentAfter");

    QTest::newRow("write fails") << EIO << false << false << false << QByteArray("old");
    QTest::newRow("disk full") << ENOSPC << false << false << false << QByteArray("old");
    QTest::newRow("file sync fails") << 0 << true << false << false << QByteArray("old");
    QTest::newRow("rename fails") << 0 << false << true << false << QByteArray("old");
    // After the rename only durability is in doubt; it is still reported.
    QTest::newRow("folder sync fails") << 0 << false << false << true << QByteArray("new");
}

void FileOperationsTest::durableWriteFailures()
{
    QFETCH(int, writeError);
    QFETCH(bool, failSync);
    QFETCH(bool, failRename);
    QFETCH(bool, failFolderSync);
    createFile(path("t.json"), "old");
    int syncCalls = 0;
    quillet::DurableWriteSystem system;
    // The first piece goes through, so a full disk is met halfway into the file.
    int writeCalls = 0;
    system.write = [&](int fd, const void *data, unsigned long size) -> long {
        if (writeError != 0 && ++writeCalls > 1) {
            errno = writeError;
            return -1;
        }
        return ::write(fd, data, writeError != 0 ? 1 : size);
    };
    system.sync = [&](int fd) {
        const bool folder = ++syncCalls == 2;
        if ((!folder && failSync) || (folder && failFolderSync)) {
            errno = EIO;
            return -1;
        }
        return ::fsync(fd);
    };
    system.rename = [&](const char *from, const char *to) {
        if (failRename) {
            errno = EXDEV;
            return -1;
        }
        return ::rename(from, to);
    };
    const std::optional<QString> error = quillet::writeFileDurably(path("t.json"), "new", system);
    QVERIFY(error.has_value());
    QVERIFY2(error->contains(path("t.json")), qPrintable(*error));
    if (writeError != 0)
        QVERIFY2(error->contains(QString::fromLocal8Bit(std::strerror(writeError))),
                 qPrintable(*error));
    QTEST(readFile(path("t.json")), "contentAfter");
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"t.json"});
}

void FileOperationsTest::refusesUnsafeSaves_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("asNobody");
    QTest::addColumn<QString>("failure");

    QTest::newRow("read-only file of the user's own")
        << QStringLiteral("read-only") << true << QStringLiteral(": Permission denied");
    QTest::newRow("another user's file in a folder the user may write")
        << QStringLiteral("foreign") << true << QStringLiteral(": Permission denied");
    QTest::newRow("another user's link in a sticky shared folder")
        << QStringLiteral("planted link") << false << QStringLiteral(": Permission denied");
    QTest::newRow("own link in a sticky shared folder is followed")
        << QStringLiteral("own link") << false << QString();
    QTest::newRow("device node in place of the file")
        << QStringLiteral("device") << false << QStringLiteral(": is not a regular file");
}

// Saving replaces a file by renaming over it, which only needs the folder's permission; it must
// still write nothing where the user could not write, nor through a link the kernel would not
// follow. The cases with another user run the save in a child that has become "nobody".
void FileOperationsTest::refusesUnsafeSaves()
{
    QFETCH(QString, kind);
    QFETCH(bool, asNobody);
    QFETCH(QString, failure);
    if (::geteuid() != 0 && kind != u"read-only")
        QSKIP("needs root to give files to another user");
    constexpr uid_t kNobody = 65534;
    const bool dropPrivileges = asNobody && ::geteuid() == 0;
    const QByteArray folder = QFile::encodeName(m_folder->path());
    QCOMPARE(::chmod(folder.constData(), 0777), 0);

    QString target = path("note.md");
    QString victim = target;
    const QByteArray old = "the other version";
    if (kind == u"planted link" || kind == u"own link") {
        QVERIFY(QDir().mkpath(path("shared")));
        QCOMPARE(::chmod(QFile::encodeName(path("shared")).constData(), 01777), 0);
        createFile(victim, old);
        target = path("shared/note.md");
        QVERIFY(QFile::link(victim, target));
        if (kind == u"planted link")
            QCOMPARE(::lchown(QFile::encodeName(target).constData(), kNobody, kNobody), 0);
    } else if (kind == u"device") {
        QCOMPARE(::mknod(QFile::encodeName(target).constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
    } else {
        createFile(target, old);
        const QByteArray native = QFile::encodeName(target);
        if (kind == u"read-only") {
            if (dropPrivileges)
                QCOMPARE(::chown(native.constData(), kNobody, kNobody), 0);
            QCOMPARE(::chmod(native.constData(), 0444), 0);
        } else {
            QCOMPARE(::chmod(native.constData(), 0644), 0); // root's, readable by all
        }
    }

    QString error;
    if (dropPrivileges) {
        int pipe[2];
        QCOMPARE(::pipe(pipe), 0);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            ::close(pipe[0]);
            if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                ::_exit(3);
            const QByteArray result = quillet::writeUtf8TextFile(target, QStringLiteral("mine"))
                                          .value_or(QString())
                                          .toUtf8();
            ::_exit(::write(pipe[1], result.constData(), size_t(result.size())) == result.size()
                        ? 0
                        : 4);
        }
        ::close(pipe[1]);
        QByteArray result;
        char buffer[512];
        for (ssize_t count; (count = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
            result.append(buffer, count);
        ::close(pipe[0]);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        error = QString::fromUtf8(result);
    } else {
        error = quillet::writeUtf8TextFile(target, QStringLiteral("mine")).value_or(QString());
    }

    if (failure.isEmpty()) {
        QCOMPARE(error, QString());
        QCOMPARE(readFile(victim), QByteArray("mine"));
        QVERIFY(QFileInfo(target).isSymLink());
        return;
    }
    QVERIFY2(error.endsWith(failure) && error.contains(QFileInfo(target).fileName()),
             qPrintable(error));
    struct stat status {};
    QCOMPARE(::lstat(QFile::encodeName(target).constData(), &status), 0);
    if (kind == u"device") {
        QVERIFY(S_ISCHR(status.st_mode));
    } else {
        QCOMPARE(readFile(victim), old);
        QCOMPARE(S_ISLNK(status.st_mode), kind == u"planted link");
    }
    // Nothing of the refused write is left behind.
    QCOMPARE(QDir(QFileInfo(target).absolutePath())
                 .entryList(QDir::Files | QDir::Hidden | QDir::System)
                 .filter(QStringLiteral("quillet-write")),
             QStringList());
}

void FileOperationsTest::proposesANameAFileCanHave_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("name");

    QTest::newRow("plain title") << QStringLiteral("Plan") << QStringLiteral("Plan.md");
    QTest::newRow("slash") << QStringLiteral("Q3/Q4 plan") << QStringLiteral("Q3-Q4 plan.md");
    QTest::newRow("backslash and control")
        << QStringLiteral("a\\b\u0007c") << QStringLiteral("a-b-c.md");
    QTest::newRow("only dots") << QStringLiteral("..") << QStringLiteral("Untitled.md");
}

// Through Save As: the proposed name saves into the folder the panel is in, not a sub-folder.
void FileOperationsTest::proposesANameAFileCanHave()
{
    QFETCH(QString, title);
    QFETCH(QString, name);
    FakeFilePanels *panels = nullptr;
    auto manager = managerWithPanels(panels);
    manager->newTab();
    manager->currentTab()->setTitle(title);
    manager->saveCurrentAs();
    QCOMPARE(panels->proposedNames, QStringList{name});
}

void FileOperationsTest::neverOverwritesAnotherProgramsChange_data()
{
    QTest::addColumn<QString>("flow");
    QTest::addColumn<QByteArray>("onDisk");
    QTest::addColumn<QString>("inTab");
    QTest::addColumn<bool>("conflict");

    QTest::newRow("changed, then Ctrl+S: refused")
        << QStringLiteral("save") << QByteArray("theirs") << QStringLiteral("mine") << true;
    QTest::newRow("restored tab, changed while closed, then Ctrl+S: refused")
        << QStringLiteral("restart and save") << QByteArray("theirs") << QStringLiteral("mine")
        << true;
    QTest::newRow("touched, same text: saved")
        << QStringLiteral("touch and save") << QByteArray("mine") << QStringLiteral("mine")
        << false;
    QTest::newRow("refused, then Overwrite")
        << QStringLiteral("overwrite") << QByteArray("mine") << QStringLiteral("mine") << false;
    QTest::newRow("refused, then Reload")
        << QStringLiteral("reload") << QByteArray("theirs") << QStringLiteral("theirs") << false;
    QTest::newRow("changed, then Save As onto it: saved")
        << QStringLiteral("save as") << QByteArray("mine") << QStringLiteral("mine") << false;
    QTest::newRow("clean tab follows the disk")
        << QStringLiteral("follow") << QByteArray("theirs") << QStringLiteral("theirs") << false;
}

// A tab remembers what its file was when it last read or wrote it; a file another program
// changed since is never replaced without the user choosing so, and both versions stay within
// reach.
void FileOperationsTest::neverOverwritesAnotherProgramsChange()
{
    QFETCH(QString, flow);
    QFETCH(QByteArray, onDisk);
    QFETCH(QString, inTab);
    QFETCH(bool, conflict);
    const QString file = path("notes.md");
    const QUrl url = QUrl::fromLocalFile(file);
    createFile(file, "first");
    TabManager::Persistence persistence;
    persistence.autosaveDirectory = path("state");
    persistence.autoSaveInterval = std::chrono::hours(1);
    auto panels = std::make_unique<FakeFilePanels>();
    panels->filesToOpen = QList<QUrl>{url};
    panels->saveLocation = url;
    auto manager = std::make_unique<TabManager>(persistence, std::move(panels));
    manager->openFile();
    QTRY_VERIFY(manager->currentTab());
    // Another program writes its own version, by replacing the file as editors do.
    const auto change = [&](const QByteArray &bytes) {
        createFile(path("theirs.tmp"), bytes);
        QVERIFY(QFile::rename(path("theirs.tmp"), file) ||
                (QFile::remove(file) && QFile::rename(path("theirs.tmp"), file)));
    };
    if (flow == u"follow") {
        manager->updateCursorPosition(*manager->currentTab(), 3);
        change("theirs");
        QTRY_COMPARE(manager->currentTab()->content(), inTab);
        QVERIFY(!manager->currentTab()->isDirty());
        return;
    }
    manager->updateContent(*manager->currentTab(), QStringLiteral("mine"));
    if (flow == u"restart and save") {
        manager.reset(); // quits, writing the tab with what its file was
        change("theirs");
        manager = std::make_unique<TabManager>(persistence, std::make_unique<FakeFilePanels>());
        QCOMPARE(manager->currentTab()->content(), QStringLiteral("mine"));
    } else if (flow == u"touch and save") {
        change("first");
    } else {
        change("theirs");
    }

    StdoutCapture output;
    if (flow == u"save as")
        manager->saveCurrentAs();
    else
        manager->saveCurrent();
    const auto tab = manager->currentTab();
    if (flow == u"overwrite")
        manager->overwriteOnDisk(*tab);
    else if (flow == u"reload")
        manager->reloadFromDisk(*tab);

    QCOMPARE(readFile(file), onDisk);
    QCOMPARE(tab->content(), inTab);
    QCOMPARE(tab->hasConflict(), conflict);
    QCOMPARE(tab->isDirty(), conflict);
    const QStringList lines = printedLines(output);
    if (conflict || flow == u"overwrite" || flow == u"reload") {
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith(QStringLiteral("Failed to save file: ") + file +
                                          QStringLiteral(": the file was changed")),
                 qPrintable(lines.first()));
    } else {
        QCOMPARE(lines, QStringList());
    }
}

QTEST_GUILESS_MAIN(FileOperationsTest)
#include "tst_file_operations.moc"
