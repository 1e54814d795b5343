#include "editor_view.h"

#include "find_bar.h"
#include "plain_text_text_view.h"

#include "model/scratchpad.h"
#include "model/tab_manager.h"
#include "settings/preferences.h"
#include "style/theme.h"

#include <QAction>
#include <QPointer>
#include <QScopedValueRollback>
#include <QStackedWidget>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace quillet {

struct EditorView::Page {
    std::weak_ptr<Scratchpad> scratchpad;
    PlainTextTextView *view = nullptr;
    // Set while this page's own edit is written into the scratchpad, whose change signal then
    // needs no answer.
    bool reporting = false;
};

EditorView::EditorView(TabManager &tabManager, Preferences &preferences, QWidget *parent)
    : QWidget(parent)
    , m_tabManager(tabManager)
    , m_preferences(preferences)
{
    m_stack = new QStackedWidget(this);
    m_empty = new QWidget(m_stack);
    m_stack->addWidget(m_empty);
    m_findBar = new FindBar(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_stack, 1);
    layout->addWidget(m_findBar);

    createActions();
    followActions(nullptr);

    connect(&m_tabManager, &TabManager::tabsChanged, this, &EditorView::dropClosedTabs);
    connect(&m_preferences, &Preferences::changed, this, &EditorView::applyPreferencesToAll);
}

EditorView::~EditorView() = default;

QFont EditorView::fontForSize(double pixels)
{
    QFont font = Theme::editorFont();
    const double usable = std::isfinite(pixels)
                              ? std::clamp(pixels, kMinimumFontSize, kMaximumFontSize)
                              : Theme::editorFont().pixelSize();
    font.setPixelSize(int(std::lround(usable)));
    return font;
}

double EditorView::usableLineHeight(double multiple)
{
    return std::isfinite(multiple) ? std::clamp(multiple, kMinimumLineHeight, kMaximumLineHeight)
                                   : 1.0;
}

PlainTextTextView *EditorView::textView() const
{
    return m_currentTabId ? textViewFor(*m_currentTabId) : nullptr;
}

PlainTextTextView *EditorView::textViewFor(const QUuid &id) const
{
    const auto found = m_pages.constFind(id);
    return found == m_pages.cend() ? nullptr : (*found)->view;
}

void EditorView::setScratchpad(const std::shared_ptr<Scratchpad> &scratchpad)
{
    if (!scratchpad) {
        m_scratchpad.reset();
        m_currentTabId.reset();
        m_stack->setCurrentWidget(m_empty);
        m_findBar->setTarget(nullptr);
        followActions(nullptr);
        return;
    }
    if (m_currentTabId == scratchpad->id())
        return;

    PlainTextTextView *previous = textView();
    const std::optional<PlainTextTextView::SelectedRange> kept =
        previous ? std::optional(previous->selectedRange()) : std::nullopt;
    PlainTextTextView *view = pageFor(scratchpad).view;
    if (kept && kept->location <= view->text().size()) {
        view->setSuppressCallbacks(true);
        view->setSelectedRange(kept->location, kept->length);
        view->setSuppressCallbacks(false);
    }

    m_scratchpad = scratchpad;
    m_currentTabId = scratchpad->id();
    m_stack->setCurrentWidget(view);
    m_findBar->setTarget(view);
    followActions(view);
    // At once when shown: keys already queued behind the one that made this tab current are
    // meant for it, and would otherwise go to the widget that had the focus.
    if (view->isVisible())
        view->setFocus();
    else
        QTimer::singleShot(0, view, [view] {
            if (view->isVisible())
                view->setFocus();
        });
}

EditorView::Page &EditorView::pageFor(const std::shared_ptr<Scratchpad> &scratchpad)
{
    const QUuid id = scratchpad->id();
    if (const auto found = m_pages.constFind(id); found != m_pages.cend())
        return **found;

    auto page = std::make_shared<Page>();
    page->scratchpad = scratchpad;
    page->view = new PlainTextTextView(m_stack);
    PlainTextTextView &view = *page->view;
    applyPreferences(view);
    view.setText(scratchpad->content());

    // The page outlives neither its view nor this editor, and the view holds the callbacks.
    Page *raw = page.get();
    view.setOnTextEdit(
        [this, raw](QString &text, qsizetype start, qsizetype removed, QStringView inserted) {
            const std::shared_ptr<Scratchpad> target = raw->scratchpad.lock();
            const QScopedValueRollback reporting(raw->reporting, true);
            // While the view and the scratchpad share one buffer, the view lets go of it and the
            // scratchpad changes it in place: no copy of the text, no recount of all of it.
            if (target && target->content().constData() == text.constData() &&
                target->content().size() == text.size()) {
                text = QString();
                m_tabManager.replaceContent(*target, start, removed, inserted);
                text = target->content();
                return;
            }
            text.replace(start, removed, inserted.constData(), inserted.size());
            if (target)
                m_tabManager.updateContent(*target, text);
        });
    view.setOnCursorChange([this, raw](qint64 location) {
        if (const std::shared_ptr<Scratchpad> target = raw->scratchpad.lock())
            m_tabManager.updateCursorPosition(*target, location);
    });
    connect(scratchpad.get(), &Scratchpad::contentChanged, &view, [this, raw] {
        if (!raw->reporting)
            showExternalChange(*raw);
    });

    m_stack->addWidget(&view);
    m_pages.insert(id, page);
    return *page;
}

