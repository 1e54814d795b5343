#include "settings/preferences.h"
#include "views/settings_view.h"
#include "views/text_label.h"
#include "views_test_support.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using quillet::Preferences;
using quillet::SettingsView;

namespace {

// A store in a temporary folder, optionally holding values another tool wrote before we start.
struct Store {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("prefs.conf"));

    explicit Store(const QVariantMap &stored = {})
    {
        QSettings writer(path, QSettings::IniFormat);
        for (auto it = stored.begin(); it != stored.end(); ++it)
            writer.setValue(it.key(), it.value());
    }

    std::unique_ptr<Preferences> open() const
    {
        return std::make_unique<Preferences>(
            std::make_unique<QSettings>(path, QSettings::IniFormat));
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
    void emptyStoreShowsTheDefaults();
    void slidersWriteWhileDraggedAndShowTheirValue_data();
    void slidersWriteWhileDraggedAndShowTheirValue();
    void lineHeightStepsByTenthsFromTheKeyboard();
    void valuesNoControlOffersStayStoredUntilPicked();
    void choicesReachOtherBindingsAndChangesElsewhereShow();
};

void SettingsViewTest::emptyStoreShowsTheDefaults()
{
    Store store;
    auto preferences = store.open();
    SettingsView view(*preferences);
    view.present();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    QTabWidget *tabs = view.tabView();
    QCOMPARE(tabs->size(), QSize(450, 320));
    QCOMPARE(tabs->count(), 4);
    const QStringList titles{"Appearance", "Editor", "General", "Shortcuts"};
    for (int i = 0; i < tabs->count(); ++i) {
        QCOMPARE(tabs->tabText(i), titles[i]);
        QVERIFY(!tabs->tabIcon(i).isNull());
    }
    QCOMPARE(tabs->currentIndex(), 0);
    QVERIFY(view.themeSegment("system")->isChecked());
    QVERIFY(!view.themeSegment("light")->isChecked());
    QVERIFY(!view.themeSegment("dark")->isChecked());
    QCOMPARE(view.themeSegment("system")->parentWidget()->width(), 240);
    QCOMPARE(view.themeSegment("light")->text(), QStringLiteral("Light"));

    QCOMPARE(view.fontSizeText()->text(), QStringLiteral("14 pt"));
    QCOMPARE(view.fontSizeSlider()->value(), 14);
    QCOMPARE(view.lineHeightText()->text(), QStringLiteral("1.5"));
    QCOMPARE(view.tabWidthPicker()->currentText(), QStringLiteral("4 spaces"));
    QCOMPARE(view.tabWidthPicker()->width(), 120);
    const QStringList entries{"2 spaces", "4 spaces", "8 spaces"};
    for (int i = 0; i < entries.size(); ++i)
        QCOMPARE(view.tabWidthPicker()->itemText(i), entries[i]);
    QVERIFY(view.lineNumbersToggle()->isChecked());
    QCOMPARE(view.lineNumbersToggle()->text(), QStringLiteral("Show Line Numbers"));
    QVERIFY(view.restoreTabsToggle()->isChecked());
    QCOMPARE(view.restoreTabsToggle()->text(), QStringLiteral("Restore tabs on launch"));
    QCOMPARE(view.autoSaveText()->text(), QStringLiteral("5s"));
    for (QSlider *slider : {view.fontSizeSlider(), view.lineHeightSlider(), view.autoSaveSlider()})
        QCOMPARE(slider->width(), 150);

    // Reference text only, with the keys as this platform's menus name them.
    const std::pair<QString, QString> shortcuts[] = {
        {"Ctrl+N", "New scratchpad"}, {"Ctrl+T", "New tab"},
        {"Ctrl+W", "Close tab"},      {"Ctrl+S", "Save"},
        {"Ctrl+Shift+S", "Save As…"}, {"Ctrl+O", "Open file"},
        {"Ctrl+P", "Toggle preview"}, {"Ctrl+Shift+[", "Previous tab"},
        {"Ctrl+Shift+]", "Next tab"}, {"Ctrl+,", "Settings"},
    };
    const auto rows = view.shortcutRows();
    QCOMPARE(rows.size(), 10);
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(rows[i].first->text(), shortcuts[i].first);
        QCOMPARE(rows[i].second->text(), shortcuts[i].second);
        QCOMPARE(rows[i].first->font().pixelSize(), 13);
        QCOMPARE(rows[i].first->tone(), quillet::ViewStyle::Tone::secondary);
        // One column for the keys, wide enough for the longest.
        QCOMPARE(rows[i].first->width(), rows[0].first->width());
        QVERIFY(rows[i].first->width() >= rows[i].first->sizeHint().width());
    }
    quillet::test::saveScreenshot(view, QStringLiteral("settings-appearance"));
    for (int i = 1; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        quillet::test::saveScreenshot(view, QStringLiteral("settings-") + titles[i].toLower());
    }

