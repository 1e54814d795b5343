// The strict UTF-8 reader: a file is read exactly when it is valid UTF-8, and then its text
// encodes back to the same bytes, less a leading byte-order mark.
#include "platform/text_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input.txt"));
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            std::abort();
    }
    const auto text = quillet::readUtf8TextFile(path);
    if (!text)
        return text.reason().isEmpty() ? (std::abort(), 0) : 0;
    QByteArray expected = bytes;
    if (expected.startsWith("\xEF\xBB\xBF"))
        expected.remove(0, 3);
    if (text->toUtf8() != expected)
        std::abort();
    return 0;
}
