#include "views/content_view.h"

#include "support/fake_file_panels.h"
#include "views/editor_preview_container.h"
#include "views/resource_bundle.h"
#include "views/status_bar_view.h"
#include "views/symbol_button.h"
#include "views/tab_bar_view.h"
#include "views/text_label.h"
#include "views/view_style.h"
#include "views/welcome_view.h"
#include "views_test_support.h"

#include "editor/editor_view.h"
#include "editor/plain_text_text_view.h"
#include "model/scratchpad.h"
#include "model/tab_manager.h"
#include "settings/preferences.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using quillet::ContentView;
using quillet::EditorPreviewContainer;
using quillet::PlainTextTextView;
using quillet::PreviewMode;
using quillet::TabManager;
using quillet::WelcomeView;

namespace {

struct Window {
    QTemporaryDir dir;
    quillet::testing::FakeFilePanels *panels = new quillet::testing::FakeFilePanels;
    TabManager tabManager{TabManager::Persistence::disabled(),
                          std::unique_ptr<quillet::FilePanels>(panels)};
    quillet::Preferences preferences{std::make_unique<QSettings>(
        dir.filePath(QStringLiteral("prefs.conf")), QSettings::IniFormat)};
    ContentView view{tabManager, preferences};

    explicit Window(int tabs = 0, int width = 900)
    {
        for (int i = 0; i < tabs; ++i)
            tabManager.newTab(QStringLiteral("Note %1\nsome text").arg(i + 1));
        view.resize(width, 600);
        view.show();
        settle();
    }

    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

bool shown(const QWidget *widget)
{
    return widget && widget->isVisible() && widget->height() > 0;
}

} // namespace

class ContentViewTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheViewsOfEachState_data();
    void showsTheViewsOfEachState();
    void splitKeepsEqualWidths_data();
    void splitKeepsEqualWidths();
    void editorKeepsEveryTabThroughModeChanges();
    void modeChangeFades();
    void firstTabReplacesWelcomeAndLastBringsItBack();
    void editingAreaFadesInWithTheFirstTabAndOutWithTheLast();
    void welcomeButtonsStartATab_data();
    void welcomeButtonsStartATab();
    void welcomeShowsItsTextsAndShortcuts();
    void everyViewStaysLegibleDownToTheMinimumSize_data();
    void everyViewStaysLegibleDownToTheMinimumSize();
    void missingBundleIsReportedOnceAndLeavesTheWord_data();
    void missingBundleIsReportedOnceAndLeavesTheWord();
    void screenshots_data();
    void screenshots();
};

void ContentViewTest::showsTheViewsOfEachState_data()
{
    QTest::addColumn<int>("tabs");
    QTest::addColumn<bool>("unknownSelection");
    QTest::addColumn<PreviewMode>("mode");
    QTest::addColumn<QString>("expected");

    // T tab bar, D dividers, E editor, S separator, P preview, W welcome, B status bar.
    QTest::newRow("no tabs") << 0 << false << PreviewMode::edit << "W";
    QTest::newRow("tabs, no current tab") << 2 << true << PreviewMode::edit << "TDWD";
    QTest::newRow("edit") << 1 << false << PreviewMode::edit << "TDEDB";
    QTest::newRow("split") << 1 << false << PreviewMode::split << "TDESPDB";
    QTest::newRow("preview") << 1 << false << PreviewMode::preview << "TDPDB";
}

void ContentViewTest::showsTheViewsOfEachState()
{
    QFETCH(int, tabs);
    QFETCH(bool, unknownSelection);
    QFETCH(PreviewMode, mode);
    QFETCH(QString, expected);

    Window window(tabs);
    window.tabManager.setPreviewMode(mode);
    if (unknownSelection)
        window.tabManager.selectTab(QUuid::createUuid());
    window.settle();

    const ContentView &view = window.view;
    const EditorPreviewContainer *area = view.editingArea();
    QString seen;
    if (shown(view.tabBar()))
        seen += u'T';
    if (view.dividers().size() == 2 && shown(view.dividers().first()))
        seen += u'D';
    if (area && shown(area->editor()))
        seen += u'E';
    if (area && shown(area->separator()))
        seen += u'S';
    if (area && shown(area->preview()))
        seen += u'P';
    if (shown(view.welcomeView()) || (area && shown(area->welcomeView())))
        seen += u'W';
    if (view.dividers().size() == 2 && shown(view.dividers().last()))
        seen += u'D';
    if (shown(view.statusBar()))
        seen += u'B';
    QCOMPARE(seen, expected);

    // The column has no spacing: the items meet edge to edge and fill the window.
    if (view.tabBar()) {
        QCOMPARE(view.tabBar()->geometry().top(), 0);
        QCOMPARE(view.tabBar()->height(), 36);
        QCOMPARE(view.dividers().first()->height(), 1);
        const QRect areaRect = quillet::test::geometryIn(*area, view);
        QCOMPARE(areaRect.top(), 37);
        const int bottom = shown(view.statusBar())
                               ? quillet::test::geometryIn(*view.statusBar(), view).top()
                               : view.height();
        QCOMPARE(areaRect.bottom() + 1 + 1, bottom);
    }
}

