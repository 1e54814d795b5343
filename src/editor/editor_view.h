#pragma once

#include <QHash>
#include <QUuid>
#include <QWidget>

#include <memory>
#include <optional>

class QAction;
class QStackedWidget;

namespace quillet {

class FindBar;
class PlainTextTextView;
class Preferences;
class Scratchpad;
class TabManager;

// The editor at one place of the window. It is handed the scratchpad to show and passes every
// edit and cursor move of its text view on to the tab manager, which updates that scratchpad.
//
// Each scratchpad gets a text view of its own, with its own text document, made the first time
// the scratchpad is shown and dropped when its tab closes; a tab switch brings that view to the
// front. So each tab's undo and redo act on that tab alone, undo never goes back past the text the
// view was made with, and a switch costs neither a copy nor a new layout of a large text (a text
// document moved to another view is laid out again from its first line).
//
// A switch never writes into a scratchpad: its text, dirty flag and modification time stay as
// they were. The selection of the view left behind is carried over when it fits the new text
// (its end clamped to the text's end), without reporting it, and the editor takes the focus on
// the next turn of the event loop. When a scratchpad's text is changed by anything other than its
// view, the view shows the new text and its undo history starts afresh.
//
// The editor preferences are followed live: font size (pixels, 4 to 200), line-height multiple
// (0.5 to 4), tab width (1 to 16 spaces) and the line-number gutter.
class EditorView : public QWidget {
    Q_OBJECT

public:
    static constexpr double kMinimumFontSize = 4.0;
    static constexpr double kMaximumFontSize = 200.0;
    static constexpr double kMinimumLineHeight = 0.5;
    static constexpr double kMaximumLineHeight = 4.0;

    // The edit actions, with their standard shortcuts, acting on the text view in front; they
    // are the editor's own, ready to be placed in an Edit menu.
    struct EditActions {
        QAction *undo = nullptr;
        QAction *redo = nullptr;
        QAction *cut = nullptr;
        QAction *copy = nullptr;
        QAction *paste = nullptr;
        QAction *selectAll = nullptr;
        QAction *find = nullptr;
        QAction *replace = nullptr;
    };

    EditorView(TabManager &tabManager, Preferences &preferences, QWidget *parent = nullptr);
    ~EditorView() override;

    // Shows this scratchpad (none: an empty editor). Handing over the one already shown changes
    // nothing.
    void setScratchpad(const std::shared_ptr<Scratchpad> &scratchpad);
    std::shared_ptr<Scratchpad> scratchpad() const { return m_scratchpad; }
    std::optional<QUuid> currentTabId() const { return m_currentTabId; }

    // The text view in front, or null while no scratchpad is shown.
    PlainTextTextView *textView() const;
    // The view kept for a scratchpad, if it has been shown and its tab is still open.
    PlainTextTextView *textViewFor(const QUuid &id) const;
    FindBar *findBar() const { return m_findBar; }
    const EditActions &editActions() const { return m_actions; }

    // The font of the given preferred size, clamped to what the editor can use.
    static QFont fontForSize(double pixels);
    static double usableLineHeight(double multiple);

private:
    struct Page;

    Page &pageFor(const std::shared_ptr<Scratchpad> &scratchpad);
    void dropClosedTabs();
    void showExternalChange(Page &page);
    void applyPreferences(PlainTextTextView &view) const;
    void applyPreferencesToAll();
    void createActions();
    void followActions(PlainTextTextView *view);

    TabManager &m_tabManager;
    Preferences &m_preferences;
    QStackedWidget *m_stack = nullptr;
    QWidget *m_empty = nullptr;
    FindBar *m_findBar = nullptr;
    QHash<QUuid, std::shared_ptr<Page>> m_pages;
    std::optional<QUuid> m_currentTabId;
    std::shared_ptr<Scratchpad> m_scratchpad;
    EditActions m_actions;
    QList<QMetaObject::Connection> m_actionConnections;
};

} // namespace quillet
