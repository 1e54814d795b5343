#pragma once

#include "settings/preferences.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace quillet::test {

// Preferences in a folder of their own, removed with them unless the test failed.
struct TestPreferences {
    QTemporaryDir dir;
    Preferences preferences{std::make_unique<QSettings>(dir.filePath(QStringLiteral("prefs.conf")),
                                                        QSettings::IniFormat)};
    ~TestPreferences() { dir.setAutoRemove(!QTest::currentTestFailed()); }
};

// Installs `use` (one of the theme's palettes) and puts the application's palette back however
// the test ends.
struct ScopedPalette {
    const QPalette saved = QApplication::palette();
    explicit ScopedPalette(const QPalette &use) { QApplication::setPalette(use); }
    ~ScopedPalette() { QApplication::setPalette(saved); }
};

} // namespace quillet::test
