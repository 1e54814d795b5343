#include "views/markdown_hint_button.h"

#include "views/text_label.h"

#include <QtTest>

using quillet::MarkdownHintButton;
using quillet::MarkdownHintContent;
using quillet::TextLabel;

class MarkdownHintTest : public QObject {
    Q_OBJECT

private slots:
    void opensAndClosesTheWaysTheUserExpects_data();
    void opensAndClosesTheWaysTheUserExpects();
};

void MarkdownHintTest::opensAndClosesTheWaysTheUserExpects_data()
{
    QTest::addColumn<QString>("close");
    QTest::addColumn<bool>("atRightEdge");
    QTest::newRow("Escape, window at the screen's right edge") << "escape" << true;
    QTest::newRow("a click elsewhere in the window") << "outside" << false;
    QTest::newRow("a click on the button") << "button" << false;
}

void MarkdownHintTest::opensAndClosesTheWaysTheUserExpects()
{
    QFETCH(QString, close);
    QFETCH(bool, atRightEdge);

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // The button in a window, as the tab bar holds it.
    struct {
        QWidget frame;
        MarkdownHintButton *button = new MarkdownHintButton(&frame);
    } window;
    window.frame.resize(400, 300);
    window.frame.move(atRightEdge ? QPoint(screen.right() + 1 - 400, screen.top())
                                  : screen.topLeft());
    window.button->move(300, 4);
    window.frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.frame));
    QTest::mouseClick(window.button, Qt::LeftButton);
    QVERIFY(window.button->showPopover());
    QPointer<QWidget> popover = window.button->popover();
    QVERIFY(popover && popover->isVisible());
    // No room above a button at the top of the screen: below it, and all of it on the screen
    // (measured as placed, without the frame a platform may add).
    const QRect placed =
        popover->geometry().translated(window.frame.pos() - window.frame.geometry().topLeft());
    QCOMPARE(placed.top(), window.button->mapToGlobal(QPoint(0, window.button->height())).y());
    QVERIFY2(screen.contains(placed), qPrintable(QDebug::toString(placed)));
    // Every example and its meaning whole, side by side.
    const auto *content = popover->findChild<MarkdownHintContent *>();
    QVERIFY(content && !content->rows().isEmpty());
    for (const auto &row : content->rows()) {
        const auto *syntax = static_cast<TextLabel *>(row.syntax);
        const auto *description = static_cast<TextLabel *>(row.description);
        QVERIFY(description->x() > syntax->geometry().right() &&
                description->geometry().right() < content->width());
        QVERIFY(syntax->shownText() == syntax->text() &&
                description->shownText() == description->text());
    }

    if (close == QStringLiteral("escape")) {
        QTest::keyClick(popover, Qt::Key_Escape);
    } else {
        // A press outside a popup reaches the popup first, which closes.
        const QWidget *target = close == QStringLiteral("button") ? window.button : &window.frame;
        const QPoint global = target->mapToGlobal(QPoint(5, 5));
        QTest::mouseClick(popover, Qt::LeftButton, {}, popover->mapFromGlobal(global));
    }
    QTRY_VERIFY(!popover);
    QVERIFY(!window.button->showPopover());

    // The next click on the button opens it again at once.
    QTest::mouseClick(window.button, Qt::LeftButton);
    QVERIFY(window.button->showPopover());
    QVERIFY(window.button->popover() && window.button->popover()->isVisible());
    QTest::mouseClick(window.button, Qt::LeftButton);
    QVERIFY(!window.button->showPopover());
}

QTEST_MAIN(MarkdownHintTest)
#include "tst_markdown_hint.moc"
