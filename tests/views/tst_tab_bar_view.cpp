#include "views/tab_bar_view.h"

#include "views/file_revealer.h"
#include "views/markdown_hint_button.h"
#include "views/symbol_button.h"
#include "views/tab_item_view.h"
#include "views/text_label.h"
#include "views_test_support.h"

#include "model/scratchpad.h"
#include "model/tab_manager.h"

#include <QClipboard>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

using quillet::Scratchpad;
using quillet::TabBarView;
using quillet::TabItemView;
using quillet::TabManager;
using quillet::test::geometryIn;
using quillet::Theme::Tone;

namespace {

// Records what the file manager was asked to show.
class FakeRevealer : public quillet::FileRevealer {
public:
    QStringList revealed;
    void reveal(const QString &path) override { revealed.append(path); }
};

struct Bar {
    TabManager tabManager{TabManager::Persistence::disabled()};
    std::shared_ptr<FakeRevealer> revealer = std::make_shared<FakeRevealer>();
    TabBarView bar{tabManager, revealer};

    // Each of `contents` is a tab's text, then after a bar the path of its file if it has one.
    explicit Bar(const QStringList &contents = {}, int width = 900)
    {
        for (const QString &content : contents) {
            const QStringList parts = content.split(u'|');
            tabManager.newTab(parts.first(), parts.size() > 1
                                                 ? std::optional(QUrl::fromLocalFile(parts.last()))
                                                 : std::nullopt);
        }
        bar.resize(width, bar.sizeHint().height());
        bar.show();
        settle();
    }
    static void settle() { quillet::test::settle(); }

    TabItemView *item(int index) const { return bar.tabItems().at(index); }

    QStringList titles() const
    {
        QStringList titles;
        for (const TabItemView *item : bar.tabItems())
            titles.append(item->titleLabel()->text());
        return titles;
    }
};

void hover(QWidget *widget, bool inside)
{
    const QPointF at(2, 2);
    QEnterEvent enter(at, widget->mapToGlobal(at), widget->mapToGlobal(at));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(widget, inside ? static_cast<QEvent *>(&enter) : &leave);
}

QAction *menuAction(QMenu &menu, const QString &text)
{
    for (QAction *action : menu.actions())
        if (action->text() == text && action->isEnabled())
            return action;
    return nullptr;
}

} // namespace

