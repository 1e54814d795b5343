#include "model/clock.h"
#include "model/tab_manager.h"

#include <QSignalSpy>
#include <QtTest>

using quillet::PreviewMode;
using quillet::Scratchpad;
using quillet::TabManager;

namespace {

TabManager::Persistence noPersistence()
{
    return TabManager::Persistence::disabled();
}

// A tab manager holding tabs whose contents are the given names ("A", "B", ...).
std::unique_ptr<TabManager> managerWithTabs(const QStringList &names)
{
    auto manager = std::make_unique<TabManager>(noPersistence());
    for (const QString &name : names)
        manager->newTab(name);
    return manager;
}

QStringList titles(const TabManager &manager)
{
    QStringList list;
    for (const auto &tab : manager.tabs())
        list.append(tab->title());
    return list;
}

QUuid idOf(const TabManager &manager, const QString &title)
{
    for (const auto &tab : manager.tabs())
        if (tab->title() == title)
            return tab->id();
    return {};
}

QString currentTitle(const TabManager &manager)
{
    const auto current = manager.currentTab();
    return current ? current->title() : QString();
}

} // namespace

class TabManagerTest : public QObject {
    Q_OBJECT

private slots:
    void startsEmpty();
    void newTab_data();
    void newTab();
    void newTabsGetDistinctIdsAndAreSelected();
    void closeTab_data();
    void closeTab();
    void closeCurrentTabWithoutSelectionDoesNothing();
    void reopenClosedTab_data();
    void reopenClosedTab();
    void reopenKeepsTheLastTwenty();
    void previousAndNext_data();
    void previousAndNext();
    void moveTab_data();
    void moveTab();
    void cyclePreviewModeReturnsAfterThree();
    void selectUnknownIdLeavesNoCurrentTab();
    void updateContentAlwaysMarksDirty();
    void updateCursorPosition_data();
    void updateCursorPosition();
    void notifications();
};

void TabManagerTest::startsEmpty()
{
    TabManager manager(noPersistence());
    QVERIFY(manager.tabs().isEmpty());
    QVERIFY(!manager.selectedTabId());
    QCOMPARE(manager.previewMode(), PreviewMode::edit);
    QVERIFY(!manager.currentTab());
    QCOMPARE(manager.currentTabIndex(), -1);
}

void TabManagerTest::newTab_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("filePath");
    QTest::addColumn<QString>("title");

    QTest::newRow("no arguments") << QString() << QString() << QStringLiteral("Untitled");
    QTest::newRow("heading and file")
        << QStringLiteral("# Ideas") << QStringLiteral("/n/notes.md") << QStringLiteral("Ideas");
    QTest::newRow("empty text and file")
        << QString() << QStringLiteral("/n/notes.md") << QStringLiteral("notes");
    QTest::newRow("blank text and file")
        << QStringLiteral(" \n\t") << QStringLiteral("/n/a.b.txt") << QStringLiteral("a.b");
}

void TabManagerTest::newTab()
{
    QFETCH(QString, content);
    QFETCH(QString, filePath);
    auto manager = managerWithTabs({QStringLiteral("first")});
    const std::optional<QUrl> file =
        filePath.isEmpty() ? std::nullopt : std::optional(QUrl::fromLocalFile(filePath));
    manager->newTab(content, file);

    QCOMPARE(manager->tabs().size(), 2);
    const auto tab = manager->tabs().last();
    QTEST(tab->title(), "title");
    QCOMPARE(tab->content(), content);
    QCOMPARE(tab->filePath(), file);
    QVERIFY(!tab->isDirty());
    QCOMPARE(manager->currentTab(), tab);
    QCOMPARE(manager->currentTabIndex(), 1);
}

void TabManagerTest::newTabsGetDistinctIdsAndAreSelected()
{
    auto manager = managerWithTabs({"A", "B", "C"});
    QSet<QUuid> ids;
    for (const auto &tab : manager->tabs())
        ids.insert(tab->id());
    QCOMPARE(ids.size(), 3);
    QCOMPARE(currentTitle(*manager), QStringLiteral("C"));
}

