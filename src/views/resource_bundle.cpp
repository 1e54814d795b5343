#include "resource_bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

namespace quillet::ResourceBundle {

QString besideExecutable()
{
    const QDir bin(QCoreApplication::applicationDirPath());
    // Installed, it sits in the data folder of the binary's prefix: Debian allows no folder in
    // /usr/bin.
    const QString installed = bin.filePath(QStringLiteral("../share/quillet/") + kName);
    return QFileInfo(installed).isDir() ? QDir::cleanPath(installed) : bin.filePath(kName);
}

QString inBuildTree()
{
    return QStringLiteral(QUILLET_BUILD_BUNDLE_DIR);
}

std::optional<QString> locate(const QString &first, const QString &second, QTextStream &errors)
{
    for (const QString &candidate : {first, second}) {
        if (QFileInfo(candidate).isDir())
            return candidate;
    }
    errors << "could not load resource bundle: from " << first << " or " << second << '\n';
    errors.flush();
    return std::nullopt;
}

const std::optional<QString> &shared()
{
    static const std::optional<QString> bundle = [] {
        QTextStream errors(stderr);
        return locate(besideExecutable(), inBuildTree(), errors);
    }();
    return bundle;
}

} // namespace quillet::ResourceBundle
