#include "tab_item_view.h"

#include "file_revealer.h"
#include "symbol_button.h"
#include "text_label.h"
#include "view_style.h"

#include "model/scratchpad.h"
#include "model/tab_manager.h"
#include "style/theme.h"

#include <QAccessible>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>

namespace quillet {

namespace {

using Theme::Tone;

constexpr int kDotSide = 6;
constexpr int kCloseSide = 16;
constexpr int kCloseGlyph = 8;

// The accent-coloured dot of a tab with unsaved changes.
class DirtyDot : public QWidget {
public:
    explicit DirtyDot(QWidget *parent)
        : QWidget(parent)
    {
        setFixedSize(kDotSide, kDotSide);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::color(Tone::accent));
        painter.drawEllipse(QRectF(rect()));
    }
};

} // namespace

TabItemView::TabItemView(std::shared_ptr<Scratchpad> scratchpad, bool isSelected,
                         TabManager &tabManager, std::shared_ptr<FileRevealer> revealer,
                         QWidget *parent)
    : QWidget(parent)
    , m_scratchpad(std::move(scratchpad))
    , m_isSelected(isSelected)
    , m_tabManager(tabManager)
    , m_revealer(std::move(revealer))
{
    setFixedHeight(Theme::tabHeight - 8);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    m_dirtyDot = new DirtyDot(this);
    m_dirtyDot->setObjectName(QStringLiteral("dirtyIndicator"));
    m_title =
        new TextLabel(m_scratchpad->title(), ViewStyle::systemFont(12), Tone::secondary, this);
    m_title->setObjectName(QStringLiteral("title"));
    m_closeButton =
        new SymbolButton(QStringLiteral("xmark"), kCloseGlyph, QSize(kCloseSide, kCloseSide), this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setAccessibleName(QStringLiteral("Close %1").arg(m_scratchpad->title()));

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(10, 6, 10, 6);
    row->setSpacing(6);
    row->addWidget(m_dirtyDot, 0, Qt::AlignVCenter);
    row->addWidget(m_title, 0, Qt::AlignVCenter);
    row->addWidget(m_closeButton, 0, Qt::AlignVCenter);

    const QUuid id = m_scratchpad->id();
    connect(m_closeButton, &SymbolButton::clicked, this, [this, id] { m_tabManager.closeTab(id); });
    connect(m_scratchpad.get(), &Scratchpad::titleChanged, this, &TabItemView::showState);
    connect(m_scratchpad.get(), &Scratchpad::isDirtyChanged, this, &TabItemView::showState);
    showState();
}

void TabItemView::setSelected(bool selected)
{
    if (selected == m_isSelected)
        return;
    m_isSelected = selected;
    showState();
    QAccessible::State changed;
    changed.selected = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

void TabItemView::select()
{
    m_tabManager.selectTab(m_scratchpad->id());
}

void TabItemView::showState()
{
    m_dirtyDot->setVisible(m_scratchpad->isDirty());
    if (m_title->text() != m_scratchpad->title()) {
        m_title->setText(m_scratchpad->title());
        m_closeButton->setAccessibleName(QStringLiteral("Close %1").arg(m_scratchpad->title()));
        QAccessibleEvent renamed(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&renamed);
    }
    m_title->setTone(m_isSelected ? Tone::primary : Tone::secondary);
    m_closeButton->setGlyphTone(m_isHovered || m_isSelected ? Tone::secondary : Tone::clear);
    m_closeButton->setBackdrop(m_isHovered ? Tone::secondary : Tone::clear, 0.15);
    update();
}

QMenu *TabItemView::createContextMenu(QWidget *parent)
{
    auto *menu = new QMenu(parent);
    const QUuid id = m_scratchpad->id();
    connect(menu->addAction(QStringLiteral("Close Tab")), &QAction::triggered, &m_tabManager,
            [manager = &m_tabManager, id] { manager->closeTab(id); });
    connect(menu->addAction(QStringLiteral("Close Others")), &QAction::triggered, this,
            &TabItemView::closeOthers);
    menu->addSeparator();
    if (m_scratchpad->filePath()) {
        connect(menu->addAction(FileRevealer::actionTitle()), &QAction::triggered, this, [this] {
            if (const auto file = m_scratchpad->filePath())
                m_revealer->reveal(file->toLocalFile());
        });
        connect(menu->addAction(QStringLiteral("Copy Path")), &QAction::triggered, this,
                &TabItemView::copyPath);
    }
    return menu;
}

// Edits the list and the selection directly: nothing is asked and nothing is saved.
void TabItemView::closeOthers()
{
    const std::shared_ptr<Scratchpad> keep = m_scratchpad;
    m_tabManager.setTabs({keep});
    m_tabManager.setSelectedTabId(keep->id());
}

void TabItemView::copyPath()
{
    const std::optional<QUrl> file = m_scratchpad->filePath();
    if (!file)
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(file->toLocalFile());
}

void TabItemView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_isSelected ? Theme::selectedTabBackground()
                                  : Theme::unselectedTabBackground());
    painter.drawRoundedRect(QRectF(rect()), Theme::tabCornerRadius, Theme::tabCornerRadius);
    if (hasFocus())
        ViewStyle::paintFocusRing(painter, rect(), Theme::tabCornerRadius);
}

void TabItemView::enterEvent(QEnterEvent *event)
{
    m_isHovered = true;
    showState();
    QWidget::enterEvent(event);
}

void TabItemView::leaveEvent(QEvent *event)
{
    m_isHovered = false;
    showState();
    QWidget::leaveEvent(event);
}

void TabItemView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        select();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void TabItemView::contextMenuEvent(QContextMenuEvent *event)
{
    openContextMenu(event->globalPos());
}

void TabItemView::openContextMenu(const QPoint &globalPos)
{
    QMenu *menu = createContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The pointer was over the menu, so no leave reaches the tab when an item is chosen with
    // the mouse: once the menu is gone, hover follows where the pointer is.
    connect(menu, &QMenu::aboutToHide, this, [this] {
        QMetaObject::invokeMethod(this, &TabItemView::followPointer, Qt::QueuedConnection);
    });
    menu->popup(globalPos);
}

void TabItemView::followPointer()
{
    const bool inside = isVisible() && rect().contains(mapFromGlobal(QCursor::pos()));
    if (inside == m_isHovered)
        return;
    m_isHovered = inside;
    showState();
}

} // namespace quillet