void TabManagerTest::closeTab_data()
{
    QTest::addColumn<QStringList>("tabs");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("closed");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<QString>("selectedAfter");

    const QStringList abc = {"A", "B", "C"};
    QTest::newRow("selected middle selects next") << abc << "B"
                                                  << "B" << QStringList{"A", "C"} << "C";
    QTest::newRow("selected last selects previous") << abc << "C"
                                                    << "C" << QStringList{"A", "B"} << "B";
    QTest::newRow("selected first selects next") << abc << "A"
                                                 << "A" << QStringList{"B", "C"} << "B";
    QTest::newRow("only tab leaves nothing") << QStringList{"A"} << "A"
                                             << "A" << QStringList{} << QString();
    QTest::newRow("unselected keeps selection") << abc << "A"
                                                << "C" << QStringList{"A", "B"} << "A";
    QTest::newRow("unknown id does nothing") << abc << "B"
                                             << "Z" << abc << "B";
}

void TabManagerTest::closeTab()
{
    QFETCH(QStringList, tabs);
    QFETCH(QString, selected);
    QFETCH(QString, closed);
    auto manager = managerWithTabs(tabs);
    manager->selectTab(idOf(*manager, selected));
    manager->closeTab(closed == "Z" ? QUuid::createUuid() : idOf(*manager, closed));
    QTEST(titles(*manager), "remaining");
    QTEST(currentTitle(*manager), "selectedAfter");
    QFETCH(QString, selectedAfter);
    QCOMPARE(manager->selectedTabId().has_value(), !selectedAfter.isEmpty());
}

void TabManagerTest::closeCurrentTabWithoutSelectionDoesNothing()
{
    auto manager = managerWithTabs({"A", "B"});
    manager->setSelectedTabId(std::nullopt);
    manager->closeCurrentTab();
    QCOMPARE(titles(*manager), QStringList({"A", "B"}));

    manager->selectTab(idOf(*manager, "A"));
    manager->closeCurrentTab();
    QCOMPARE(titles(*manager), QStringList({"B"}));
    QCOMPARE(currentTitle(*manager), QStringLiteral("B"));
}

void TabManagerTest::reopenClosedTab_data()
{
    QTest::addColumn<QStringList>("tabs");
    QTest::addColumn<QStringList>("closed");
    QTest::addColumn<bool>("closeOthersOfFirst");
    QTest::addColumn<int>("reopenCount");
    QTest::addColumn<QStringList>("after");

    const QStringList abc = {"A", "B", "C"};
    QTest::newRow("middle comes back in place") << abc << QStringList{"B"} << false << 1 << abc;
    QTest::newRow("newest closed first")
        << abc << QStringList{"A", "C"} << false << 1 << QStringList{"B", "C"};
    QTest::newRow("both, in their places") << abc << QStringList{"A", "C"} << false << 2 << abc;
    QTest::newRow("position past the end appends")
        << abc << QStringList{"C", "B", "A"} << false << 1 << QStringList{"A"};
    QTest::newRow("close others is kept")
        << abc << QStringList{} << true << 2 << QStringList{"A", "B", "C"};
    QTest::newRow("nothing closed does nothing") << abc << QStringList{} << false << 1 << abc;
}

void TabManagerTest::reopenClosedTab()
{
    QFETCH(QStringList, tabs);
    QFETCH(QStringList, closed);
    QFETCH(bool, closeOthersOfFirst);
    QFETCH(int, reopenCount);
    auto manager = managerWithTabs(tabs);
    for (const QString &name : closed) {
        // Edited and dirty, so that all of it has to come back.
        manager->updateContent(*manager->tabs().at(titles(*manager).indexOf(name)), name);
        manager->closeTab(idOf(*manager, name));
    }
    if (closeOthersOfFirst)
        manager->setTabs({manager->tabs().first()});
    QCOMPARE(manager->hasClosedTabs(), !closed.isEmpty() || closeOthersOfFirst);
    QSignalSpy closedSpy(manager.get(), &TabManager::closedTabsChanged);
    QString lastReopened;
    for (int i = 0; i < reopenCount; ++i) {
        const QStringList before = titles(*manager);
        manager->reopenClosedTab();
        for (const QString &title : titles(*manager))
            if (!before.contains(title))
                lastReopened = title;
    }
    QTEST(titles(*manager), "after");
    if (!lastReopened.isEmpty()) {
        QCOMPARE(currentTitle(*manager), lastReopened);
        QVERIFY(!closedSpy.isEmpty());
        if (closed.contains(lastReopened))
            QVERIFY(manager->currentTab()->isDirty());
    }
}

