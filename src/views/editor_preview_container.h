#pragma once

#include "preview_view.h"

#include "editor/editor_view.h"

#include <QPointer>
#include <QPropertyAnimation>
#include <QWidget>

class QHBoxLayout;

namespace quillet {

class Preferences;
class TabManager;
enum class PreviewMode;

// The editing area, for the tab manager's current scratchpad: the editor alone, editor and
// preview side by side at equal widths with a 1-pixel line between them, or the preview alone,
// by the preview mode; the welcome view when there is no current tab.
//
// One editor serves every mode for the container's life: a mode without it hides it, and coming
// back shows it as it was left and gives it the focus. A tab switch hands it the new scratchpad.
// The preview is made anew for each mode that shows one. Each change of mode fades in over 0.2 s
// with an ease-in-ease-out curve.
class EditorPreviewContainer : public QWidget {
    Q_OBJECT

public:
    EditorPreviewContainer(TabManager &tabManager, Preferences &preferences,
                           QWidget *parent = nullptr);

    // What is shown now; null where the state shows none.
    EditorView *editor() const;
    PreviewView *preview() const { return m_preview; }
    QWidget *separator() const { return m_separator; }
    QWidget *welcomeView() const { return m_welcome; }
    // The fade of the last mode change, while it runs.
    QPropertyAnimation *modeAnimation() const { return m_fade; }

private:
    enum class Shape { welcome, edit, split, preview };

    Shape shapeNow() const;
    void rebuild(bool fade);
    void followState();

    TabManager &m_tabManager;
    Preferences &m_preferences;
    Shape m_shape;
    QWidget *m_content = nullptr;
    QHBoxLayout *m_row = nullptr;
    QPointer<EditorView> m_editor;
    QPointer<PreviewView> m_preview;
    QPointer<QWidget> m_separator;
    QPointer<QWidget> m_welcome;
    QPointer<QPropertyAnimation> m_fade;
};

} // namespace quillet
