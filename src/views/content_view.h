#pragma once

#include "editor_preview_container.h"
#include "status_bar_view.h"
#include "tab_bar_view.h"
#include "welcome_view.h"

#include <QPointer>
#include <QPropertyAnimation>
#include <QWidget>

#include <memory>

namespace quillet {

class FileRevealer;
class Preferences;
class TabManager;

// The content of the main window, on the window background: the welcome view alone while no
// tab is open; otherwise, top to bottom and without spacing, the tab bar, a divider, the editing
// area, a second divider and the status bar.
class ContentView : public QWidget {
    Q_OBJECT

public:
    ContentView(TabManager &tabManager, Preferences &preferences,
                std::shared_ptr<FileRevealer> revealer = {}, QWidget *parent = nullptr);

    // What is shown now; null where the state shows none.
    TabBarView *tabBar() const { return m_tabBar; }
    EditorPreviewContainer *editingArea() const { return m_editingArea; }
    StatusBarView *statusBar() const { return m_statusBar; }
    WelcomeView *welcomeView() const { return m_welcome; }
    QList<QWidget *> dividers() const;
    // The fade of the editing area as it appears with the first tab or goes with the last, while
    // it runs; on the way out it fades a picture of the area, taken before the area was deleted.
    QPropertyAnimation *editingAreaFade() const { return m_editingAreaFade; }
    QWidget *leavingEditingArea() const { return m_leavingEditingArea; }
    // The keyboard to the current tab's text, or without a tab to the welcome view's first
    // button; for a window that became active before this view was in it.
    void focusContent();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void showState();
    void fadeOutEditingArea();

    TabManager &m_tabManager;
    Preferences &m_preferences;
    std::shared_ptr<FileRevealer> m_revealer;
    QWidget *m_content = nullptr;
    QPointer<TabBarView> m_tabBar;
    QPointer<EditorPreviewContainer> m_editingArea;
    QPointer<StatusBarView> m_statusBar;
    QPointer<WelcomeView> m_welcome;
    QList<QPointer<QWidget>> m_dividers;
    QPointer<QPropertyAnimation> m_editingAreaFade;
    QPointer<QWidget> m_leavingEditingArea;
};

} // namespace quillet