void TabManagerTest::reopenKeepsTheLastTwenty()
{
    auto manager = std::make_unique<TabManager>(noPersistence());
    for (int i = 0; i < 25; ++i) {
        manager->newTab(QString::number(i));
        manager->closeCurrentTab();
    }
    QStringList reopened;
    while (manager->hasClosedTabs()) {
        manager->reopenClosedTab();
        reopened.append(currentTitle(*manager));
    }
    QCOMPARE(reopened.size(), int(TabManager::kClosedTabLimit));
    QCOMPARE(reopened.first(), QStringLiteral("24"));
    QCOMPARE(reopened.last(), QStringLiteral("5"));
}

void TabManagerTest::previousAndNext_data()
{
    QTest::addColumn<QStringList>("tabs");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<QString>("selectedAfter");

    const QStringList abc = {"A", "B", "C"};
    QTest::newRow("next wraps to first") << abc << "C" << true << "A";
    QTest::newRow("previous wraps to last") << abc << "A" << false << "C";
    QTest::newRow("next") << abc << "A" << true << "B";
    QTest::newRow("previous") << abc << "C" << false << "B";
    QTest::newRow("single tab, next") << QStringList{"A"} << "A" << true << "A";
    QTest::newRow("no selection, next") << abc << QString() << true << QString();
    QTest::newRow("no selection, previous") << abc << QString() << false << QString();
}

void TabManagerTest::previousAndNext()
{
    QFETCH(QStringList, tabs);
    QFETCH(QString, selected);
    QFETCH(bool, forward);
    auto manager = managerWithTabs(tabs);
    manager->setSelectedTabId(selected.isEmpty() ? std::nullopt
                                                 : std::optional(idOf(*manager, selected)));
    forward ? manager->nextTab() : manager->previousTab();
    QTEST(currentTitle(*manager), "selectedAfter");
}

void TabManagerTest::moveTab_data()
{
    QTest::addColumn<QList<qsizetype>>("from");
    QTest::addColumn<qsizetype>("to");
    QTest::addColumn<QStringList>("order");

    QTest::newRow("first before third")
        << QList<qsizetype>{0} << qsizetype(2) << QStringList{"B", "A", "C", "D"};
    QTest::newRow("last to front")
        << QList<qsizetype>{3} << qsizetype(0) << QStringList{"D", "A", "B", "C"};
    QTest::newRow("to the end") << QList<qsizetype>{1} << qsizetype(4)
                                << QStringList{"A", "C", "D", "B"};
    QTest::newRow("several keep their order")
        << QList<qsizetype>{3, 0} << qsizetype(2) << QStringList{"B", "A", "D", "C"};
    QTest::newRow("onto itself") << QList<qsizetype>{2} << qsizetype(2)
                                 << QStringList{"A", "B", "C", "D"};
    QTest::newRow("out of range ignored")
        << QList<qsizetype>{9} << qsizetype(0) << QStringList{"A", "B", "C", "D"};
}

void TabManagerTest::moveTab()
{
    QFETCH(QList<qsizetype>, from);
    QFETCH(qsizetype, to);
    auto manager = managerWithTabs({"A", "B", "C", "D"});
    manager->selectTab(idOf(*manager, "B"));
    manager->moveTab(std::set<qsizetype>(from.cbegin(), from.cend()), to);
    QTEST(titles(*manager), "order");
    QCOMPARE(currentTitle(*manager), QStringLiteral("B"));
}

void TabManagerTest::cyclePreviewModeReturnsAfterThree()
{
    TabManager manager(noPersistence());
    QSignalSpy spy(&manager, &TabManager::previewModeChanged);
    const QList<PreviewMode> expected = {PreviewMode::split, PreviewMode::preview,
                                         PreviewMode::edit};
    for (PreviewMode mode : expected) {
        manager.cyclePreviewMode();
        QCOMPARE(manager.previewMode(), mode);
    }
    QCOMPARE(spy.count(), 3);
}