class TabBarViewTest : public QObject {
    Q_OBJECT

private slots:
    void tabsRefitWhenATabChangesWidth_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("title typed shorter") << "He";
        QTest::newRow("dirty dot appears") << "Hello";
        QTest::newRow("saved, dot goes") << "";
    }

    // The strip follows a tab whose width changes, with no other change to the list: every title
    // whole, the dot where the text is unsaved, every close button inside the strip.
    void tabsRefitWhenATabChangesWidth()
    {
        QFETCH(QString, typed);
        quillet::testing::TempFolder folder;
        const QString path = folder.path(QStringLiteral("Hello.md"));
        QVERIFY(folder.write(path, {}));
        Bar bar({"Hello|" + path, "Second tab"});
        const std::shared_ptr<Scratchpad> first = bar.tabManager.tabs().first();
        bar.tabManager.selectTab(first->id());
        if (typed.isEmpty())
            bar.tabManager.updateContent(*first, QStringLiteral("Hello"));
        bar.settle();
        const int widthBefore = bar.item(0)->width();
        if (typed.isEmpty())
            bar.tabManager.saveCurrent();
        else
            bar.tabManager.updateContent(*first, typed);
        bar.settle();

        QVERIFY(bar.item(0)->width() != widthBefore);
        const QWidget *viewport = bar.bar.scrollArea()->viewport();
        for (const TabItemView *item : bar.bar.tabItems()) {
            QCOMPARE(item->titleLabel()->shownText(), item->scratchpad()->title());
            QCOMPARE(item->dirtyIndicator()->isVisible(), item->scratchpad()->isDirty());
            QVERIFY(viewport->rect().contains(geometryIn(*item->closeButton(), *viewport)));
        }
    }

    // Hovering shows the close button's circle without moving anything, and survives a change of
    // the list around the tab; leaving hides the button again, but not the selected tab's.
    void closeGlyphShowsOnHoverOrSelection()
    {
        Bar bar({"first", "second", "third"});
        TabItemView *item = bar.item(0);
        const QSize before = item->size();
        const QRect closeBefore = item->closeButton()->geometry();
        hover(item, true);
        bar.tabManager.closeTab(bar.tabManager.tabs().at(1)->id());
        bar.settle();
        QVERIFY(item->closeButton()->glyphTone() == Tone::secondary &&
                item->closeButton()->hasBackdrop());
        QCOMPARE(item->size(), before);
        QCOMPARE(item->closeButton()->geometry(), closeBefore);
        for (TabItemView *left : {item, bar.item(1)}) {
            hover(left, true);
            hover(left, false);
            QVERIFY(!left->closeButton()->hasBackdrop());
        }
        QCOMPARE(item->closeButton()->glyphTone(), Tone::clear);
        QCOMPARE(bar.item(1)->closeButton()->glyphTone(), Tone::secondary);
    }

    void clicksAndMenuActOnTheirTab_data()
    {
        QTest::addColumn<QStringList>("contents");
        QTest::addColumn<int>("onTab");
        // A click on a part of the tab, or the name of the context menu's item chosen.
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("selectedTitle");
        // The path put on the clipboard or shown in the file manager.
        QTest::addColumn<QString>("handedOut");

        const QStringList abc{"a", "b", "c"}, a{"a"}, xy{"x", "y"};
        const QString none;
        QTest::newRow("selection of no tab") << abc << -1 << "none" << abc << "" << none;
        QTest::newRow("title of an unselected tab") << abc << 0 << "title" << abc << "a" << none;
        QTest::newRow("padding of an unselected tab") << abc << 1 << "edge" << abc << "b" << none;
        QTest::newRow("close button of an unselected tab")
            << abc << 0 << "close" << QStringList{"b", "c"} << "c" << none;
        QTest::newRow("close button of the selected tab")
            << abc << 2 << "close" << QStringList{"a", "b"} << "b" << none;
        QTest::newRow("menu: close an unselected tab")
            << abc << 1 << "Close Tab" << QStringList{"a", "c"} << "c" << none;
        QTest::newRow("close others on the only tab")
            << a << 0 << "Close Others" << a << "a" << none;
        QTest::newRow("close others on an unselected tab")
            << abc << 0 << "Close Others" << a << "a" << none;
        QTest::newRow("close others on the selected tab")
            << abc << 2 << "Close Others" << QStringList{"c"} << "c" << none;
        const QString path = QStringLiteral("/home/ann/My Заметки/été ✓ 100% #1.md");
        QTest::newRow("copy path")
            << QStringList{"x|" + path, "y"} << 0 << "Copy Path" << xy << "y" << path;
        QTest::newRow("reveal") << QStringList{"x|/home/ann/notes.md", "y"} << 0
                                << quillet::FileRevealer::actionTitle() << xy << "y"
                                << "/home/ann/notes.md";
    }

    void clicksAndMenuActOnTheirTab()
    {
        QFETCH(QStringList, contents);
        QFETCH(int, onTab);
        QFETCH(QString, action);
        QFETCH(QString, selectedTitle);
        QFETCH(QString, handedOut);

        Bar bar(contents);
        // Unsaved edits do not hold a tab back.
        for (const auto &tab : bar.tabManager.tabs())
            bar.tabManager.updateContent(*tab, tab->content());
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        if (action == u"none")
            bar.tabManager.selectTab(QUuid::createUuid());
        else if (action == u"title")
            QTest::mouseClick(bar.item(onTab)->titleLabel(), Qt::LeftButton);
        else if (action == u"edge")
            QTest::mouseClick(bar.item(onTab), Qt::LeftButton, {}, QPoint(3, 14));
        else if (action == u"close")
            QTest::mouseClick(bar.item(onTab)->closeButton(), Qt::LeftButton);
        else {
            std::unique_ptr<QMenu> menu(bar.item(onTab)->createContextMenu(nullptr));
            // Only a tab with a file offers its path.
            QCOMPARE(bool(menuAction(*menu, QStringLiteral("Copy Path"))), !handedOut.isEmpty());
            QAction *chosen = menuAction(*menu, action);
            QVERIFY(chosen);
            chosen->trigger();
        }
        bar.settle();

        QTEST(bar.titles(), "titles");
        const auto current = bar.tabManager.currentTab();
        QCOMPARE(current ? current->title() : QString(), selectedTitle);
        for (const TabItemView *item : bar.bar.tabItems())
            QCOMPARE(item->isSelected(), item->titleLabel()->text() == selectedTitle);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 action == "Copy Path" ? handedOut : "before");
        QCOMPARE(bar.revealer->revealed, action == quillet::FileRevealer::actionTitle()
                                             ? QStringList{handedOut}
                                             : QStringList());
    }

    void tabsScrollWhenTheyDoNotFit()
    {
        QStringList contents;
        for (int i = 0; i < 30; ++i)
            contents.append(QStringLiteral("Note number %1").arg(i + 1));
        Bar bar(contents, 500);

        QScrollArea *area = bar.bar.scrollArea();
        QVERIFY(area->width() < area->widget()->width());
        // The buttons keep their place at the right edge.
        QVERIFY(geometryIn(*bar.bar.newTabButton(), bar.bar).right() < bar.bar.width());
        QVERIFY(geometryIn(*area, bar.bar).right() <
                geometryIn(*bar.bar.hintButton(), bar.bar).left());

        // The newest tab is selected and scrolled into view, and so is one the "+" button adds.
        const auto fullyShown = [&](const TabItemView *item) {
            return area->viewport()->rect().contains(geometryIn(*item, *area->viewport()));
        };
        QVERIFY(fullyShown(bar.bar.tabItems().last()));
        bar.tabManager.selectTab(bar.tabManager.tabs().first()->id());
        bar.settle();
        QVERIFY(fullyShown(bar.bar.tabItems().first()));
        QTest::mouseClick(bar.bar.newTabButton(), Qt::LeftButton);
        bar.settle();
        QVERIFY(fullyShown(bar.bar.tabItems().last()));

        // A vertical wheel scrolls the strip sideways.
        area->horizontalScrollBar()->setValue(0);
        QWheelEvent wheel(QPointF(10, 10), area->mapToGlobal(QPointF(10, 10)), QPoint(),
                          QPoint(0, -240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(area->viewport(), &wheel);
        QVERIFY(area->horizontalScrollBar()->value() > 0);
    }

    void hoverFollowsThePointerAfterTheContextMenu_data()
    {
        QTest::addColumn<bool>("pointerBackOnTab");
        QTest::newRow("item chosen away from the tab") << false;
        QTest::newRow("pointer back on the tab") << true;
    }

    // A menu item chosen with the mouse: the pointer was over the menu when it closed, and the tab
    // shows hover only if the pointer is on it afterwards.
    void hoverFollowsThePointerAfterTheContextMenu()
    {
        QFETCH(bool, pointerBackOnTab);
        Bar bar({"a", "b", "c"});
        TabItemView *item = bar.item(0);
        QCursor::setPos(item->mapToGlobal(item->rect().center()));
        hover(item, true);
        QContextMenuEvent opening(QContextMenuEvent::Mouse, QPoint(4, 4),
                                  item->mapToGlobal(QPoint(4, 4)));
        QCoreApplication::sendEvent(item, &opening);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        const QRect choice =
            menu->actionGeometry(menuAction(*menu, QStringLiteral("Close Others")));
        QCursor::setPos(menu->mapToGlobal(choice.center()));
        QVERIFY(!item->rect().contains(item->mapFromGlobal(QCursor::pos())));
        QTest::mouseClick(menu, Qt::LeftButton, {}, choice.center());
        if (pointerBackOnTab)
            QCursor::setPos(item->mapToGlobal(item->rect().center()));
        bar.settle();

        QCOMPARE(bar.titles(), QStringList{"a"});
        QCOMPARE(item->isHovered(), pointerBackOnTab);
        QCOMPARE(item->closeButton()->hasBackdrop(), pointerBackOnTab);
    }
};

QTEST_MAIN(TabBarViewTest)
#include "tst_tab_bar_view.moc"
