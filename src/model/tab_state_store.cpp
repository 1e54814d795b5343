#include "tab_state_store.h"

#include "platform/clock.h"
#include "platform/console.h"
#include "platform/durable_file.h"
#include "tab_state_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace quillet {

namespace {

// The stores that autosave, for a process that exits without destroying their owners.
std::mutex g_liveStoresMutex;
QList<TabStateStore *> g_liveStores;

// Whether anything, even a dangling link, is at `path`.
bool entryExists(const QString &path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0;
}

} // namespace

TabStateStore::TabStateStore(TabPersistence persistence)
    : m_persistence(std::move(persistence))
{
    if (!m_persistence.enabled)
        return;
    StateLock::Result result = StateLock::acquire(directory(), m_persistence.lockWait);
    m_lock = std::move(result.lock);
    m_lockError = result.error;
    if (result.outcome == StateLock::Outcome::heldElsewhere) {
        m_heldElsewhere = true;
        m_persistence.enabled = false;
    }
}

TabStateStore::~TabStateStore()
{
    std::lock_guard lock(g_liveStoresMutex);
    g_liveStores.removeOne(this);
}

QString TabStateStore::directory() const
{
    QString directory = m_persistence.autosaveDirectory;
    if (directory.isEmpty()) {
        const QStringList locations =
            QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
        const QString base = locations.isEmpty() ? QDir::homePath() : locations.first();
        directory = base + QStringLiteral("/Quillet/autosave");
    }
    QDir().mkpath(directory); // a failure shows in the read or write that follows
    // It holds every tab's text: for this user's eyes only, also when an earlier run made it.
    ::chmod(QFile::encodeName(directory).constData(), 0700);
    return directory;
}

QString TabStateStore::filePath() const
{
    return directory() + QLatin1Char('/') + QString::fromUtf16(TabStateFile::kFileName);
}

QList<std::shared_ptr<Scratchpad>> TabStateStore::restore()
{
    if (!m_persistence.enabled)
        return {};
    const QString path = filePath();
    // A run that was killed while autosaving leaves its half-written copy behind.
    removeInterruptedWrites(path);
    if (!entryExists(path))
        return {};

    const IoResult<QByteArray> bytes = readPrivateFile(path);
    IoResult<QList<Scratchpad::Snapshot>> restored =
        bytes ? TabStateFile::decode(*bytes) : ioFailure(bytes.reason());
    if (!restored) {
        const IoResult<QString> keptAt = setAsideUnreadableFile(path);
        m_writable = keptAt.ok();
        const QString fate = keptAt ? QStringLiteral("; the file was kept as %1").arg(*keptAt)
                                    : QStringLiteral("; the file could not be moved aside, so "
                                                     "tabs will not be saved until it is");
        printFailureLine(QStringLiteral("Tab restoration failed: "), restored.reason() + fate);
        return {};
    }
    if (!m_persistence.restoreTabs) {
        if (const IoStatus kept = keepPreviousFile(path, *bytes, !restored->isEmpty()); !kept) {
            printFailureLine(QStringLiteral("Tab restoration skipped: "), kept.reason());
            m_writable = false;
        }
        return {};
    }

    QList<std::shared_ptr<Scratchpad>> tabs;
    tabs.reserve(restored->size());
    QSet<QUuid> ids;
    for (Scratchpad::Snapshot &snapshot : *restored) {
        // A save of the tab's file cut short by a kill leaves its temporary beside the file.
        if (snapshot.filePath && snapshot.filePath->isLocalFile())
            removeInterruptedWrites(snapshot.filePath->toLocalFile());
        // Two tabs with one id would share one editor, and one of them would never be saved.
        while (ids.contains(snapshot.id))
            snapshot.id = QUuid::createUuid();
        ids.insert(snapshot.id);
        std::shared_ptr<Scratchpad> tab = Scratchpad::from(snapshot);
        tab->deriveTitle();
        tab->updateCounts();
        tabs.append(std::move(tab));
    }
    return tabs;
}

