#include "settings/preferences.h"

#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using quillet::Preferences;
using namespace Qt::StringLiterals;
namespace Keys = quillet::PreferenceKeys;

namespace {

// What the autosave loop makes of the stored interval: read only, through the interval's key.
const QString kSeconds = Keys::autoSaveInterval + u" seconds"_s;

// Each key through its typed getter and setter, as a QVariant so one table holds every type.
struct Accessor {
    std::function<QVariant(const Preferences &)> read;
    std::function<void(Preferences &, const QVariant &)> write;
};

const Accessor &accessor(const QString &key)
{
    using P = Preferences;
    using V = const QVariant &;
    static const QHash<QString, Accessor> table{
        {Keys::editorFontSize,
         {&P::editorFontSize, [](P &p, V v) { p.setEditorFontSize(v.toDouble()); }}},
        {Keys::editorLineHeight,
         {&P::editorLineHeight, [](P &p, V v) { p.setEditorLineHeight(v.toDouble()); }}},
        {Keys::editorTabWidth,
         {&P::editorTabWidth, [](P &p, V v) { p.setEditorTabWidth(v.toLongLong()); }}},
        {Keys::editorShowLineNumbers,
         {&P::editorShowLineNumbers, [](P &p, V v) { p.setEditorShowLineNumbers(v.toBool()); }}},
        {Keys::restoreTabsOnLaunch,
         {&P::restoreTabsOnLaunch, [](P &p, V v) { p.setRestoreTabsOnLaunch(v.toBool()); }}},
        {Keys::autoSaveInterval,
         {&P::autoSaveInterval, [](P &p, V v) { p.setAutoSaveInterval(v.toDouble()); }}},
        {Keys::appTheme, {&P::appTheme, [](P &p, V v) { p.setAppTheme(v.toString()); }}},
        {kSeconds, {&P::autoSaveSeconds, {}}},
    };
    return *table.constFind(key);
}

} // namespace

class PreferencesTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() { m_dir->setAutoRemove(!QTest::currentTestFailed()); }
    void readsStoredValuesAsStored_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored"); // invalid: absent
        QTest::addColumn<QVariant>("expected");
        const auto row = [](const char *name, const QString &key, const QVariant &stored,
                            const QVariant &expected) {
            QTest::newRow(name) << key << stored << expected;
        };
        row("absent restore", Keys::restoreTabsOnLaunch, {}, true);
        row("absent autosave", Keys::autoSaveInterval, {}, 5.0);
        row("absent theme", Keys::appTheme, {}, u"system"_s);
        row("font size below any usable size", Keys::editorFontSize, 1.0, 1.0);
        row("line height as text", Keys::editorLineHeight, "2.25", 2.25);
        row("tab width not offered", Keys::editorTabWidth, 3, qint64(3));
        row("autosave past the offered range", Keys::autoSaveInterval, 90.0, 90.0);
        row("unknown theme", Keys::appTheme, "sepia", u"sepia"_s);
        row("seconds: zero", kSeconds, 0.0, 1.0);
        row("seconds: in range", kSeconds, 7.5, 7.5);
        row("seconds: a day", kSeconds, 86400.0, 3600.0);
        row("not a number", Keys::editorFontSize, "large", 14.0);
        row("not an integer", Keys::editorTabWidth, "wide", qint64(4));
        row("infinite", Keys::editorLineHeight, "inf", 1.5);
        row("not a boolean", Keys::editorShowLineNumbers, "maybe", true);
        row("boolean as text", Keys::restoreTabsOnLaunch, "false", false);
    }

    // An absent key reads as its default without being written.
    void readsStoredValuesAsStored()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        if (stored.isValid())
            QSettings(storePath(), QSettings::IniFormat).setValue(key.section(u' ', 0, 0), stored);
        QTEST(accessor(key).read(*open()), "expected");
        QCOMPARE(QSettings(storePath(), QSettings::IniFormat).allKeys().size(),
                 int(stored.isValid()));
    }

    void writesPersistAndAreAnnouncedOnlyOnChange_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("font size") << Keys::editorFontSize << QVariant(18.0);
        QTest::newRow("line height") << Keys::editorLineHeight << QVariant(1.2);
        QTest::newRow("tab width") << Keys::editorTabWidth << QVariant(qint64(8));
        QTest::newRow("line numbers") << Keys::editorShowLineNumbers << QVariant(false);
        QTest::newRow("restore") << Keys::restoreTabsOnLaunch << QVariant(false);
        QTest::newRow("autosave") << Keys::autoSaveInterval << QVariant(30.0);
        QTest::newRow("theme") << Keys::appTheme << QVariant(u"dark"_s);
    }

    // Written twice, removed twice: announced once each way, by the key's own signal and by
    // changed(key); the value is read back from a reopened store.
    void writesPersistAndAreAnnouncedOnlyOnChange()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        const Accessor &access = accessor(key);
        auto preferences = open();
        const QVariant fallback = access.read(*preferences);
        QSignalSpy keySpy(preferences.get(), QByteArray("2" + key.toLatin1() + "Changed()"));
        QSignalSpy anySpy(preferences.get(), &Preferences::changed);
        for (int round = 0; round < 2; ++round) {
            access.write(*preferences, value);
            QCOMPARE(keySpy.size(), 1);
        }
        QCOMPARE(access.read(*open()), value);
        QCOMPARE(QList<QVariantList>(anySpy), QList<QVariantList>{{key}});
        for (int round = 0; round < 2; ++round) {
            preferences->remove(key);
            QCOMPARE(keySpy.size(), 2);
        }
        QCOMPARE(access.read(*preferences), fallback);
    }

    void outsideChangesArePickedUp()
    {
        auto preferences = open();
        auto second = open();
        QSignalSpy themeSpy(preferences.get(), &Preferences::appThemeChanged);
        QSignalSpy fontSpy(preferences.get(), &Preferences::editorFontSizeChanged);
        // Another process's write: a store of its own, flushed to the file.
        QSettings(storePath(), QSettings::IniFormat).setValue(Keys::appTheme, u"dark"_s);
        QTRY_COMPARE_WITH_TIMEOUT(themeSpy.size(), 1, 1000);
        QCOMPARE(preferences->appTheme(), u"dark"_s);
        QVERIFY(fontSpy.isEmpty());
        // A write through one object reaches another over the same file the same way.
        QSignalSpy secondFontSpy(second.get(), &Preferences::editorFontSizeChanged);
        preferences->setEditorFontSize(20.0);
        QTRY_COMPARE_WITH_TIMEOUT(secondFontSpy.size(), 1, 3000);
        QCOMPARE(second->editorFontSize(), 20.0);
    }

    void storeFileThatIsNotAFileIsMovedAside_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << u"fifo"_s;
        QTest::newRow("link to another file") << u"link"_s;
        QTest::newRow("device node") << u"device"_s;
    }

    // Neither reading nor writing the store may block on a FIFO, write through a link or replace a
    // device: whatever is there is moved aside and a regular file of the store's own takes its
    // place.
    void storeFileThatIsNotAFileIsMovedAside()
    {
        QFETCH(QString, kind);
        const QByteArray native = QFile::encodeName(storePath());
        QFile victim(m_dir->filePath(u"victim"_s));
        if (kind == u"fifo") {
            QCOMPARE(::mkfifo(native.constData(), 0600), 0);
        } else if (kind == u"link") {
            QVERIFY(victim.open(QIODevice::WriteOnly) && victim.write("theirs") == 6);
            victim.close();
            QVERIFY(victim.link(storePath()));
        } else {
            if (::geteuid() != 0)
                QSKIP("needs root to make a device node");
            QCOMPARE(::mknod(native.constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
        }
        QTest::ignoreMessage(
            QtWarningMsg, QRegularExpression(u"not a regular file; it was moved to .*unusable-"_s));
        open()->setAppTheme(u"dark"_s);

        struct stat status {};
        QCOMPARE(::lstat(native.constData(), &status), 0);
        QVERIFY(S_ISREG(status.st_mode));
        QCOMPARE(QSettings(storePath(), QSettings::IniFormat).value(Keys::appTheme), u"dark"_s);
        if (kind == u"link")
            QVERIFY(victim.open(QIODevice::ReadOnly) && victim.readAll() == "theirs");
        const auto filter = QDir::AllEntries | QDir::System;
        QCOMPARE(QDir(m_dir->path()).entryList({u"Quillet.conf.unusable-*"_s}, filter).size(), 1);
    }

private:
    QString storePath() const { return m_dir->filePath(QStringLiteral("Quillet.conf")); }
    std::unique_ptr<Preferences> open()
    {
        return std::make_unique<Preferences>(Preferences::openStore(storePath()));
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(PreferencesTest)
#include "tst_preferences.moc"
