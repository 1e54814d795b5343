#pragma once

#include <QString>

namespace quillet {

// Prints one line, the prefix followed by the description and a line feed, to standard output
// and flushes it. Safe from any thread; lines never interleave.
void printFailureLine(const QString &prefix, const QString &description);

} // namespace quillet
