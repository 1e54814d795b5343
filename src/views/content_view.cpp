#include "content_view.h"

#include "conflict_bar.h"
#include "editor_preview_container.h"
#include "focus_regions.h"
#include "opacity_fade.h"
#include "separator_line.h"
#include "status_bar_view.h"
#include "tab_bar_view.h"
#include "view_style.h"
#include "welcome_view.h"

#include "editor/editor_view.h"
#include "editor/plain_text_text_view.h"
#include "model/tab_manager.h"
#include "style/theme.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillet {

ContentView::ContentView(TabManager &tabManager, Preferences &preferences,
                         std::shared_ptr<FileRevealer> revealer, QWidget *parent)
    : QWidget(parent)
    , m_tabManager(tabManager)
    , m_preferences(preferences)
    , m_revealer(std::move(revealer))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    connect(&m_tabManager, &TabManager::tabsChanged, this, &ContentView::showState);
    showState();
    installFocusRegionKeys(*this);
}

QList<QWidget *> ContentView::dividers() const
{
    QList<QWidget *> shown;
    for (const QPointer<QWidget> &divider : m_dividers) {
        if (divider)
            shown.append(divider);
    }
    return shown;
}

// Only the change between "no tabs" and "some tabs" rebuilds; everything below follows the tab
// manager by itself.
void ContentView::focusContent()
{
    // The view just replaced may not be deleted yet: the tabs say which one is shown.
    if (m_tabManager.tabs().isEmpty()) {
        if (m_welcome)
            m_welcome->newScratchpadButton()->setFocus(Qt::OtherFocusReason);
    } else if (PlainTextTextView *text = m_editingArea && m_editingArea->editor()
                                             ? m_editingArea->editor()->textView()
                                             : nullptr;
               text && text->isVisible()) {
        text->setFocus();
    }
}

void ContentView::showState()
{
    const bool empty = m_tabManager.tabs().isEmpty();
    if (m_content && empty == bool(m_welcome))
        return;
    const bool firstBuild = !m_content;
    if (!firstBuild && empty)
        fadeOutEditingArea();
    if (m_content) {
        layout()->removeWidget(m_content);
        m_content->hide();
        m_content->deleteLater();
    }
    m_dividers.clear();
    m_content = new QWidget(this);
    auto *column = new QVBoxLayout(m_content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    if (empty) {
        m_welcome = new WelcomeView(m_tabManager, m_content);
        column->addWidget(m_welcome);
    } else {
        m_tabBar = new TabBarView(m_tabManager, m_revealer, m_content);
        m_editingArea = new EditorPreviewContainer(m_tabManager, m_preferences, m_content);
        m_statusBar = new StatusBarView(m_tabManager, m_content);
        m_dividers = {new SeparatorLine(Qt::Horizontal, QStringLiteral("divider"), m_content),
                      new SeparatorLine(Qt::Horizontal, QStringLiteral("divider"), m_content)};
        column->addWidget(m_tabBar);
        column->addWidget(m_dividers[0]);
        column->addWidget(new ConflictBar(m_tabManager, m_content));
        column->addWidget(m_editingArea, 1);
        column->addWidget(m_dividers[1]);
        column->addWidget(m_statusBar);
    }
    layout()->addWidget(m_content);
    m_content->show();
    // The first tab takes the keys typed right after the command that made it; without a tab
    // nothing else could hold the keyboard, and the welcome view's first button takes it.
    focusContent();
    if (!firstBuild && !empty)
        m_editingAreaFade = startOpacityFade(m_editingArea, 0.0, 1.0);
    if (m_leavingEditingArea)
        m_leavingEditingArea->raise();
}

// The editor and its text go with the last tab at once; what fades is their last picture.
void ContentView::fadeOutEditingArea()
{
    if (!m_editingArea || !m_editingArea->isVisible() || m_editingArea->size().isEmpty())
        return;
    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("leavingEditingArea"));
    picture->setAttribute(Qt::WA_TransparentForMouseEvents);
    picture->setPixmap(m_editingArea->grab());
    picture->setGeometry(QRect(m_editingArea->mapTo(this, QPoint(0, 0)), m_editingArea->size()));
    picture->show();
    m_leavingEditingArea = picture;
    m_editingAreaFade = startOpacityFade(picture, 1.0, 0.0);
    connect(m_editingAreaFade, &QObject::destroyed, picture, &QObject::deleteLater);
}

void ContentView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::windowBackground());
}

} // namespace quillet
