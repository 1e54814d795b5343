#include "settings/preferences.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using quillet::Preferences;
namespace Keys = quillet::PreferenceKeys;

namespace {

// Reads a key through the typed getter, as a QVariant so the test table can hold every type.
QVariant readThrough(const Preferences &preferences, const QString &key)
{
    if (key == Keys::editorFontSize)
        return preferences.editorFontSize();
    if (key == Keys::editorLineHeight)
        return preferences.editorLineHeight();
    if (key == Keys::editorTabWidth)
        return preferences.editorTabWidth();
    if (key == Keys::restoreTabsOnLaunch)
        return preferences.restoreTabsOnLaunch();
    if (key == Keys::autoSaveInterval)
        return preferences.autoSaveInterval();
    if (key == Keys::appTheme)
        return preferences.appTheme();
    return preferences.editorShowLineNumbers();
}

void writeThrough(Preferences &preferences, const QString &key, const QVariant &value)
{
    if (key == Keys::editorFontSize)
        preferences.setEditorFontSize(value.toDouble());
    else if (key == Keys::editorLineHeight)
        preferences.setEditorLineHeight(value.toDouble());
    else if (key == Keys::editorTabWidth)
        preferences.setEditorTabWidth(value.toLongLong());
    else if (key == Keys::restoreTabsOnLaunch)
        preferences.setRestoreTabsOnLaunch(value.toBool());
    else if (key == Keys::autoSaveInterval)
        preferences.setAutoSaveInterval(value.toDouble());
    else if (key == Keys::appTheme)
        preferences.setAppTheme(value.toString());
    else
        preferences.setEditorShowLineNumbers(value.toBool());
}

} // namespace

class PreferencesTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void absentKeysReadAsDefaultsWithoutWriting_data();
    void absentKeysReadAsDefaultsWithoutWriting();
    void storedValuesAreUsedUnchanged_data();
    void storedValuesAreUsedUnchanged();
    void writesSurviveAReopenedStore_data();
    void writesSurviveAReopenedStore();
    void writesAreAnnouncedOnlyOnChange_data();
    void writesAreAnnouncedOnlyOnChange();
    void removalRestoresTheDefault();
    void autoSaveSecondsAreClamped_data();
    void autoSaveSecondsAreClamped();
    void outsideChangesArePickedUp();
    void storeFileThatIsNotAFileIsMovedAside_data();
    void storeFileThatIsNotAFileIsMovedAside();

private:
    std::unique_ptr<Preferences> open();
    QString storePath() const { return m_dir->filePath(QStringLiteral("Quillet.conf")); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void PreferencesTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

std::unique_ptr<Preferences> PreferencesTest::open()
{
    return std::make_unique<Preferences>(Preferences::openStore(storePath()));
}

void PreferencesTest::absentKeysReadAsDefaultsWithoutWriting_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("font size 14") << Keys::editorFontSize << QVariant(14.0);
    QTest::newRow("line height 1.5") << Keys::editorLineHeight << QVariant(1.5);
    QTest::newRow("tab width 4") << Keys::editorTabWidth << QVariant(qint64(4));
    QTest::newRow("line numbers on") << Keys::editorShowLineNumbers << QVariant(true);
    QTest::newRow("restore on") << Keys::restoreTabsOnLaunch << QVariant(true);
    QTest::newRow("autosave 5 s") << Keys::autoSaveInterval << QVariant(5.0);
    QTest::newRow("theme system") << Keys::appTheme << QVariant(QStringLiteral("system"));
}

void PreferencesTest::absentKeysReadAsDefaultsWithoutWriting()
{
    QFETCH(QString, key);
    QFETCH(QVariant, expected);
    {
        auto preferences = open();
        QCOMPARE(readThrough(*preferences, key), expected);
    }
    QSettings store(storePath(), QSettings::IniFormat);
    QVERIFY(store.allKeys().isEmpty());
}

