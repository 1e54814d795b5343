#include "window_title.h"

#include "model/tab_manager.h"

#include <QWidget>

namespace quillet {

WindowTitle::WindowTitle(QWidget &window, TabManager &tabManager)
    : QObject(&window)
    , m_window(window)
    , m_tabManager(tabManager)
{
    connect(&tabManager, &TabManager::currentTabChanged, this, &WindowTitle::followCurrentTab);
    followCurrentTab();
}

QString WindowTitle::text(const Scratchpad *tab)
{
    const QString application = QStringLiteral("Quillet");
    if (!tab)
        return application;
    QString title = tab->title();
    // Qt reads "[*]" in a window title as the place of its own modified mark.
    title.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    const QString mark = tab->isDirty() ? QStringLiteral("\u2022 ") : QString();
    return mark + title + QStringLiteral(" \u2014 ") + application;
}

void WindowTitle::followCurrentTab()
{
    if (m_followed)
        disconnect(m_followed, nullptr, this, nullptr);
    const std::shared_ptr<Scratchpad> tab = m_tabManager.currentTab();
    m_followed = tab.get();
    if (tab) {
        connect(tab.get(), &Scratchpad::titleChanged, this, &WindowTitle::update);
        connect(tab.get(), &Scratchpad::isDirtyChanged, this, &WindowTitle::update);
        // A closed tab may be gone before the selection moves on.
        connect(tab.get(), &QObject::destroyed, this, [this] { m_followed = nullptr; });
    }
    update();
}

void WindowTitle::update()
{
    m_window.setWindowTitle(text(m_tabManager.currentTab().get()));
}

} // namespace quillet
