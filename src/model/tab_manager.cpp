#include "tab_manager.h"

#include "clock.h"

#include <algorithm>

namespace quillet {

TabManager::TabManager(Persistence persistence, std::unique_ptr<FilePanels> filePanels,
                       QObject *parent)
    : QObject(parent)
    , m_persistence(std::move(persistence))
    , m_filePanels(std::move(filePanels))
{
    restoreTabs();
    startAutoSave();
}

TabManager::~TabManager() = default;

void TabManager::setTabs(const QList<std::shared_ptr<Scratchpad>> &tabs)
{
    m_tabs = tabs;
    emit tabsChanged();
    notifyIfCurrentTabChanged();
}

void TabManager::setSelectedTabId(const std::optional<QUuid> &id)
{
    if (m_selectedTabId == id)
        return;
    m_selectedTabId = id;
    emit selectedTabIdChanged();
    notifyIfCurrentTabChanged();
}

void TabManager::setPreviewMode(PreviewMode mode)
{
    if (m_previewMode == mode)
        return;
    m_previewMode = mode;
    emit previewModeChanged();
}

std::shared_ptr<Scratchpad> TabManager::currentTab() const
{
    const qint64 index = currentTabIndex();
    return index < 0 ? nullptr : m_tabs.at(index);
}

qint64 TabManager::currentTabIndex() const
{
    if (!m_selectedTabId)
        return -1;
    const auto found = std::find_if(m_tabs.cbegin(), m_tabs.cend(), [&](const auto &tab) {
        return tab->id() == *m_selectedTabId;
    });
    return found == m_tabs.cend() ? -1 : qint64(found - m_tabs.cbegin());
}

void TabManager::notifyIfCurrentTabChanged()
{
    const std::shared_ptr<Scratchpad> current = currentTab();
    if (m_lastCurrentTab.lock() == current)
        return;
    m_lastCurrentTab = current;
    emit currentTabChanged();
}

void TabManager::newTab(const QString &content, const std::optional<QUrl> &filePath)
{
    auto tab = std::make_shared<Scratchpad>(QUuid::createUuid(), Scratchpad::kUntitled, content,
                                            filePath, false);
    if (filePath)
        tab->setTitle(Scratchpad::fileTitle(*filePath));
    tab->deriveTitle();
    m_tabs.append(tab);
    emit tabsChanged();
    setSelectedTabId(tab->id());
}

void TabManager::selectTab(const QUuid &id)
{
    setSelectedTabId(id);
}

void TabManager::closeTab(const QUuid &id)
{
    const auto found = std::find_if(m_tabs.cbegin(), m_tabs.cend(),
                                    [&](const auto &tab) { return tab->id() == id; });
    if (found == m_tabs.cend())
        return;
    const qsizetype index = found - m_tabs.cbegin();
    if (m_selectedTabId == id) {
        if (m_tabs.size() == 1)
            setSelectedTabId(std::nullopt);
        else if (index == m_tabs.size() - 1)
            setSelectedTabId(m_tabs.at(index - 1)->id());
        else
            setSelectedTabId(m_tabs.at(index + 1)->id());
    }
    m_tabs.removeAt(index);
    emit tabsChanged();
    notifyIfCurrentTabChanged();
}

void TabManager::closeCurrentTab()
{
    if (m_selectedTabId)
        closeTab(*m_selectedTabId);
}

void TabManager::previousTab()
{
    const qsizetype count = m_tabs.size();
    const qint64 index = currentTabIndex();
    if (count < 2 || index < 0)
        return;
    setSelectedTabId(m_tabs.at((index + count - 1) % count)->id());
}

void TabManager::nextTab()
{
    const qsizetype count = m_tabs.size();
    const qint64 index = currentTabIndex();
    if (count < 2 || index < 0)
        return;
    setSelectedTabId(m_tabs.at((index + 1) % count)->id());
}

void TabManager::moveTab(const std::set<qsizetype> &from, qsizetype to)
{
    const qsizetype count = m_tabs.size();
    QList<std::shared_ptr<Scratchpad>> moved;
    QList<std::shared_ptr<Scratchpad>> kept;
    qsizetype insertAt = 0;
    for (qsizetype i = 0; i < count; ++i) {
        if (from.contains(i)) {
            moved.append(m_tabs.at(i));
        } else {
            if (i < to)
                ++insertAt;
            kept.append(m_tabs.at(i));
        }
    }
    for (qsizetype i = 0; i < moved.size(); ++i)
        kept.insert(insertAt + i, moved.at(i));
    m_tabs = kept;
    emit tabsChanged();
}

void TabManager::cyclePreviewMode()
{
    switch (m_previewMode) {
    case PreviewMode::edit:
        setPreviewMode(PreviewMode::split);
        break;
    case PreviewMode::split:
        setPreviewMode(PreviewMode::preview);
        break;
    case PreviewMode::preview:
        setPreviewMode(PreviewMode::edit);
        break;
    }
}

void TabManager::updateContent(Scratchpad &scratchpad, const QString &newContent)
{
    scratchpad.setContent(newContent);
    scratchpad.setIsDirty(true);
    scratchpad.setModifiedAt(Clock::now());
    scratchpad.deriveTitle();
    scratchpad.updateCounts();
}

void TabManager::updateCursorPosition(Scratchpad &scratchpad, qint64 position)
{
    scratchpad.setCursorPosition(std::max<qint64>(position, 0));
    scratchpad.updateCounts();
}

void TabManager::restoreTabs()
{
    if (!m_persistence.enabled)
        return;
}

void TabManager::startAutoSave()
{
    if (!m_persistence.enabled)
        return;
}

} // namespace quillet
