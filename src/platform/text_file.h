#pragma once

#include "platform/disk_version.h"
#include "platform/io_result.h"

#include <QString>

#include <atomic>

namespace quillet {

// Whole-file reading of user text: strict UTF-8 (bytes that are not UTF-8 fail rather than
// being replaced), a leading byte-order mark dropped.
// `version`, when given, receives what the file was when it was read. Setting `cancelled`, when
// given, makes a read under way on another thread fail at its next piece.
IoResult<QString> readUtf8TextFile(const QString &path, DiskVersion *version = nullptr,
                                   const std::atomic<bool> *cancelled = nullptr);

// Writes exactly the text's UTF-8 bytes (no byte-order mark, no added line end), atomically and
// durably.
// `version`, when given, receives what the file is once written.
IoStatus writeUtf8TextFile(const QString &path, const QString &text,
                           DiskVersion *version = nullptr);

// Whether the file at `path` (after links) holds something else than `known` describes. A file
// that is gone has nothing to lose, so it has not changed; one that cannot be read to compare
// has.
bool changedOnDisk(const QString &path, const DiskVersion &known);

} // namespace quillet
