#include "platform/clock.h"
#include "model/tab_manager.h"
#include "support/temp_folder.h"

#include <QSignalSpy>
#include <QtTest>

using namespace std::chrono_literals;
using quillet::Scratchpad;
using quillet::TabManager;

namespace {

// A tab manager holding tabs whose contents are the given names ("A", "B", ...).
std::unique_ptr<TabManager> managerWithTabs(const QStringList &names)
{
    auto manager = std::make_unique<TabManager>(TabManager::Persistence::disabled());
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
    void closeSelectAndMove_data()
    {
        // Tabs and selections as letters; "Z" is an id no tab has.
        QTest::addColumn<QString>("tabs");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("selectedAfter");

        QTest::newRow("close selected middle: next") << "ABC" << "B" << "close B" << "AC" << "C";
        QTest::newRow("close selected last: previous") << "ABC" << "C" << "close C" << "AB" << "B";
        QTest::newRow("close selected first: next") << "ABC" << "A" << "close A" << "BC" << "B";
        QTest::newRow("close the only tab") << "A" << "A" << "close A" << "" << "";
        QTest::newRow("close unselected") << "ABC" << "A" << "close C" << "AB" << "A";
        QTest::newRow("close unknown") << "ABC" << "B" << "close Z" << "ABC" << "B";
        QTest::newRow("close current") << "ABC" << "A" << "close" << "BC" << "B";
        QTest::newRow("close current, none selected") << "ABC" << "" << "close" << "ABC" << "";
        QTest::newRow("next wraps to first") << "ABC" << "C" << "next" << "ABC" << "A";
        QTest::newRow("previous wraps to last") << "ABC" << "A" << "previous" << "ABC" << "C";
        QTest::newRow("next") << "ABC" << "A" << "next" << "ABC" << "B";
        QTest::newRow("previous") << "ABC" << "C" << "previous" << "ABC" << "B";
        QTest::newRow("single tab, next") << "A" << "A" << "next" << "A" << "A";
        QTest::newRow("none selected, next") << "ABC" << "" << "next" << "ABC" << "";
        QTest::newRow("none selected, previous") << "ABC" << "" << "previous" << "ABC" << "";
        QTest::newRow("unknown selected, next") << "ABC" << "Z" << "next" << "ABC" << "";
        QTest::newRow("move first before third") << "ABCD" << "B" << "move 0 2" << "BACD" << "B";
        QTest::newRow("move last to front") << "ABCD" << "B" << "move 3 0" << "DABC" << "B";
        QTest::newRow("move to the end") << "ABCD" << "B" << "move 1 4" << "ACDB" << "B";
        QTest::newRow("move several, in order") << "ABCD" << "B" << "move 30 2" << "BADC" << "B";
        QTest::newRow("move onto itself") << "ABCD" << "B" << "move 2 2" << "ABCD" << "B";
        QTest::newRow("move out of range") << "ABCD" << "B" << "move 9 0" << "ABCD" << "B";
    }

    void closeSelectAndMove()
    {
        QFETCH(QString, tabs);
        QFETCH(QString, selected);
        QFETCH(QString, operation);
        QFETCH(QString, selectedAfter);
        auto manager = managerWithTabs(tabs.split(QString(), Qt::SkipEmptyParts));
        const auto id = [&](const QString &name) {
            return name == u"Z" ? QUuid::createUuid() : idOf(*manager, name);
        };
        manager->setSelectedTabId(selected.isEmpty() ? std::nullopt : std::optional(id(selected)));
        const QStringList words = operation.split(u' ');
        if (operation == u"close") {
            manager->closeCurrentTab();
        } else if (words[0] == u"close") {
            manager->closeTab(id(words[1]));
        } else if (operation == u"next") {
            manager->nextTab();
        } else if (operation == u"previous") {
            manager->previousTab();
        } else {
            std::set<qsizetype> from;
            for (QChar digit : words[1])
                from.insert(digit.digitValue());
            manager->moveTab(from, words[2].toInt());
        }
        QTEST(titles(*manager).join(QString()), "after");
        QCOMPARE(currentTitle(*manager), selectedAfter);
        QCOMPARE(manager->selectedTabId().has_value(),
                 !selectedAfter.isEmpty() || selected == u"Z");
    }

    void reopenClosedTab_data()
    {
        QTest::addColumn<QStringList>("tabs");
        QTest::addColumn<QStringList>("closed");
        QTest::addColumn<bool>("closeOthersOfFirst");
        QTest::addColumn<int>("reopenCount");
        QTest::addColumn<QStringList>("after");

        const QStringList abc = {"A", "B", "C"};
        QStringList many;
        for (int i = 0; i < 25; ++i)
            many.append(QString::number(i));
        QTest::newRow("middle comes back in place") << abc << QStringList{"B"} << false << 1 << abc;
        QTest::newRow("newest closed first")
            << abc << QStringList{"A", "C"} << false << 1 << QStringList{"B", "C"};
        QTest::newRow("both, in their places") << abc << QStringList{"A", "C"} << false << 2 << abc;
        QTest::newRow("position past the end appends")
            << abc << QStringList{"C", "B", "A"} << false << 1 << QStringList{"A"};
        QTest::newRow("close others is kept")
            << abc << QStringList{} << true << 2 << QStringList{"A", "B", "C"};
        QTest::newRow("nothing closed does nothing") << abc << QStringList{} << false << 1 << abc;
        QTest::newRow("only the last twenty come back") << many << many << false << 21
                                                        << many.sliced(5);
    }

    void reopenClosedTab()
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
            if (closed.contains(lastReopened))
                QVERIFY(manager->currentTab()->isDirty());
        }
    }

    // Even an equal text marks the tab edited and dated now; a scratchpad outside the list is
    // updated alone.
    void updateContentAlwaysMarksDirty()
    {
        const QDateTime later(QDate(2026, 5, 5), QTime(12, 0), Qt::UTC);
        auto manager = managerWithTabs({"# Same"});
        const auto tab = manager->currentTab();
        quillet::ScopedClockOverride clock([&] { return later; });
        manager->updateContent(*tab, tab->content());
        QVERIFY(tab->isDirty());
        QCOMPARE(tab->modifiedAt(), later);
        Scratchpad outside;
        manager->updateContent(outside, QStringLiteral("hello there\nworld"));
        QCOMPARE(outside.title(), QStringLiteral("hello there"));
        QCOMPARE(tab->content(), QStringLiteral("# Same"));
    }

    // The list notifies on every assignment, the selection only when it changes; the current tab
    // changes when the selection or the list takes it away.
    void notifications()
    {
        auto manager = managerWithTabs({"A", "B"});
        QSignalSpy tabs(manager.get(), &TabManager::tabsChanged);
        QSignalSpy selection(manager.get(), &TabManager::selectedTabIdChanged);
        QSignalSpy current(manager.get(), &TabManager::currentTabChanged);
        const auto counts = [&] {
            return QList<qsizetype>{tabs.size(), selection.size(), current.size()};
        };

        manager->selectTab(*manager->selectedTabId());
        manager->setTabs(manager->tabs());
        QCOMPARE(counts(), QList<qsizetype>({1, 0, 0}));
        manager->selectTab(idOf(*manager, "A"));
        manager->setTabs({manager->tabs().last()});
        QCOMPARE(counts(), QList<qsizetype>({2, 1, 2}));
        QVERIFY(!manager->currentTab());
        manager->closeTab(idOf(*manager, "B"));
        QCOMPARE(counts(), QList<qsizetype>({3, 1, 2}));
    }

    void restoresWhenAsked_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("gone before restoring") << false << QStringList{"new"};
        QTest::newRow("restored twice after a new tab") << true << QStringList{"saved", "new"};
    }

    // As the application starts, its window first: nothing is written before the saved tabs are
    // restored, not even at the end, and they come first once they are.
    void restoresWhenAsked()
    {
        QFETCH(bool, restore);
        QFETCH(QStringList, expected);
        quillet::testing::TempFolder folder;
        const QByteArray saved = R"([{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","title":"t",)"
                                 R"("content":"saved","createdAt":"2026-03-01T09:30:00Z"}])";
        QVERIFY(folder.write(QStringLiteral("tabs.json"), saved));
        TabManager::Persistence persistence;
        persistence.autosaveDirectory = folder.path();
        persistence.autoSaveInterval = 10ms;
        persistence.restoreAtConstruction = false;
        {
            TabManager manager(persistence);
            manager.newTab(QStringLiteral("new"));
            QTest::qWait(100);
            QCOMPARE(folder.read(QStringLiteral("tabs.json")), saved);
            if (restore) {
                manager.restoreSavedTabs();
                manager.restoreSavedTabs();
            }
            QCOMPARE(titles(manager), expected);
            QCOMPARE(currentTitle(manager), expected.first());
        }
        const QByteArray written = folder.read(QStringLiteral("tabs.json"));
        QCOMPARE(written == saved, !restore);
        QCOMPARE(written.count("\"content\""), restore ? 2 : 1);
    }
};

QTEST_GUILESS_MAIN(TabManagerTest)
#include "tst_tab_manager.moc"
