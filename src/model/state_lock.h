#pragma once

#include <QString>

#include <chrono>
#include <memory>

namespace quillet {

// An exclusive flock on a file in the autosave folder, held as long as the object lives. Only
// its holder writes the saved tabs or clears the folder's leftovers, so two processes sharing a
// home never write over each other. The kernel lets go when the process ends, however it ends.
class StateLock {
public:
    static constexpr char16_t kFileName[] = u"quillet.lock";

    enum class Outcome {
        acquired,
        // Another process held it for the whole wait.
        heldElsewhere,
        // The lock file cannot be opened (the folder is missing or read-only); writes there
        // fail on their own.
        unavailable,
    };

    struct Result {
        Outcome outcome = Outcome::unavailable;
        std::unique_ptr<StateLock> lock; // set when acquired
        QString error;                   // set otherwise
    };

    // Waits up to `wait` for a holder to let go: a process that is quitting may still be
    // writing its last state.
    static Result acquire(const QString &folder, std::chrono::milliseconds wait);

    ~StateLock();
    StateLock(const StateLock &) = delete;
    StateLock &operator=(const StateLock &) = delete;

private:
    explicit StateLock(int fd)
        : m_fd(fd)
    {
    }

    int m_fd;
};

} // namespace quillet
