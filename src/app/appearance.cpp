#include "appearance.h"

#include "settings/preferences.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QStyle>
#include <QStyleFactory>

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

QPalette Appearance::lightPalette()
{
    QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    QPalette palette = fusion ? fusion->standardPalette() : QPalette();
    delete fusion;
    // The style's half-transparent placeholder reads at under 4.5:1; a placeholder names its field.
    palette.setColor(QPalette::PlaceholderText, QColor(0x6e, 0x6e, 0x72));
    return palette;
}

QPalette Appearance::darkPalette()
{
    QPalette palette;
    const QColor window(0x2b, 0x2b, 0x2d), base(0x1e, 0x1e, 0x20), text(0xe6, 0xe6, 0xe6);
    const QColor button(0x3a, 0x3a, 0x3d), dimmed(0x80, 0x80, 0x84);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, button);
    palette.setColor(QPalette::ToolTipBase, button);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x90, 0x90, 0x94));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, button);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x4e));
    palette.setColor(QPalette::Midlight, QColor(0x42, 0x42, 0x46));
    palette.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x33));
    palette.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x1a));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(0x2f, 0x7d, 0xf6));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x5a, 0xa0, 0xff));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, dimmed);
    return palette;
}

void Appearance::apply()
{
    const QString theme = m_preferences.appTheme();
    const bool dark =
        theme == QLatin1String("dark") || (theme != QLatin1String("light") && m_desktopDark);
    // Setting the application palette reaches every widget through its palette-change event.
    QApplication::setPalette(dark ? darkPalette() : lightPalette());
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
