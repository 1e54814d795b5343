#include "file_revealer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace quillet {

namespace {

void openFolder(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

// The freedesktop file-manager interface: ShowItems(uris, startup id). The call is
// asynchronous, so a slow or absent file manager never holds up the window.
class DesktopFileRevealer : public FileRevealer {
public:
    void reveal(const QString &path) override
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) {
            openFolder(path);
            return;
        }
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)} << QString();
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                         [path](QDBusPendingCallWatcher *finished) {
                             if (QDBusPendingReply<>(*finished).isError())
                                 openFolder(path);
                             finished->deleteLater();
                         });
    }
};

} // namespace

std::shared_ptr<FileRevealer> FileRevealer::desktop()
{
    static const auto revealer = std::make_shared<DesktopFileRevealer>();
    return revealer;
}

QString FileRevealer::actionTitle()
{
#ifdef Q_OS_MACOS
    return QStringLiteral("Reveal in Finder");
#else
    return QStringLiteral("Show in File Manager");
#endif
}

} // namespace quillet
