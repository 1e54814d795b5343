#pragma once

#include "platform/io_result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

namespace quillet {

// The system calls a durable write makes that tests need to see fail.
struct DurableWriteSystem {
    std::function<long(int fd, const void *data, unsigned long size)> write; // write
    std::function<int(int fd)> sync;                                         // fsync
    std::function<int(const char *from, const char *to)> rename;             // rename
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
// the one replaced, but a link the kernel would not follow (another user's, in a sticky folder
// like /tmp) is refused. An existing file that is not a regular file, or that this user could
// not open for writing, is refused and left untouched ("<path>: Permission denied").
// On failure the reason describes what failed.
IoStatus writeFileDurably(const QString &path, const QByteArray &bytes,
                          const DurableWriteSystem &system = {});
// The same, for content made while it is written, so it never has to be held whole.
IoStatus writeFileDurably(const QString &path, const ContentProducer &produce,
                          const DurableWriteSystem &system = {});

// For the program's own files: the same, but the file is always left 0600 (only its owner
// may read it), and a symbolic link, device or FIFO at `path` is refused, never written
// through or replaced.
IoStatus writePrivateFileDurably(const QString &path, const ContentProducer &produce,
                                 const DurableWriteSystem &system = {});

// Reads a file written by writePrivateFileDurably whole, without blocking and without
// following a link; anything but a regular file fails. Tightens its permissions to 0600.
IoResult<QByteArray> readPrivateFile(const QString &path);

// Deletes the temporary files that this program's writes of `path` left behind when the
// process was killed in the middle of one: regular files of this user's with exactly the name
// such a write gives its temporary, nothing else.
void removeInterruptedWrites(const QString &path);

} // namespace quillet
