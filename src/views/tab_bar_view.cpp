#include "tab_bar_view.h"

#include "file_revealer.h"
#include "markdown_hint_button.h"
#include "symbol_button.h"
#include "tab_item_view.h"
#include "view_style.h"

#include "model/scratchpad.h"
#include "model/tab_manager.h"
#include "style/theme.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include <functional>

namespace quillet {

namespace {

constexpr int kTabSpacing = 2;
constexpr int kButtonSide = 28;
constexpr int kButtonGlyph = 12;

// A sideways-scrolling area as wide as its content when there is room, narrower when there is
// not. It draws no scroll bars; the wheel scrolls it horizontally. Whenever the content changes
// width (a title typed, a dirty dot, a tab added) it asks its parent's layout to fit it again.
class TabScrollArea : public QScrollArea {
public:
    std::function<void()> contentResized;

    explicit TabScrollArea(QWidget *parent)
        : QScrollArea(parent)
    {
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setWidgetResizable(false);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        viewport()->setAutoFillBackground(false);
        setStyleSheet(QString());
    }

    QSize sizeHint() const override
    {
        return {widget() ? widget()->sizeHint().width() : 0, Theme::tabHeight};
    }
    QSize minimumSizeHint() const override { return {0, Theme::tabHeight}; }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const bool handled = QScrollArea::eventFilter(watched, event);
        if (watched == widget() && event->type() == QEvent::Resize) {
            updateGeometry();
            if (contentResized)
                contentResized();
        }
        return handled;
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QScrollArea::resizeEvent(event);
        if (contentResized)
            contentResized();
    }

    void wheelEvent(QWheelEvent *event) override
    {
        const QPoint delta = event->angleDelta();
        const int step = std::abs(delta.x()) > std::abs(delta.y()) ? delta.x() : delta.y();
        QScrollBar *bar = horizontalScrollBar();
        bar->setValue(bar->value() - step / 2);
        event->accept();
    }
};

} // namespace

