#include "model/auto_saver.h"
#include "model/cancellable_sleep.h"

#include <QtTest>

#include <condition_variable>
#include <mutex>

using namespace std::chrono_literals;
using quillet::AutoSaver;
using quillet::CancellableSleep;
using quillet::Scratchpad;

namespace {

// Stands in for the loop's sleep: notes how long each wait was asked to be and ends it at once,
// so the loop goes round as fast as the owner's thread hands it snapshots.
struct WaitLog {
    std::mutex mutex;
    std::condition_variable noted;
    QList<std::chrono::milliseconds> waits;

    AutoSaver::Wait wait()
    {
        return [this](CancellableSleep &sleep, std::chrono::milliseconds interval) {
            {
                std::lock_guard lock(mutex);
                waits.append(interval);
            }
            noted.notify_all();
            return sleep.sleepFor(0ms);
        };
    }

    // Blocks this thread, without running its event loop, until `count` waits have begun.
    bool awaitCount(qsizetype count)
    {
        std::unique_lock lock(mutex);
        return noted.wait_for(lock, 10s, [&] { return waits.size() >= count; });
    }

    QList<std::chrono::milliseconds> seen()
    {
        std::lock_guard lock(mutex);
        return waits;
    }
};

} // namespace

class AutoSaverTest : public QObject {
    Q_OBJECT

private slots:
    void newIntervalAppliesFromTheNextWait();
};

void AutoSaverTest::newIntervalAppliesFromTheNextWait()
{
    WaitLog log;
    // Counted on this thread, where the owner hands out the snapshots.
    qsizetype taken = 0;
    QObject owner;
    AutoSaver saver(
        &owner, 1h,
        [&] {
            ++taken;
            return QList<Scratchpad::Snapshot>{};
        },
        [](const QList<Scratchpad::Snapshot> &) {}, log.wait());

    std::chrono::milliseconds current = 1h;
    for (const std::chrono::milliseconds next : {2000ms, 30000ms, 3600000ms}) {
        // One wait more than snapshots taken: the loop is in that wait, or parked after it
        // until this thread runs its events, so the change lands while a wait is under way.
        QVERIFY(log.awaitCount(taken + 1));
        const qsizetype begun = taken + 1;
        QCOMPARE(log.seen().size(), begun);
        QCOMPARE(log.seen().last(), current);
        saver.setInterval(next);
        QTRY_VERIFY(log.seen().size() > begun);
        QCOMPARE(log.seen().at(begun), next);
        current = log.seen().last();
    }
    saver.stop();
}

QTEST_GUILESS_MAIN(AutoSaverTest)
#include "tst_auto_saver.moc"
