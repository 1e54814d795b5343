#include "conflict_bar.h"

#include "text_label.h"
#include "view_style.h"

#include "model/scratchpad.h"
#include "model/tab_manager.h"
#include "style/theme.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>

namespace quillet {

ConflictBar::ConflictBar(TabManager &tabManager, QWidget *parent)
    : QWidget(parent)
    , m_tabManager(tabManager)
{
    setObjectName(QStringLiteral("conflictBar"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_message = new TextLabel(QStringLiteral("The file changed on disk since it was opened or "
                                             "saved. Reload it, or overwrite it with this tab?"),
                              ViewStyle::systemFont(12), Theme::Tone::primary, this);
    m_message->setElideMode(Qt::ElideRight);
    m_reload = new QPushButton(QStringLiteral("&Reload"), this);
    m_reload->setToolTip(QStringLiteral("Take the version on disk; Undo brings this tab's back"));
    m_overwrite = new QPushButton(QStringLiteral("&Overwrite"), this);
    m_overwrite->setToolTip(QStringLiteral("Write this tab's text over the version on disk"));
    for (QPushButton *button : {m_reload, m_overwrite})
        button->setFocusPolicy(Qt::NoFocus); // typing stays in the editor; Alt+R, Alt+O reach them
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 4, 12, 4);
    row->setSpacing(8);
    row->addWidget(m_message, 1);
    row->addWidget(m_reload);
    row->addWidget(m_overwrite);

    connect(m_reload, &QPushButton::clicked, this, [this] {
        if (m_scratchpad)
            m_tabManager.reloadFromDisk(*m_scratchpad);
    });
    connect(m_overwrite, &QPushButton::clicked, this, [this] {
        if (m_scratchpad)
            m_tabManager.overwriteOnDisk(*m_scratchpad);
    });
    connect(&m_tabManager, &TabManager::currentTabChanged, this, &ConflictBar::followCurrentTab);
    followCurrentTab();
}

void ConflictBar::followCurrentTab()
{
    disconnect(m_connection);
    m_scratchpad = m_tabManager.currentTab();
    if (m_scratchpad)
        m_connection = connect(m_scratchpad.get(), &Scratchpad::hasConflictChanged, this,
                               &ConflictBar::showConflict);
    showConflict();
}

void ConflictBar::showConflict()
{
    setVisible(m_scratchpad && m_scratchpad->hasConflict());
}

void ConflictBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::statusBarBackground());
}

} // namespace quillet
