#include "text_file.h"

#include "durable_file.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet {

std::optional<QString> readUtf8TextFile(const QString &path, QString *error)
{
    auto fail = [&](const QString &description) -> std::optional<QString> {
        if (error)
            *error = description;
        return std::nullopt;
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
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(QStringLiteral("%1: %2").arg(path, file.errorString()));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("%1: %2").arg(path, file.errorString()));

    // Stateless: an incomplete sequence at the end is an error too. A leading byte-order mark
    // is dropped.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return fail(QStringLiteral("%1: the file is not valid UTF-8 text").arg(path));
    return text;
}

std::optional<QString> writeUtf8TextFile(const QString &path, const QString &text)
{
    return writeFileDurably(path, text.toUtf8());
}

} // namespace quillet
