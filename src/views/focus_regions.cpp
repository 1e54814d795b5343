#include "focus_regions.h"

#include "content_view.h"
#include "preview_view.h"
#include "symbol_button.h"

#include "editor/editor_view.h"
#include "editor/plain_text_text_view.h"

#include <QApplication>
#include <QShortcut>

#include <functional>

namespace quillet {

namespace {

struct Region {
    QWidget *area;
    std::function<void()> focus;
};

QList<Region> shownRegions(const ContentView &view)
{
    QList<Region> regions;
    const auto add = [&regions](QWidget *area, QWidget *target) {
        if (area && target && area->isVisible())
            regions.append({area, [target] { target->setFocus(Qt::ShortcutFocusReason); }});
    };
    if (TabBarView *bar = view.tabBar(); bar && bar->isVisible())
        regions.append({bar, [bar] { bar->focusSelectedTab(); }});
    if (EditorPreviewContainer *area = view.editingArea()) {
        EditorView *editor = area->editor();
        add(editor, editor ? editor->textView() : nullptr);
        add(area->preview(), area->preview());
    }
    if (StatusBarView *status = view.statusBar())
        add(status, status->previewButton());
    return regions;
}

void moveFocus(const ContentView &view, int step)
{
    const QList<Region> regions = shownRegions(view);
    if (regions.isEmpty())
        return;
    const QWidget *focus = QApplication::focusWidget();
    qsizetype at = -1;
    for (qsizetype i = 0; i < regions.size(); ++i) {
        if (regions[i].area == focus || regions[i].area->isAncestorOf(focus))
            at = i;
    }
    const qsizetype count = regions.size();
    const qsizetype next = at < 0 ? (step > 0 ? 0 : count - 1) : (at + step + count) % count;
    regions[next].focus();
}

} // namespace

void installFocusRegionKeys(ContentView &view)
{
    const std::pair<QKeySequence, int> keys[] = {{QKeySequence(Qt::Key_F6), 1},
                                                 {QKeySequence(Qt::SHIFT | Qt::Key_F6), -1}};
    for (const auto &[key, step] : keys) {
        auto *shortcut = new QShortcut(key, &view);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        QObject::connect(shortcut, &QShortcut::activated, &view,
                         [&view, step = step] { moveFocus(view, step); });
    }
}

} // namespace quillet
