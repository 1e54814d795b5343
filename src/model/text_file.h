#pragma once

#include <QString>

#include <optional>

namespace quillet {

// Whole-file reading of user text: strict UTF-8 (bytes that are not UTF-8 fail rather than
// being replaced), a leading byte-order mark dropped. `error` describes a failure.
std::optional<QString> readUtf8TextFile(const QString &path, QString *error);

// Writes exactly the text's UTF-8 bytes (no byte-order mark, no added line end), atomically and
// durably. Returns none on success, else a description of the failure.
std::optional<QString> writeUtf8TextFile(const QString &path, const QString &text);

} // namespace quillet
