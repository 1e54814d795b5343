#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace quillet {

// What a file was when this program last read or wrote it: enough to tell that another program
// has changed it since. The digest decides when the attributes alone differ (a file touched or
// rewritten with the same text has not changed).
struct DiskVersion {
    qint64 size = 0;
    qint64 modifiedNs = 0; // modification time, nanoseconds since the epoch
    quint64 device = 0;
    quint64 inode = 0;
    QByteArray digest; // MD5 of the content, hex: a check for change, not for tampering

    friend bool operator==(const DiskVersion &, const DiskVersion &) = default;

    // "size:modifiedNs:device:inode:digest", as the saved-tabs file keeps it.
    QString toString() const;
    static std::optional<DiskVersion> fromString(const QString &text);
};

} // namespace quillet
