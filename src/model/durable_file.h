#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>

namespace quillet {

// The system calls a durable write makes that tests need to see fail.
struct DurableWriteSystem {
    std::function<long(int fd, const void *data, unsigned long size)> write; // write
    std::function<int(int fd)> sync;                                  // fsync
    std::function<int(const char *from, const char *to)> rename;      // rename
};

// Takes the next piece of a file's content; false when it could not be written.
using WriteChunk = std::function<bool(QByteArrayView chunk)>;
// Hands the whole content to `writeChunk` piece by piece; false when a piece was refused.
using ContentProducer = std::function<bool(const WriteChunk &writeChunk)>;

// Replaces the file at `path` with exactly `bytes` so that a reader sees either the old or the
// new complete file, and the new content survives a power cut once this returns success:
// a temporary file in the same folder is written and synced (a failed sync fails the write and
// leaves the old file alone), renamed over the target, and the folder is synced. An existing
// file keeps its permissions; a symbolic link keeps pointing at the file it names, which is
// the one replaced. Returns none on success, else a description of what failed.
std::optional<QString> writeFileDurably(const QString &path, const QByteArray &bytes,
                                        const DurableWriteSystem &system = {});
// The same, for content made while it is written, so it never has to be held whole.
std::optional<QString> writeFileDurably(const QString &path, const ContentProducer &produce,
                                        const DurableWriteSystem &system = {});

// Deletes the temporary files that writes of `path` left behind when the process was killed
// in the middle of one. Only for files no other process writes.
void removeInterruptedWrites(const QString &path);

} // namespace quillet
