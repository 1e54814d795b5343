#pragma once

#include <QList>
#include <QWidget>

#include <utility>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QSlider;
class QTabWidget;

namespace quillet {

class Preferences;
class TextLabel;

// The settings window: the seven preferences in the tabs "Appearance", "Editor" and "General",
// and a fixed list of the main shortcuts in "Shortcuts". Every change the user makes is written
// at once (sliders while they are dragged); nothing is kept here, so the controls always show
// what the store holds, including changes made elsewhere. A stored value the controls cannot
// show exactly (outside a slider's range, a tab width or theme matching no entry) is shown as
// near as the control allows and stays stored until the user picks another value. Colours are
// read from the palette when painted, so the window follows a change of appearance.
class SettingsView : public QWidget {
    Q_OBJECT

public:
    // Without a parent it is a window of its own; with one, a separate window above it.
    explicit SettingsView(Preferences &preferences, QWidget *parent = nullptr);

    // Opens the window, or brings it to the front when it is open already.
    void present();

    QTabWidget *tabView() const { return m_tabs; }
    // The "Appearance" segment that stores `theme` ("system", "light" or "dark").
    QAbstractButton *themeSegment(const QString &theme) const;
    QSlider *fontSizeSlider() const { return m_fontSize.slider; }
    TextLabel *fontSizeText() const { return m_fontSize.text; }
    QSlider *lineHeightSlider() const { return m_lineHeight.slider; }
    TextLabel *lineHeightText() const { return m_lineHeight.text; }
    QComboBox *tabWidthPicker() const { return m_tabWidth; }
    QCheckBox *lineNumbersToggle() const { return m_lineNumbers; }
    QCheckBox *restoreTabsToggle() const { return m_restoreTabs; }
    QSlider *autoSaveSlider() const { return m_autoSave.slider; }
    TextLabel *autoSaveText() const { return m_autoSave.text; }

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct SliderRow {
        QSlider *slider = nullptr;
        TextLabel *text = nullptr;
    };

    QWidget *appearanceSettings();
    QWidget *editorSettings();
    QWidget *generalSettings();
    QWidget *shortcutsSettings();
    QWidget *shortcutRow(const QString &keys, const QString &label, int keyWidth, QWidget *parent);

    void showTheme();
    void showFontSize();
    void showLineHeight();
    void showTabWidth();
    void showLineNumbers();
    void showRestoreTabs();
    void showAutoSaveInterval();
    void showAll();
    void updateTabIcons();

    Preferences &m_preferences;
    QTabWidget *m_tabs = nullptr;
    QList<QAbstractButton *> m_themeSegments;
    SliderRow m_fontSize;
    SliderRow m_lineHeight;
    SliderRow m_autoSave;
    QComboBox *m_tabWidth = nullptr;
    QCheckBox *m_lineNumbers = nullptr;
    QCheckBox *m_restoreTabs = nullptr;
};

} // namespace quillet
