#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace quillet::testing {

// A temporary folder removed with the object; names are relative to it, absolute paths pass.
class TempFolder {
public:
    QString path(const QString &name = {}) const
    {
        return name.isEmpty() ? m_dir.path() : QDir(m_dir.path()).filePath(name);
    }

    // Creates the file's folders too; false when the bytes could not all be written.
    bool write(const QString &name, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(path(name)).absolutePath());
        QFile file(path(name));
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(bytes) == bytes.size();
    }

    // Empty when the file cannot be read.
    QByteArray read(const QString &name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Every file in the folder `name`, hidden ones too, sorted by name.
    QStringList files(const QString &name = {}) const
    {
        return QDir(path(name)).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }

private:
    QTemporaryDir m_dir;
};

} // namespace quillet::testing
