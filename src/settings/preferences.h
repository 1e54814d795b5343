#pragma once

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
} // namespace PreferenceKeys

namespace PreferenceDefaults {
inline constexpr double editorFontSize = 14.0;
inline constexpr double editorLineHeight = 1.5;
inline constexpr qint64 editorTabWidth = 4;
inline constexpr bool editorShowLineNumbers = true;
} // namespace PreferenceDefaults

// The user's preferences, kept in a QSettings store. Reading an absent key yields its default and
// never writes it; a stored value is returned as stored, whatever range the settings window
// offers (the readers decide what they can use). Every write through this object, and every
// removal, is announced to all its observers when it changes what the key reads as, so two views
// bound to one key stay in step. Values that another process writes are seen on the next read
// but not announced.
class Preferences : public QObject {
    Q_OBJECT

public:
    // Without a store, the application's native per-user settings.
    explicit Preferences(std::unique_ptr<QSettings> store = {}, QObject *parent = nullptr);
    ~Preferences() override;

    // The one instance the application's views share; created on first use with the native
    // store. Main thread only.
    static Preferences &shared();

    double editorFontSize() const;
    double editorLineHeight() const;
    qint64 editorTabWidth() const;
    bool editorShowLineNumbers() const;

    void setEditorFontSize(double points);
    void setEditorLineHeight(double multiple);
    void setEditorTabWidth(qint64 spaces);
    void setEditorShowLineNumbers(bool show);

    // Forgets the stored value, so the key reads as its default again.
    void remove(const QString &key);

signals:
    // After any key's value changed, with the key.
    void changed(const QString &key);
    void editorFontSizeChanged();
    void editorLineHeightChanged();
    void editorTabWidthChanged();
    void editorShowLineNumbersChanged();

private:
    // A stored value of the wrong type, or a double that is not finite, reads as the default.
    double readDouble(const QString &key, double fallback) const;
    qint64 readInteger(const QString &key, qint64 fallback) const;
    bool readBoolean(const QString &key, bool fallback) const;
    // Runs `write`, then announces the key if what it reads as has changed.
    template <typename Write> void changeKey(const QString &key, Write write);
    void announce(const QString &key);

    std::unique_ptr<QSettings> m_store;
};

} // namespace quillet