IoResult<QString> TabStateStore::setAsideUnreadableFile(const QString &path) const
{
    const QString stamp = Clock::now().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    const QString base = path + QStringLiteral(".unreadable-") + stamp;
    for (int attempt = 1; attempt < 1000; ++attempt) {
        const QString candidate = attempt == 1 ? base : base + QStringLiteral("-%1").arg(attempt);
        const QByteArray from = QFile::encodeName(path);
        const QByteArray to = QFile::encodeName(candidate);
        // link() never replaces an existing file, so an earlier one is safe.
        if (::link(from.constData(), to.constData()) == 0) {
            ::unlink(from.constData());
            return candidate;
        }
        if (errno == EEXIST)
            continue;
        const int linkError = errno;
        if (!QFileInfo::exists(candidate) && QFile::rename(path, candidate))
            return candidate;
        return ioFailure(
            QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(linkError))));
    }
    return ioFailure(QStringLiteral("%1: every name for a copy is taken").arg(path));
}

IoStatus TabStateStore::keepPreviousFile(const QString &path, const QByteArray &bytes,
                                         bool hasTabs) const
{
    // A session without tabs never replaces the last one that had some: the user may still
    // want those back.
    if (!hasTabs)
        return {};
    const QString previous = path + QStringLiteral(".previous");
    const auto produce = [&bytes](const WriteChunk &writeChunk) { return writeChunk(bytes); };
    if (const IoStatus kept = writePrivateFileDurably(previous, produce); !kept)
        return ioFailure(QStringLiteral("%1 could not be kept as %2 (%3), so tabs will not be "
                                        "saved this run")
                             .arg(path, previous, kept.reason()));
    return {};
}

void TabStateStore::startAutoSave(QObject *owner, AutoSaver::TakeSnapshots takeSnapshots,
                                  std::function<void()> beforeExitWrite)
{
    // An unreadable file that stayed in place, or a previous run's that could not be kept, is
    // never replaced.
    if (!m_persistence.enabled || !m_writable || m_autoSaver)
        return;
    m_owner = owner;
    m_beforeExitWrite = std::move(beforeExitWrite);
    m_autoSaver = std::make_unique<AutoSaver>(
        owner, m_persistence.autoSaveInterval, std::move(takeSnapshots),
        [this](const QList<Scratchpad::Snapshot> &snapshots) { return write(snapshots); });
    static std::once_flag registered;
    std::call_once(registered, [] { std::atexit(&TabStateStore::finishAtExit); });
    std::lock_guard lock(g_liveStoresMutex);
    g_liveStores.append(this);
}

void TabStateStore::setAutoSaveInterval(std::chrono::milliseconds interval)
{
    m_persistence.autoSaveInterval = interval;
    if (m_autoSaver)
        m_autoSaver->setInterval(interval);
}

void TabStateStore::finish()
{
    if (!m_autoSaver || m_finished)
        return;
    m_finished = true;
    {
        std::lock_guard lock(g_liveStoresMutex);
        g_liveStores.removeOne(this);
    }
    m_autoSaver->finish();
}

void TabStateStore::finishAtExit()
{
    // exit() runs this on the thread that called it, which is the main thread when a platform
    // plugin gives up on its display; the owners are then alive but never destroyed.
    std::lock_guard lock(g_liveStoresMutex);
    for (TabStateStore *store : std::as_const(g_liveStores)) {
        if (store->m_owner->thread() != QThread::currentThread())
            continue;
        if (store->m_beforeExitWrite)
            store->m_beforeExitWrite();
        store->m_finished = true;
        store->m_autoSaver->finish();
    }
    g_liveStores.clear();
}

IoStatus TabStateStore::write(const QList<Scratchpad::Snapshot> &snapshots) const
{
    // Streamed: a second copy of every tab's text would double the memory an autosave needs.
    const auto produce = [&snapshots](const WriteChunk &writeChunk) {
        return TabStateFile::encode(snapshots, writeChunk);
    };
    return writePrivateFileDurably(filePath(), produce);
}

} // namespace quillet
