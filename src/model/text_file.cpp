#include "text_file.h"

#include "durable_file.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("%1: %2").arg(path, file.errorString()));
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
