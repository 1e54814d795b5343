#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quillet {

// A sleep that other threads can cut short. The time is measured on a clock that keeps counting
// while the computer is suspended, so an interval spent asleep counts as elapsed.
class CancellableSleep {
public:
    CancellableSleep();
    ~CancellableSleep();
    CancellableSleep(const CancellableSleep &) = delete;
    CancellableSleep &operator=(const CancellableSleep &) = delete;

    // Returns false at once, or as soon as cancel() is called, once cancelled.
    bool sleepFor(std::chrono::milliseconds duration);
    void cancel();
    bool isCancelled() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_cancelled = false;
    int m_timerFd = -1;
    int m_wakeFd = -1;
};

} // namespace quillet
