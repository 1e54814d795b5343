#include "durable_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet {

namespace {

// The sibling a write of `fileName` goes through first; mkostemp fills in the X's. The marker
// in the middle keeps the name apart from every other program's backups and temporaries, so
// the start-up clean-up can never take one of them for ours.
constexpr QLatin1StringView kTemporaryMarker(".quillet-write-");
constexpr qsizetype kTemporaryRandomLength = 6;

QString temporaryNamePrefix(const QString &fileName)
{
    return QLatin1Char('.') + fileName + kTemporaryMarker;
}

// Exactly the names mkostemp makes from the prefix: six letters or digits after it.
bool isTemporaryName(const QString &name, const QString &prefix)
{
    if (name.size() != prefix.size() + kTemporaryRandomLength || !name.startsWith(prefix))
        return false;
    for (const QChar c : QStringView(name).sliced(prefix.size())) {
        if (c.unicode() >= 0x80 || !std::isalnum(int(c.unicode())))
            return false;
    }
    return true;
}

QString describe(const QString &what, const QString &path, int error)
{
    return QStringLiteral("%1 %2: %3")
        .arg(what, path, QString::fromLocal8Bit(std::strerror(error)));
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

// Whether the kernel's protected-symlinks rule lets this process follow the link `status`
// describes, which sits in `folder`: in a sticky folder that everyone may write, only a link
// that belongs to this user or to the folder's owner is followed. Otherwise anyone could plant
// a link there that turns a save into a write over one of the user's own files.
bool mayFollowLink(const struct stat &status, const QString &folder)
{
    struct stat folderStatus {};
    if (::stat(QFile::encodeName(folder).constData(), &folderStatus) != 0)
        return false;
    const bool shared = (folderStatus.st_mode & S_ISVTX) && (folderStatus.st_mode & S_IWOTH);
    return !shared || status.st_uid == ::geteuid() || status.st_uid == folderStatus.st_uid;
}

// The file a write to `path` must replace: the end of a chain of symbolic links, so the links
// stay in place. Fails with errno EACCES on a link the kernel would not follow either, and
// ELOOP on a chain too long.
std::optional<QString> resolvedTarget(const QString &path, int *error)
{
    QString target = QFileInfo(path).absoluteFilePath();
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status {};
        if (::lstat(QFile::encodeName(target).constData(), &status) != 0 ||
            !S_ISLNK(status.st_mode))
            return target;
        const QFileInfo link(target);
        if (!mayFollowLink(status, link.absolutePath())) {
            *error = EACCES;
            return std::nullopt;
        }
        target = link.symLinkTarget();
    }
    *error = ELOOP;
    return std::nullopt;
}

QString describePath(const QString &path, int error)
{
    return QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error)));
}

// Why an existing `target` must not be replaced by this process, if it must not: it is not a
// regular file, or the kernel would not let this user open it for writing (a read-only file,
// another user's file in a folder this user may write). Renaming over it would otherwise
// succeed where a plain write is refused.
IoStatus refusalToReplace(const QByteArray &nativeTarget, const QString &target,
                          const struct stat &existing)
{
    if (S_ISDIR(existing.st_mode))
        return ioFailure(describe(QStringLiteral("Cannot replace"), target, EISDIR));
    if (!S_ISREG(existing.st_mode))
        return ioFailure(QStringLiteral("%1: is not a regular file").arg(target));
    const int probe =
        ::open(nativeTarget.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (probe < 0)
        return ioFailure(describePath(target, errno));
    ::close(probe);
    return {};
}

IoStatus writeDurably(const QString &path, const ContentProducer &produce,
                      const DurableWriteSystem &system, bool privateFile);

} // namespace

IoStatus writeFileDurably(const QString &path, const QByteArray &bytes,
                          const DurableWriteSystem &system)
{
    return writeFileDurably(
        path, [&bytes](const WriteChunk &writeChunk) { return writeChunk(bytes); }, system);
}

IoStatus writeFileDurably(const QString &path, const ContentProducer &produce,
                          const DurableWriteSystem &system)
{
    return writeDurably(path, produce, system, false);
}

IoStatus writePrivateFileDurably(const QString &path, const ContentProducer &produce,
                                 const DurableWriteSystem &system)
{
    return writeDurably(path, produce, system, true);
}

