#include "preferences.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

#include <algorithm>
#include <cmath>

#include <sys/stat.h>

namespace quillet {

namespace {

QStringList allKeys()
{
    using namespace PreferenceKeys;
    return {editorFontSize,      editorLineHeight, editorTabWidth, editorShowLineNumbers,
            restoreTabsOnLaunch, autoSaveInterval, appTheme};
}

// Moves whatever is at `fileName` aside when it is not a regular file, so that neither
// reading nor writing the store touches it: the link itself is moved, never what it names.
void setAsideUnsafeStoreFile(const QString &fileName)
{
    const QByteArray native = QFile::encodeName(fileName);
    struct stat status {};
    if (::lstat(native.constData(), &status) != 0 || S_ISREG(status.st_mode))
        return;
    const QString aside =
        fileName + QStringLiteral(".unusable-") +
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    if (::rename(native.constData(), QFile::encodeName(aside).constData()) == 0)
        qWarning("Quillet: the settings file %s is not a regular file; it was moved to %s",
                 native.constData(), QFile::encodeName(aside).constData());
    else
        qWarning("Quillet: the settings file %s is not a regular file and could not be moved",
                 native.constData());
}

std::unique_ptr<QSettings> openNativeStore()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // Where QSettings keeps the application's native store on this platform.
    return Preferences::openStore(
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
        QCoreApplication::organizationName() + QLatin1Char('/') +
        QCoreApplication::applicationName() + QStringLiteral(".conf"));
#else
    return std::make_unique<QSettings>();
#endif
}

} // namespace

std::unique_ptr<QSettings> Preferences::openStore(const QString &fileName)
{
    setAsideUnsafeStoreFile(fileName);
    return std::make_unique<QSettings>(fileName, QSettings::IniFormat);
}

Preferences::Preferences(std::unique_ptr<QSettings> store, QObject *parent)
    : QObject(parent)
    , m_store(store ? std::move(store) : openNativeStore())
{
    for (const QString &key : allKeys())
        m_seen.insert(key, m_store->value(key));
    // A store that is not a file has nothing to watch.
    if (!QFileInfo(m_store->fileName()).isAbsolute())
        return;
    m_watcher = new QFileSystemWatcher(this);
    // Writers replace the file, which ends a watch on it; the folder's watch sees the new one.
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &Preferences::pickUpOutsideChanges);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this,
            &Preferences::pickUpOutsideChanges);
    watchStoreFile();
}

void Preferences::watchStoreFile()
{
    const QString file = m_store->fileName();
    const QString folder = QFileInfo(file).absolutePath();
    QDir().mkpath(folder);
    if (!m_watcher->directories().contains(folder))
        m_watcher->addPath(folder);
    if (QFileInfo::exists(file) && !m_watcher->files().contains(file))
        m_watcher->addPath(file);
}

void Preferences::syncSafely()
{
    if (QFileInfo(m_store->fileName()).isAbsolute())
        setAsideUnsafeStoreFile(m_store->fileName());
    m_store->sync();
}

QVariant Preferences::storedValue(const QString &key) const
{
    return m_store->value(key);
}

void Preferences::storeValue(const QString &key, const QVariant &value)
{
    m_store->setValue(key, value);
    syncSafely();
}

void Preferences::pickUpOutsideChanges()
{
    watchStoreFile();
    syncSafely();
    for (const QString &key : allKeys())
        if (m_store->value(key) != m_seen.value(key))
            announce(key);
}

Preferences::~Preferences() = default;

Preferences &Preferences::shared()
{
    // Parented to the application so it goes before the application does.
    static Preferences *instance = new Preferences({}, QCoreApplication::instance());
    return *instance;
}

double Preferences::readDouble(const QString &key, double fallback) const
{
    const QVariant stored = m_store->value(key);
    bool ok = false;
    const double value = stored.toDouble(&ok);
    return ok && std::isfinite(value) ? value : fallback;
}

qint64 Preferences::readInteger(const QString &key, qint64 fallback) const
{
    const QVariant stored = m_store->value(key);
    bool ok = false;
    const qint64 value = stored.toLongLong(&ok);
    return ok ? value : fallback;
}

bool Preferences::readBoolean(const QString &key, bool fallback) const
{
    const QVariant stored = m_store->value(key);
    // A text store hands back strings; only the two spellings it writes count.
    if (stored.typeId() == QMetaType::Bool)
        return stored.toBool();
    const QString text = stored.toString();
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    return fallback;
}