void ContentViewTest::splitKeepsEqualWidths_data()
{
    QTest::addColumn<int>("width");
    QTest::newRow("700") << 700;
    QTest::newRow("901, odd") << 901;
    QTest::newRow("1280") << 1280;
    QTest::newRow("1919, odd and wide") << 1919;
}

void ContentViewTest::splitKeepsEqualWidths()
{
    QFETCH(int, width);

    Window window(1, 700);
    window.tabManager.setPreviewMode(PreviewMode::split);
    window.view.resize(width, 500);
    window.settle();

    const EditorPreviewContainer *area = window.view.editingArea();
    QCOMPARE(area->width(), width);
    const int editor = area->editor()->width();
    const int preview = area->preview()->width();
    QVERIFY2(std::abs(editor - preview) <= 1,
             qPrintable(QStringLiteral("%1 vs %2").arg(editor).arg(preview)));
    QCOMPARE(editor + 1 + preview, width);
    QCOMPARE(area->separator()->width(), 1);
    QCOMPARE(area->separator()->height(), area->height());
    QCOMPARE(quillet::test::geometryIn(*area->separator(), *area).left(), editor);
}

void ContentViewTest::editorKeepsEveryTabThroughModeChanges()
{
    Window window(2);
    const auto tabs = window.tabManager.tabs();
    EditorPreviewContainer *area = window.view.editingArea();
    const QPointer<quillet::EditorView> editor = area->editor();
    QVERIFY(editor);
    QString longText;
    for (int line = 1; line <= 200; ++line)
        longText += QStringLiteral("line %1\n").arg(line);
    window.view.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window.view));
    editor->textView()->pastePlainText(longText);
    editor->textView()->setSelectedRange(40, 3);
    editor->textView()->verticalScrollBar()->setValue(50);
    const QPointer<PlainTextTextView> view = editor->textView();

    for (PreviewMode mode : {PreviewMode::split, PreviewMode::preview}) {
        window.tabManager.setPreviewMode(mode);
        window.settle();
        QCOMPARE(area->editor(), mode == PreviewMode::split ? editor.data() : nullptr);
    }
    window.tabManager.selectTab(tabs.at(0)->id());
    window.tabManager.selectTab(tabs.at(1)->id());
    window.tabManager.setPreviewMode(PreviewMode::edit);
    window.settle();

    QCOMPARE(area->editor(), editor.data());
    QCOMPARE(editor->textView(), view.data());
    QCOMPARE(view->selectedRange(), (PlainTextTextView::SelectedRange{40, 3}));
    QCOMPARE(view->verticalScrollBar()->value(), 50);
    QTRY_VERIFY(view->hasFocus());
    view->undo();
    QCOMPARE(tabs.at(1)->content(), QStringLiteral("Note 2\nsome text"));
}

void ContentViewTest::modeChangeFades()
{
    Window window(1);
    const EditorPreviewContainer *area = window.view.editingArea();
    QVERIFY(!area->modeAnimation());
    window.tabManager.cyclePreviewMode();
    QPropertyAnimation *fade = area->modeAnimation();
    QVERIFY(fade);
    QCOMPARE(fade->duration(), 200);
    QCOMPARE(fade->easingCurve().type(), QEasingCurve::InOutQuad);
    QCOMPARE(fade->startValue().toDouble(), 0.0);
    QCOMPARE(fade->endValue().toDouble(), 1.0);
    QCOMPARE(fade->propertyName(), QByteArray("opacity"));
    // When the fade is over, the area is drawn without the effect again.
    QTRY_VERIFY(!area->modeAnimation());
    QVERIFY(area->editor()->parentWidget()->graphicsEffect() == nullptr);
}

