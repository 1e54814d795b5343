#pragma once

#include "platform/io_result.h"
#include "scratchpad.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace quillet {

class CancellableSleep;
class AutoSaverRelay;

// The background loop that keeps the saved-tabs file fresh. Every interval it asks the owner's
// thread for snapshots (a cheap copy of shared strings, so nothing is torn and the owner never
// waits on disk), then encodes and writes them on its own thread, unless they equal what the
// last successful write stored: an editor left open must not rewrite megabytes every interval.
// It refers to its owner weakly: a request that arrives after the owner is gone is dropped.
// A failed write prints "Auto-save failed: " and its reason; the next interval writes again.
class AutoSaver {
public:
    using TakeSnapshots = std::function<QList<Scratchpad::Snapshot>()>;
    // Succeeds only when the file now holds exactly these snapshots.
    using Write = std::function<IoStatus(const QList<Scratchpad::Snapshot> &)>;
    // One wait between saves, on the worker: sleeps `interval` on `sleep` and returns false once
    // the sleep is cancelled. Tests pass their own to see each wait's length without waiting.
    using Wait = std::function<bool(CancellableSleep &sleep, std::chrono::milliseconds interval)>;

    // `takeSnapshots` runs on the owner's thread, `write` on the worker. Without `wait`, the loop
    // sleeps the whole interval.
    AutoSaver(QObject *owner, std::chrono::milliseconds interval, TakeSnapshots takeSnapshots,
              Write write, Wait wait = {});
    // Stops the loop; a write in progress is finished first.
    ~AutoSaver();
    AutoSaver(const AutoSaver &) = delete;
    AutoSaver &operator=(const AutoSaver &) = delete;

    void stop();
    // Stops the loop, then writes the owner's snapshots once more, on the owner's thread.
    void finish();
    // Takes effect at the next wait; the one in progress runs its course.
    void setInterval(std::chrono::milliseconds interval);

private:
    struct State;
    void run();

    friend class AutoSaverRelay;

    std::shared_ptr<State> m_state;
    QPointer<QObject> m_relay; // a child of the owner, which may delete it first
    std::thread m_worker;
};

} // namespace quillet
