#include "durable_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet {

namespace {

// The sibling a write of `fileName` goes through first; mkostemp fills in the X's.
QString temporaryNameTemplate(const QString &fileName)
{
    return QLatin1Char('.') + fileName + QStringLiteral(".XXXXXX");
}

QString describe(const QString &what, const QString &path, int error)
{
    return QStringLiteral("%1 %2: %3").arg(what, path, QString::fromLocal8Bit(std::strerror(error)));
}

// The permissions a newly created file gets: what open() would give with this process's umask.
mode_t newFileMode()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return mode_t(0666 & ~mask);
            }
        }
    }
    return 0644;
}

using WriteCall = std::function<long(int fd, const void *data, unsigned long size)>;

bool writeAll(const WriteCall &write, int fd, QByteArrayView bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const long written = write(fd, data, static_cast<unsigned long>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// The file a write to `path` must replace: the end of a chain of symbolic links, so the links
// stay in place.
QString resolvedTarget(const QString &path)
{
    QString target = QFileInfo(path).absoluteFilePath();
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(target);
        if (!info.isSymLink())
            return target;
        target = info.symLinkTarget();
    }
    return target;
}

} // namespace

std::optional<QString> writeFileDurably(const QString &path, const QByteArray &bytes,
                                        const DurableWriteSystem &system)
{
    return writeFileDurably(
        path, [&bytes](const WriteChunk &writeChunk) { return writeChunk(bytes); }, system);
}

std::optional<QString> writeFileDurably(const QString &path, const ContentProducer &produce,
                                        const DurableWriteSystem &system)
{
    const WriteCall write = system.write ? system.write
                                         : [](int fd, const void *data, unsigned long size) {
                                               return long(::write(fd, data, size));
                                           };
    const auto sync = system.sync ? system.sync : [](int fd) { return ::fsync(fd); };
    const auto rename = system.rename ? system.rename
                                      : [](const char *from, const char *to) {
                                            return ::rename(from, to);
                                        };

    const QString target = resolvedTarget(path);
    const QFileInfo targetInfo(target);
    const QString folder = targetInfo.absolutePath();
    const QByteArray nativeTarget = QFile::encodeName(target);
    QByteArray temporary =
        QFile::encodeName(folder + QLatin1Char('/') + temporaryNameTemplate(targetInfo.fileName()));

    struct stat existing {};
    const bool replacing = ::stat(nativeTarget.constData(), &existing) == 0;
    if (replacing && S_ISDIR(existing.st_mode))
        return describe(QStringLiteral("Cannot replace"), target, EISDIR);

    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return describe(QStringLiteral("Cannot create a file in"), folder, errno);
    auto fail = [&](const QString &what, int error) {
        ::close(fd);
        ::unlink(temporary.constData());
        return describe(what, target, error);
    };

    if (replacing) {
        ::fchmod(fd, existing.st_mode & 07777);
        // Succeeds only for a privileged writer; otherwise the file becomes the writer's.
        [[maybe_unused]] const int owned = ::fchown(fd, existing.st_uid, existing.st_gid);
    } else {
        ::fchmod(fd, newFileMode());
    }
    int writeError = 0;
    const bool produced = produce([&](QByteArrayView chunk) {
        if (writeError == 0 && !writeAll(write, fd, chunk))
            writeError = errno;
        return writeError == 0;
    });
    if (writeError != 0 || !produced)
        return fail(QStringLiteral("Cannot write"), writeError != 0 ? writeError : EIO);
    if (sync(fd) != 0)
        return fail(QStringLiteral("Cannot sync"), errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return describe(QStringLiteral("Cannot write"), target, error);
    }
    if (rename(temporary.constData(), nativeTarget.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return describe(QStringLiteral("Cannot replace"), target, error);
    }

    // Without this the rename itself may not survive a power cut.
    const int folderFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return describe(QStringLiteral("Cannot sync the folder of"), target, errno);
    const bool folderSynced = sync(folderFd) == 0;
    const int folderError = errno;
    ::close(folderFd);
    if (!folderSynced)
        return describe(QStringLiteral("Cannot sync the folder of"), target, folderError);
    return std::nullopt;
}

void removeInterruptedWrites(const QString &path)
{
    const QFileInfo target(resolvedTarget(path));
    QString pattern = temporaryNameTemplate(target.fileName());
    pattern.replace(QStringLiteral("XXXXXX"), QStringLiteral("??????"));
    QDir folder = target.absoluteDir();
    const QStringList leftovers =
        folder.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &leftover : leftovers)
        folder.remove(leftover);
}

} // namespace quillet
