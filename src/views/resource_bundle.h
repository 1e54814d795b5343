#pragma once

#include <QString>

#include <optional>

class QTextStream;

// The application's own resources live in the folder "Quillet_Quillet.bundle": first looked for
// in share/quillet of the executable's prefix or else next to it, then at its absolute path in
// the build tree.
namespace quillet::ResourceBundle {

inline const QString kName = QStringLiteral("Quillet_Quillet.bundle");

QString besideExecutable();
QString inBuildTree();

// The first candidate that is a folder. When neither is, says so once on `errors` (a missing
// logo is no reason to stop a running notepad) and gives none.
std::optional<QString> locate(const QString &first, const QString &second, QTextStream &errors);

// Located on first use and kept for the life of the process.
const std::optional<QString> &shared();

} // namespace quillet::ResourceBundle
