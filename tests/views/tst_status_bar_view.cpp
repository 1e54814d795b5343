#include "views/status_bar_view.h"

#include "views/text_label.h"

#include "model/scratchpad.h"
#include "model/tab_manager.h"

#include <QtTest>

using quillet::StatusBarView;
using quillet::TabManager;

class StatusBarViewTest : public QObject {
    Q_OBJECT

private slots:
    void followsEditsAndTabSwitches();
};

void StatusBarViewTest::followsEditsAndTabSwitches()
{
    TabManager tabManager{TabManager::Persistence::disabled()};
    StatusBarView bar{tabManager};
    bar.resize(900, bar.sizeHint().height());
    bar.show();
    const auto figures = [&] {
        return QStringList({bar.locationLabel()->text(), bar.positionLabel()->text(),
                            bar.wordsLabel()->text(), bar.charactersLabel()->text()})
            .join(u'|');
    };
    tabManager.newTab(QStringLiteral("one two three"), QUrl::fromLocalFile("/tmp/a.md"));
    const QUuid first = tabManager.currentTab()->id();
    tabManager.newTab();
    QCOMPARE(figures(), QStringLiteral("Unsaved|Ln 1, Col 1|0 words|0 chars"));

    const auto second = tabManager.currentTab();
    tabManager.updateContent(*second, QStringLiteral("a\nbb\nccc dd"));
    tabManager.updateCursorPosition(*second, 7);
    // Shown once the window has had its turn to paint the edit.
    QCOMPARE(bar.wordsLabel()->text(), QStringLiteral("0 words"));
    QCoreApplication::processEvents();
    QCOMPARE(figures(), QStringLiteral("Unsaved|Ln 3, Col 3|4 words|11 chars"));
    // No grouping separators in large figures.
    tabManager.updateContent(*second, QStringLiteral("w ").repeated(1500));
    tabManager.updateCursorPosition(*second, 3000);
    QCoreApplication::processEvents();
    QCOMPARE(figures(), QStringLiteral("Unsaved|Ln 1, Col 3001|1500 words|3000 chars"));

    tabManager.selectTab(first);
    QCOMPARE(figures(), QStringLiteral("/tmp/a.md|Ln 1, Col 1|3 words|13 chars"));
    // The tab left behind no longer writes into the bar.
    tabManager.updateContent(*second, QStringLiteral("many more words"));
    QCOMPARE(bar.wordsLabel()->text(), QStringLiteral("3 words"));
    const QString plain = QStringLiteral("/tmp/Mes notes/été 2026.md");
    tabManager.currentTab()->setFilePath(QUrl::fromLocalFile(plain));
    QCOMPARE(bar.locationLabel()->text(), plain);
    // A path longer than the bar keeps its start and its file's name.
    tabManager.currentTab()->setFilePath(
        QUrl::fromLocalFile("/home/ann/" + QString(u'a').repeated(200) + "/the end.md"));
    QCoreApplication::processEvents();
    const QString cut = bar.locationLabel()->shownText();
    QVERIFY2(cut.startsWith(u"/home/") && cut.contains(QChar(0x2026)) && cut.endsWith(u"end.md"),
             qPrintable(cut));

    // A failed Ctrl+S must not look like a successful one; no dialog interrupts the typing. A
    // notice longer than the bar is cut; its tooltip holds all of it.
    tabManager.currentTab()->setFilePath(QUrl::fromLocalFile("/no/such/folder/notes.md"));
    tabManager.currentTab()->setIsDirty(true);
    tabManager.saveCurrent();
    QCoreApplication::processEvents();
    QVERIFY(!QApplication::activeModalWidget());
    const QString notice = QStringLiteral("Failed to save file: Cannot create a file in "
                                          "/no/such/folder: No such file or directory");
    QCOMPARE(bar.locationLabel()->text(), notice);
    QCOMPARE(bar.locationLabel()->toolTip(), notice);
    // A save that succeeds at last ends the notice.
    tabManager.currentTab()->setIsDirty(false);
    QCOMPARE(bar.locationLabel()->text(), QStringLiteral("/no/such/folder/notes.md"));
    tabManager.selectTab(QUuid::createUuid());
    QVERIFY(!bar.isVisible());
}

QTEST_MAIN(StatusBarViewTest)
#include "tst_status_bar_view.moc"
