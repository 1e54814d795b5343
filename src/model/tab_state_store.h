#pragma once

#include "auto_saver.h"
#include "platform/io_result.h"
#include "scratchpad.h"
#include "state_lock.h"

#include <QList>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

namespace quillet {

// Where the open tabs are kept between runs. Tests point it at a temporary folder.
struct TabPersistence {
    // Empty: the platform's per-user data folder followed by "Quillet/autosave".
    QString autosaveDirectory;
    std::chrono::milliseconds autoSaveInterval{5000};
    // Without it, nothing is restored and nothing is written.
    bool enabled = true;
    // Off: start with no tabs; the previous run's file, when it had tabs, is kept as
    // "tabs.json.previous" before the first autosave replaces it.
    bool restoreTabs = true;
    // How long construction waits for another process to let go of the folder's lock.
    std::chrono::milliseconds lockWait{5000};
    // Off: a tab manager built with it only takes the lock, and its `restoreSavedTabs()` reads
    // the tabs back and starts the autosave, so that a window can show before tens of megabytes
    // of saved text are read.
    bool restoreAtConstruction = true;

    // Nothing restored, nothing written: for tabs that live only in memory.
    static TabPersistence disabled()
    {
        TabPersistence persistence;
        persistence.enabled = false;
        return persistence;
    }
};

// The saved-tabs file and its folder: the lock that makes this process their only reader and
// writer, the last run's tabs read back at start, and the autosave that keeps the file fresh
// until the end of the run. Its failures print their line and leave the file as it was.
class TabStateStore {
public:
    // Takes the folder's lock, waiting as long as `persistence` says.
    explicit TabStateStore(TabPersistence persistence);
    ~TabStateStore();
    TabStateStore(const TabStateStore &) = delete;
    TabStateStore &operator=(const TabStateStore &) = delete;

    // The folder of the saved-tabs file, created with its parents on every call.
    QString directory() const;
    QString filePath() const;
    // Another process held the folder's lock through the whole wait at construction: this store
    // then reads nothing and never writes or clears anything there.
    bool heldElsewhere() const { return m_heldElsewhere; }
    QString lockError() const { return m_lockError; }

    // The last run's tabs in file order, titled and counted from their text, under ids unique
    // among them; none when restoring is off or the file cannot be used. Clears what writes cut
    // short by a kill left behind. Called once, before startAutoSave().
    QList<std::shared_ptr<Scratchpad>> restore();

    // From now on `takeSnapshots`, run on the owner's thread, gives what every interval writes,
    // and what is written once more at finish() or at a process exit that destroys no owner;
    // `beforeExitWrite` runs on the owner's thread before the latter.
    void startAutoSave(QObject *owner, AutoSaver::TakeSnapshots takeSnapshots,
                       std::function<void()> beforeExitWrite = {});
    // The autosave period from the next wait on.
    void setAutoSaveInterval(std::chrono::milliseconds interval);
    // Stops the autosave and writes the owner's tabs a last time: the last interval's edits
    // would otherwise be lost at every quit. Only the first call does anything.
    void finish();

private:
    // Encodes and writes; safe on any thread.
    IoStatus write(const QList<Scratchpad::Snapshot> &snapshots) const;
    // Moves an unreadable state file aside so no write replaces it; gives the new path.
    IoResult<QString> setAsideUnreadableFile(const QString &path) const;
    // Writes the state file's `bytes` durably to "<file>.previous" when they hold tabs.
    IoStatus keepPreviousFile(const QString &path, const QByteArray &bytes, bool hasTabs) const;
    // The write a process makes when it ends without unwinding main(), as Qt's X11 connection
    // does when the display goes away.
    static void finishAtExit();

    TabPersistence m_persistence;
    // Outlives the autosave task and the last write.
    std::unique_ptr<StateLock> m_lock;
    bool m_heldElsewhere = false;
    QString m_lockError;
    // False when an unreadable state file could not be moved aside, or the previous run's
    // could not be kept: the file is then never overwritten.
    bool m_writable = true;
    QObject *m_owner = nullptr;
    std::function<void()> m_beforeExitWrite;
    std::unique_ptr<AutoSaver> m_autoSaver;
    bool m_finished = false;
};

} // namespace quillet
