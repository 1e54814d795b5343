#include "views/markdown_hint_button.h"

#include "views/text_label.h"
#include "views_test_support.h"

#include <QVBoxLayout>
#include <QtTest>

using quillet::MarkdownHintButton;
using quillet::MarkdownHintContent;
using quillet::TextLabel;

namespace {

// The button in a window, as the tab bar holds it.
struct Window {
    QWidget frame;
    MarkdownHintButton *button = new MarkdownHintButton(&frame);

    Window()
    {
        frame.resize(400, 300);
        button->move(300, 4);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
    }
};

QStringList rowTexts(const MarkdownHintContent &content)
{
    QStringList rows;
    for (const auto &row : content.rows()) {
        rows.append(static_cast<TextLabel *>(row.syntax)->text() + QStringLiteral(" — ") +
                    static_cast<TextLabel *>(row.description)->text());
    }
    return rows;
}

} // namespace

class MarkdownHintTest : public QObject {
    Q_OBJECT

private slots:
    void buttonLooksAsAHelpButton();
    void opensAndClosesTheWaysTheUserExpects_data();
    void opensAndClosesTheWaysTheUserExpects();
    void listsTheSyntaxInFiveGroups();
    void keepsEachExampleInItsOwnColumn();
    void screenshots_data();
    void screenshots();
};

void MarkdownHintTest::buttonLooksAsAHelpButton()
{
    Window window;
    QCOMPARE(window.button->symbol(), QStringLiteral("questionmark.circle"));
    QCOMPARE(window.button->size(), QSize(28, 28));
    QCOMPARE(window.button->toolTip(), QStringLiteral("Markdown syntax reference"));
    QVERIFY(!window.button->showPopover());
    QVERIFY(!window.button->popover());
}

void MarkdownHintTest::opensAndClosesTheWaysTheUserExpects_data()
{
    QTest::addColumn<QString>("close");
    QTest::newRow("Escape") << "escape";
    QTest::newRow("a click elsewhere in the window") << "outside";
    QTest::newRow("a click on the button") << "button";
}

void MarkdownHintTest::opensAndClosesTheWaysTheUserExpects()
{
    QFETCH(QString, close);

    Window window;
    QTest::mouseClick(window.button, Qt::LeftButton);
    QVERIFY(window.button->showPopover());
    QPointer<QWidget> popover = window.button->popover();
    QVERIFY(popover && popover->isVisible());
    QCOMPARE(popover->width(), 320);

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

void MarkdownHintTest::listsTheSyntaxInFiveGroups()
{
    MarkdownHintContent content;
    const auto *title = content.findChild<TextLabel *>(QStringLiteral("title"));
    QCOMPARE(title->text(), QStringLiteral("Markdown Reference"));
    QCOMPARE(title->font().pixelSize(), 14);
    QCOMPARE(title->font().weight(), QFont::DemiBold);

    QCOMPARE(
        rowTexts(content),
        (QStringList{"# Heading 1 — Large heading", "## Heading 2 — Medium heading",
                     "### Heading 3 — Small heading", "**bold** — Bold text",
                     "*italic* — Italic text", "~~strike~~ — Strikethrough", "`code` — Inline code",
                     "- item — Bullet list", "1. item — Numbered list", "- [x] done — Task list",
                     "> quote — Blockquote", "[text](url) — Link", "--- — Horizontal rule",
                     "``` — Code block (fenced)", "| A | B | — Table header",
                     "| - | - | — Table separator", "| 1 | 2 | — Table row"}));

    // Top to bottom: the title, then a line before each group; all 12 pixels apart.
    QWidget popup;
    auto *layout = new QVBoxLayout(&popup);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *shown = new MarkdownHintContent(&popup);
    layout->addWidget(shown);
    popup.setFixedWidth(320);
    popup.show();
    QCoreApplication::processEvents();
    QString order;
    QList<QWidget *> items;
    for (QWidget *child : shown->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        items.append(child);
    std::sort(items.begin(), items.end(), [](QWidget *a, QWidget *b) { return a->y() < b->y(); });
    int previousBottom = -1;
    int lastTop = -1;
    for (QWidget *item : items) {
        if (item->y() == lastTop)
            continue; // the description beside its example
        order += item->objectName() == QStringLiteral("separator") ? u'-'
                 : item->objectName() == QStringLiteral("title")   ? u'T'
                                                                   : u'r';
        if (previousBottom >= 0)
            QCOMPARE(item->y() - previousBottom - 1, 12);
        previousBottom = item->geometry().bottom();
        lastTop = item->y();
    }
    QCOMPARE(order, QStringLiteral("T-rrr-rrrr-rrrr-rrr-rrr"));
    QCOMPARE(items.first()->y(), 16);
    QCOMPARE(items.first()->x(), 16);
}

void MarkdownHintTest::keepsEachExampleInItsOwnColumn()
{
    QWidget popup;
    auto *layout = new QVBoxLayout(&popup);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *content = new MarkdownHintContent(&popup);
    layout->addWidget(content);
    popup.setFixedWidth(320);
    popup.show();
    QCoreApplication::processEvents();

    QCOMPARE(content->width(), 320);
    for (const auto &row : content->rows()) {
        QCOMPARE(row.syntax->x(), 16);
        QCOMPARE(row.syntax->width(), 120);
        QCOMPARE(row.description->y(), row.syntax->y());
        QVERIFY(row.description->x() >= 16 + 120);
        QVERIFY(row.description->geometry().right() < 320 - 16);
        QCOMPARE(static_cast<TextLabel *>(row.description)->shownText(),
                 static_cast<TextLabel *>(row.description)->text());
    }
}

void MarkdownHintTest::screenshots_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void MarkdownHintTest::screenshots()
{
    QFETCH(bool, dark);
    QApplication::setPalette(quillet::test::appearance(dark));
    Window window;
    QTest::mouseClick(window.button, Qt::LeftButton);
    QWidget *popover = window.button->popover();
    QVERIFY(popover);
    QCoreApplication::processEvents();
    quillet::test::saveScreenshot(*popover, dark ? QStringLiteral("markdown_reference_dark")
                                                 : QStringLiteral("markdown_reference_light"));
    window.button->setShowPopover(false);
    QApplication::setPalette(quillet::test::appearance(false));
}

QTEST_MAIN(MarkdownHintTest)
#include "tst_markdown_hint.moc"
