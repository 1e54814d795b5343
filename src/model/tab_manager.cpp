#include "tab_manager.h"

#include "clock.h"
#include "console.h"
#include "durable_file.h"
#include "tab_state_file.h"
#include "text_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <unistd.h>

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

TabManager::~TabManager()
{
    if (!m_autoSaveTask)
        return;
    // The last interval's edits would otherwise be lost at every quit.
    m_autoSaveTask->stop();
    writeState(snapshots());
}

void TabManager::setTabs(const QList<std::shared_ptr<Scratchpad>> &tabs)
{
    bool closedAny = false;
    for (qsizetype i = 0; i < m_tabs.size(); ++i) {
        if (!tabs.contains(m_tabs.at(i))) {
            rememberClosed(m_tabs.at(i), i);
            closedAny = true;
        }
    }
    m_tabs = tabs;
    emit tabsChanged();
    notifyIfCurrentTabChanged();
    if (closedAny)
        emit closedTabsChanged();
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
    const auto found = std::find_if(m_tabs.cbegin(), m_tabs.cend(),
                                    [&](const auto &tab) { return tab->id() == *m_selectedTabId; });
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
    rememberClosed(m_tabs.at(index), index);
    m_tabs.removeAt(index);
    emit tabsChanged();
    notifyIfCurrentTabChanged();
    emit closedTabsChanged();
}

void TabManager::rememberClosed(const std::shared_ptr<Scratchpad> &tab, qsizetype position)
{
    m_closedTabs.append({tab, position});
    while (m_closedTabs.size() > kClosedTabLimit)
        m_closedTabs.removeFirst();
}

void TabManager::reopenClosedTab()
{
    if (m_closedTabs.empty())
        return;
    const ClosedTab closed = m_closedTabs.takeLast();
    // A tab reopened twice (through a direct list edit) must not appear twice.
    if (m_tabs.contains(closed.tab)) {
        emit closedTabsChanged();
        setSelectedTabId(closed.tab->id());
        return;
    }
    m_tabs.insert(std::min(closed.position, m_tabs.size()), closed.tab);
    emit tabsChanged();
    emit closedTabsChanged();
    setSelectedTabId(closed.tab->id());
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

bool TabManager::replaceContent(Scratchpad &scratchpad, qsizetype start, qsizetype removed,
                                QStringView inserted)
{
    if (!scratchpad.replaceContent(start, removed, inserted))
        return false;
    scratchpad.setIsDirty(true);
    scratchpad.setModifiedAt(Clock::now());
    scratchpad.deriveTitle();
    scratchpad.updateCounts();
    return true;
}

void TabManager::updateCursorPosition(Scratchpad &scratchpad, qint64 position)
{
    scratchpad.setCursorPosition(std::max<qint64>(position, 0));
    scratchpad.updateCounts();
}

QString TabManager::autosaveDirectory() const
{
    QString directory = m_persistence.autosaveDirectory;
    if (directory.isEmpty()) {
        const QStringList locations =
            QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
        const QString base = locations.isEmpty() ? QDir::homePath() : locations.first();
        directory = base + QStringLiteral("/Quillet/autosave");
    }
    QDir().mkpath(directory); // a failure shows in the read or write that follows
    return directory;
}

QString TabManager::stateFilePath() const
{
    return autosaveDirectory() + QLatin1Char('/') + QString::fromUtf16(TabStateFile::kFileName);
}

void TabManager::restoreTabs()
{
    if (!m_persistence.enabled)
        return;
    const QString path = stateFilePath();
    // A run that was killed while autosaving leaves its half-written copy behind.
    removeInterruptedWrites(path);
    if (!QFileInfo::exists(path))
        return;
    if (!m_persistence.restoreTabs) {
        keepPreviousStateFile(path);
        return;
    }

    QString error;
    std::optional<QList<Scratchpad::Snapshot>> restored;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: %2").arg(path, file.errorString());
    } else {
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            error = QStringLiteral("%1: %2").arg(path, file.errorString());
        else
            restored = TabStateFile::decode(bytes, &error);
    }
    if (!restored) {
        const std::optional<QString> keptAt = setAsideUnreadableStateFile(path);
        m_stateWritable = keptAt.has_value();
        const QString fate = keptAt ? QStringLiteral("; the file was kept as %1").arg(*keptAt)
                                    : QStringLiteral("; the file could not be moved aside, so "
                                                     "tabs will not be saved until it is");
        printFailureLine(QStringLiteral("Tab restoration failed: "), error + fate);
        return;
    }

    for (const Scratchpad::Snapshot &snapshot : *restored) {
        // A save of the tab's file cut short by a kill leaves its temporary beside the file.
        if (snapshot.filePath && snapshot.filePath->isLocalFile())
            removeInterruptedWrites(snapshot.filePath->toLocalFile());
        std::shared_ptr<Scratchpad> tab = Scratchpad::from(snapshot);
        tab->deriveTitle();
        tab->updateCounts();
        m_tabs.append(tab);
    }
    emit tabsChanged();
    setSelectedTabId(m_tabs.isEmpty() ? std::nullopt : std::optional(m_tabs.first()->id()));
}