void PreferencesTest::storedValuesAreUsedUnchanged_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("font size above the offered range")
        << Keys::editorFontSize << QVariant(30.0) << QVariant(30.0);
    QTest::newRow("font size below any usable size")
        << Keys::editorFontSize << QVariant(1.0) << QVariant(1.0);
    QTest::newRow("line height as text")
        << Keys::editorLineHeight << QVariant("2.25") << QVariant(2.25);
    QTest::newRow("tab width not offered")
        << Keys::editorTabWidth << QVariant(3) << QVariant(qint64(3));
    QTest::newRow("line numbers off")
        << Keys::editorShowLineNumbers << QVariant(false) << QVariant(false);
    QTest::newRow("not a number reads as the default")
        << Keys::editorFontSize << QVariant("large") << QVariant(14.0);
    QTest::newRow("infinite reads as the default")
        << Keys::editorLineHeight << QVariant("inf") << QVariant(1.5);
    QTest::newRow("not a boolean reads as the default")
        << Keys::editorShowLineNumbers << QVariant("maybe") << QVariant(true);
    QTest::newRow("autosave past the offered range")
        << Keys::autoSaveInterval << QVariant(90.0) << QVariant(90.0);
    QTest::newRow("unknown theme kept as stored")
        << Keys::appTheme << QVariant("sepia") << QVariant(QStringLiteral("sepia"));
    QTest::newRow("restore off") << Keys::restoreTabsOnLaunch << QVariant(false) << QVariant(false);
}

void PreferencesTest::storedValuesAreUsedUnchanged()
{
    QFETCH(QString, key);
    QFETCH(QVariant, stored);
    QFETCH(QVariant, expected);
    {
        QSettings store(storePath(), QSettings::IniFormat);
        store.setValue(key, stored);
    }
    auto preferences = open();
    QCOMPARE(readThrough(*preferences, key), expected);
}

void PreferencesTest::writesSurviveAReopenedStore_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("font size") << Keys::editorFontSize << QVariant(18.0);
    QTest::newRow("line height") << Keys::editorLineHeight << QVariant(1.2);
    QTest::newRow("tab width") << Keys::editorTabWidth << QVariant(qint64(8));
    QTest::newRow("line numbers") << Keys::editorShowLineNumbers << QVariant(false);
}

void PreferencesTest::writesSurviveAReopenedStore()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    writeThrough(*open(), key, value);
    QCOMPARE(readThrough(*open(), key), value);
}

void PreferencesTest::writesAreAnnouncedOnlyOnChange_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QByteArray>("signal");
    QTest::newRow("font size") << Keys::editorFontSize << QVariant(20.0)
                               << QByteArray(SIGNAL(editorFontSizeChanged()));
    QTest::newRow("line height") << Keys::editorLineHeight << QVariant(2.0)
                                 << QByteArray(SIGNAL(editorLineHeightChanged()));
    QTest::newRow("tab width") << Keys::editorTabWidth << QVariant(qint64(2))
                               << QByteArray(SIGNAL(editorTabWidthChanged()));
    QTest::newRow("line numbers") << Keys::editorShowLineNumbers << QVariant(false)
                                  << QByteArray(SIGNAL(editorShowLineNumbersChanged()));
}

void PreferencesTest::writesAreAnnouncedOnlyOnChange()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    QFETCH(QByteArray, signal);
    auto preferences = open();
    QSignalSpy keySpy(preferences.get(), signal.constData());
    QSignalSpy anySpy(preferences.get(), &Preferences::changed);

    writeThrough(*preferences, key, value);
    writeThrough(*preferences, key, value);

    QCOMPARE(keySpy.size(), 1);
    QCOMPARE(anySpy.size(), 1);
    QCOMPARE(anySpy.first().first().toString(), key);
}

void PreferencesTest::removalRestoresTheDefault()
{
    auto preferences = open();
    preferences->setEditorTabWidth(8);
    QSignalSpy spy(preferences.get(), &Preferences::editorTabWidthChanged);

    preferences->remove(Keys::editorTabWidth);
    preferences->remove(Keys::editorTabWidth);

    QCOMPARE(preferences->editorTabWidth(), 4);
    QCOMPARE(spy.size(), 1);
}

