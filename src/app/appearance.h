#pragma once

#include <QDBusVariant>
#include <QObject>

namespace quillet {

class Preferences;

// Applies the chosen appearance to every window at once: "light" and "dark" force the theme's light
// and dark palettes, anything else follows the desktop's colour-scheme setting, read over the
// freedesktop portal at start and followed live (light while it has not answered).
class Appearance : public QObject {
    Q_OBJECT

public:
    explicit Appearance(Preferences &preferences, QObject *parent = nullptr);

    // Chooses and installs the palette for the current theme value.
    void apply();

private slots:
    void onPortalSettingChanged(const QString &group, const QString &key,
                                const QDBusVariant &value);

private:
    void askPortal();

    Preferences &m_preferences;
    bool m_desktopDark = false;
};

} // namespace quillet
