#include "model/auto_saver.h"
#include "platform/cancellable_sleep.h"

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
    void newIntervalAppliesFromTheNextWait()
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
            [](const QList<Scratchpad::Snapshot> &) { return true; }, log.wait());

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
        QTest::newRow("failed edit undone") << S{"a", "b", "a"} << B{true, false, true}
                                            << S{"a", "b", "a"};
    }

    void writesOnlyWhatTheFileLacks()
    {
        QFETCH(QStringList, offered);
        QFETCH(QList<bool>, succeeds);
        QFETCH(QStringList, written);

        const QUuid id = QUuid::createUuid();
        const QDateTime created = QDateTime::currentDateTimeUtc();
        WaitLog log;
        qsizetype taken = 0;
        std::mutex mutex;
        QStringList writes;
        QObject owner;
        AutoSaver saver(
            &owner, 1h,
            [&] {
                // A fresh string each time: equal text must be found equal by content.
                const QString text =
                    QString(offered.at(std::min(taken, offered.size() - 1)).data());
                ++taken;
                return QList<Scratchpad::Snapshot>{{id, text, text, {}, created}};
            },
            [&](const QList<Scratchpad::Snapshot> &snapshots) {
                std::lock_guard lock(mutex);
                writes.append(snapshots.first().content);
                return succeeds.at(std::min(writes.size(), succeeds.size()) - 1);
            },
            log.wait());
        // A wait begins only after the interval before it has been written or skipped.
        QTRY_VERIFY(log.seen().size() > offered.size());
        saver.stop();
        std::lock_guard lock(mutex);
        QCOMPARE(writes, written);
    }
};

QTEST_GUILESS_MAIN(AutoSaverTest)
#include "tst_auto_saver.moc"
