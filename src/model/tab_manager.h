#pragma once

#include "file_panels.h"
#include "platform/io_result.h"
#include "scratchpad.h"
#include "tab_state_store.h"

#include <QFileSystemWatcher>
#include <QList>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QUuid>

#include <atomic>
#include <memory>
#include <optional>
#include <set>

namespace quillet {

enum class PreviewMode { edit, split, preview };

// Owns everything that is open: the ordered scratchpads, the selection and the preview mode.
// Every change to a scratchpad's text or cursor goes through its operations. `tabs` notifies on
// every change; every other field only when its value changes.
class TabManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<std::shared_ptr<Scratchpad>> tabs READ tabs WRITE setTabs NOTIFY tabsChanged)
    Q_PROPERTY(std::optional<QUuid> selectedTabId READ selectedTabId WRITE setSelectedTabId NOTIFY
                   selectedTabIdChanged)
    Q_PROPERTY(
        PreviewMode previewMode READ previewMode WRITE setPreviewMode NOTIFY previewModeChanged)

public:
    using Persistence = TabPersistence;

    explicit TabManager(Persistence persistence = {}, std::unique_ptr<FilePanels> filePanels = {},
                        QObject *parent = nullptr);
    ~TabManager() override;

    // The last run's tabs put before any already here, the first of them selected, and the
    // autosave started; once per manager, and by the constructor unless persistence says
    // otherwise. Nothing is written to the saved-tabs file before it.
    void restoreSavedTabs();

    QList<std::shared_ptr<Scratchpad>> tabs() const { return m_tabs; }
    std::optional<QUuid> selectedTabId() const { return m_selectedTabId; }
    PreviewMode previewMode() const { return m_previewMode; }

    // Direct edits of the list and selection; the tab bar's "Close Others" uses them.
    void setTabs(const QList<std::shared_ptr<Scratchpad>> &tabs);
    void setSelectedTabId(const std::optional<QUuid> &id);
    void setPreviewMode(PreviewMode mode);

    // The first tab whose id is the selection, if any.
    std::shared_ptr<Scratchpad> currentTab() const;
    // Its position in `tabs`, or -1.
    qint64 currentTabIndex() const;

    void newTab(const QString &content = {}, const std::optional<QUrl> &filePath = {});
    // Unchecked: an id no tab has leaves no current tab.
    void selectTab(const QUuid &id);
    void closeTab(const QUuid &id);
    void closeCurrentTab();
    // Brings back the most recently closed tab of this session, as it was, at its old position
    // where the list is still that long, and selects it. Nothing when none is kept.
    void reopenClosedTab();
    bool hasClosedTabs() const { return !m_closedTabs.empty(); }
    // How many closed tabs are kept, newest first out.
    static constexpr qsizetype kClosedTabLimit = 20;
    void previousTab();
    void nextTab();
    // Moves the tabs at `from` (positions before the move) in their order to before the tab at
    // `to` (the end when `to` equals the count). Out-of-range positions are ignored.
    void moveTab(const std::set<qsizetype> &from, qsizetype to);
    void cyclePreviewMode();
    void updateContent(Scratchpad &scratchpad, const QString &newContent);
    // `updateContent` for a change given as its range: `removed` UTF-16 units at `start` are
    // replaced by `inserted`, in the scratchpad's own buffer, so that the cost follows the change
    // rather than the text. A range outside the content changes nothing and answers false.
    bool replaceContent(Scratchpad &scratchpad, qsizetype start, qsizetype removed,
                        QStringView inserted);
    // A negative offset counts as 0.
    void updateCursorPosition(Scratchpad &scratchpad, qint64 position);

    // Lets the user choose files and opens each into a new tab; unreadable ones are reported.
    void openFile();
    // Opens each file into a new tab, in order, as openFile() does with the chosen ones. The
    // files are read on a worker: each tab, or failure line, arrives in a later turn of the
    // event loop, in the order given, and each new tab is selected as it arrives.
    void openFiles(const QList<QUrl> &urls);
    // Some file given to openFiles() has neither its tab nor its failure line yet.
    bool isOpeningFiles() const { return m_pendingOpens > 0; }
    // Saves the current tab to its file, or asks where when it has none.
    void saveCurrent();
    // Asks where to save the current tab, proposing its title + ".md".
    void saveCurrentAs();
    // The name Save As proposes for a tab with this title: the title with every character a
    // file name cannot hold replaced, plus ".md".
    static QString proposedFileName(const QString &title);
    // The two ways out of a conflict (a save found the tab's file changed by another program):
    // take the version on disk into the tab, clean, or write the tab's text over it.
    void reloadFromDisk(Scratchpad &scratchpad);
    void overwriteOnDisk(Scratchpad &scratchpad);

    // Where the tabs were restored from and are autosaved to.
    TabStateStore &stateStore() { return m_stateStore; }

signals:
    void tabsChanged();
    void selectedTabIdChanged();
    void previewModeChanged();
    // The derived current tab became a different scratchpad (or none).
    void currentTabChanged();
    // A tab was closed or reopened, so whether one can be reopened may differ.
    void closedTabsChanged();
    // An open or save failed; `line` is the line printed for it, for a short notice in the
    // window.
    void fileOperationFailed(const QString &line);

private:
    QList<Scratchpad::Snapshot> snapshots() const;
    enum class SaveCheck { ifUnchanged, overwrite };
    void saveTab(Scratchpad &scratchpad, const QUrl &url, SaveCheck check = SaveCheck::ifUnchanged);
    // Watches every tab's file, and its folder (a file replaced by a rename ends a watch on it).
    void watchTabFiles();
    // Clean tabs whose file another program changed take the new text.
    void followFilesOnDisk();
    // Prints the failure line and tells the window.
    void reportFileFailure(const QString &prefix, const QString &description);
    void notifyIfCurrentTabChanged();
    void appendTab(const std::shared_ptr<Scratchpad> &tab);
    // Takes a file read by the worker: its tab, or else why it could not be opened.
    void finishOpen(const IoResult<std::shared_ptr<Scratchpad>> &opened);
    void rememberClosed(const std::shared_ptr<Scratchpad> &tab, qsizetype position);

    struct ClosedTab {
        std::shared_ptr<Scratchpad> tab;
        qsizetype position = 0;
    };

    TabStateStore m_stateStore;
    std::unique_ptr<FilePanels> m_filePanels;
    QList<std::shared_ptr<Scratchpad>> m_tabs;
    std::optional<QUuid> m_selectedTabId;
    PreviewMode m_previewMode = PreviewMode::edit;
    std::weak_ptr<Scratchpad> m_lastCurrentTab;
    // Oldest first; at most kClosedTabLimit.
    QList<ClosedTab> m_closedTabs;
    QFileSystemWatcher *m_fileWatcher = nullptr;
    // One thread, so files are read one after the other and arrive in order.
    QThreadPool m_openPool;
    std::atomic<bool> m_openCancelled = false;
    qsizetype m_pendingOpens = 0;
    bool m_restored = false;
};

} // namespace quillet