TabBarView::TabBarView(TabManager &tabManager, std::shared_ptr<FileRevealer> revealer,
                       QWidget *parent)
    : QWidget(parent)
    , m_tabManager(tabManager)
    , m_revealer(revealer ? std::move(revealer) : FileRevealer::desktop())
{
    setFixedHeight(Theme::tabHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    auto *scrollArea = new TabScrollArea(this);
    scrollArea->contentResized = [this] { revealSelectedTab(); };
    m_scrollArea = scrollArea;
    m_scrollArea->setObjectName(QStringLiteral("tabScrollArea"));
    m_strip = new QWidget;
    m_strip->setObjectName(QStringLiteral("tabStrip"));
    m_stripRow = new QHBoxLayout(m_strip);
    // A tab is 8 pixels lower than the bar: margins above and below centre it in the strip's
    // full height, which the fixed size constraint then keeps through every later re-fit.
    const int inset = 4;
    m_stripRow->setContentsMargins(Theme::tabBarPadding, inset, Theme::tabBarPadding, inset);
    m_stripRow->setSpacing(kTabSpacing);
    m_stripRow->setSizeConstraint(QLayout::SetFixedSize);
    m_scrollArea->setWidget(m_strip);
    m_strip->setAutoFillBackground(false);

    m_hintButton = new MarkdownHintButton(this);
    m_newTabButton = new SymbolButton(QStringLiteral("plus"), kButtonGlyph,
                                      QSize(kButtonSide, kButtonSide), this);
    m_newTabButton->setObjectName(QStringLiteral("newTabButton"));
    m_newTabButton->setToolTip(
        QStringLiteral("New Scratchpad (%1)").arg(ViewStyle::shortcutText(Qt::Key_T)));
    m_newTabButton->setAccessibleName(QStringLiteral("New Scratchpad"));
    connect(m_newTabButton, &SymbolButton::clicked, this, [this] { m_tabManager.newTab(); });
    for (SymbolButton *button : {static_cast<SymbolButton *>(m_hintButton), m_newTabButton}) {
        button->setFocusPolicy(Qt::TabFocus);
        button->installEventFilter(this);
    }

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(m_scrollArea);
    row->addStretch(1);
    row->addWidget(m_hintButton, 0, Qt::AlignVCenter);
    row->addSpacing(4);
    row->addWidget(m_newTabButton, 0, Qt::AlignVCenter);
    row->addSpacing(Theme::tabBarPadding);

    connect(&m_tabManager, &TabManager::tabsChanged, this, &TabBarView::showTabs);
    connect(&m_tabManager, &TabManager::selectedTabIdChanged, this, &TabBarView::showSelection);
    showTabs();
}

QList<TabItemView *> TabBarView::tabItems() const
{
    QList<TabItemView *> items;
    for (int i = 0; i < m_stripRow->count(); ++i) {
        if (auto *item = qobject_cast<TabItemView *>(m_stripRow->itemAt(i)->widget()))
            items.append(item);
    }
    return items;
}

void TabBarView::showTabs()
{
    const auto tabs = m_tabManager.tabs();
    const std::optional<QUuid> selected = m_tabManager.selectedTabId();
    // A tab closed from the keyboard had the focus; it passes to the tab selected in its place.
    const bool hadFocus = m_strip->isAncestorOf(QApplication::focusWidget());

    QHash<QUuid, TabItemView *> kept;
    for (const auto &tab : tabs) {
        TabItemView *item = m_items.take(tab->id());
        if (!item || item->scratchpad() != tab) {
            if (item)
                m_items.insert(tab->id(), item);
            item = new TabItemView(tab, selected == tab->id(), m_tabManager, m_revealer, m_strip);
            item->installEventFilter(this);
        }
        kept.insert(tab->id(), item);
    }
    // What is left has closed. The view may be the sender of the close (its own button), so
    // it goes on the next turn of the event loop.
    for (TabItemView *closed : std::as_const(m_items)) {
        m_stripRow->removeWidget(closed);
        closed->hide();
        closed->deleteLater();
    }
    m_items = kept;

    for (const auto &tab : tabs)
        m_stripRow->removeWidget(m_items.value(tab->id()));
    for (const auto &tab : tabs) {
        TabItemView *item = m_items.value(tab->id());
        m_stripRow->addWidget(item, 0, Qt::AlignVCenter);
        item->show();
    }
    m_strip->adjustSize();
    showSelection();
    if (hadFocus && !m_strip->isAncestorOf(QApplication::focusWidget()))
        keepKeyboard();
}

// Selecting a tab hands the keyboard to its editor, at once or on a later turn of the event loop
// when the editor is not shown yet; this takes it back at once and again after that turn.
void TabBarView::keepKeyboard()
{
    focusSelectedTab();
    QMetaObject::invokeMethod(this, &TabBarView::focusSelectedTab, Qt::QueuedConnection);
}

void TabBarView::focusSelectedTab()
{
    const std::optional<QUuid> selected = m_tabManager.selectedTabId();
    QWidget *target = selected ? m_items.value(*selected) : nullptr;
    if (!target)
        target = focusStops().constFirst();
    target->setFocus(Qt::OtherFocusReason);
}

QList<QWidget *> TabBarView::focusStops() const
{
    QList<QWidget *> stops;
    for (TabItemView *item : tabItems())
        stops.append(item);
    stops << m_hintButton << m_newTabButton;
    return stops;
}

bool TabBarView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto &keyEvent = *static_cast<QKeyEvent *>(event);
    const int key = keyEvent.key();
    if (key != Qt::Key_Left && key != Qt::Key_Right) {
        auto *item = qobject_cast<TabItemView *>(watched);
        return (item && tabKey(item, keyEvent)) || QWidget::eventFilter(watched, event);
    }
    const QList<QWidget *> stops = focusStops();
    const qsizetype at = stops.indexOf(static_cast<QWidget *>(watched));
    const qsizetype next = at + (key == Qt::Key_Right ? 1 : -1);
    if (at >= 0 && next >= 0 && next < stops.size()) {
        stops[next]->setFocus(Qt::OtherFocusReason);
        if (m_strip->isAncestorOf(stops[next]))
            m_scrollArea->ensureWidgetVisible(stops[next], Theme::tabBarPadding, 0);
    }
    return true;
}

void TabBarView::showSelection()
{
    const std::optional<QUuid> selected = m_tabManager.selectedTabId();
    for (auto it = m_items.cbegin(); it != m_items.cend(); ++it)
        it.value()->setSelected(selected == it.key());
    revealSelectedTab();
}

// Scrolls the selected tab into the visible part of the strip. Called again whenever the strip
// or the area changes size, so a tab that has just been added is revealed once it is laid out.
void TabBarView::revealSelectedTab()
{
    const std::optional<QUuid> selected = m_tabManager.selectedTabId();
    TabItemView *item = selected ? m_items.value(*selected) : nullptr;
    if (item && !item->isHidden())
        m_scrollArea->ensureWidgetVisible(item, Theme::tabBarPadding, 0);
}

void TabBarView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::tabBarBackground());
}

bool TabBarView::tabKey(TabItemView *item, const QKeyEvent &event)
{
    const int key = event.key();
    const bool shift = event.modifiers() == Qt::ShiftModifier;
    if (key == Qt::Key_Space) {
        item->select();
        keepKeyboard();
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        item->select();
    } else if (key == Qt::Key_Delete) {
        m_tabManager.closeTab(item->scratchpad()->id());
        // The next tab's editor took the keyboard with the selection; the strip keeps it.
        if (!m_tabManager.tabs().isEmpty())
            keepKeyboard();
    } else if (key == Qt::Key_Menu || (key == Qt::Key_F10 && shift)) {
        item->openContextMenu(item->mapToGlobal(item->rect().bottomLeft()));
    } else {
        return false;
    }
    return true;
}

} // namespace quillet
