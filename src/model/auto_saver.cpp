#include "auto_saver.h"

#include <atomic>

#include "cancellable_sleep.h"

#include <QMetaObject>

#include <condition_variable>
#include <mutex>
#include <optional>

namespace quillet {

struct AutoSaver::State {
    QObject *owner = nullptr; // outlives the worker: its destruction stops the loop first
    // Read at the start of every wait, so a change applies from the next one.
    std::atomic<std::chrono::milliseconds::rep> interval{0};
    TakeSnapshots takeSnapshots;
    Write write;
    CancellableSleep sleep;

    std::mutex mutex;
    std::condition_variable delivered;
    std::optional<QList<Scratchpad::Snapshot>> snapshots;
    bool stopped = false;
};

AutoSaver::AutoSaver(QObject *owner, std::chrono::milliseconds interval,
                     TakeSnapshots takeSnapshots, Write write)
    : m_state(std::make_shared<State>())
{
    m_state->owner = owner;
    m_state->interval = interval.count();
    m_state->takeSnapshots = std::move(takeSnapshots);
    m_state->write = std::move(write);
    m_worker = std::thread([this] { run(); });
}

void AutoSaver::setInterval(std::chrono::milliseconds interval)
{
    m_state->interval = interval.count();
}

AutoSaver::~AutoSaver()
{
    stop();
}

void AutoSaver::stop()
{
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stopped = true;
    }
    m_state->delivered.notify_all();
    m_state->sleep.cancel();
    if (m_worker.joinable())
        m_worker.join();
}

void AutoSaver::run()
{
    const std::shared_ptr<State> state = m_state;
    while (state->sleep.sleepFor(std::chrono::milliseconds(state->interval.load()))) {
        {
            std::lock_guard lock(state->mutex);
            if (state->stopped)
                return;
        }
        // The owner's thread takes the snapshots; the queued call dies with the owner.
        const std::weak_ptr<State> weakState = state;
        QMetaObject::invokeMethod(
            state->owner,
            [weakState] {
                const std::shared_ptr<State> alive = weakState.lock();
                if (!alive)
                    return;
                QList<Scratchpad::Snapshot> snapshots = alive->takeSnapshots();
                {
                    std::lock_guard lock(alive->mutex);
                    if (alive->stopped)
                        return;
                    alive->snapshots = std::move(snapshots);
                }
                alive->delivered.notify_all();
            },
            Qt::QueuedConnection);

        std::optional<QList<Scratchpad::Snapshot>> snapshots;
        {
            std::unique_lock lock(state->mutex);
            state->delivered.wait(lock, [&] { return state->stopped || state->snapshots; });
            if (state->stopped)
                return;
            snapshots = std::exchange(state->snapshots, std::nullopt);
        }
        state->write(*snapshots);
    }
}

} // namespace quillet