namespace {

IoStatus writeDurably(const QString &path, const ContentProducer &produce,
                      const DurableWriteSystem &system, bool privateFile)
{
    const WriteCall write =
        system.write ? system.write : [](int fd, const void *data, unsigned long size) {
            return long(::write(fd, data, size));
        };
    const auto sync = system.sync ? system.sync : [](int fd) { return ::fsync(fd); };
    const auto rename = system.rename ? system.rename : [](const char *from, const char *to) {
        return ::rename(from, to);
    };

    // The program's own files are never written through a link: the link itself is refused.
    int resolveError = 0;
    const std::optional<QString> resolved = privateFile
                                                ? std::optional(QFileInfo(path).absoluteFilePath())
                                                : resolvedTarget(path, &resolveError);
    if (!resolved)
        return ioFailure(describePath(QFileInfo(path).absoluteFilePath(), resolveError));
    const QString target = *resolved;
    const QFileInfo targetInfo(target);
    const QString folder = targetInfo.absolutePath();
    const QByteArray nativeTarget = QFile::encodeName(target);
    QByteArray temporary =
        QFile::encodeName(folder + QLatin1Char('/') + temporaryNamePrefix(targetInfo.fileName()) +
                          QStringLiteral("XXXXXX"));

    struct stat existing {};
    const bool replacing = ::lstat(nativeTarget.constData(), &existing) == 0;
    if (replacing) {
        if (IoStatus refusal = refusalToReplace(nativeTarget, target, existing); !refusal)
            return refusal;
    }

    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return ioFailure(describe(QStringLiteral("Cannot create a file in"), folder, errno));
    auto fail = [&](const QString &what, int error) {
        ::close(fd);
        ::unlink(temporary.constData());
        return ioFailure(describe(what, target, error));
    };

    if (privateFile) {
        ::fchmod(fd, 0600);
    } else if (replacing) {
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
        return ioFailure(describe(QStringLiteral("Cannot write"), target, error));
    }
    if (rename(temporary.constData(), nativeTarget.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return ioFailure(describe(QStringLiteral("Cannot replace"), target, error));
    }

    // Without this the rename itself may not survive a power cut.
    const int folderFd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return ioFailure(describe(QStringLiteral("Cannot sync the folder of"), target, errno));
    const bool folderSynced = sync(folderFd) == 0;
    const int folderError = errno;
    ::close(folderFd);
    if (!folderSynced)
        return ioFailure(
            describe(QStringLiteral("Cannot sync the folder of"), target, folderError));
    return {};
}

} // namespace

void removeInterruptedWrites(const QString &path)
{
    int error = 0;
    const std::optional<QString> target = resolvedTarget(path, &error);
    if (!target)
        return;
    const QFileInfo targetInfo(*target);
    const QString prefix = temporaryNamePrefix(targetInfo.fileName());
    const QDir folder = targetInfo.absoluteDir();
    // Listed without a name filter: the user's file name is never read as a pattern.
    const QStringList entries = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &entry : entries) {
        if (!isTemporaryName(entry, prefix))
            continue;
        // Only a regular file of this user's: never a link, never someone else's file.
        const QByteArray native = QFile::encodeName(folder.filePath(entry));
        struct stat status {};
        if (::lstat(native.constData(), &status) == 0 && S_ISREG(status.st_mode) &&
            status.st_uid == ::geteuid())
            ::unlink(native.constData());
    }
}

IoResult<QByteArray> readPrivateFile(const QString &path)
{
    const auto fail = [](const QString &description) -> IoResult<QByteArray> {
        return ioFailure(description);
    };
    // Without blocking and without following a link: a FIFO would wait for a writer for good,
    // and a device could be read without end.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int openError = errno;
        return fail(openError == ELOOP ? QStringLiteral("%1: is a symbolic link").arg(path)
                                       : describePath(path, openError));
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return fail(QStringLiteral("%1: is not a regular file").arg(path));
    }
    ::fchmod(fd, 0600); // written 0644 by earlier versions, readable by every local user
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(QStringLiteral("%1: %2").arg(path, file.errorString()));
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("%1: %2").arg(path, file.errorString()));
    return bytes;
}

} // namespace quillet