double Preferences::editorFontSize() const
{
    return readDouble(PreferenceKeys::editorFontSize, PreferenceDefaults::editorFontSize);
}

double Preferences::editorLineHeight() const
{
    return readDouble(PreferenceKeys::editorLineHeight, PreferenceDefaults::editorLineHeight);
}

qint64 Preferences::editorTabWidth() const
{
    return readInteger(PreferenceKeys::editorTabWidth, PreferenceDefaults::editorTabWidth);
}

bool Preferences::editorShowLineNumbers() const
{
    return readBoolean(PreferenceKeys::editorShowLineNumbers,
                       PreferenceDefaults::editorShowLineNumbers);
}

bool Preferences::restoreTabsOnLaunch() const
{
    return readBoolean(PreferenceKeys::restoreTabsOnLaunch,
                       PreferenceDefaults::restoreTabsOnLaunch);
}

double Preferences::autoSaveInterval() const
{
    return readDouble(PreferenceKeys::autoSaveInterval, PreferenceDefaults::autoSaveInterval);
}

double Preferences::autoSaveSeconds() const
{
    return std::clamp(autoSaveInterval(), 1.0, 3600.0);
}

QString Preferences::appTheme() const
{
    const QVariant stored = m_store->value(PreferenceKeys::appTheme);
    return stored.isValid() ? stored.toString() : PreferenceDefaults::appTheme;
}

template <typename Write> void Preferences::changeKey(const QString &key, Write write)
{
    const QVariant before = m_store->value(key);
    write();
    // Written at once rather than at a later turn of the event loop, right after the check.
    syncSafely();
    if (m_store->value(key) != before)
        announce(key);
}

void Preferences::setEditorFontSize(double points)
{
    changeKey(PreferenceKeys::editorFontSize,
              [&] { m_store->setValue(PreferenceKeys::editorFontSize, points); });
}

void Preferences::setEditorLineHeight(double multiple)
{
    changeKey(PreferenceKeys::editorLineHeight,
              [&] { m_store->setValue(PreferenceKeys::editorLineHeight, multiple); });
}

void Preferences::setEditorTabWidth(qint64 spaces)
{
    changeKey(PreferenceKeys::editorTabWidth,
              [&] { m_store->setValue(PreferenceKeys::editorTabWidth, spaces); });
}

void Preferences::setEditorShowLineNumbers(bool show)
{
    changeKey(PreferenceKeys::editorShowLineNumbers,
              [&] { m_store->setValue(PreferenceKeys::editorShowLineNumbers, show); });
}

void Preferences::setRestoreTabsOnLaunch(bool restore)
{
    changeKey(PreferenceKeys::restoreTabsOnLaunch,
              [&] { m_store->setValue(PreferenceKeys::restoreTabsOnLaunch, restore); });
}

void Preferences::setAutoSaveInterval(double seconds)
{
    changeKey(PreferenceKeys::autoSaveInterval,
              [&] { m_store->setValue(PreferenceKeys::autoSaveInterval, seconds); });
}

void Preferences::setAppTheme(const QString &theme)
{
    changeKey(PreferenceKeys::appTheme,
              [&] { m_store->setValue(PreferenceKeys::appTheme, theme); });
}

void Preferences::remove(const QString &key)
{
    changeKey(key, [&] { m_store->remove(key); });
}

void Preferences::announce(const QString &key)
{
    m_seen.insert(key, m_store->value(key));
    if (key == PreferenceKeys::editorFontSize)
        emit editorFontSizeChanged();
    else if (key == PreferenceKeys::editorLineHeight)
        emit editorLineHeightChanged();
    else if (key == PreferenceKeys::editorTabWidth)
        emit editorTabWidthChanged();
    else if (key == PreferenceKeys::editorShowLineNumbers)
        emit editorShowLineNumbersChanged();
    else if (key == PreferenceKeys::restoreTabsOnLaunch)
        emit restoreTabsOnLaunchChanged();
    else if (key == PreferenceKeys::autoSaveInterval)
        emit autoSaveIntervalChanged();
    else if (key == PreferenceKeys::appTheme)
        emit appThemeChanged();
    emit changed(key);
}

} // namespace quillet
