#include "auto_saver.h"

#include <atomic>

#include "platform/cancellable_sleep.h"
#include "platform/console.h"

#include <QMetaObject>
#include <QPointer>

#include <condition_variable>
#include <mutex>
#include <optional>

namespace quillet {

namespace {

// False after printing the failure line.
bool writeReporting(const AutoSaver::Write &write, const QList<Scratchpad::Snapshot> &snapshots)
{
    const IoStatus written = write(snapshots);
    if (!written)
        printFailureLine(QStringLiteral("Auto-save failed: "), written.reason());
    return written.ok();
}

} // namespace

struct AutoSaver::State {
    // Read at the start of every wait, so a change applies from the next one.
    std::atomic<std::chrono::milliseconds::rep> interval{0};
    TakeSnapshots takeSnapshots;
    Write write;
    Wait wait;
    CancellableSleep sleep;

    std::mutex mutex;
    std::condition_variable delivered;
    std::optional<QList<Scratchpad::Snapshot>> snapshots;
    bool stopped = false;
};

// Lives on the owner's thread as its child, so a request that arrives after the owner is gone
// dies with it. The worker calls it by name: everything the call carries is made inside QtCore,
// and all data crosses threads under State's mutex, which the thread sanitizer sees.
class AutoSaverRelay : public QObject {
    Q_OBJECT

public:
    AutoSaverRelay(QObject *owner, std::weak_ptr<AutoSaver::State> state)
        : QObject(owner)
        , m_state(std::move(state))
    {
    }

    Q_INVOKABLE void deliverSnapshots()
    {
        const std::shared_ptr<AutoSaver::State> alive = m_state.lock();
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
    }

private:
    const std::weak_ptr<AutoSaver::State> m_state;
};

AutoSaver::AutoSaver(QObject *owner, std::chrono::milliseconds interval,
                     TakeSnapshots takeSnapshots, Write write, Wait wait)
    : m_state(std::make_shared<State>())
{
    if (!wait)
        wait = [](CancellableSleep &sleep, std::chrono::milliseconds duration) {
            return sleep.sleepFor(duration);
        };
    m_state->wait = std::move(wait);
    m_relay = new AutoSaverRelay(owner, m_state);
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
    delete m_relay.data();
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

void AutoSaver::finish()
{
    stop();
    writeReporting(m_state->write, m_state->takeSnapshots());
}

void AutoSaver::run()
{
    const std::shared_ptr<State> state = m_state;
    QObject *const relay = m_relay.data();
    // What the file holds after the last successful write; compared here, off the owner's
    // thread. Unknown at start, so the first interval always writes.
    std::optional<QList<Scratchpad::Snapshot>> lastWritten;
    while (state->wait(state->sleep, std::chrono::milliseconds(state->interval.load()))) {
        {
            std::lock_guard lock(state->mutex);
            if (state->stopped)
                return;
        }
        // The owner's thread takes the snapshots. The relay pointer is read only here and
        // changes only after this thread has been joined.
        QMetaObject::invokeMethod(relay, "deliverSnapshots", Qt::QueuedConnection);

        std::optional<QList<Scratchpad::Snapshot>> snapshots;
        {
            std::unique_lock lock(state->mutex);
            state->delivered.wait(lock, [&] { return state->stopped || state->snapshots; });
            if (state->stopped)
                return;
            snapshots = std::exchange(state->snapshots, std::nullopt);
        }
        if (snapshots == lastWritten)
            continue;
        // Whatever the write does, what it replaces is gone: dropped before it, so that a
        // keystroke during the write never finds three copies of a large text alive.
        lastWritten.reset();
        // Copies of their own, made before the write, which takes a while: a text still shared
        // with its tab makes the tab's next keystroke copy the whole text on the owner's thread.
        for (Scratchpad::Snapshot &snapshot : *snapshots) {
            if (!snapshot.content.isDetached())
                snapshot.content = QString(snapshot.content.constData(), snapshot.content.size());
        }
        if (!writeReporting(state->write, *snapshots))
            continue;
        lastWritten = std::move(snapshots);
    }
}

} // namespace quillet

#include "auto_saver.moc"
