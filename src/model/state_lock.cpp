#include "state_lock.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quillet {

StateLock::Result StateLock::acquire(const QString &folder, std::chrono::milliseconds wait)
{
    const QString path = folder + QLatin1Char('/') + QString::fromUtf16(kFileName);
    const QByteArray native = QFile::encodeName(path);
    int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    // Someone else's lock file can still be locked through a read-only descriptor.
    if (fd < 0 && errno == EACCES)
        fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {Outcome::unavailable, nullptr,
                QStringLiteral("Cannot open %1: %2")
                    .arg(path, QString::fromLocal8Bit(std::strerror(errno)))};
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return {Outcome::acquired, std::unique_ptr<StateLock>(new StateLock(fd)), {}};
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            if (error == EWOULDBLOCK)
                return {Outcome::heldElsewhere, nullptr,
                        QStringLiteral("another process holds %1").arg(path)};
            return {Outcome::unavailable, nullptr,
                    QStringLiteral("Cannot lock %1: %2")
                        .arg(path, QString::fromLocal8Bit(std::strerror(error)))};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

StateLock::~StateLock()
{
    ::close(m_fd);
}

} // namespace quillet