    tabs->setCurrentIndex(0);
    QApplication::setPalette(quillet::test::appearance(true));
    QCoreApplication::processEvents();
    quillet::test::saveScreenshot(view, QStringLiteral("settings-appearance-dark"));
    QApplication::setPalette(quillet::test::appearance(false));

    // Showing the defaults wrote none of them.
    QVERIFY(QSettings(store.path, QSettings::IniFormat).allKeys().isEmpty());
}

void SettingsViewTest::slidersWriteWhileDraggedAndShowTheirValue_data()
{
    QTest::addColumn<QString>("slider");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("key");
    QTest::addColumn<double>("stored");
    QTest::addColumn<QString>("text");

    QTest::newRow("font size, left end")
        << "fontSizeSlider" << 10 << "editorFontSize" << 10.0 << "10 pt";
    QTest::newRow("font size, right end")
        << "fontSizeSlider" << 24 << "editorFontSize" << 24.0 << "24 pt";
    QTest::newRow("line height, left end")
        << "lineHeightSlider" << 10 << "editorLineHeight" << 1.0 << "1.0";
    QTest::newRow("line height, one step up")
        << "lineHeightSlider" << 11 << "editorLineHeight" << 1.1 << "1.1";
    QTest::newRow("line height, right end")
        << "lineHeightSlider" << 25 << "editorLineHeight" << 2.5 << "2.5";
    QTest::newRow("interval, left end")
        << "autoSaveSlider" << 2 << "autoSaveInterval" << 2.0 << "2s";
    QTest::newRow("interval, right end")
        << "autoSaveSlider" << 30 << "autoSaveInterval" << 30.0 << "30s";
}

void SettingsViewTest::slidersWriteWhileDraggedAndShowTheirValue()
{
    QFETCH(QString, slider);
    QFETCH(int, position);
    QFETCH(QString, key);
    QFETCH(double, stored);
    QFETCH(QString, text);

    Store store;
    auto preferences = store.open();
    SettingsView view(*preferences);
    view.present();
    auto *control = view.findChild<QSlider *>(slider);
    QVERIFY(control);
    const quillet::TextLabel *valueText = control == view.fontSizeSlider() ? view.fontSizeText()
                                          : control == view.lineHeightSlider()
                                              ? view.lineHeightText()
                                              : view.autoSaveText();

    // Still held: the value is in the store already and the text follows it.
    drag(control, position, false);
    QCOMPARE(store.raw(key).toDouble(), stored);
    QCOMPARE(valueText->text(), text);
    control->setSliderDown(false);
    QCOMPARE(store.raw(key).toDouble(), stored);
    QCOMPARE(control->value(), position);
}

void SettingsViewTest::lineHeightStepsByTenthsFromTheKeyboard()
{
    Store store;
    auto preferences = store.open();
    SettingsView view(*preferences);
    view.present();
    QSlider *slider = view.lineHeightSlider();
    QTest::keyClick(slider, Qt::Key_Home);
    QStringList shown{view.lineHeightText()->text()};
    QList<double> stored{preferences->editorLineHeight()};
    for (int i = 0; i < 16; ++i) {
        QTest::keyClick(slider, Qt::Key_Right);
        shown.append(view.lineHeightText()->text());
        stored.append(store.raw("editorLineHeight").toDouble());
    }
    QCOMPARE(shown.join(u' '), QStringLiteral("1.0 1.1 1.2 1.3 1.4 1.5 1.6 1.7 1.8 1.9 2.0 2.1 "
                                              "2.2 2.3 2.4 2.5 2.5"));
    // Each a tenth as written in decimal, not a sum of tenths drifting off it.
    // (QCOMPARE would forgive the drift, so the values are compared exactly.)
    QVERIFY(stored.at(3) == 1.3);
    QVERIFY(stored.at(7) == 1.7);
    QVERIFY(stored.at(14) == 2.4);
    QVERIFY(stored.last() == 2.5);
}

