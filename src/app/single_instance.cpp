#include "single_instance.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDeadlineTimer>
#include <QDir>
#include <QThread>
#include <QVariantMap>

namespace quillet {

namespace {

constexpr char kInterface[] = "org.freedesktop.Application";
// Long enough for an owner that is still waiting for its predecessor's last write.
constexpr int kCallTimeoutMs = 20000;
constexpr int kRetryForMs = 5000;

// The freedesktop application interface; its method names are fixed by that interface.
class ApplicationAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    explicit ApplicationAdaptor(SingleInstance *owner)
        : QDBusAbstractAdaptor(owner)
        , m_owner(owner)
    {
    }

public slots:
    void Activate(const QVariantMap &platformData)
    {
        Q_UNUSED(platformData);
        emit m_owner->activateRequested();
    }

    void Open(const QStringList &uris, const QVariantMap &platformData)
    {
        Q_UNUSED(platformData);
        QList<QUrl> files;
        for (const QString &uri : uris)
            files.append(QUrl(uri));
        emit m_owner->openRequested(files);
    }

    // There are no named actions; any request just shows the window.
    void ActivateAction(const QString &actionName, const QVariantList &parameter,
                        const QVariantMap &platformData)
    {
        Q_UNUSED(actionName);
        Q_UNUSED(parameter);
        Q_UNUSED(platformData);
        emit m_owner->activateRequested();
    }

private:
    SingleInstance *m_owner;
};

} // namespace

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent)
{
    new ApplicationAdaptor(this);
}

SingleInstance::~SingleInstance()
{
    release();
}

SingleInstance::Role SingleInstance::claimOrHandOver(const QList<QUrl> &files)
{
    if (!QDBusConnection::sessionBus().isConnected())
        return Role::primary;
    const QDeadlineTimer deadline(kRetryForMs);
    for (;;) {
        if (claim())
            return Role::primary;
        if (handOver(files))
            return Role::handedOver;
        if (deadline.hasExpired()) {
            // A name nobody owns but that cannot be had (a bus policy): the lock decides.
            const QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
            return bus && !bus->isServiceRegistered(QLatin1String(kApplicationId)) ? Role::primary
                                                                                   : Role::failed;
        }
        QThread::msleep(100);
    }
}

bool SingleInstance::claim()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    // The object first, so a call that arrives the moment the name is ours finds it.
    if (!bus.registerObject(QLatin1String(kObjectPath), this, QDBusConnection::ExportAdaptors)) {
        m_error = QStringLiteral("cannot register %1 on the session bus").arg(kObjectPath);
        return false;
    }
    if (bus.registerService(QLatin1String(kApplicationId))) {
        m_registered = true;
        return true;
    }
    bus.unregisterObject(QLatin1String(kObjectPath));
    return false;
}

bool SingleInstance::handOver(const QList<QUrl> &files)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(kApplicationId), QLatin1String(kObjectPath), QLatin1String(kInterface),
        files.isEmpty() ? QStringLiteral("Activate") : QStringLiteral("Open"));
    // The owner is running; starting another one through the bus would be wrong.
    call.setAutoStartService(false);
    if (!files.isEmpty()) {
        QStringList uris;
        for (const QUrl &file : files)
            uris.append(file.toString(QUrl::FullyEncoded));
        call << uris;
    }
    call << QVariantMap();
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    m_error = reply.errorMessage();
    return false;
}

void SingleInstance::release()
{
    if (!m_registered)
        return;
    m_registered = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(QLatin1String(kApplicationId));
    bus.unregisterObject(QLatin1String(kObjectPath));
}

QList<QUrl> SingleInstance::fileUrlsFromArguments(const QStringList &arguments,
                                                  const QString &workingDirectory)
{
    QList<QUrl> files;
    for (const QString &argument : arguments) {
        // A desktop may pass file URLs; any other name is a path, colons and all.
        if (argument.startsWith(QLatin1String("file:")))
            files.append(QUrl(argument));
        else
            files.append(QUrl::fromLocalFile(QDir(workingDirectory).absoluteFilePath(argument)));
    }
    return files;
}

} // namespace quillet

#include "single_instance.moc"
