#include "views/status_bar_view.h"

#include "views/symbol_button.h"
#include "views/text_label.h"
#include "views_test_support.h"

#include "model/scratchpad.h"
#include "model/tab_manager.h"

#include <QtTest>

using quillet::StatusBarView;
using quillet::TabManager;
using quillet::test::geometryIn;
using quillet::Theme::Tone;

namespace {

struct Window {
    TabManager tabManager{TabManager::Persistence::disabled()};
    StatusBarView bar{tabManager};

    explicit Window(int width = 900)
    {
        bar.resize(width, bar.sizeHint().height());
        bar.show();
    }
};

} // namespace

class StatusBarViewTest : public QObject {
    Q_OBJECT

private slots:
    void longPathIsCutInTheMiddleAndRemindersSitMidway();
    void followsEditsAndTabSwitches();
};

void StatusBarViewTest::longPathIsCutInTheMiddleAndRemindersSitMidway()
{
    Window window(760);
    const QString path = "/home/ann/" + QString(u'a').repeated(200) + "/the end.md";
    window.tabManager.newTab({}, QUrl::fromLocalFile(path));
    QCoreApplication::processEvents();

    const quillet::TextLabel *location = window.bar.locationLabel();
    const QString shown = location->shownText();
    QVERIFY2(shown.startsWith(u"/home/") && shown.contains(QChar(0x2026)) &&
                 shown.endsWith(u"end.md"),
             qPrintable(shown));
    QCOMPARE(location->height(), location->fontMetrics().height());
    QVERIFY(geometryIn(*window.bar.previewButton(), window.bar).right() < window.bar.width());

    window.bar.resize(1400, window.bar.height());
    window.tabManager.currentTab()->setFilePath(QUrl::fromLocalFile(QStringLiteral("/a.md")));
    QCoreApplication::processEvents();
    const int before = geometryIn(*window.bar.shortcutReminders(), window.bar).left() -
                       geometryIn(*location, window.bar).right();
    const int after = geometryIn(*window.bar.positionLabel(), window.bar).left() -
                      geometryIn(*window.bar.shortcutReminders(), window.bar).right();
    QVERIFY2(std::abs(before - after) <= 1,
             qPrintable(QStringLiteral("%1 vs %2").arg(before).arg(after)));
}

void StatusBarViewTest::followsEditsAndTabSwitches()
{
    Window window;
    const StatusBarView &bar = window.bar;
    const auto figures = [&] {
        return QStringList({bar.locationLabel()->text(), bar.positionLabel()->text(),
                            bar.wordsLabel()->text(), bar.charactersLabel()->text()})
            .join(u'|');
    };
    window.tabManager.newTab(QStringLiteral("one two three"), QUrl::fromLocalFile("/tmp/a.md"));
    const QUuid first = window.tabManager.currentTab()->id();
    window.tabManager.newTab();
    QCOMPARE(figures(), QStringLiteral("Unsaved|Ln 1, Col 1|0 words|0 chars"));
    QCOMPARE(bar.locationLabel()->tone(), Tone::tertiary);

    const auto second = window.tabManager.currentTab();
    window.tabManager.updateContent(*second, QStringLiteral("a\nbb\nccc dd"));
    window.tabManager.updateCursorPosition(*second, 7);
    // Shown once the window has had its turn to paint the edit.
    QCOMPARE(bar.wordsLabel()->text(), QStringLiteral("0 words"));
    QCoreApplication::processEvents();
    QCOMPARE(figures(), QStringLiteral("Unsaved|Ln 3, Col 3|4 words|11 chars"));
    // No grouping separators in large figures.
    window.tabManager.updateContent(*second, QStringLiteral("w ").repeated(1500));
    window.tabManager.updateCursorPosition(*second, 3000);
    QCoreApplication::processEvents();
    QCOMPARE(figures(), QStringLiteral("Unsaved|Ln 1, Col 3001|1500 words|3000 chars"));

    window.tabManager.selectTab(first);
    QCOMPARE(figures(), QStringLiteral("/tmp/a.md|Ln 1, Col 1|3 words|13 chars"));
    // The tab left behind no longer writes into the bar.
    window.tabManager.updateContent(*second, QStringLiteral("many more words"));
    QCOMPARE(bar.wordsLabel()->text(), QStringLiteral("3 words"));

    QCOMPARE(bar.locationLabel()->tone(), Tone::secondary);
    const QString plain = QStringLiteral("/tmp/Mes notes/été 2026.md");
    window.tabManager.currentTab()->setFilePath(QUrl::fromLocalFile(plain));
    QCOMPARE(bar.locationLabel()->text(), plain);

    // A failed Ctrl+S must not look like a successful one; no dialog interrupts the typing. A
    // notice longer than the bar is cut; its tooltip holds all of it.
    window.tabManager.currentTab()->setFilePath(QUrl::fromLocalFile("/no/such/folder/notes.md"));
    window.tabManager.currentTab()->setIsDirty(true);
    window.tabManager.saveCurrent();
    QCoreApplication::processEvents();
    QVERIFY(!QApplication::activeModalWidget());
    const QString notice = QStringLiteral("Failed to save file: Cannot create a file in "
                                          "/no/such/folder: No such file or directory");
    QCOMPARE(bar.locationLabel()->text(), notice);
    QCOMPARE(bar.locationLabel()->toolTip(), notice);
    QCOMPARE(bar.locationLabel()->tone(), Tone::primary);
    // A save that succeeds at last ends the notice.
    window.tabManager.currentTab()->setIsDirty(false);
    QCOMPARE(bar.locationLabel()->text(), QStringLiteral("/no/such/folder/notes.md"));
    window.tabManager.selectTab(QUuid::createUuid());
    QVERIFY(!bar.isVisible());
}

QTEST_MAIN(StatusBarViewTest)
#include "tst_status_bar_view.moc"
