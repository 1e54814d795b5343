#include "app/appearance.h"
#include "editor/theme.h"
#include "model/tab_manager.h"
#include "settings/preferences.h"
#include "views/content_view.h"
#include "views/view_style.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using quillet::Appearance;
using quillet::TabManager;

namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");

// The desktop's settings portal as far as the colour scheme goes, on a connection of its own so
// that it has its own name on the bus: answers Read and announces each change.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fakePortal"));
    uint scheme = 0;

    ~FakePortal() override { QDBusConnection::disconnectFromBus(bus.name()); }

    bool start()
    {
        return bus.registerObject(kPortalPath, this, QDBusConnection::ExportAllSlots) &&
               bus.registerService(kPortal);
    }

    void announce(uint value)
    {
        scheme = value;
        QDBusMessage signal = QDBusMessage::createSignal(
            kPortalPath, QStringLiteral("org.freedesktop.portal.Settings"),
            QStringLiteral("SettingChanged"));
        signal << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme")
               << QVariant::fromValue(QDBusVariant(scheme));
        bus.send(signal);
    }

public slots:
    // The real portal wraps the value in a second variant.
    QDBusVariant Read(const QString &group, const QString &key)
    {
        if (group != QLatin1String("org.freedesktop.appearance") ||
            key != QLatin1String("color-scheme"))
            return QDBusVariant(QVariant::fromValue(QDBusVariant(0u)));
        return QDBusVariant(QVariant::fromValue(QDBusVariant(scheme)));
    }
};

QColor windowColour()
{
    return QApplication::palette().color(QPalette::Window);
}

} // namespace

class AppearanceTest : public QObject {
    Q_OBJECT

private slots:
    void systemFollowsTheDesktopPortal();
    void themeSwitchesEveryWindowLive_data();
    void themeSwitchesEveryWindowLive();
    void labelTonesAreLegible_data();
    void labelTonesAreLegible();
};