std::optional<QString> TabManager::setAsideUnreadableStateFile(const QString &path)
{
    const QString stamp = Clock::now().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    const QString base = path + QStringLiteral(".unreadable-") + stamp;
    for (int attempt = 1; attempt < 1000; ++attempt) {
        const QString candidate = attempt == 1 ? base : base + QStringLiteral("-%1").arg(attempt);
        const QByteArray from = QFile::encodeName(path);
        const QByteArray to = QFile::encodeName(candidate);
        // link() never replaces an existing file, so an earlier one is safe.
        if (::link(from.constData(), to.constData()) == 0) {
            ::unlink(from.constData());
            return candidate;
        }
        if (errno == EEXIST)
            continue;
        if (!QFileInfo::exists(candidate) && QFile::rename(path, candidate))
            return candidate;
        return std::nullopt;
    }
    return std::nullopt;
}

void TabManager::keepPreviousStateFile(const QString &path)
{
    const QString previous = path + QStringLiteral(".previous");
    // The older copy goes only once the newer one can take its place.
    const QString staged = previous + QStringLiteral(".new");
    QFile::remove(staged);
    if (!QFile::copy(path, staged)) {
        printFailureLine(QStringLiteral("Tab restoration skipped: "),
                         QStringLiteral("%1 could not be copied to %2, so tabs will not be saved "
                                        "this run")
                             .arg(path, staged));
        m_stateWritable = false;
        return;
    }
    QFile::remove(previous);
    if (!QFile::rename(staged, previous)) {
        printFailureLine(QStringLiteral("Tab restoration skipped: "),
                         QStringLiteral("%1 could not be renamed to %2, so tabs will not be saved "
                                        "this run")
                             .arg(staged, previous));
        m_stateWritable = false;
    }
}

void TabManager::setAutoSaveInterval(std::chrono::milliseconds interval)
{
    m_persistence.autoSaveInterval = interval;
    if (m_autoSaveTask)
        m_autoSaveTask->setInterval(interval);
}

void TabManager::startAutoSave()
{
    if (!m_persistence.enabled)
        return;
    m_autoSaveTask = std::make_unique<AutoSaver>(
        this, m_persistence.autoSaveInterval, [this] { return snapshots(); },
        [this](const QList<Scratchpad::Snapshot> &snapshots) { writeState(snapshots); });
}

QList<Scratchpad::Snapshot> TabManager::snapshots() const
{
    QList<Scratchpad::Snapshot> list;
    list.reserve(m_tabs.size());
    for (const auto &tab : m_tabs)
        list.append(tab->snapshot());
    return list;
}

void TabManager::writeState(const QList<Scratchpad::Snapshot> &snapshots) const
{
    if (!m_stateWritable)
        return;
    // Streamed: a second copy of every tab's text would double the memory an autosave needs.
    const auto produce = [&snapshots](const WriteChunk &writeChunk) {
        return TabStateFile::encode(snapshots, writeChunk);
    };
    if (const std::optional<QString> error = writeFileDurably(stateFilePath(), produce))
        printFailureLine(QStringLiteral("Auto-save failed: "), *error);
}

void TabManager::openFile()
{
    if (!m_filePanels)
        return;
    const std::optional<QList<QUrl>> chosen = m_filePanels->chooseFilesToOpen();
    if (!chosen)
        return;
    for (const QUrl &url : *chosen) {
        QString error;
        const std::optional<QString> text = readUtf8TextFile(url.toLocalFile(), &error);
        if (!text) {
            printFailureLine(QStringLiteral("Failed to open file: "), error);
            continue;
        }
        newTab(*text, url);
        if (const auto current = currentTab())
            current->setIsDirty(false);
    }
}

void TabManager::saveCurrent()
{
    const std::shared_ptr<Scratchpad> current = currentTab();
    if (!current)
        return;
    if (const std::optional<QUrl> filePath = current->filePath())
        saveTab(*current, *filePath);
    else
        saveCurrentAs();
}

void TabManager::saveCurrentAs()
{
    const std::shared_ptr<Scratchpad> current = currentTab();
    if (!current || !m_filePanels)
        return;
    const std::optional<QUrl> url =
        m_filePanels->chooseSaveLocation(current->title() + QStringLiteral(".md"));
    if (url && !url->isEmpty())
        saveTab(*current, *url);
}

void TabManager::saveTab(Scratchpad &scratchpad, const QUrl &url)
{
    if (!url.isLocalFile()) {
        printFailureLine(QStringLiteral("Failed to save file: "),
                         QStringLiteral("%1: not a local file").arg(url.toString()));
        return;
    }
    if (const std::optional<QString> error =
            writeUtf8TextFile(url.toLocalFile(), scratchpad.content())) {
        printFailureLine(QStringLiteral("Failed to save file: "), *error);
        return;
    }
    scratchpad.setFilePath(url);
    scratchpad.setIsDirty(false);
    scratchpad.setTitle(Scratchpad::fileTitle(url));
}

} // namespace quillet
