#include "views/tab_bar_view.h"

#include "views/file_revealer.h"
#include "views/markdown_hint_button.h"
#include "views/symbol_button.h"
#include "views/tab_item_view.h"
#include "views/text_label.h"
#include "views/view_style.h"
#include "views_test_support.h"

#include "model/scratchpad.h"
#include "model/tab_manager.h"

#include <QClipboard>
#include <QLayout>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using quillet::Scratchpad;
using quillet::TabBarView;
using quillet::TabItemView;
using quillet::TabManager;
using Tone = quillet::ViewStyle::Tone;

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

    explicit Bar(const QStringList &contents = {}, int width = 900)
    {
        for (const QString &content : contents)
            tabManager.newTab(content);
        bar.resize(width, bar.sizeHint().height());
        bar.show();
        settle();
    }

    // Lets every posted layout request run, as the event loop would between two key presses.
    void settle()
    {
        for (int i = 0; i < 4; ++i)
            QCoreApplication::processEvents();
    }

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
    if (inside) {
        QEnterEvent enter(QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)),
                          widget->mapToGlobal(QPointF(2, 2)));
        QCoreApplication::sendEvent(widget, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(widget, &leave);
    }
}

// The contrast ratio of two opaque colours, from their relative luminance (WCAG 2).
double contrast(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &c) {
        const auto linear = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QStringList menuItems(QMenu &menu)
{
    QStringList items;
    for (const QAction *action : menu.actions()) {
        items.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        if (!action->isEnabled())
            items.last() += QStringLiteral(" (disabled)");
    }
    return items;
}

QAction *menuAction(QMenu &menu, const QString &text)
{
    for (QAction *action : menu.actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

} // namespace

class TabBarViewTest : public QObject {
    Q_OBJECT

private slots:
    void showsOneTabPerScratchpadInOrder_data();
    void showsOneTabPerScratchpadInOrder();
    void measuresAsLaidOut();
    void dirtyDotFollowsUnsavedChanges();
    void longTitleWidensItsTab();
    void tabsRefitWhenATabChangesWidth_data();
    void tabsRefitWhenATabChangesWidth();
    void closeGlyphShowsOnHoverOrSelection_data();
    void closeGlyphShowsOnHoverOrSelection();
    void clicksSelectCloseAndCreate_data();
    void clicksSelectCloseAndCreate();
    void contextMenuOffersFileItemsOnlyWithAFile_data();
    void contextMenuOffersFileItemsOnlyWithAFile();
    void contextMenuActsOnItsOwnTab_data();
    void contextMenuActsOnItsOwnTab();
    void copyPathPutsThePlainPath_data();
    void copyPathPutsThePlainPath();
    void tabsScrollWhenTheyDoNotFit_data();
    void tabsScrollWhenTheyDoNotFit();
    void hoverSurvivesChangesOfTheList();
    void hoverFollowsThePointerAfterTheContextMenu_data();
    void hoverFollowsThePointerAfterTheContextMenu();
    void screenshots_data();
    void screenshots();
};

void TabBarViewTest::showsOneTabPerScratchpadInOrder_data()
{
    QTest::addColumn<QStringList>("contents");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<int>("selected");

    QTest::newRow("no scratchpads") << QStringList() << QStringList() << -1;
    QTest::newRow("one empty") << QStringList{""} << QStringList{"Untitled"} << 0;
    QTest::newRow("titles from first lines")
        << QStringList{"Groceries\nmilk", "", "  \n Plans for May"}
        << QStringList{"Groceries", "Untitled", "Plans for May"} << 2;
}

void TabBarViewTest::showsOneTabPerScratchpadInOrder()
{
    QFETCH(QStringList, contents);
    QFETCH(QStringList, titles);
    QFETCH(int, selected);

    Bar bar(contents);
    QCOMPARE(bar.titles(), titles);
    for (int i = 0; i < titles.size(); ++i) {
        QCOMPARE(bar.item(i)->isSelected(), i == selected);
        QCOMPARE(bar.item(i)->titleLabel()->tone(),
                 i == selected ? Tone::primary : Tone::secondary);
    }

    // The buttons sit at the right edge whatever the tabs: "?", 4 pixels, "+", 8 pixels.
    const QRect plus = quillet::test::geometryIn(*bar.bar.newTabButton(), bar.bar);
    const QRect hint = quillet::test::geometryIn(*bar.bar.hintButton(), bar.bar);
    QCOMPARE(plus.right(), bar.bar.width() - 1 - 8);
    QCOMPARE(hint.right(), plus.left() - 1 - 4);
    QCOMPARE(plus.size(), QSize(28, 28));
    QCOMPARE(hint.size(), QSize(28, 28));
    QCOMPARE(
        bar.bar.newTabButton()->toolTip(),
        QStringLiteral("New Scratchpad (%1)").arg(quillet::ViewStyle::shortcutText(Qt::Key_T)));
    QCOMPARE(bar.bar.newTabButton()->symbol(), QStringLiteral("plus"));
    QCOMPARE(bar.bar.hintButton()->toolTip(), QStringLiteral("Markdown syntax reference"));
    QCOMPARE(bar.bar.hintButton()->symbol(), QStringLiteral("questionmark.circle"));

    // With the selection empty, no tab is drawn as selected.
    bar.tabManager.selectTab(QUuid::createUuid());
    for (const TabItemView *item : bar.bar.tabItems())
        QVERIFY(!item->isSelected());
}

void TabBarViewTest::measuresAsLaidOut()
{
    Bar bar({"one", "two", "three"});
    QCOMPARE(bar.bar.height(), 36);
    const QWidget *strip = bar.bar.scrollArea()->widget();
    int expectedLeft = 8;
    for (TabItemView *item : bar.bar.tabItems()) {
        const QRect tab = quillet::test::geometryIn(*item, *strip);
        QCOMPARE(tab.height(), 28);
        QCOMPARE(tab.top(), 4);
        QCOMPARE(tab.left(), expectedLeft);
        expectedLeft = tab.right() + 1 + 2;

        // 10 pixels of padding, then dot (when shown), title and close button 6 apart.
        const QRect title = quillet::test::geometryIn(*item->titleLabel(), *item);
        const QRect close = quillet::test::geometryIn(*item->closeButton(), *item);
        QCOMPARE(title.left(), 10);
        QCOMPARE(close.left(), title.right() + 1 + 6);
        QCOMPARE(close.size(), QSize(16, 16));
        QCOMPARE(close.right(), item->width() - 1 - 10);
        QCOMPARE(item->titleLabel()->font().pixelSize(), 12);
    }
    QCOMPARE(strip->width(), expectedLeft - 2 + 8);
}

void TabBarViewTest::dirtyDotFollowsUnsavedChanges()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("note.md"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    Bar bar;
    bar.tabManager.newTab({}, QUrl::fromLocalFile(path));
    bar.settle();
    TabItemView *item = bar.item(0);
    const int cleanWidth = item->width();
    QVERIFY(item->dirtyIndicator()->isHidden());

    bar.tabManager.updateContent(*item->scratchpad(), QStringLiteral("note"));
    bar.settle();
    QVERIFY(item->dirtyIndicator()->isVisible());
    QCOMPARE(item->dirtyIndicator()->size(), QSize(6, 6));
    QCOMPARE(quillet::test::geometryIn(*item->dirtyIndicator(), *item).left(), 10);
    QCOMPARE(quillet::test::geometryIn(*item->titleLabel(), *item).left(), 10 + 6 + 6);
    QVERIFY(item->width() > cleanWidth);

    bar.tabManager.saveCurrent();
    bar.settle();
    QVERIFY(!item->scratchpad()->isDirty());
    QVERIFY(item->dirtyIndicator()->isHidden());
    QCOMPARE(quillet::test::geometryIn(*item->titleLabel(), *item).left(), 10);
}

void TabBarViewTest::longTitleWidensItsTab()
{
    const QString longTitle = QStringLiteral("A rather long line that names this note");
    Bar bar({"Short", longTitle});
    const TabItemView *shortTab = bar.item(0);
    const TabItemView *longTab = bar.item(1);
    QCOMPARE(longTab->titleLabel()->text(), longTitle);
    QCOMPARE(longTab->titleLabel()->shownText(), longTitle);
    QCOMPARE(longTab->titleLabel()->width(),
             longTab->titleLabel()->fontMetrics().horizontalAdvance(longTitle));
    QCOMPARE(longTab->width() - shortTab->width(),
             longTab->titleLabel()->width() - shortTab->titleLabel()->width());
}

void TabBarViewTest::tabsRefitWhenATabChangesWidth_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("title typed longer") << "longer";
    QTest::newRow("title typed shorter") << "shorter";
    QTest::newRow("dirty dot appears") << "dirty";
    QTest::newRow("saved, dot goes") << "saved";
}

// The strip follows a tab whose width changes, with no other change to the list: every title
// whole, every close button inside the strip, and the tabs where they were vertically.
void TabBarViewTest::tabsRefitWhenATabChangesWidth()
{
    QFETCH(QString, change);
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("Hello.md")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    Bar bar;
    bar.tabManager.newTab(QStringLiteral("Hello"), QUrl::fromLocalFile(file.fileName()));
    bar.tabManager.newTab(QStringLiteral("Second tab"));
    const std::shared_ptr<Scratchpad> first = bar.tabManager.tabs().first();
    bar.tabManager.selectTab(first->id());
    if (change == QStringLiteral("saved"))
        bar.tabManager.updateContent(*first, QStringLiteral("Hello"));
    bar.settle();
    const int widthBefore = bar.item(0)->width();

    if (change == QStringLiteral("longer"))
        bar.tabManager.updateContent(*first, QStringLiteral("Hello first tab, typed at length"));
    else if (change == QStringLiteral("shorter"))
        bar.tabManager.updateContent(*first, QStringLiteral("He"));
    else if (change == QStringLiteral("dirty"))
        bar.tabManager.updateContent(*first, QStringLiteral("Hello"));
    else
        bar.tabManager.saveCurrent();
    bar.settle();

    QVERIFY(bar.item(0)->width() != widthBefore);
    const QWidget *viewport = bar.bar.scrollArea()->viewport();
    for (const TabItemView *item : bar.bar.tabItems()) {
        QCOMPARE(item->titleLabel()->shownText(), item->scratchpad()->title());
        QCOMPARE(item->titleLabel()->width(), item->titleLabel()->sizeHint().width());
        QCOMPARE(quillet::test::geometryIn(*item, bar.bar).top(), 4);
        QVERIFY(
            viewport->rect().contains(quillet::test::geometryIn(*item->closeButton(), *viewport)));
    }
    const QRect last = quillet::test::geometryIn(*bar.item(1), bar.bar);
    QCOMPARE(quillet::test::geometryIn(*bar.bar.scrollArea(), bar.bar).right(), last.right() + 8);
}

void TabBarViewTest::closeGlyphShowsOnHoverOrSelection_data()
{
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("hovered");
    QTest::addColumn<Tone>("glyph");
    QTest::addColumn<bool>("circle");

    QTest::newRow("unselected, not hovered") << false << false << Tone::clear << false;
    QTest::newRow("unselected, hovered") << false << true << Tone::secondary << true;
    QTest::newRow("selected, not hovered") << true << false << Tone::secondary << false;
    QTest::newRow("selected, hovered") << true << true << Tone::secondary << true;
}

void TabBarViewTest::closeGlyphShowsOnHoverOrSelection()
{
    QFETCH(bool, selected);
    QFETCH(bool, hovered);
    QFETCH(Tone, glyph);
    QFETCH(bool, circle);

    Bar bar({"first", "second"});
    TabItemView *item = bar.item(selected ? 1 : 0);
    const QSize before = item->size();
    const QRect closeBefore = item->closeButton()->geometry();
    hover(item, hovered);
    bar.settle();

    QCOMPARE(item->isHovered(), hovered);
    QCOMPARE(item->closeButton()->glyphTone(), glyph);
    QCOMPARE(item->closeButton()->hasBackdrop(), circle);
    QVERIFY(item->closeButton()->isVisible());
    QCOMPARE(item->size(), before);
    QCOMPARE(item->closeButton()->geometry(), closeBefore);

    hover(item, false);
    QCOMPARE(item->closeButton()->glyphTone(), selected ? Tone::secondary : Tone::clear);
    QVERIFY(!item->closeButton()->hasBackdrop());
}

void TabBarViewTest::clicksSelectCloseAndCreate_data()
{
    QTest::addColumn<QString>("click");
    QTest::addColumn<int>("onTab");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QString>("selectedTitle");

    QTest::newRow("title of an unselected tab")
        << "title" << 0 << QStringList{"a", "b", "c"} << "a";
    QTest::newRow("padding of an unselected tab")
        << "edge" << 1 << QStringList{"a", "b", "c"} << "b";
    QTest::newRow("close an unselected tab") << "close" << 0 << QStringList{"b", "c"} << "c";
    QTest::newRow("close the selected tab") << "close" << 2 << QStringList{"a", "b"} << "b";
    QTest::newRow("plus") << "plus" << -1 << QStringList{"a", "b", "c", "Untitled"} << "Untitled";
}

void TabBarViewTest::clicksSelectCloseAndCreate()
{
    QFETCH(QString, click);
    QFETCH(int, onTab);
    QFETCH(QStringList, titles);
    QFETCH(QString, selectedTitle);

    Bar bar({"a", "b", "c"});
    if (click == QStringLiteral("title"))
        QTest::mouseClick(bar.item(onTab)->titleLabel(), Qt::LeftButton);
    else if (click == QStringLiteral("edge"))
        QTest::mouseClick(bar.item(onTab), Qt::LeftButton, {}, QPoint(3, 14));
    else if (click == QStringLiteral("close"))
        QTest::mouseClick(bar.item(onTab)->closeButton(), Qt::LeftButton);
    else
        QTest::mouseClick(bar.bar.newTabButton(), Qt::LeftButton);
    bar.settle();

    QCOMPARE(bar.titles(), titles);
    QCOMPARE(bar.tabManager.currentTab()->title(), selectedTitle);
    for (const TabItemView *item : bar.bar.tabItems())
        QCOMPARE(item->isSelected(), item->titleLabel()->text() == selectedTitle);
}

void TabBarViewTest::contextMenuOffersFileItemsOnlyWithAFile_data()
{
    QTest::addColumn<bool>("withFile");
    QTest::addColumn<QStringList>("items");

    QTest::newRow("never saved") << false << QStringList{"Close Tab", "Close Others", "-"};
    QTest::newRow("with a file") << true
                                 << QStringList{"Close Tab", "Close Others", "-",
                                                quillet::FileRevealer::actionTitle(), "Copy Path"};
}

void TabBarViewTest::contextMenuOffersFileItemsOnlyWithAFile()
{
    QFETCH(bool, withFile);
    QFETCH(QStringList, items);

    Bar bar;
    bar.tabManager.newTab(QStringLiteral("text"),
                          withFile ? std::optional(QUrl::fromLocalFile("/tmp/x.md"))
                                   : std::nullopt);
    bar.settle();
    std::unique_ptr<QMenu> menu(bar.item(0)->createContextMenu(nullptr));
    QCOMPARE(menuItems(*menu), items);
}

void TabBarViewTest::contextMenuActsOnItsOwnTab_data()
{
    QTest::addColumn<QStringList>("contents");
    QTest::addColumn<int>("onTab");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QString>("selectedTitle");

    QTest::newRow("close an unselected tab")
        << QStringList{"a", "b", "c"} << 1 << "Close Tab" << QStringList{"a", "c"} << "c";
    QTest::newRow("close others on the only tab")
        << QStringList{"a"} << 0 << "Close Others" << QStringList{"a"} << "a";
    QTest::newRow("close others on an unselected tab")
        << QStringList{"a", "b", "c"} << 0 << "Close Others" << QStringList{"a"} << "a";
    QTest::newRow("close others on the selected tab")
        << QStringList{"a", "b", "c"} << 2 << "Close Others" << QStringList{"c"} << "c";
}

void TabBarViewTest::contextMenuActsOnItsOwnTab()
{
    QFETCH(QStringList, contents);
    QFETCH(int, onTab);
    QFETCH(QString, action);
    QFETCH(QStringList, titles);
    QFETCH(QString, selectedTitle);

    Bar bar(contents);
    // Unsaved edits do not hold a tab back.
    for (const auto &tab : bar.tabManager.tabs())
        bar.tabManager.updateContent(*tab, tab->content());
    std::unique_ptr<QMenu> menu(bar.item(onTab)->createContextMenu(nullptr));
    QAction *chosen = menuAction(*menu, action);
    QVERIFY(chosen);
    chosen->trigger();
    bar.settle();

    QCOMPARE(bar.titles(), titles);
    QCOMPARE(bar.tabManager.tabs().size(), titles.size());
    QCOMPARE(bar.tabManager.currentTab()->title(), selectedTitle);
}

void TabBarViewTest::copyPathPutsThePlainPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("plain") << "/home/ann/notes.md";
    QTest::newRow("spaces") << "/home/ann/My Notes/to do.md";
    QTest::newRow("non-ASCII") << "/home/ann/Заметки/été ✓.md";
    QTest::newRow("percent sign and hash") << "/home/ann/100% #1.md";
}

