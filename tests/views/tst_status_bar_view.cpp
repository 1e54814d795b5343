#include "views/status_bar_view.h"

#include "views/symbol_button.h"
#include "views/text_label.h"
#include "views/view_style.h"
#include "views_test_support.h"

#include "model/tab_manager.h"

#include <QVBoxLayout>
#include <QtTest>

using quillet::PreviewMode;
using quillet::StatusBarView;
using quillet::TabManager;
using quillet::TextLabel;
using Tone = quillet::ViewStyle::Tone;

Q_DECLARE_METATYPE(Tone)

namespace {

// The bar as the window holds it: at the bottom of a column, at a given width.
struct Window {
    TabManager tabManager{TabManager::Persistence::disabled()};
    QWidget frame;
    QWidget *above = new QWidget(&frame);
    StatusBarView *bar = new StatusBarView(tabManager, &frame);

    explicit Window(int width = 900)
    {
        auto *column = new QVBoxLayout(&frame);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(0);
        column->addWidget(above, 1);
        column->addWidget(bar);
        frame.resize(width, 300);
        frame.show();
    }
};

QStringList reminderTexts(const StatusBarView &bar)
{
    QStringList texts;
    for (const QWidget *hint :
         bar.shortcutReminders()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        const auto *key = hint->findChild<TextLabel *>(QStringLiteral("key"));
        const auto *label = hint->findChild<TextLabel *>(QStringLiteral("label"));
        if (key && label)
            texts.append(key->text() + u'|' + label->text());
    }
    return texts;
}

} // namespace

class StatusBarViewTest : public QObject {
    Q_OBJECT

private slots:
    void takesNoSpaceWithoutCurrentTab_data();
    void takesNoSpaceWithoutCurrentTab();
    void showsLocation_data();
    void showsLocation();
    void longPathIsCutInTheMiddleOnOneLine();
    void showsPositionAndCounts_data();
    void showsPositionAndCounts();
    void followsEditsAndTabSwitches();
    void remindsOfFiveShortcutsMidway_data();
    void remindsOfFiveShortcutsMidway();
    void previewButtonCyclesTheMode_data();
    void previewButtonCyclesTheMode();
    void followsTheAppearance_data();
    void followsTheAppearance();
};

void StatusBarViewTest::takesNoSpaceWithoutCurrentTab_data()
{
    QTest::addColumn<int>("tabs");
    QTest::addColumn<bool>("selectUnknownId");
    QTest::addColumn<bool>("shown");

    QTest::newRow("no tabs") << 0 << false << false;
    QTest::newRow("tabs, none selected") << 2 << true << false;
    QTest::newRow("a selected tab") << 1 << false << true;
}

void StatusBarViewTest::takesNoSpaceWithoutCurrentTab()
{
    QFETCH(int, tabs);
    QFETCH(bool, selectUnknownId);
    QFETCH(bool, shown);

    Window window;
    for (int i = 0; i < tabs; ++i)
        window.tabManager.newTab();
    if (selectUnknownId)
        window.tabManager.selectTab(QUuid::createUuid());
    QCoreApplication::processEvents();

    QCOMPARE(window.bar->isVisible(), shown);
    QCOMPARE(window.above->height(), shown ? 300 - window.bar->height() : 300);
    if (shown) {
        // One line of 11-pixel text with 4 pixels above and below.
        QVERIFY(window.bar->height() >= window.bar->positionLabel()->height() + 8);
        QVERIFY(window.bar->height() < 40);
    }
}

void StatusBarViewTest::showsLocation_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("dirty");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<Tone>("tone");
    QTest::addColumn<bool>("save");

    QTest::newRow("never saved") << QString() << true << "Unsaved" << Tone::tertiary << false;
    QTest::newRow("never saved, clean")
        << QString() << false << "Unsaved" << Tone::tertiary << false;
    QTest::newRow("saved") << "/home/ann/notes.md" << false << "/home/ann/notes.md"
                           << Tone::secondary << false;
    QTest::newRow("saved, edited since")
        << "/home/ann/notes.md" << true << "/home/ann/notes.md" << Tone::secondary << false;
    QTest::newRow("spaces and accents, plain")
        << "/home/ann/Mes notes/été 2026.md" << false << "/home/ann/Mes notes/été 2026.md"
        << Tone::secondary << false;
    // A failed Ctrl+S must not look like a successful one; no dialog interrupts the typing.
    QTest::newRow("failed save, for a few seconds")
        << "/no/such/folder/notes.md" << true
        << "Failed to save file: Cannot create a file in /no/such/folder: No such file or "
           "directory"
        << Tone::primary << true;
}

