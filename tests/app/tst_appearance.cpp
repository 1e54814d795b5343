#include "app_test_support.h"

#include "app/appearance.h"
#include "style/palettes.h"
#include "style/theme.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QTabWidget>
#include <QtTest>

#include <cmath>

using quillet::Appearance;
namespace Theme = quillet::Theme;
using Tone = quillet::Theme::Tone;
using namespace Qt::StringLiterals;

namespace {

const QString kPortalPath = u"/org/freedesktop/portal/desktop"_s;

// The desktop's settings portal as far as the colour scheme goes, on a connection of its own so
// that it has its own name on the bus: answers Read and announces each change.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"portal"_s);
    uint scheme = 0;

    ~FakePortal() override { QDBusConnection::disconnectFromBus(bus.name()); }

    bool start()
    {
        return bus.registerObject(kPortalPath, this, QDBusConnection::ExportAllSlots) &&
               bus.registerService(u"org.freedesktop.portal.Desktop"_s);
    }

    void announce(uint value)
    {
        scheme = value;
        QDBusMessage signal = QDBusMessage::createSignal(
            kPortalPath, u"org.freedesktop.portal.Settings"_s, u"SettingChanged"_s);
        signal << u"org.freedesktop.appearance"_s << u"color-scheme"_s
               << QVariant::fromValue(QDBusVariant(scheme));
        bus.send(signal);
    }

public slots:
    // The real portal wraps the value in a second variant.
    QDBusVariant Read(const QString &group, const QString &key)
    {
        const bool asked = group == u"org.freedesktop.appearance" && key == u"color-scheme";
        return QDBusVariant(QVariant::fromValue(QDBusVariant(asked ? scheme : 0u)));
    }
};

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

class AppearanceTest : public QObject {
    Q_OBJECT

private slots:
    void labelTonesAreLegible_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("light") << Theme::lightPalette();
        QTest::newRow("dark") << Theme::darkPalette();
    }

    // Every tone that carries text reads at 4.5:1 or better on every background it is drawn on,
    // and the three label tones keep their order; so do the preview's links, on its background
    // and its panels (table headers).
    void labelTonesAreLegible()
    {
        QFETCH(QPalette, palette);
        const quillet::test::ScopedPalette use(palette);
        const QColor panel = Theme::color(Tone::controlBackground);
        const auto legible = [](const QColor &ink, const QColor &paper) {
            const double ratio = contrast(ink, paper);
            QVERIFY2(ratio >= 4.5, qPrintable(ink.name() + u" on "_s + paper.name() + u' ' +
                                              QString::number(ratio)));
        };
        for (const QColor &paper : {Theme::windowBackground(), Theme::textBackground(), panel,
                                    Theme::selectedTabBackground()}) {
            const auto on = [&paper](Tone tone) { return contrast(Theme::color(tone), paper); };
            legible(Theme::color(Tone::tertiary), paper);
            QVERIFY(on(Tone::primary) > on(Tone::secondary) &&
                    on(Tone::secondary) > on(Tone::tertiary));
        }
        legible(palette.color(QPalette::PlaceholderText), Theme::textBackground());
        legible(Theme::linkColor(), Theme::previewBackground());
        legible(Theme::linkColor(), panel);
    }

    void themeSwitchesEveryWindowLive_data()
    {
        QTest::addColumn<QString>("theme");
        QTest::addColumn<bool>("dark");
        QTest::newRow("dark") << "dark" << true;
        QTest::newRow("light") << "light" << false;
        // An unknown value follows the desktop, and none answers in the test session: light.
        QTest::newRow("unknown value acts as system") << "sepia" << false;
    }

    // The main window's parts and the settings window, shown while the choice changes.
    void themeSwitchesEveryWindowLive()
    {
        QFETCH(QString, theme);
        QFETCH(bool, dark);
        const quillet::test::ScopedPalette restore(Theme::lightPalette());
        quillet::test::Window app(1);
        Appearance appearance(app.preferences);
        // Start from the opposite of what the row expects, so the switch has something to change.
        app.preferences.setAppTheme(dark ? u"light"_s : u"dark"_s);
        app.settings->present();
        QCoreApplication::processEvents();
        const auto *view = app.window.findChild<quillet::ContentView *>();
        const QWidget *const parts[] = {view->tabBar(), view->statusBar(), app.settings->tabView()};
        const QColor expected =
            (dark ? Theme::darkPalette() : Theme::lightPalette()).color(QPalette::Window);
        for (const QWidget *part : parts)
            QVERIFY(part->palette().color(QPalette::Window) != expected);
        app.preferences.setAppTheme(theme);
        QCoreApplication::processEvents();
        for (const QWidget *part : parts)
            QCOMPARE(part->palette().color(QPalette::Window), expected);
    }

    // Runs on a private session bus only (CTest starts it under dbus-run-session), never on the
    // user's own, and first, before anything in the process has named the bus's variant type.
    void systemFollowsTheDesktopPortal()
    {
        if (qEnvironmentVariableIsEmpty("QUILLET_TEST_PRIVATE_BUS"))
            QSKIP("needs a private session bus: run under dbus-run-session with "
                  "QUILLET_TEST_PRIVATE_BUS=1");
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        const quillet::test::ScopedPalette restore(Theme::lightPalette());
        quillet::test::TestPreferences test;
        quillet::Preferences &preferences = test.preferences;
        const QColor light = Theme::lightPalette().color(QPalette::Window);
        const QColor dark = Theme::darkPalette().color(QPalette::Window);
        const auto windowColour = [] { return QApplication::palette().color(QPalette::Window); };

        // Subscribed before the portal is there: light until it speaks, then every change.
        Appearance appearance(preferences);
        appearance.apply();
        FakePortal portal;
        QVERIFY(portal.start());
        QCOMPARE(windowColour(), light);
        // The subscriber learns of the portal's name a moment after it appears, and only then
        // matches its signals: the first announcement is repeated until it lands.
        QTRY_VERIFY((portal.announce(1), windowColour() == dark));
        for (const uint scheme : {0u, 1u, 2u, 1u}) {
            portal.announce(scheme);
            QTRY_COMPARE(windowColour(), scheme == 1 ? dark : light);
        }

        // A forced choice wins over the desktop; "system" follows it again.
        preferences.setAppTheme(u"light"_s);
        QCOMPARE(windowColour(), light);
        preferences.setAppTheme(u"system"_s);
        QCOMPARE(windowColour(), dark);

        // Started while the desktop prefers dark: read at once.
        QApplication::setPalette(Theme::lightPalette());
        Appearance later(preferences);
        QTRY_COMPARE(windowColour(), dark);
    }
};

QTEST_MAIN(AppearanceTest)
#include "tst_appearance.moc"
