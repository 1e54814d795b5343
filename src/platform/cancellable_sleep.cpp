#include "cancellable_sleep.h"

#if defined(__linux__)
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace quillet {

CancellableSleep::CancellableSleep()
{
#if defined(__linux__)
    m_timerFd = ::timerfd_create(CLOCK_BOOTTIME, TFD_CLOEXEC);
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
#endif
}

CancellableSleep::~CancellableSleep()
{
#if defined(__linux__)
    if (m_timerFd >= 0)
        ::close(m_timerFd);
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
#endif
}

bool CancellableSleep::sleepFor(std::chrono::milliseconds duration)
{
#if defined(__linux__)
    if (m_timerFd >= 0 && m_wakeFd >= 0) {
        if (isCancelled())
            return false;
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
        itimerspec deadline{};
        deadline.it_value.tv_sec = seconds.count();
        deadline.it_value.tv_nsec =
            std::chrono::duration_cast<std::chrono::nanoseconds>(duration - seconds).count();
        if (deadline.it_value.tv_sec == 0 && deadline.it_value.tv_nsec == 0)
            deadline.it_value.tv_nsec = 1; // zero would disarm the timer
        ::timerfd_settime(m_timerFd, 0, &deadline, nullptr);
        pollfd fds[2] = {{m_timerFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        while (true) {
            const int ready = ::poll(fds, 2, -1);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready < 0 || (fds[1].revents & POLLIN) || isCancelled())
                return !isCancelled();
            if (fds[0].revents & POLLIN) {
                std::uint64_t expirations = 0;
                [[maybe_unused]] const ssize_t read = ::read(m_timerFd, &expirations, sizeof expirations);
                return !isCancelled();
            }
        }
    }
#endif
    // Elsewhere the steady clock is the best there is.
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_for(lock, duration, [this] { return m_cancelled; });
}

void CancellableSleep::cancel()
{
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
    }
    m_wake.notify_all();
#if defined(__linux__)
    if (m_wakeFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
    }
#endif
}

bool CancellableSleep::isCancelled() const
{
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

} // namespace quillet
