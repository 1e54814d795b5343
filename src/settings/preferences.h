#pragma once

#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QSettings>
#include <QString>

#include <memory>

namespace quillet {

// The keys of the per-user store and the value each one reads as while it is absent.
namespace PreferenceKeys {
inline const QString editorFontSize = QStringLiteral("editorFontSize");
inline const QString editorLineHeight = QStringLiteral("editorLineHeight");
inline const QString editorTabWidth = QStringLiteral("editorTabWidth");
inline const QString editorShowLineNumbers = QStringLiteral("editorShowLineNumbers");
inline const QString restoreTabsOnLaunch = QStringLiteral("restoreTabsOnLaunch");
inline const QString autoSaveInterval = QStringLiteral("autoSaveInterval");
inline const QString appTheme = QStringLiteral("appTheme");
} // namespace PreferenceKeys

namespace PreferenceDefaults {
inline constexpr double editorFontSize = 14.0;
inline constexpr double editorLineHeight = 1.5;
inline constexpr qint64 editorTabWidth = 4;
inline constexpr bool editorShowLineNumbers = true;
inline constexpr bool restoreTabsOnLaunch = true;
inline constexpr double autoSaveInterval = 5.0;
inline const QString appTheme = QStringLiteral("system");
} // namespace PreferenceDefaults

// The user's preferences, kept in a QSettings store. Reading an absent key yields its default and
// never writes it; a stored value is returned as stored, whatever range the settings window
// offers (the readers decide what they can use). Every write through this object, and every
// removal, is announced to all its observers when it changes what the key reads as, so two views
// bound to one key stay in step. Values that another process writes to the store's file are
// picked up when the file changes and announced the same way.
class Preferences : public QObject {
    Q_OBJECT

public:
    // Without a store, the application's native per-user settings.
    explicit Preferences(std::unique_ptr<QSettings> store = {}, QObject *parent = nullptr);
    ~Preferences() override;

    // The one instance the application's views share; created on first use with the native
    // store. Main thread only.
    static Preferences &shared();

    // A store kept in the file at `fileName`, opened only once the file is safe to read: a
    // FIFO, a device or a symbolic link in its place is first moved aside (QSettings would
    // block on the FIFO, and write its settings over whatever the link names).
    static std::unique_ptr<QSettings> openStore(const QString &fileName);

    // Any other value of the same store (the window's geometry), read and written with the
    // same care.
    QVariant storedValue(const QString &key) const;
    void storeValue(const QString &key, const QVariant &value);

    double editorFontSize() const;
    double editorLineHeight() const;
    qint64 editorTabWidth() const;
    bool editorShowLineNumbers() const;
    bool restoreTabsOnLaunch() const;
    // Seconds, as stored; autoSaveSeconds() is what the autosave loop can use.
    double autoSaveInterval() const;
    QString appTheme() const;
    // The stored interval held to 1 to 3600 seconds.
    double autoSaveSeconds() const;

    void setEditorFontSize(double points);
    void setEditorLineHeight(double multiple);
    void setEditorTabWidth(qint64 spaces);
    void setEditorShowLineNumbers(bool show);
    void setRestoreTabsOnLaunch(bool restore);
    void setAutoSaveInterval(double seconds);
    void setAppTheme(const QString &theme);

    // Forgets the stored value, so the key reads as its default again.
    void remove(const QString &key);

signals:
    // After any key's value changed, with the key.
    void changed(const QString &key);
    void editorFontSizeChanged();
    void editorLineHeightChanged();
    void editorTabWidthChanged();
    void editorShowLineNumbersChanged();
    void restoreTabsOnLaunchChanged();
    void autoSaveIntervalChanged();
    void appThemeChanged();

private:
    // A stored value of the wrong type, or a double that is not finite, reads as the default.
    double readDouble(const QString &key, double fallback) const;
    qint64 readInteger(const QString &key, qint64 fallback) const;
    bool readBoolean(const QString &key, bool fallback) const;
    // Runs `write`, then announces the key if what it reads as has changed.
    template <typename Write> void changeKey(const QString &key, Write write);
    void announce(const QString &key);
    // Re-reads the store's file after another process changed it.
    void pickUpOutsideChanges();
    void watchStoreFile();
    // Writes what is pending to the file, after moving aside whatever unsafe took its place.
    void syncSafely();

    std::unique_ptr<QSettings> m_store;
    QFileSystemWatcher *m_watcher = nullptr;
    // What each key read as when last looked at, to tell which ones an outside change touched.
    QHash<QString, QVariant> m_seen;
};

} // namespace quillet
