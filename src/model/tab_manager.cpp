#include "tab_manager.h"

#include "platform/clock.h"
#include "platform/console.h"
#include "platform/text_file.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <sys/stat.h>

#include <algorithm>
#include <mutex>
#include <new>

namespace quillet {

namespace {

// Held while open tasks are handed to the pool and taken by each task before it reads what it
// was given: Qt passes a task to a pool thread through futexes the thread sanitizer cannot see,
// and this shows it the order that is there anyway.
std::mutex g_openHandOff;

// The beginnings of the lines an open or a save prints when it fails; the reason follows.
constexpr QLatin1StringView kOpenFailed("Failed to open file: ");
constexpr QLatin1StringView kSaveFailed("Failed to save file: ");

// A clean tab for the text, titled from its first line or else from the file's name.
std::shared_ptr<Scratchpad> makeTab(const QString &content, const std::optional<QUrl> &filePath)
{
    auto tab = std::make_shared<Scratchpad>(QUuid::createUuid(), Scratchpad::kUntitled, content,
                                            filePath, false);
    if (filePath)
        tab->setTitle(Scratchpad::fileTitle(*filePath));
    tab->deriveTitle();
    return tab;
}

} // namespace

TabManager::TabManager(Persistence persistence, std::unique_ptr<FilePanels> filePanels,
                       QObject *parent)
    : QObject(parent)
    , m_stateStore(persistence)
    , m_filePanels(std::move(filePanels))
{
    m_openPool.setMaxThreadCount(1);
    m_fileWatcher = new QFileSystemWatcher(this);
    connect(m_fileWatcher, &QFileSystemWatcher::fileChanged, this, &TabManager::followFilesOnDisk);
    connect(m_fileWatcher, &QFileSystemWatcher::directoryChanged, this,
            &TabManager::followFilesOnDisk);
    connect(this, &TabManager::tabsChanged, this, &TabManager::watchTabFiles);
    if (persistence.restoreAtConstruction)
        restoreSavedTabs();
}

void TabManager::restoreSavedTabs()
{
    if (m_restored)
        return;
    m_restored = true;
    const QList<std::shared_ptr<Scratchpad>> restored = m_stateStore.restore();
    if (!restored.isEmpty()) {
        m_tabs = restored + m_tabs;
        emit tabsChanged();
        setSelectedTabId(m_tabs.first()->id());
    }
    // At an exit that never destroys this manager, a read under way must not outlive it.
    m_stateStore.startAutoSave(
        this, [this] { return snapshots(); }, [this] { m_openCancelled = true; });
}

TabManager::~TabManager()
{
    // A read under way stops at its next piece; its file, untouched on disk, just gets no tab.
    m_openCancelled = true;
    m_openPool.waitForDone();
    m_stateStore.finish();
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
    appendTab(makeTab(content, filePath));
}

void TabManager::appendTab(const std::shared_ptr<Scratchpad> &tab)
{
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

QList<Scratchpad::Snapshot> TabManager::snapshots() const
{
    QList<Scratchpad::Snapshot> list;
    list.reserve(m_tabs.size());
    for (const auto &tab : m_tabs)
        list.append(tab->snapshot());
    return list;
}

void TabManager::openFile()
{
    if (!m_filePanels)
        return;
    if (const std::optional<QList<QUrl>> chosen = m_filePanels->chooseFilesToOpen())
        openFiles(*chosen);
}

void TabManager::openFiles(const QList<QUrl> &urls)
{
    // Reading, decoding, titling and counting a large file take seconds: the worker does all of
    // it, and the GUI thread only appends the finished tab.
    QThread *const owner = thread();
    const std::lock_guard handingOff(g_openHandOff);
    for (const QUrl &url : urls) {
        ++m_pendingOpens;
        m_openPool.start([this, url, owner] {
            { const std::lock_guard handedOver(g_openHandOff); }
            IoResult<std::shared_ptr<Scratchpad>> opened = ioFailure(QString());
            try {
                DiskVersion version;
                const IoResult<QString> text =
                    readUtf8TextFile(url.toLocalFile(), &version, &m_openCancelled);
                if (text) {
                    std::shared_ptr<Scratchpad> tab = makeTab(*text, url);
                    tab->setDiskVersion(version);
                    opened = std::move(tab);
                } else {
                    opened = ioFailure(text.reason());
                }
            } catch (const std::bad_alloc &) {
                opened = ioFailure(QStringLiteral("%1: not enough memory to open the file")
                                       .arg(url.toLocalFile()));
            }
            if (m_openCancelled)
                return;
            if (opened)
                (*opened)->moveToThread(owner);
            QMetaObject::invokeMethod(
                this, [this, opened] { finishOpen(opened); }, Qt::QueuedConnection);
        });
    }
}

void TabManager::finishOpen(const IoResult<std::shared_ptr<Scratchpad>> &opened)
{
    --m_pendingOpens;
    if (!opened) {
        reportFileFailure(kOpenFailed, opened.reason());
        return;
    }
    appendTab(*opened);
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
        m_filePanels->chooseSaveLocation(proposedFileName(current->title()));
    // Choosing a file is choosing to write it, whatever it holds now.
    if (url && !url->isEmpty())
        saveTab(*current, *url, SaveCheck::overwrite);
}

QString TabManager::proposedFileName(const QString &title)
{
    // A "/" would name a folder, and a control character has no business in a file name.
    QString name = title;
    for (QChar &c : name) {
        if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control)
            c = u'-';
    }
    if (name.isEmpty() || name == u"." || name == u"..")
        name = Scratchpad::kUntitled;
    return name + QStringLiteral(".md");
}

void TabManager::reportFileFailure(const QString &prefix, const QString &description)
{
    printFailureLine(prefix, description);
    emit fileOperationFailed(prefix + description);
}

void TabManager::saveTab(Scratchpad &scratchpad, const QUrl &url, SaveCheck check)
{
    if (!url.isLocalFile()) {
        reportFileFailure(kSaveFailed, QStringLiteral("%1: not a local file").arg(url.toString()));
        return;
    }
    const QString path = url.toLocalFile();
    // Another program's newer text is never replaced without the user choosing so.
    const std::optional<DiskVersion> known = scratchpad.diskVersion();
    if (check == SaveCheck::ifUnchanged && scratchpad.filePath() == url && known &&
        changedOnDisk(path, *known)) {
        scratchpad.setHasConflict(true);
        reportFileFailure(kSaveFailed,
                          QStringLiteral("%1: the file was changed by another program since it "
                                         "was opened or saved")
                              .arg(path));
        return;
    }
    DiskVersion version;
    if (const IoStatus written = writeUtf8TextFile(path, scratchpad.content(), &version);
        !written) {
        reportFileFailure(kSaveFailed, written.reason());
        return;
    }
    scratchpad.setDiskVersion(version);
    scratchpad.setHasConflict(false);
    scratchpad.setFilePath(url);
    scratchpad.setIsDirty(false);
    scratchpad.setTitle(Scratchpad::fileTitle(url));
    watchTabFiles();
}

void TabManager::overwriteOnDisk(Scratchpad &scratchpad)
{
    if (const std::optional<QUrl> filePath = scratchpad.filePath())
        saveTab(scratchpad, *filePath, SaveCheck::overwrite);
}

void TabManager::reloadFromDisk(Scratchpad &scratchpad)
{
    const std::optional<QUrl> filePath = scratchpad.filePath();
    if (!filePath || !filePath->isLocalFile())
        return;
    DiskVersion version;
    const IoResult<QString> text = readUtf8TextFile(filePath->toLocalFile(), &version);
    if (!text) {
        reportFileFailure(kOpenFailed, text.reason());
        return;
    }
    // The editor takes the new text as one undoable step, so the tab's own text is one undo
    // away.
    updateContent(scratchpad, *text);
    scratchpad.setIsDirty(false);
    scratchpad.setDiskVersion(version);
    scratchpad.setHasConflict(false);
}

void TabManager::watchTabFiles()
{
    QStringList wanted;
    for (const auto &tab : std::as_const(m_tabs)) {
        const std::optional<QUrl> filePath = tab->filePath();
        if (!filePath || !filePath->isLocalFile())
            continue;
        const QFileInfo file(filePath->toLocalFile());
        wanted << file.absoluteFilePath() << file.absolutePath();
    }
    QStringList watched = m_fileWatcher->files() + m_fileWatcher->directories();
    QStringList stale;
    for (const QString &path : std::as_const(watched)) {
        if (!wanted.contains(path))
            stale << path;
    }
    if (!stale.isEmpty())
        m_fileWatcher->removePaths(stale);
    QStringList missing;
    for (const QString &path : std::as_const(wanted)) {
        if (!watched.contains(path) && !missing.contains(path) && QFileInfo::exists(path))
            missing << path;
    }
    if (!missing.isEmpty())
        m_fileWatcher->addPaths(missing);
}

void TabManager::followFilesOnDisk()
{
    for (const auto &tab : std::as_const(m_tabs)) {
        const std::optional<QUrl> filePath = tab->filePath();
        const std::optional<DiskVersion> known = tab->diskVersion();
        if (tab->isDirty() || !known || !filePath || !filePath->isLocalFile())
            continue;
        const QString path = filePath->toLocalFile();
        struct stat status {};
        // Gone, or replaced by something that is no text file: the tab keeps what it has.
        if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        if (changedOnDisk(path, *known))
            reloadFromDisk(*tab);
    }
    watchTabFiles();
}

} // namespace quillet