void EditorView::showExternalChange(Page &page)
{
    const std::shared_ptr<Scratchpad> scratchpad = page.scratchpad.lock();
    if (!scratchpad || scratchpad->content() == page.view->text())
        return;
    PlainTextTextView &view = *page.view;
    const PlainTextTextView::SelectedRange kept = view.selectedRange();
    view.setSuppressCallbacks(true);
    // Undoable: a file reloaded from disk must leave the tab's own text one undo away.
    view.replaceAllUndoably(scratchpad->content());
    if (kept.location <= view.text().size())
        view.setSelectedRange(kept.location, kept.length);
    view.setSuppressCallbacks(false);
}

void EditorView::dropClosedTabs()
{
    QSet<QUuid> open;
    for (const auto &tab : m_tabManager.tabs())
        open.insert(tab->id());
    for (auto it = m_pages.begin(); it != m_pages.end();) {
        if (open.contains(it.key())) {
            ++it;
            continue;
        }
        PlainTextTextView *view = (*it)->view;
        if (m_currentTabId == it.key())
            setScratchpad(nullptr);
        m_stack->removeWidget(view);
        // Later, in case the closing began inside one of this view's own callbacks.
        view->setOnTextChange({});
        view->setOnCursorChange({});
        view->deleteLater();
        it = m_pages.erase(it);
    }
}

void EditorView::applyPreferences(PlainTextTextView &view) const
{
    view.setPlainFont(fontForSize(m_preferences.editorFontSize()));
    view.setLineHeightMultiple(usableLineHeight(m_preferences.editorLineHeight()));
    view.setTabWidth(m_preferences.editorTabWidth());
    view.setShowLineNumbers(m_preferences.editorShowLineNumbers());
}

void EditorView::applyPreferencesToAll()
{
    for (const auto &page : std::as_const(m_pages))
        applyPreferences(*page->view);
}

void EditorView::createActions()
{
    const auto make = [this](const QString &text, QKeySequence::StandardKey key) {
        auto *action = new QAction(text, this);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
        return action;
    };
    m_actions.undo = make(tr("Undo"), QKeySequence::Undo);
    m_actions.redo = make(tr("Redo"), QKeySequence::Redo);
    m_actions.cut = make(tr("Cut"), QKeySequence::Cut);
    m_actions.copy = make(tr("Copy"), QKeySequence::Copy);
    m_actions.paste = make(tr("Paste"), QKeySequence::Paste);
    m_actions.selectAll = make(tr("Select All"), QKeySequence::SelectAll);
    m_actions.find = make(tr("Find…"), QKeySequence::Find);
    m_actions.replace = make(tr("Find and Replace…"), QKeySequence::Replace);
    // Ctrl+H, where the platform names no replace shortcut of its own.
    if (m_actions.replace->shortcut().isEmpty())
        m_actions.replace->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));

    const auto onView = [this](QAction *action, void (PlainTextTextView::*slot)(), bool edits) {
        connect(action, &QAction::triggered, this, [this, slot, edits] {
            PlainTextTextView *view = textView();
            if (view && !(edits && view->refuseEditWhilePreparing()))
                (view->*slot)();
        });
    };
    onView(m_actions.undo, &PlainTextTextView::undo, true);
    onView(m_actions.redo, &PlainTextTextView::redo, true);
    onView(m_actions.cut, &PlainTextTextView::cut, true);
    onView(m_actions.copy, &PlainTextTextView::copy, false);
    onView(m_actions.paste, &PlainTextTextView::pasteFromClipboard, true);
    onView(m_actions.selectAll, &PlainTextTextView::selectAll, false);
    connect(m_actions.find, &QAction::triggered, m_findBar, &FindBar::openFind);
    connect(m_actions.replace, &QAction::triggered, m_findBar, &FindBar::openReplace);
}

void EditorView::followActions(PlainTextTextView *view)
{
    for (const QMetaObject::Connection &connection : std::as_const(m_actionConnections))
        disconnect(connection);
    m_actionConnections.clear();

    const bool hasView = view != nullptr;
    for (QAction *action :
         {m_actions.paste, m_actions.selectAll, m_actions.find, m_actions.replace})
        action->setEnabled(hasView);
    m_actions.undo->setEnabled(hasView && view->document()->isUndoAvailable());
    m_actions.redo->setEnabled(hasView && view->document()->isRedoAvailable());
    const bool selection = hasView && view->textCursor().hasSelection();
    m_actions.cut->setEnabled(selection);
    m_actions.copy->setEnabled(selection);
    if (!view)
        return;
    m_actionConnections = {
        connect(view, &QPlainTextEdit::undoAvailable, m_actions.undo, &QAction::setEnabled),
        connect(view, &QPlainTextEdit::redoAvailable, m_actions.redo, &QAction::setEnabled),
        connect(view, &QPlainTextEdit::copyAvailable, m_actions.cut, &QAction::setEnabled),
        connect(view, &QPlainTextEdit::copyAvailable, m_actions.copy, &QAction::setEnabled),
    };
}

} // namespace quillet