void StatusBarViewTest::showsLocation()
{
    QFETCH(QString, path);
    QFETCH(bool, dirty);
    QFETCH(QString, shown);
    QFETCH(Tone, tone);
    QFETCH(bool, save);

    Window window;
    window.tabManager.newTab(QStringLiteral("text"),
                             path.isEmpty() ? std::nullopt
                                            : std::optional(QUrl::fromLocalFile(path)));
    window.tabManager.currentTab()->setIsDirty(dirty);
    if (save)
        window.tabManager.saveCurrent();
    QCoreApplication::processEvents();
    QVERIFY(!QApplication::activeModalWidget());

    const TextLabel *location = window.bar->locationLabel();
    QCOMPARE(location->text(), shown);
    // A notice longer than the bar is cut; its tooltip holds all of it.
    QCOMPARE(save ? location->toolTip() : location->shownText(), shown);
    QCOMPARE(location->tone(), tone);
    QCOMPARE(location->font().pixelSize(), 11);
}

void StatusBarViewTest::longPathIsCutInTheMiddleOnOneLine()
{
    Window window(760);
    const QString path =
        QStringLiteral("/home/ann/") + QString(u'a').repeated(200) + QStringLiteral("/the end.md");
    window.tabManager.newTab({}, QUrl::fromLocalFile(path));
    QCoreApplication::processEvents();

    const TextLabel *location = window.bar->locationLabel();
    QCOMPARE(location->text(), path);
    const QString shown = location->shownText();
    QVERIFY2(shown.contains(QChar(0x2026)), qPrintable(shown));
    QVERIFY(shown.startsWith(QStringLiteral("/home/")));
    QVERIFY2(shown.endsWith(QStringLiteral("end.md")), qPrintable(shown));
    QCOMPARE(location->height(), location->fontMetrics().height());
    // Everything else keeps its place on the bar.
    QVERIFY(quillet::test::geometryIn(*window.bar->previewButton(), *window.bar).right() <
            window.bar->width());
}

void StatusBarViewTest::showsPositionAndCounts_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("position");
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("characters");

    QTest::newRow("empty") << QString() << 0 << "Ln 1, Col 1"
                           << "0 words"
                           << "0 chars";
    QTest::newRow("one line") << "hello world" << 5 << "Ln 1, Col 6"
                              << "2 words"
                              << "11 chars";
    QTest::newRow("third line") << "a\nbb\nccc dd" << 7 << "Ln 3, Col 3"
                                << "4 words"
                                << "11 chars";
    QTest::newRow("no grouping separators")
        << QStringLiteral("w ").repeated(1500) << 3000 << "Ln 1, Col 3001"
        << "1500 words"
        << "3000 chars";
}

void StatusBarViewTest::showsPositionAndCounts()
{
    QFETCH(QString, content);
    QFETCH(int, cursor);
    QFETCH(QString, position);
    QFETCH(QString, words);
    QFETCH(QString, characters);

    Window window;
    window.tabManager.newTab(content);
    window.tabManager.updateCursorPosition(*window.tabManager.currentTab(), cursor);

    QCOMPARE(window.bar->positionLabel()->text(), position);
    QCOMPARE(window.bar->wordsLabel()->text(), words);
    QCOMPARE(window.bar->charactersLabel()->text(), characters);
    QVERIFY(window.bar->positionLabel()->font().fixedPitch() ||
            QFontInfo(window.bar->positionLabel()->font()).fixedPitch());
}

void StatusBarViewTest::followsEditsAndTabSwitches()
{
    Window window;
    window.tabManager.newTab(QStringLiteral("one two three"), QUrl::fromLocalFile("/tmp/a.md"));
    const QUuid first = window.tabManager.currentTab()->id();
    window.tabManager.newTab();
    QCOMPARE(window.bar->locationLabel()->text(), QStringLiteral("Unsaved"));
    QCOMPARE(window.bar->wordsLabel()->text(), QStringLiteral("0 words"));

    window.tabManager.updateContent(*window.tabManager.currentTab(), QStringLiteral("x\ny"));
    window.tabManager.updateCursorPosition(*window.tabManager.currentTab(), 3);
    QCOMPARE(window.bar->wordsLabel()->text(), QStringLiteral("2 words"));
    QCOMPARE(window.bar->positionLabel()->text(), QStringLiteral("Ln 2, Col 2"));

    window.tabManager.selectTab(first);
    QCOMPARE(window.bar->locationLabel()->text(), QStringLiteral("/tmp/a.md"));
    QCOMPARE(window.bar->wordsLabel()->text(), QStringLiteral("3 words"));

    // The tab left behind no longer writes into the bar.
    const auto second = window.tabManager.tabs().at(1);
    window.tabManager.updateContent(*second, QStringLiteral("many more words here now"));
    QCOMPARE(window.bar->wordsLabel()->text(), QStringLiteral("3 words"));

    window.tabManager.currentTab()->setFilePath(QUrl::fromLocalFile("/tmp/b.md"));
    QCOMPARE(window.bar->locationLabel()->text(), QStringLiteral("/tmp/b.md"));
}