void TabManagerTest::selectUnknownIdLeavesNoCurrentTab()
{
    auto manager = managerWithTabs({"A", "B"});
    manager->selectTab(QUuid::createUuid());
    QVERIFY(manager->selectedTabId());
    QVERIFY(!manager->currentTab());
    QCOMPARE(manager->currentTabIndex(), -1);
    manager->nextTab();
    QVERIFY(!manager->currentTab());
}

void TabManagerTest::updateContentAlwaysMarksDirty()
{
    const QDateTime later(QDate(2026, 5, 5), QTime(12, 0), Qt::UTC);
    auto manager = managerWithTabs({"# Same"});
    const auto tab = manager->currentTab();
    QVERIFY(!tab->isDirty());
    {
        quillet::ScopedClockOverride clock([&] { return later; });
        manager->updateContent(*tab, tab->content());
    }
    QVERIFY(tab->isDirty());
    QCOMPARE(tab->modifiedAt(), later);
    QCOMPARE(tab->title(), QStringLiteral("Same"));

    // A scratchpad outside the list is updated alone.
    Scratchpad outside;
    manager->updateContent(outside, QStringLiteral("hello there\nworld"));
    QCOMPARE(outside.title(), QStringLiteral("hello there"));
    QCOMPARE(outside.wordCount(), 3);
    QCOMPARE(tab->content(), QStringLiteral("# Same"));
}

void TabManagerTest::updateCursorPosition_data()
{
    QTest::addColumn<qint64>("position");
    QTest::addColumn<qint64>("storedPosition");
    QTest::addColumn<qint64>("line");
    QTest::addColumn<qint64>("column");

    QTest::newRow("inside line 2") << 6LL << 6LL << 2LL << 3LL;
    QTest::newRow("negative clamps to 0") << -5LL << 0LL << 1LL << 1LL;
    QTest::newRow("past the end") << 1000LL << 1000LL << 2LL << 5LL;
}

void TabManagerTest::updateCursorPosition()
{
    QFETCH(qint64, position);
    auto manager = managerWithTabs({"abc\ndefg"});
    const auto tab = manager->currentTab();
    manager->updateCursorPosition(*tab, position);
    QTEST(tab->cursorPosition(), "storedPosition");
    QTEST(tab->currentLine(), "line");
    QTEST(tab->currentColumn(), "column");
    QCOMPARE(tab->characterCount(), 8);
}

void TabManagerTest::notifications()
{
    auto manager = managerWithTabs({"A", "B"});
    QSignalSpy tabs(manager.get(), &TabManager::tabsChanged);
    QSignalSpy selection(manager.get(), &TabManager::selectedTabIdChanged);
    QSignalSpy current(manager.get(), &TabManager::currentTabChanged);
    QSignalSpy mode(manager.get(), &TabManager::previewModeChanged);

    manager->selectTab(*manager->selectedTabId());
    manager->setPreviewMode(PreviewMode::edit);
    QCOMPARE(selection.count(), 0);
    QCOMPARE(current.count(), 0);
    QCOMPARE(mode.count(), 0);

    // The list notifies on every assignment, even of an equal list.
    manager->setTabs(manager->tabs());
    QCOMPARE(tabs.count(), 1);
    QCOMPARE(current.count(), 0);

    manager->selectTab(idOf(*manager, "A"));
    QCOMPARE(selection.count(), 1);
    QCOMPARE(current.count(), 1);

    // Removing the current tab from the list directly leaves no current tab.
    manager->setTabs({manager->tabs().last()});
    QCOMPARE(tabs.count(), 2);
    QCOMPARE(current.count(), 2);
    QVERIFY(!manager->currentTab());

    manager->closeTab(idOf(*manager, "B"));
    QCOMPARE(tabs.count(), 3);
    QCOMPARE(current.count(), 2);
}

QTEST_GUILESS_MAIN(TabManagerTest)
#include "tst_tab_manager.moc"