namespace {

// The contrast ratio of text in `ink`, as composed over `paper`, against that paper.
double contrast(QColor ink, const QColor &paper)
{
    const double a = ink.alphaF();
    ink = QColor::fromRgbF(float(ink.redF() * a + paper.redF() * (1 - a)),
                           float(ink.greenF() * a + paper.greenF() * (1 - a)),
                           float(ink.blueF() * a + paper.blueF() * (1 - a)));
    const auto luminance = [](const QColor &c) {
        const auto channel = [](double v) {
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double x = luminance(ink), y = luminance(paper);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

} // namespace

void AppearanceTest::labelTonesAreLegible_data()
{
    QTest::addColumn<QPalette>("palette");
    QTest::addColumn<bool>("links");
    QTest::newRow("light") << Appearance::lightPalette() << false;
    QTest::newRow("dark") << Appearance::darkPalette() << false;
    QTest::newRow("light, links") << Appearance::lightPalette() << true;
    QTest::newRow("dark, links") << Appearance::darkPalette() << true;
}

// Every tone that carries text reads at 4.5:1 or better on every background it is drawn on,
// and the three label tones keep their order. Links in the preview read as well on its
// background and its panels (table headers), and keep the accent's hue.
void AppearanceTest::labelTonesAreLegible()
{
    QFETCH(QPalette, palette);
    QFETCH(bool, links);
    const QPalette before = QApplication::palette();
    QApplication::setPalette(palette);
    const auto restore = qScopeGuard([&before] { QApplication::setPalette(before); });
    namespace Theme = quillet::Theme;
    if (links) {
        const QColor link = quillet::ViewStyle::linkColor();
        const QColor accent = palette.color(QPalette::Highlight);
        QVERIFY(std::abs(link.hslHue() - accent.hslHue()) <= 2 && link.hslSaturationF() > 0.5);
        for (const QColor &paper : {Theme::previewBackground(), Theme::panelBackground()}) {
            const double ratio = contrast(link, paper);
            QVERIFY2(ratio >= 4.5, qPrintable(paper.name() + u' ' + QString::number(ratio)));
        }
        return;
    }
    for (const QColor &paper : {Theme::windowBackground(), Theme::textBackground(),
                                Theme::panelBackground(), Theme::selectedTabBackground()}) {
        const double primary = contrast(Theme::textColor(), paper);
        const double secondary = contrast(Theme::secondaryLabel(), paper);
        const double tertiary = contrast(Theme::tertiaryLabel(), paper);
        QVERIFY2(tertiary >= 4.5, qPrintable(paper.name() + u' ' + QString::number(tertiary)));
        QVERIFY(primary > secondary && secondary > tertiary);
    }
    QVERIFY(contrast(palette.color(QPalette::PlaceholderText), palette.color(QPalette::Base)) >=
            4.5);
}

void AppearanceTest::themeSwitchesEveryWindowLive_data()
{
    QTest::addColumn<QString>("theme");
    QTest::addColumn<bool>("dark");
    QTest::newRow("dark") << "dark" << true;
    QTest::newRow("light") << "light" << false;
    // No desktop answers in the test session, so following it means light.
    QTest::newRow("system") << "system" << false;
    QTest::newRow("unknown value acts as system") << "sepia" << false;
}

void AppearanceTest::themeSwitchesEveryWindowLive()
{
    QFETCH(QString, theme);
    QFETCH(bool, dark);
    QTemporaryDir dir;
    quillet::Preferences preferences(std::make_unique<QSettings>(
        dir.filePath(QStringLiteral("prefs.conf")), QSettings::IniFormat));
    Appearance appearance(preferences);
    // Start from the opposite of what the row expects, so the switch has something to change.
    preferences.setAppTheme(dark ? QStringLiteral("light") : QStringLiteral("dark"));
    appearance.apply();
    TabManager tabManager(TabManager::Persistence::disabled());
    tabManager.newTab(QStringLiteral("text"));
    quillet::ContentView view(tabManager, preferences);
    view.resize(800, 500);
    view.show();
    QCoreApplication::processEvents();
    const QColor before = view.tabBar()->palette().color(QPalette::Window);

    preferences.setAppTheme(theme);
    QCoreApplication::processEvents();
    const QColor after = view.tabBar()->palette().color(QPalette::Window);
    QVERIFY(before != after);
    const QPalette expected = dark ? Appearance::darkPalette() : Appearance::lightPalette();
    QCOMPARE(after, expected.color(QPalette::Window));
    QCOMPARE(view.statusBar()->palette().color(QPalette::Window), after);
}

// Runs on a private session bus only (CTest starts it under dbus-run-session), never on the
// user's own, and first, before anything in the process has named the bus's variant type.
void AppearanceTest::systemFollowsTheDesktopPortal()
{
    if (qEnvironmentVariableIsEmpty("QUILLET_TEST_PRIVATE_BUS"))
        QSKIP("needs a private session bus: run under dbus-run-session with "
              "QUILLET_TEST_PRIVATE_BUS=1");
    QVERIFY(QDBusConnection::sessionBus().isConnected());
    QTemporaryDir dir;
    quillet::Preferences preferences(std::make_unique<QSettings>(
        dir.filePath(QStringLiteral("prefs.conf")), QSettings::IniFormat));
    const QColor light = Appearance::lightPalette().color(QPalette::Window);
    const QColor dark = Appearance::darkPalette().color(QPalette::Window);

    // Subscribed before the portal is there: light until it speaks, then every change.
    Appearance appearance(preferences);
    appearance.apply();
    FakePortal portal;
    QVERIFY(portal.start());
    QCOMPARE(windowColour(), light);
    // The subscriber learns of the portal's name a moment after it appears, and only then
    // matches its signals: the first announcement is repeated until it lands.
    QTRY_VERIFY((portal.announce(1), appearance.desktopPrefersDark()));
    for (const uint scheme : {0u, 1u, 2u, 1u}) {
        portal.announce(scheme);
        QTRY_COMPARE(appearance.desktopPrefersDark(), scheme == 1);
        QCOMPARE(windowColour(), scheme == 1 ? dark : light);
    }

    // A forced choice wins over the desktop; "system" follows it again.
    portal.announce(1);
    QTRY_VERIFY(appearance.desktopPrefersDark());
    preferences.setAppTheme(QStringLiteral("light"));
    QCOMPARE(windowColour(), light);
    preferences.setAppTheme(QStringLiteral("system"));
    QCOMPARE(windowColour(), dark);

    // Started while the desktop prefers dark: read at once.
    QApplication::setPalette(Appearance::lightPalette());
    Appearance later(preferences);
    QTRY_VERIFY(later.desktopPrefersDark());
    QCOMPARE(windowColour(), dark);
}

QTEST_MAIN(AppearanceTest)
#include "tst_appearance.moc"
