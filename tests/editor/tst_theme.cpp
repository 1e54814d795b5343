#include "editor/theme.h"

#include <QApplication>
#include <QFontInfo>
#include <QPalette>
#include <QtTest>

class ThemeTest : public QObject {
    Q_OBJECT

private slots:
    void coloursFollowThePalette();
    void editorFontIsOneSharedFourteenPixelMonospace();
};

void ThemeTest::coloursFollowThePalette()
{
    const QPalette original = QApplication::palette();
    QPalette dark = original;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::Base, QColor(20, 20, 20));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    QApplication::setPalette(dark);

    QCOMPARE(quillet::Theme::windowBackground(), QColor(30, 30, 30));
    QCOMPARE(quillet::Theme::previewBackground(), QColor(20, 20, 20));
    QCOMPARE(quillet::Theme::textColor(), QColor(230, 230, 230));
    QCOMPARE(quillet::Theme::statusBarBackground().rgb(), QColor(30, 30, 30).rgb());
    QCOMPARE(quillet::Theme::statusBarBackground().alphaF(), 0.8f);
    QCOMPARE(quillet::Theme::unselectedTabBackground().alpha(), 0);
    QApplication::setPalette(original);
}

void ThemeTest::editorFontIsOneSharedFourteenPixelMonospace()
{
    QCOMPARE(&quillet::Theme::editorFont(), &quillet::Theme::editorFont());
    QCOMPARE(quillet::Theme::editorFont().pixelSize(), 14);
    QVERIFY(quillet::Theme::editorFont().fixedPitch() ||
            QFontInfo(quillet::Theme::editorFont()).fixedPitch());
}

QTEST_MAIN(ThemeTest)
#include "tst_theme.moc"
