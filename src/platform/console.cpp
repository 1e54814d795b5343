#include "console.h"

#include <cstdio>
#include <mutex>

namespace quillet {

void printFailureLine(const QString &prefix, const QString &description)
{
    static std::mutex mutex;
    // A line break inside the description would make it several lines.
    QString flat = description;
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QByteArray line = (prefix + flat + QLatin1Char('\n')).toUtf8();
    std::lock_guard lock(mutex);
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

} // namespace quillet