void SettingsViewTest::valuesNoControlOffersStayStoredUntilPicked()
{
    const QVariantMap odd{{"editorFontSize", 30.0},      {"editorLineHeight", 3.75},
                          {"editorTabWidth", 3},         {"autoSaveInterval", 0.5},
                          {"appTheme", "sepia"},         {"editorShowLineNumbers", false},
                          {"restoreTabsOnLaunch", false}};
    Store store(odd);
    auto preferences = store.open();
    SettingsView view(*preferences);
    view.present();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.hide();
    view.present();
    QCoreApplication::processEvents();

    // The sliders sit at their nearer end, the texts tell what is stored, the pickers show no
    // entry.
    QCOMPARE(view.fontSizeSlider()->value(), 24);
    QCOMPARE(view.fontSizeText()->text(), QStringLiteral("30 pt"));
    QCOMPARE(view.lineHeightSlider()->value(), 25);
    QCOMPARE(view.lineHeightText()->text(), QStringLiteral("3.8"));
    QCOMPARE(view.autoSaveSlider()->value(), 2);
    QCOMPARE(view.autoSaveText()->text(), QStringLiteral("0s"));
    QCOMPARE(view.tabWidthPicker()->currentIndex(), -1);
    for (const char *theme : {"system", "light", "dark"})
        QVERIFY(!view.themeSegment(theme)->isChecked());
    QVERIFY(!view.lineNumbersToggle()->isChecked());
    QVERIFY(!view.restoreTabsToggle()->isChecked());
    // ... and opening the window twice rewrote nothing.
    for (auto it = odd.begin(); it != odd.end(); ++it)
        QCOMPARE(store.raw(it.key()).toString(), it.value().toString());

    // Picking replaces them: an entry, the slider's end where it is shown, a segment.
    view.tabWidthPicker()->setCurrentIndex(2);
    emit view.tabWidthPicker()->activated(2);
    QCOMPARE(store.raw("editorTabWidth").toLongLong(), 8);
    drag(view.fontSizeSlider(), 24);
    QCOMPARE(store.raw("editorFontSize").toDouble(), 24.0);
    QCOMPARE(view.fontSizeText()->text(), QStringLiteral("24 pt"));
    QTest::mouseClick(view.themeSegment("light"), Qt::LeftButton);
    QCOMPARE(store.raw("appTheme").toString(), QStringLiteral("light"));
    QVERIFY(view.themeSegment("light")->isChecked());
    QCOMPARE(store.raw("editorLineHeight").toDouble(), 3.75);
}

void SettingsViewTest::choicesReachOtherBindingsAndChangesElsewhereShow()
{
    Store store;
    auto preferences = store.open();
    SettingsView view(*preferences);
    view.present();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    // The window's choice reaches whoever else watches the key, at once.
    QSignalSpy lineNumbers(preferences.get(), &Preferences::editorShowLineNumbersChanged);
    QSignalSpy theme(preferences.get(), &Preferences::appThemeChanged);
    view.tabView()->setCurrentIndex(1);
    QTest::mouseClick(view.lineNumbersToggle(), Qt::LeftButton);
    QCOMPARE(lineNumbers.count(), 1);
    QCOMPARE(preferences->editorShowLineNumbers(), false);
    view.tabView()->setCurrentIndex(0);
    QTest::mouseClick(view.themeSegment("dark"), Qt::LeftButton);
    QCOMPARE(theme.count(), 1);
    QCOMPARE(preferences->appTheme(), QStringLiteral("dark"));

    // A change made through the same store elsewhere shows at once, and still after reopening.
    preferences->setEditorFontSize(20.0);
    QCOMPARE(view.fontSizeText()->text(), QStringLiteral("20 pt"));
    QCOMPARE(view.fontSizeSlider()->value(), 20);
    view.close();
    preferences->setRestoreTabsOnLaunch(false);
    preferences->remove(quillet::PreferenceKeys::editorShowLineNumbers);
    view.present();
    QVERIFY(!view.restoreTabsToggle()->isChecked());
    QVERIFY(view.lineNumbersToggle()->isChecked());
    QCOMPARE(view.tabView()->currentIndex(), 0);

    // Another process writing the file: the open window shows it once the store notices.
    {
        QSettings otherProcess(store.path, QSettings::IniFormat);
        otherProcess.setValue(quillet::PreferenceKeys::autoSaveInterval, 12.0);
        otherProcess.setValue(quillet::PreferenceKeys::appTheme, QStringLiteral("system"));
    }
    QTRY_COMPARE(view.autoSaveText()->text(), QStringLiteral("12s"));
    QCOMPARE(view.autoSaveSlider()->value(), 12);
    QTRY_VERIFY(view.themeSegment("system")->isChecked());
}

QTEST_MAIN(SettingsViewTest)
#include "tst_settings_view.moc"