void PreferencesTest::autoSaveSecondsAreClamped_data()
{
    QTest::addColumn<double>("stored");
    QTest::addColumn<double>("seconds");
    QTest::newRow("zero") << 0.0 << 1.0;
    QTest::newRow("negative") << -4.0 << 1.0;
    QTest::newRow("in range") << 7.5 << 7.5;
    QTest::newRow("a day") << 86400.0 << 3600.0;
}

void PreferencesTest::autoSaveSecondsAreClamped()
{
    QFETCH(double, stored);
    auto preferences = open();
    preferences->setAutoSaveInterval(stored);
    QCOMPARE(preferences->autoSaveInterval(), stored);
    QTEST(preferences->autoSaveSeconds(), "seconds");
}

void PreferencesTest::outsideChangesArePickedUp()
{
    auto preferences = open();
    auto second = open();
    QSignalSpy themeSpy(preferences.get(), &Preferences::appThemeChanged);
    QSignalSpy fontSpy(preferences.get(), &Preferences::editorFontSizeChanged);
    {
        // Another process's write: a store of its own, flushed to the file.
        QSettings outside(storePath(), QSettings::IniFormat);
        outside.setValue(Keys::appTheme, QStringLiteral("dark"));
    }
    QTRY_COMPARE_WITH_TIMEOUT(themeSpy.size(), 1, 1000);
    QCOMPARE(preferences->appTheme(), QStringLiteral("dark"));
    QVERIFY(fontSpy.isEmpty());
    // A write through one object reaches another over the same file the same way.
    QSignalSpy secondFontSpy(second.get(), &Preferences::editorFontSizeChanged);
    preferences->setEditorFontSize(20.0);
    QCOMPARE(fontSpy.size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(secondFontSpy.size(), 1, 3000);
    QCOMPARE(second->editorFontSize(), 20.0);
}

void PreferencesTest::storeFileThatIsNotAFileIsMovedAside_data()
{
    QTest::addColumn<QString>("kind");

    QTest::newRow("FIFO") << QStringLiteral("fifo");
    QTest::newRow("link to another file") << QStringLiteral("link");
    QTest::newRow("device node") << QStringLiteral("device");
}

// Neither reading nor writing the store may block on a FIFO, write through a link or replace a
// device: whatever is there is moved aside and a regular file of the store's own takes its place.
void PreferencesTest::storeFileThatIsNotAFileIsMovedAside()
{
    QFETCH(QString, kind);
    const QByteArray native = QFile::encodeName(storePath());
    const QString victim = m_dir->filePath(QStringLiteral("victim"));
    if (kind == u"fifo") {
        QCOMPARE(::mkfifo(native.constData(), 0600), 0);
    } else if (kind == u"link") {
        QFile file(victim);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("someone else's");
        file.close();
        QVERIFY(QFile::link(victim, storePath()));
    } else {
        if (::geteuid() != 0)
            QSKIP("needs root to make a device node");
        QCOMPARE(::mknod(native.constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
    }

    auto preferences = open();
    preferences->setAppTheme(QStringLiteral("dark"));
    QCOMPARE(preferences->appTheme(), QStringLiteral("dark"));

    struct stat status {};
    QCOMPARE(::lstat(native.constData(), &status), 0);
    QVERIFY(S_ISREG(status.st_mode));
    QSettings reread(storePath(), QSettings::IniFormat);
    QCOMPARE(reread.value(Keys::appTheme).toString(), QStringLiteral("dark"));
    if (kind == u"link") {
        QFile file(victim);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("someone else's"));
    }
    QCOMPARE(
        QDir(m_dir->path())
            .entryList({QStringLiteral("Quillet.conf.unusable-*")}, QDir::AllEntries | QDir::System)
            .size(),
        1);
}

QTEST_GUILESS_MAIN(PreferencesTest)
#include "tst_preferences.moc"
