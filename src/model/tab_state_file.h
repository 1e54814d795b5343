#pragma once

#include "platform/durable_file.h"
#include "scratchpad.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace quillet {

// The saved-tabs file: a compact UTF-8 JSON array with one object per tab, keys "id" (upper
// case 36-character UUID), "title", "content", "filePath" (absolute URL, left out when there is
// none), "createdAt" (ISO 8601 UTC, whole seconds) and "diskVersion" (what the tab's file was
// when last read or written, left out when unknown). Reading is all or nothing.
namespace TabStateFile {

inline constexpr char16_t kFileName[] = u"tabs.json";

QByteArray encode(const QList<Scratchpad::Snapshot> &snapshots);
// The same bytes, handed to `writeChunk` in pieces as they are made; false when one was refused.
bool encode(const QList<Scratchpad::Snapshot> &snapshots, const WriteChunk &writeChunk);

// The snapshots in file order, or the first fault as the reason.
IoResult<QList<Scratchpad::Snapshot>> decode(const QByteArray &bytes);

} // namespace TabStateFile

} // namespace quillet