void ContentViewTest::firstTabReplacesWelcomeAndLastBringsItBack()
{
    Window window;
    window.view.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window.view));
    QVERIFY(shown(window.view.welcomeView()));
    window.tabManager.newTab();
    // Before any event is handled: keys typed right after Ctrl+N are the new tab's.
    QVERIFY(window.view.editingArea()->editor()->textView()->hasFocus());
    window.settle();
    QVERIFY(!window.view.welcomeView());
    QVERIFY(shown(window.view.tabBar()));
    QVERIFY(shown(window.view.statusBar()));

    window.tabManager.closeCurrentTab();
    window.settle();
    QVERIFY(shown(window.view.welcomeView()));
    QVERIFY(!window.view.tabBar());
    QVERIFY(!window.view.statusBar());
    QVERIFY(window.view.dividers().isEmpty());
}

void ContentViewTest::editingAreaFadesInWithTheFirstTabAndOutWithTheLast()
{
    Window window;
    QVERIFY(!window.view.editingAreaFade());

    window.tabManager.newTab(QStringLiteral("words to keep"));
    QPointer<QPropertyAnimation> fadeIn = window.view.editingAreaFade();
    QVERIFY(fadeIn);
    QCOMPARE(fadeIn->targetObject()->parent(), window.view.editingArea());
    QCOMPARE(fadeIn->duration(), 200);
    QCOMPARE(fadeIn->easingCurve().type(), QEasingCurve::InOutQuad);
    QCOMPARE(fadeIn->startValue().toDouble(), 0.0);
    QCOMPARE(fadeIn->endValue().toDouble(), 1.0);
    QTRY_VERIFY(!fadeIn);
    QVERIFY(!window.view.editingArea()->graphicsEffect());
    const QRect areaGeometry(window.view.editingArea()->mapTo(&window.view, QPoint(0, 0)),
                             window.view.editingArea()->size());

    window.tabManager.closeCurrentTab();
    window.settle();
    // The area itself is gone with its tab; its picture fades over the welcome view, in the
    // place the area had, and lets clicks through to the welcome view's buttons.
    QVERIFY(!window.view.editingArea());
    QVERIFY(shown(window.view.welcomeView()));
    QPointer<QWidget> picture = window.view.leavingEditingArea();
    QVERIFY(shown(picture));
    QCOMPARE(picture->geometry(), areaGeometry);
    QVERIFY(picture->testAttribute(Qt::WA_TransparentForMouseEvents));
    QPointer<QPropertyAnimation> fadeOut = window.view.editingAreaFade();
    QVERIFY(fadeOut);
    QCOMPARE(fadeOut->startValue().toDouble(), 1.0);
    QCOMPARE(fadeOut->endValue().toDouble(), 0.0);
    QTRY_VERIFY(!picture);
    QVERIFY(!fadeOut);
}

void ContentViewTest::welcomeButtonsStartATab_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("tabs");
    QTest::addColumn<int>("openRequests");

    QTest::newRow("click New Scratchpad") << "new" << 1 << 0;
    QTest::newRow("Open File, cancelled") << "open" << 0 << 1;
}

void ContentViewTest::welcomeButtonsStartATab()
{
    QFETCH(QString, how);
    QFETCH(int, tabs);
    QFETCH(int, openRequests);

    Window window;
    window.view.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window.view));
    WelcomeView *welcome = window.view.welcomeView();
    if (how == QStringLiteral("new"))
        QTest::mouseClick(welcome->newScratchpadButton(), Qt::LeftButton);
    else
        QTest::mouseClick(welcome->openFileButton(), Qt::LeftButton);
    QTRY_COMPARE(window.tabManager.tabs().size(), tabs);
    QTRY_COMPARE(window.panels->openRequests, openRequests);
    window.settle();
    QCOMPARE(bool(window.view.welcomeView()), tabs == 0);
    if (tabs)
        QVERIFY(shown(window.view.tabBar()));
}

