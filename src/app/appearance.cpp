#include "appearance.h"

#include "settings/preferences.h"
#include "style/palettes.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace quillet {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");

// The portal wraps the value in one or two variants; 1 means the desktop prefers dark.
bool meansDark(QVariant value)
{
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value.toUInt() == 1;
}

} // namespace

Appearance::Appearance(Preferences &preferences, QObject *parent)
    : QObject(parent)
    , m_preferences(preferences)
{
    connect(&m_preferences, &Preferences::appThemeChanged, this, &Appearance::apply);
    // The bus matches the slot's argument types by name, and QDBusVariant has none until it is
    // registered: without this the subscription fails and the desktop is read only once.
    qRegisterMetaType<QDBusVariant>();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        if (!bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                         SLOT(onPortalSettingChanged(QString, QString, QDBusVariant))))
            qWarning("Quillet: changes of the desktop's colour scheme cannot be followed: %s",
                     qPrintable(bus.lastError().message()));
        askPortal();
    }
}

void Appearance::apply()
{
    const QString theme = m_preferences.appTheme();
    const bool dark =
        theme == QLatin1String("dark") || (theme != QLatin1String("light") && m_desktopDark);
    // Setting the application palette reaches every widget through its palette-change event.
    QApplication::setPalette(dark ? Theme::darkPalette() : Theme::lightPalette());
}

void Appearance::askPortal()
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Read"));
    call << kGroup << kKey;
    auto *watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](auto *finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *finished;
        // No portal, or one without the setting: stay light.
        if (reply.isError())
            return;
        m_desktopDark = meansDark(reply.value().variant());
        apply();
    });
}

void Appearance::onPortalSettingChanged(const QString &group, const QString &key,
                                        const QDBusVariant &value)
{
    if (group != kGroup || key != kKey)
        return;
    m_desktopDark = meansDark(value.variant());
    apply();
}

} // namespace quillet
