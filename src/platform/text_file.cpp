#include "text_file.h"

#include "platform/durable_file.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet {

namespace {

constexpr qsizetype kReadChunkSize = 1024 * 1024;

// The largest file that is opened: its text takes two bytes a byte, and the editor, the undo
// history and the autosave hold further copies, so a file past an eighth of the memory would
// starve the machine. Never more than a QString can hold.
qint64 largestOpenableFile()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    const qint64 memory = pages > 0 && pageSize > 0 ? qint64(pages) * pageSize : qint64(1) << 32;
    return std::min<qint64>(memory / 8, std::numeric_limits<qsizetype>::max() / 4);
}

// How many of the first `size` bytes end with a complete UTF-8 sequence: the bytes of a
// sequence whose lead byte says it is longer than what is there are left out. Anything that is
// not UTF-8 stays in, for the decoder to refuse.
qsizetype completeUtf8Prefix(const QByteArray &bytes, qsizetype size)
{
    for (qsizetype back = 1; back <= 4 && back <= size; ++back) {
        const auto byte = uchar(bytes.at(size - back));
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte: look further back for its lead
        const qsizetype length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? size - back : size;
    }
    return size;
}

} // namespace

QString DiskVersion::toString() const
{
    return QStringLiteral("%1:%2:%3:%4:%5")
        .arg(size)
        .arg(modifiedNs)
        .arg(device)
        .arg(inode)
        .arg(QString::fromLatin1(digest));
}

std::optional<DiskVersion> DiskVersion::fromString(const QString &text)
{
    const QStringList parts = text.split(u':');
    if (parts.size() != 5 || parts[4].size() != 32)
        return std::nullopt;
    DiskVersion version;
    bool ok[4] = {};
    version.size = parts[0].toLongLong(&ok[0]);
    version.modifiedNs = parts[1].toLongLong(&ok[1]);
    version.device = parts[2].toULongLong(&ok[2]);
    version.inode = parts[3].toULongLong(&ok[3]);
    version.digest = parts[4].toLatin1();
    if (!(ok[0] && ok[1] && ok[2] && ok[3]))
        return std::nullopt;
    return version;
}

namespace {

DiskVersion versionOf(const struct stat &status, QByteArray digest)
{
    return DiskVersion{qint64(status.st_size),
                       qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
                       quint64(status.st_dev), quint64(status.st_ino), std::move(digest)};
}

bool sameAttributes(const DiskVersion &a, const DiskVersion &b)
{
    return a.size == b.size && a.modifiedNs == b.modifiedNs && a.device == b.device &&
           a.inode == b.inode;
}

IoResult<QString> readText(const QString &path, DiskVersion *version,
                           const std::atomic<bool> *cancelled);

} // namespace

IoResult<QString> readUtf8TextFile(const QString &path, DiskVersion *version,
                                   const std::atomic<bool> *cancelled)
{
    // A file that grows while it is read, or memory that runs out on the way, fails the open
    // rather than the program.
    try {
        return readText(path, version, cancelled);
    } catch (const std::bad_alloc &) {
        return ioFailure(QStringLiteral("%1: not enough memory to open the file").arg(path));
    }
}

namespace {

IoResult<QString> readText(const QString &path, DiskVersion *version,
                           const std::atomic<bool> *cancelled)
{
    const auto fail = [](const QString &description) -> IoResult<QString> {
        return ioFailure(description);
    };
    if (QFileInfo(path).isDir())
        return fail(QStringLiteral("%1: is a folder, not a file").arg(path));
    // Opened without blocking and checked on the open descriptor: a FIFO would otherwise wait
    // for a writer and a device could be read forever. Only regular files are text files.
    const QByteArray nativePath = QFile::encodeName(path);
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(strerror(errno))));
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return fail(QStringLiteral("%1: is not a regular file").arg(path));
    }
    const qint64 limit = largestOpenableFile();
    if (status.st_size > limit) {
        ::close(fd);
        return fail(QStringLiteral("%1: the file is too large to open (%2 MB; at most %3 MB fit "
                                   "in this computer's memory)")
                        .arg(path)
                        .arg(qint64(status.st_size) >> 20)
                        .arg(limit >> 20));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(QStringLiteral("%1: %2").arg(path, file.errorString()));
    }

    // Decoded a chunk at a time straight into the text, so a large file is never held twice
    // (once as bytes, once as text). Stateless: each chunk is cut after its last complete
    // sequence and the rest goes with the next one, so an incomplete sequence at the very end
    // still fails. The byte-order mark is kept by the decoder and dropped below.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString text;
    // A UTF-8 file never has more UTF-16 units than bytes, and the decoder asks for one unit
    // more than it writes; the text only grows if the file does while it is read.
    text.resize(qsizetype(status.st_size) + 1);
    qsizetype used = 0;
    QByteArray chunk(kReadChunkSize, Qt::Uninitialized);
    qsizetype carried = 0;
    QCryptographicHash digest(QCryptographicHash::Md5);
    for (;;) {
        if (cancelled && cancelled->load(std::memory_order_relaxed))
            return fail(QStringLiteral("%1: the open was cancelled").arg(path));
        const qint64 count = file.read(chunk.data() + carried, chunk.size() - carried);
        if (count < 0)
            return fail(QStringLiteral("%1: %2").arg(path, file.errorString()));
        if (version)
            digest.addData(QByteArrayView(chunk.constData() + carried, count));
        const qsizetype available = carried + qsizetype(count);
        const qsizetype complete = count == 0 ? available : completeUtf8Prefix(chunk, available);
        const qsizetype needed = used + decoder.requiredSpace(complete);
        if (needed > text.size()) {
            if (needed > limit)
                return fail(QStringLiteral("%1: the file grew too large to open").arg(path));
            text.resize(std::max(needed, std::min(limit, text.size() + text.size() / 2)));
        }
        QChar *end =
            decoder.appendToBuffer(text.data() + used, QByteArrayView(chunk.constData(), complete));
        used = end - text.constData();
        if (decoder.hasError())
            return fail(QStringLiteral("%1: the file is not valid UTF-8 text").arg(path));
        carried = available - complete;
        if (count == 0)
            break;
        std::memmove(chunk.data(), chunk.constData() + complete, size_t(carried));
    }
    const qsizetype bom = used > 0 && text.at(0) == QChar(u'\uFEFF') ? 1 : 0;
    text.truncate(used);
    if (bom)
        text.remove(0, 1);
    if (text.capacity() - text.size() > text.size() / 4)
        text.squeeze();
    if (version)
        *version = versionOf(status, digest.result().toHex());
    return text;
}

} // namespace

IoStatus writeUtf8TextFile(const QString &path, const QString &text, DiskVersion *version)
{
    const QByteArray bytes = text.toUtf8();
    IoStatus status = writeFileDurably(path, bytes);
    struct stat written {};
    if (status && version && ::stat(QFile::encodeName(path).constData(), &written) == 0)
        *version =
            versionOf(written, QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
    return status;
}

bool changedOnDisk(const QString &path, const DiskVersion &known)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return errno != ENOENT;
    if (sameAttributes(versionOf(status, {}), known))
        return false;
    QFile file(path);
    if (!S_ISREG(status.st_mode) || !file.open(QIODevice::ReadOnly))
        return true;
    QCryptographicHash digest(QCryptographicHash::Md5);
    if (!digest.addData(&file))
        return true;
    return qint64(status.st_size) != known.size || digest.result().toHex() != known.digest;
}

} // namespace quillet