void ContentViewTest::welcomeShowsItsTextsAndShortcuts()
{
    Window window;
    const WelcomeView *welcome = window.view.welcomeView();
    const auto *title = welcome->findChild<quillet::TextLabel *>(QStringLiteral("welcomeTitle"));
    const auto *subtitle =
        welcome->findChild<quillet::TextLabel *>(QStringLiteral("welcomeSubtitle"));
    QCOMPARE(title->text(), QStringLiteral("Quillet"));
    QCOMPARE(title->font().pixelSize(), 28);
    QCOMPARE(subtitle->text(),
             QStringLiteral("A clean notepad that strips all formatting on paste."));
    QCOMPARE(subtitle->font().pixelSize(), 14);
    QCOMPARE(welcome->newScratchpadButton()->text(), QStringLiteral("New Scratchpad"));
    QCOMPARE(welcome->openFileButton()->text(), QStringLiteral("Open File…"));
    QVERIFY(welcome->newScratchpadButton()->width() >= 180);
    QCOMPARE(welcome->openFileButton()->width(), welcome->newScratchpadButton()->width());

    const auto key = [](int k) { return quillet::ViewStyle::shortcutText(k); };
    const QStringList expected{
        key(Qt::Key_N) + "|New scratchpad", key(Qt::Key_O) + "|Open file",
        key(Qt::Key_S) + "|Save",           key(Qt::Key_P) + "|Toggle preview",
        key(Qt::Key_T) + "|New tab",        key(Qt::Key_W) + "|Close tab"};
    QStringList rows;
    for (const auto &[keys, label] : welcome->shortcutRows()) {
        rows.append(keys->text() + u'|' + label->text());
        QCOMPARE(keys->width(), 50);
        QCOMPARE(label->width(), 140);
    }
    QCOMPARE(rows, expected);

    // The content sits in the middle: the footer at the bottom, 12 pixels up.
    const QRect footer = quillet::test::geometryIn(*welcome->footer(), *welcome);
    QCOMPARE(footer.bottom() + 1, welcome->height());
    QVERIFY(welcome->logo());
    QCOMPARE(welcome->logo()->height(), 32);
}

void ContentViewTest::everyViewStaysLegibleDownToTheMinimumSize_data()
{
    QTest::addColumn<int>("tabs");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("withPath");

    // The window's 600 x 400 less its menu bar, then sizes up to the default window.
    for (const QSize size :
         {QSize(600, 378), QSize(650, 420), QSize(700, 480), QSize(760, 560), QSize(900, 628)}) {
        const QString at = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
        QTest::addRow("welcome, %s", qPrintable(at)) << 0 << size << false;
        QTest::addRow("unsaved tab, %s", qPrintable(at)) << 1 << size << false;
        QTest::addRow("long path, %s", qPrintable(at)) << 1 << size << true;
    }
}

// Nothing is squeezed below its own size or drawn over another; what does not fit is hidden,
// in each view's order, and at the default size everything is there.
void ContentViewTest::everyViewStaysLegibleDownToTheMinimumSize()
{
    QFETCH(int, tabs);
    QFETCH(QSize, size);
    QFETCH(bool, withPath);

    Window window(tabs);
    if (withPath)
        window.tabManager.newTab({}, QUrl::fromLocalFile(QStringLiteral("/home/ann/") +
                                                         QString(u'n').repeated(120) +
                                                         QStringLiteral("/notes.md")));
    window.view.resize(size);
    window.settle();
    QCOMPARE(window.view.size(), size);

    QList<QRect> drawn;
    for (const auto *label : window.view.findChildren<quillet::TextLabel *>()) {
        if (!label->isVisibleTo(&window.view))
            continue;
        QVERIFY2(label->width() >= label->minimumSizeHint().width() &&
                     label->height() >= label->fontMetrics().height(),
                 qPrintable(label->text()));
        const QRect box = quillet::test::geometryIn(*label, window.view);
        QVERIFY2(window.view.rect().contains(box), qPrintable(label->text()));
        for (const QRect &other : std::as_const(drawn))
            QVERIFY2(!box.intersects(other), qPrintable(label->text()));
        drawn.append(box);
    }

    const bool roomy = size == QSize(900, 628);
    const auto inOrder = [&](const QList<const QWidget *> &yielding) {
        for (qsizetype i = 1; i < yielding.size(); ++i)
            if (yielding[i]->isHidden())
                QVERIFY(yielding[i - 1]->isHidden());
        if (roomy)
            QVERIFY(!yielding.first()->isHidden());
    };
    if (tabs == 0) {
        const WelcomeView *welcome = window.view.welcomeView();
        inOrder({welcome->symbol(), welcome->footer(), welcome->shortcutList()});
        QVERIFY(shown(welcome->newScratchpadButton()) && shown(welcome->openFileButton()));
        return;
    }
    const quillet::StatusBarView *bar = window.view.statusBar();
    if (withPath)
        inOrder({bar->shortcutReminders(), bar->wordsLabel(), bar->charactersLabel(),
                 bar->locationLabel()});
    else
        inOrder({bar->shortcutReminders(), bar->wordsLabel(), bar->charactersLabel()});
    QVERIFY(shown(bar->positionLabel()) && shown(bar->previewButton()));
    if (!withPath)
        QCOMPARE(bar->locationLabel()->shownText(), QStringLiteral("Unsaved"));
}