void TabBarViewTest::copyPathPutsThePlainPath()
{
    QFETCH(QString, path);

    Bar bar({"first"});
    bar.tabManager.newTab(QStringLiteral("second"), QUrl::fromLocalFile(path));
    bar.tabManager.selectTab(bar.tabManager.tabs().first()->id());
    bar.settle();
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));

    std::unique_ptr<QMenu> menu(bar.item(1)->createContextMenu(nullptr));
    menuAction(*menu, QStringLiteral("Copy Path"))->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), path);

    menuAction(*menu, quillet::FileRevealer::actionTitle())->trigger();
    QCOMPARE(bar.revealer->revealed, QStringList{path});
    // Neither changes the tabs or the selection.
    QCOMPARE(bar.titles(), (QStringList{"first", "second"}));
    QCOMPARE(bar.tabManager.currentTab()->title(), QStringLiteral("first"));
}

void TabBarViewTest::tabsScrollWhenTheyDoNotFit_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("scrolls");

    QTest::newRow("few in a wide bar") << 3 << 900 << false;
    QTest::newRow("many in a narrow bar") << 30 << 500 << true;
}

void TabBarViewTest::tabsScrollWhenTheyDoNotFit()
{
    QFETCH(int, count);
    QFETCH(int, width);
    QFETCH(bool, scrolls);

    QStringList contents;
    for (int i = 0; i < count; ++i)
        contents.append(QStringLiteral("Note number %1").arg(i + 1));
    Bar bar(contents, width);

    QScrollArea *area = bar.bar.scrollArea();
    const int stripWidth = area->widget()->width();
    QCOMPARE(area->width() < stripWidth, scrolls);
    if (!scrolls)
        QCOMPARE(area->width(), stripWidth);
    QVERIFY(!area->horizontalScrollBar()->isVisible());
    QVERIFY(!area->verticalScrollBar()->isVisible());
    // The buttons keep their place at the right edge.
    QCOMPARE(quillet::test::geometryIn(*bar.bar.newTabButton(), bar.bar).right(),
             bar.bar.width() - 1 - 8);
    QVERIFY(quillet::test::geometryIn(*area, bar.bar).right() <
            quillet::test::geometryIn(*bar.bar.hintButton(), bar.bar).left());

    // The newest tab is selected and scrolled into view, and so is one the "+" button adds.
    const auto fullyShown = [&](const TabItemView *item) {
        return area->viewport()->rect().contains(
            quillet::test::geometryIn(*item, *area->viewport()));
    };
    QVERIFY(fullyShown(bar.bar.tabItems().last()));
    bar.tabManager.selectTab(bar.tabManager.tabs().first()->id());
    bar.settle();
    QVERIFY(fullyShown(bar.bar.tabItems().first()));
    QTest::mouseClick(bar.bar.newTabButton(), Qt::LeftButton);
    bar.settle();
    QVERIFY(bar.bar.tabItems().last()->isSelected());
    QVERIFY(fullyShown(bar.bar.tabItems().last()));

    if (scrolls) {
        area->horizontalScrollBar()->setValue(0);
        QWheelEvent wheel(QPointF(10, 10), area->mapToGlobal(QPointF(10, 10)), QPoint(),
                          QPoint(0, -240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(area->viewport(), &wheel);
        QVERIFY(area->horizontalScrollBar()->value() > 0);
    }
}

void TabBarViewTest::hoverSurvivesChangesOfTheList()
{
    Bar bar({"a", "b"});
    TabItemView *first = bar.item(0);
    hover(first, true);
    bar.tabManager.newTab(QStringLiteral("c"));
    bar.tabManager.closeTab(bar.tabManager.tabs().at(1)->id());
    bar.settle();
    QCOMPARE(bar.item(0), first);
    QVERIFY(first->isHovered());
    QCOMPARE(bar.titles(), (QStringList{"a", "c"}));
}

void TabBarViewTest::hoverFollowsThePointerAfterTheContextMenu_data()
{
    QTest::addColumn<bool>("pointerBackOnTab");
    QTest::newRow("item chosen away from the tab") << false;
    QTest::newRow("pointer back on the tab") << true;
}

// A menu item chosen with the mouse: the pointer was over the menu when it closed, and the tab
// shows hover only if the pointer is on it afterwards.
void TabBarViewTest::hoverFollowsThePointerAfterTheContextMenu()
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
    const QRect choice = menu->actionGeometry(menuAction(*menu, QStringLiteral("Close Others")));
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

void TabBarViewTest::screenshots_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void TabBarViewTest::screenshots()
{
    QFETCH(bool, dark);
    QApplication::setPalette(quillet::test::appearance(dark));
    Bar bar({"Groceries", "Plans for May", "A rather long first line of a note"});
    bar.tabManager.updateContent(*bar.tabManager.tabs().at(1), QStringLiteral("Plans for May!"));
    bar.tabManager.selectTab(bar.tabManager.tabs().at(1)->id());
    hover(bar.item(0), true);
    bar.settle();

    const QImage image = bar.bar.grab().toImage();
    const QPalette palette = quillet::test::appearance(dark);
    const TabItemView *selected = bar.item(1);
    const QPoint inside = selected->mapTo(&bar.bar, QPoint(selected->width() / 2, 2));
    QCOMPARE(QColor(image.pixel(inside)).rgb(), palette.color(QPalette::Base).rgb());
    const QPoint outside = bar.bar.hintButton()->mapTo(&bar.bar, QPoint(-4, 1));
    QCOMPARE(QColor(image.pixel(outside)).rgb(), palette.color(QPalette::Window).rgb());
    // The selected tab stands out as far as the system's control background does from its
    // window (about 1.15 in the light appearance).
    const double ratio = contrast(QColor(image.pixel(inside)), QColor(image.pixel(outside)));
    QVERIFY2(ratio >= 1.12, qPrintable(QString::number(ratio)));
    quillet::test::saveScreenshot(bar.bar, dark ? QStringLiteral("tab_bar_dark")
                                                : QStringLiteral("tab_bar_light"));
    QApplication::setPalette(quillet::test::appearance(false));
}

QTEST_MAIN(TabBarViewTest)
#include "tst_tab_bar_view.moc"
