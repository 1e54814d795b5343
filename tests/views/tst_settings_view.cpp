#include "settings/preferences.h"
#include "views/settings_view.h"
#include "views/text_label.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QSettings>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using quillet::Preferences;
using quillet::SettingsView;

namespace {

bool writeStore(const QString &path, const QVariantMap &stored)
{
    QSettings writer(path, QSettings::IniFormat);
    for (auto it = stored.begin(); it != stored.end(); ++it)
        writer.setValue(it.key(), it.value());
    return true;
}

// The window over a store in a temporary folder, optionally holding values another tool wrote
// before we start.
struct Window {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("prefs.conf"));
    bool written;
    Preferences preferences;
    SettingsView view{preferences};

    explicit Window(const QVariantMap &stored = {})
        : written(writeStore(path, stored))
        , preferences(std::make_unique<QSettings>(path, QSettings::IniFormat))
    {
        view.present();
    }
    // What the file holds for `key`, read afresh, as another process would.
    QVariant raw(const QString &key) const
    {
        return QSettings(path, QSettings::IniFormat).value(key);
    }
};

// Moves the slider as a drag does: pressed, moved to `position`, and, unless told otherwise,
// released.
void drag(QSlider *slider, int position, bool release = true)
{
    slider->setSliderDown(true);
    slider->setSliderPosition(position);
    if (release)
        slider->setSliderDown(false);
}

} // namespace

class SettingsViewTest : public QObject {
    Q_OBJECT

private slots:
    void slidersWriteWhileDraggedAndShowTheirValue_data()
    {
        QTest::addColumn<int>("slider");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("key");
        QTest::addColumn<double>("stored");
        QTest::addColumn<QString>("text");
        // Seven steps right with the keyboard from the left end: the text shown and the value
        // stored.
        QTest::addColumn<QString>("steppedText");
        QTest::addColumn<double>("stepped");

        QTest::newRow("font size") << 0 << 24 << "editorFontSize" << 24.0 << "24 pt"
                                   << "17 pt" << 17.0;
        QTest::newRow("line height") << 1 << 11 << "editorLineHeight" << 1.1 << "1.1"
                                     << "1.7" << 1.7;
        QTest::newRow("interval") << 2 << 2 << "autoSaveInterval" << 2.0 << "2s"
                                  << "9s" << 9.0;
    }

    void slidersWriteWhileDraggedAndShowTheirValue()
    {
        QFETCH(int, slider);
        QFETCH(int, position);
        QFETCH(QString, key);
        QFETCH(double, stepped);

        Window w;
        QSlider *control = QList{w.view.fontSizeSlider(), w.view.lineHeightSlider(),
                                 w.view.autoSaveSlider()}[slider];
        const auto *valueText =
            QList{w.view.fontSizeText(), w.view.lineHeightText(), w.view.autoSaveText()}[slider];

        // Still held: the value is in the store already and the text follows it.
        drag(control, position, false);
        QTEST(w.raw(key).toDouble(), "stored");
        QTEST(valueText->text(), "text");
        control->setSliderDown(false);

        QTest::keyClick(control, Qt::Key_Home);
        for (int i = 0; i < 7; ++i)
            QTest::keyClick(control, Qt::Key_Right);
        QTEST(valueText->text(), "steppedText");
        // Exactly as written in decimal, not a sum of tenths drifting off it (QCOMPARE would
        // forgive the drift).
        QVERIFY2(w.raw(key).toDouble() == stepped, qPrintable(w.raw(key).toString()));
    }

    void valuesNoControlOffersStayStoredUntilPicked()
    {
        const QVariantMap odd{{"editorFontSize", 30.0},      {"editorLineHeight", 3.75},
                              {"editorTabWidth", 3},         {"autoSaveInterval", 0.5},
                              {"appTheme", "sepia"},         {"editorShowLineNumbers", false},
                              {"restoreTabsOnLaunch", false}};
        Window w(odd);
        QVERIFY(QTest::qWaitForWindowExposed(&w.view));
        w.view.hide();
        w.view.present();
        QCoreApplication::processEvents();

        // The sliders sit at their nearer end, the texts tell what is stored, the pickers show no
        // entry.
        QCOMPARE(
            QList<int>({w.view.fontSizeSlider()->value(), w.view.lineHeightSlider()->value(),
                        w.view.autoSaveSlider()->value(), w.view.tabWidthPicker()->currentIndex()}),
            QList<int>({24, 25, 2, -1}));
        QCOMPARE(QStringList({w.view.fontSizeText()->text(), w.view.lineHeightText()->text(),
                              w.view.autoSaveText()->text()}),
                 QStringList({"30 pt", "3.8", "0s"}));
        for (const char *theme : {"system", "light", "dark"})
            QVERIFY(!w.view.themeSegment(theme)->isChecked());
        QVERIFY(!w.view.lineNumbersToggle()->isChecked() &&
                !w.view.restoreTabsToggle()->isChecked());
        // ... and opening the window twice rewrote nothing.
        for (auto it = odd.begin(); it != odd.end(); ++it)
            QCOMPARE(w.raw(it.key()).toString(), it.value().toString());

        // Picking replaces them: an entry, or the slider's end where it is shown.
        w.view.tabWidthPicker()->setCurrentIndex(2);
        emit w.view.tabWidthPicker()->activated(2);
        QCOMPARE(w.raw("editorTabWidth").toLongLong(), 8);
        drag(w.view.fontSizeSlider(), 24);
        QCOMPARE(w.raw("editorFontSize").toDouble(), 24.0);
        QCOMPARE(w.raw("editorLineHeight").toDouble(), 3.75);
    }

    void choicesReachOtherBindingsAndChangesElsewhereShow()
    {
        Window w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.view));
        // Showing the defaults writes none of them.
        QVERIFY(QSettings(w.path, QSettings::IniFormat).allKeys().isEmpty());
        QVERIFY(w.view.themeSegment("system")->isChecked() &&
                w.view.lineNumbersToggle()->isChecked());
        // The keys of every shortcut fit.
        for (const QWidget *row : w.view.findChildren<QWidget *>(QStringLiteral("shortcutRow"))) {
            const auto *keys = row->findChildren<quillet::TextLabel *>().first();
            QVERIFY(keys->width() >= keys->sizeHint().width());
        }

        // The window's choice reaches the store at once.
        w.view.tabView()->setCurrentIndex(1);
        QTest::mouseClick(w.view.lineNumbersToggle(), Qt::LeftButton);
        QCOMPARE(w.preferences.editorShowLineNumbers(), false);
        w.view.tabView()->setCurrentIndex(0);
        QTest::mouseClick(w.view.themeSegment("dark"), Qt::LeftButton);
        QCOMPARE(w.preferences.appTheme(), QStringLiteral("dark"));

        // A change made through the same store elsewhere shows at once, and still after reopening.
        w.preferences.setEditorFontSize(20.0);
        QCOMPARE(w.view.fontSizeText()->text(), QStringLiteral("20 pt"));
        w.view.close();
        w.preferences.setRestoreTabsOnLaunch(false);
        w.preferences.remove(quillet::PreferenceKeys::editorShowLineNumbers);
        w.view.present();
        QVERIFY(!w.view.restoreTabsToggle()->isChecked() &&
                w.view.lineNumbersToggle()->isChecked());
        QCOMPARE(w.view.tabView()->currentIndex(), 0);
    }
};

QTEST_MAIN(SettingsViewTest)
#include "tst_settings_view.moc"