void StatusBarViewTest::remindsOfFiveShortcutsMidway_data()
{
    QTest::addColumn<int>("width");
    QTest::newRow("narrow") << 760;
    QTest::newRow("wide") << 1400;
}

void StatusBarViewTest::remindsOfFiveShortcutsMidway()
{
    QFETCH(int, width);

    Window window(width);
    window.tabManager.newTab();
    QCoreApplication::processEvents();

    const auto key = [](int k) { return quillet::ViewStyle::shortcutText(k); };
    QCOMPARE(
        reminderTexts(*window.bar),
        (QStringList{key(Qt::Key_N) + "|New", key(Qt::Key_S) + "|Save", key(Qt::Key_P) + "|Preview",
                     key(Qt::Key_T) + "|Tab", key(Qt::Key_W) + "|Close"}));

    const QRect location = quillet::test::geometryIn(*window.bar->locationLabel(), *window.bar);
    const QRect reminders =
        quillet::test::geometryIn(*window.bar->shortcutReminders(), *window.bar);
    const QRect position = quillet::test::geometryIn(*window.bar->positionLabel(), *window.bar);
    QCOMPARE(location.left(), 12);
    const int spaceBefore = reminders.left() - location.right();
    const int spaceAfter = position.left() - reminders.right();
    QVERIFY2(std::abs(spaceBefore - spaceAfter) <= 1,
             qPrintable(QStringLiteral("%1 vs %2").arg(spaceBefore).arg(spaceAfter)));
    QCOMPARE(quillet::test::geometryIn(*window.bar->previewButton(), *window.bar).right(),
             window.bar->width() - 1 - 12);
}

void StatusBarViewTest::previewButtonCyclesTheMode_data()
{
    QTest::addColumn<int>("clicks");
    QTest::addColumn<PreviewMode>("mode");
    QTest::addColumn<QString>("icon");

    QTest::newRow("at start") << 0 << PreviewMode::edit << "doc.text";
    QTest::newRow("one click") << 1 << PreviewMode::split << "rectangle.split.2x1";
    QTest::newRow("two clicks") << 2 << PreviewMode::preview << "eye";
    QTest::newRow("three clicks, back to edit") << 3 << PreviewMode::edit << "doc.text";
}

void StatusBarViewTest::previewButtonCyclesTheMode()
{
    QFETCH(int, clicks);
    QFETCH(PreviewMode, mode);
    QFETCH(QString, icon);

    Window window;
    window.tabManager.newTab();
    QCoreApplication::processEvents();
    auto *button = window.bar->previewButton();
    for (int i = 0; i < clicks; ++i)
        QTest::mouseClick(button, Qt::LeftButton);

    QCOMPARE(window.tabManager.previewMode(), mode);
    QCOMPARE(button->symbol(), icon);
    QCOMPARE(
        button->toolTip(),
        QStringLiteral("Toggle preview (%1)").arg(quillet::ViewStyle::shortcutText(Qt::Key_P)));
    QCOMPARE(button->glyphTone(), Tone::secondary);
    QVERIFY(!button->hasBackdrop());
}

void StatusBarViewTest::followsTheAppearance_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void StatusBarViewTest::followsTheAppearance()
{
    QFETCH(bool, dark);

    Window window;
    window.tabManager.newTab(QStringLiteral("Some words\nand more"),
                             QUrl::fromLocalFile("/home/ann/notes/today.md"));
    QCoreApplication::processEvents();
    const QSize before = window.bar->size();
    QApplication::setPalette(quillet::test::appearance(dark));
    QCoreApplication::processEvents();

    // The bar is painted over the window, whose background shows through at a fifth.
    const QImage image = window.frame.grab().toImage();
    const QColor background = quillet::test::appearance(dark).color(QPalette::Window);
    const QPoint corner = window.bar->mapTo(&window.frame, QPoint(2, 2));
    QCOMPARE(QColor(image.pixel(corner)).rgb(), background.rgb());
    QVERIFY(window.bar->locationLabel()->shownText().endsWith(QStringLiteral("today.md")));
    QCOMPARE(window.bar->size(), before);
    quillet::test::saveScreenshot(*window.bar, dark ? QStringLiteral("status_bar_dark")
                                                    : QStringLiteral("status_bar_light"));
    QApplication::setPalette(quillet::test::appearance(false));
}

QTEST_MAIN(StatusBarViewTest)
#include "tst_status_bar_view.moc"
