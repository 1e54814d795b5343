#include "preferences.h"

#include <QCoreApplication>
#include <QSettings>
#include <QVariant>

#include <cmath>

namespace quillet {

Preferences::Preferences(std::unique_ptr<QSettings> store, QObject *parent)
    : QObject(parent)
    , m_store(store ? std::move(store) : std::make_unique<QSettings>())
{
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

template <typename Write> void Preferences::changeKey(const QString &key, Write write)
{
    const QVariant before = m_store->value(key);
    write();
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

void Preferences::remove(const QString &key)
{
    changeKey(key, [&] { m_store->remove(key); });
}

void Preferences::announce(const QString &key)
{
    if (key == PreferenceKeys::editorFontSize)
        emit editorFontSizeChanged();
    else if (key == PreferenceKeys::editorLineHeight)
        emit editorLineHeightChanged();
    else if (key == PreferenceKeys::editorTabWidth)
        emit editorTabWidthChanged();
    else if (key == PreferenceKeys::editorShowLineNumbers)
        emit editorShowLineNumbersChanged();
    emit changed(key);
}

} // namespace quillet