void ContentViewTest::missingBundleIsReportedOnceAndLeavesTheWord_data()
{
    QTest::addColumn<QString>("logo");
    QTest::addColumn<bool>("bundleFound");

    QTest::newRow("no bundle anywhere") << QString() << false;
    QTest::newRow("bundle without the logo") << QString() << true;
    QTest::newRow("logo that is not an image") << "not a picture" << true;
}

void ContentViewTest::missingBundleIsReportedOnceAndLeavesTheWord()
{
    QFETCH(QString, logo);
    QFETCH(bool, bundleFound);

    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("a/Quillet_Quillet.bundle"));
    const QString second = dir.filePath(QStringLiteral("b/Quillet_Quillet.bundle"));
    if (bundleFound) {
        QVERIFY(QDir().mkpath(second));
        if (!logo.isEmpty()) {
            QFile file(second + QStringLiteral("/tarnel-icon.png"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(logo.toUtf8());
        }
    }
    QString errors;
    QTextStream stream(&errors);
    const std::optional<QString> bundle = quillet::ResourceBundle::locate(first, second, stream);
    QCOMPARE(bundle.has_value(), bundleFound);
    QCOMPARE(errors, bundleFound ? QString()
                                 : QStringLiteral("could not load resource bundle: from ") + first +
                                       QStringLiteral(" or ") + second + u'\n');

    TabManager tabManager{TabManager::Persistence::disabled()};
    WelcomeView welcome(tabManager, bundle);
    welcome.resize(700, 600);
    welcome.show();
    QVERIFY(!welcome.logo());
    const auto words = welcome.footer()->findChildren<QWidget *>();
    QCOMPARE(words.size(), 1);
    QCOMPARE(qobject_cast<quillet::TextLabel *>(words.first())->text(), QStringLiteral("tarnel"));
}

void ContentViewTest::screenshots_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<int>("tabs");
    QTest::addColumn<PreviewMode>("mode");
    QTest::addColumn<QString>("name");

    for (const bool dark : {false, true}) {
        const QString look = dark ? QStringLiteral("dark") : QStringLiteral("light");
        QTest::addRow("welcome, %s", qPrintable(look))
            << dark << 0 << PreviewMode::edit << "welcome_" + look;
        QTest::addRow("tabs but no current tab, %s", qPrintable(look))
            << dark << -2 << PreviewMode::edit << "no_current_tab_" + look;
        QTest::addRow("edit, %s", qPrintable(look))
            << dark << 3 << PreviewMode::edit << "edit_" + look;
        QTest::addRow("split, %s", qPrintable(look))
            << dark << 3 << PreviewMode::split << "split_" + look;
        QTest::addRow("preview, %s", qPrintable(look))
            << dark << 3 << PreviewMode::preview << "preview_" + look;
    }
}

void ContentViewTest::screenshots()
{
    QFETCH(bool, dark);
    QFETCH(int, tabs);
    QFETCH(PreviewMode, mode);
    QFETCH(QString, name);

    QApplication::setPalette(quillet::test::appearance(dark));
    Window window(std::abs(tabs));
    window.tabManager.setPreviewMode(mode);
    if (tabs < 0)
        window.tabManager.selectTab(QUuid::createUuid());
    window.settle();
    QTRY_VERIFY(!window.view.editingAreaFade());
    QTRY_VERIFY(!window.view.editingArea() || !window.view.editingArea()->modeAnimation());
    const QImage image = window.view.grab().toImage();
    QCOMPARE(
        QColor(image.pixel(1, image.height() / 3)).rgb(),
        quillet::test::appearance(dark).color(tabs > 0 ? QPalette::Base : QPalette::Window).rgb());
    quillet::test::saveScreenshot(window.view, name);
    QApplication::setPalette(quillet::test::appearance(false));
}

QTEST_MAIN(ContentViewTest)
#include "tst_content_view.moc"
