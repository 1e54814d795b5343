#include "views/content_view.h"

#include "views/editor_preview_container.h"
#include "views/resource_bundle.h"
#include "views/status_bar_view.h"
#include "views/symbol_button.h"
#include "views/text_label.h"
#include "views/welcome_view.h"
#include "views_test_support.h"

#include "editor/editor_view.h"
#include "editor/plain_text_text_view.h"

#include <QPushButton>
#include <QScrollBar>

using quillet::EditorPreviewContainer;
using quillet::PlainTextTextView;
using quillet::PreviewMode;
using quillet::TabManager;
using quillet::WelcomeView;
using quillet::test::geometryIn;
using quillet::test::settle;

namespace {

using Window = quillet::test::ContentWindow;

bool shown(const QWidget *widget)
{
    return widget && widget->isVisible() && widget->height() > 0;
}

} // namespace

class ContentViewTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheViewsOfEachState_data()
    {
        QTest::addColumn<int>("tabs");
        QTest::addColumn<int>("previewClicks");
        QTest::addColumn<QString>("expected");

        // T tab bar, D dividers, E editor, S separator, P preview, W welcome, B status bar and the
        // preview button's symbol. -2: two tabs, none of them selected.
        QTest::newRow("no tabs") << 0 << 0 << "W";
        QTest::newRow("tabs, no current tab") << -2 << 0 << "TDWD";
        QTest::newRow("edit") << 1 << 0 << "TDEDB doc.text";
        QTest::newRow("split") << 1 << 1 << "TDESPDB rectangle.split.2x1";
        QTest::newRow("preview") << 1 << 2 << "TDPDB eye";
    }

    // The mode is changed the way the user does, with the status bar's button.
    void showsTheViewsOfEachState()
    {
        QFETCH(int, tabs);
        QFETCH(int, previewClicks);

        Window window(std::abs(tabs), 700);
        for (int i = 0; i < previewClicks; ++i)
            QTest::mouseClick(window.view.statusBar()->previewButton(), Qt::LeftButton);
        if (tabs < 0)
            window.tabManager.selectTab(QUuid::createUuid());
        window.view.resize(901, 600);
        settle();

        const quillet::ContentView &view = window.view;
        const EditorPreviewContainer *area = view.editingArea();
        const auto divider = [&](int i) {
            return view.dividers().size() == 2 && shown(view.dividers()[i]);
        };
        const bool shows[] = {shown(view.tabBar()),
                              divider(0),
                              area && shown(area->editor()),
                              area && shown(area->separator()),
                              area && shown(area->preview()),
                              shown(view.welcomeView()) || (area && shown(area->welcomeView())),
                              divider(1),
                              shown(view.statusBar())};
        QString seen;
        for (int i = 0; i < 8; ++i)
            seen += shows[i] ? QString(QStringLiteral("TDESPWDB")[i]) : QString();
        if (shown(view.statusBar()))
            seen += u' ' + view.statusBar()->previewButton()->symbol();
        QTEST(seen, "expected");
        // With no current tab, the welcome view takes the whole editing area.
        if (area && area->welcomeView())
            QCOMPARE(area->welcomeView()->size(), area->size());
    }

    void editorKeepsEveryTabThroughModeChanges()
    {
        Window window(2);
        const auto tabs = window.tabManager.tabs();
        EditorPreviewContainer *area = window.view.editingArea();
        const QPointer<quillet::EditorView> editor = area->editor();
        QString longText;
        for (int line = 1; line <= 200; ++line)
            longText += QStringLiteral("line %1\n").arg(line);
        QVERIFY(window.activate());
        editor->textView()->pastePlainText(longText);
        editor->textView()->setSelectedRange(40, 3);
        editor->textView()->verticalScrollBar()->setValue(50);
        const QPointer<PlainTextTextView> view = editor->textView();

        for (PreviewMode mode : {PreviewMode::split, PreviewMode::preview}) {
            window.tabManager.setPreviewMode(mode);
            settle();
        }
        window.tabManager.selectTab(tabs.at(0)->id());
        window.tabManager.selectTab(tabs.at(1)->id());
        window.tabManager.setPreviewMode(PreviewMode::edit);
        settle();

        QCOMPARE(area->editor(), editor.data());
        QCOMPARE(editor->textView(), view.data());
        QCOMPARE(view->selectedRange(), (PlainTextTextView::SelectedRange{40, 3}));
        QCOMPARE(view->verticalScrollBar()->value(), 50);
        QTRY_VERIFY(view->hasFocus());
        view->undo();
        QCOMPARE(tabs.at(1)->content(), QStringLiteral("Note 2\nsome text"));
    }

    void welcomeButtonsRunTheirCommand_data()
    {
        QTest::addColumn<bool>("open");
        QTest::newRow("New Scratchpad") << false;
        QTest::newRow("Open File…, cancelled") << true;
    }

    // A tab made there takes the keys at once. Fades leave no graphics effect behind, and the last
    // tab's fading picture lets clicks through to the welcome view's buttons.
    void welcomeButtonsRunTheirCommand()
    {
        QFETCH(bool, open);
        Window window;
        QVERIFY(window.activate());
        WelcomeView *welcome = window.view.welcomeView();
        QPushButton *button = open ? welcome->openFileButton() : welcome->newScratchpadButton();
        QCOMPARE(welcome->childAt(geometryIn(*button, *welcome).center()), button);
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_COMPARE(window.panels->openRequests, open ? 1 : 0);
        if (open) {
            settle();
            QVERIFY(window.tabManager.tabs().isEmpty() && shown(window.view.welcomeView()));
            return;
        }
        QVERIFY(window.view.editingArea()->editor()->textView()->hasFocus());
        QTRY_VERIFY(!window.view.editingAreaFade());
        QVERIFY(!window.view.editingArea()->graphicsEffect() && shown(window.view.tabBar()));
        window.tabManager.cyclePreviewMode();
        QTRY_VERIFY(!window.view.editingArea()->modeAnimation());
        QVERIFY(!window.view.editingArea()->editor()->parentWidget()->graphicsEffect());

        window.tabManager.closeCurrentTab();
        settle();
        QVERIFY(!window.view.editingArea() && !window.view.tabBar() && !window.view.statusBar());
        QVERIFY(shown(window.view.welcomeView()));
        QPointer<QWidget> picture = window.view.leavingEditingArea();
        QVERIFY(shown(picture));
        QVERIFY(picture->testAttribute(Qt::WA_TransparentForMouseEvents));
        QTRY_VERIFY(!picture);
    }

    void everyViewStaysLegibleDownToTheMinimumSize_data()
    {
        QTest::addColumn<int>("tabs");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("withPath");

        // The window's 600 x 400 less its menu bar, then sizes up to the default window.
        for (const QSize size : {QSize(600, 378), QSize(650, 420), QSize(700, 480), QSize(760, 560),
                                 QSize(900, 628)}) {
            const QByteArray at =
                QByteArray::number(size.width()) + 'x' + QByteArray::number(size.height());
            QTest::addRow("welcome, %s", at.data()) << 0 << size << false;
            QTest::addRow("unsaved tab, %s", at.data()) << 1 << size << false;
            QTest::addRow("long path, %s", at.data()) << 1 << size << true;
        }
    }

    // Nothing is squeezed below its own size or drawn over another; what does not fit is hidden,
    // in each view's order, and at the default size everything is there.
    void everyViewStaysLegibleDownToTheMinimumSize()
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
        settle();
        QCOMPARE(window.view.size(), size);

        QList<QRect> drawn;
        for (const auto *label : window.view.findChildren<quillet::TextLabel *>()) {
            if (!label->isVisibleTo(&window.view))
                continue;
            const QRect box = geometryIn(*label, window.view);
            QVERIFY2(label->width() >= label->minimumSizeHint().width() &&
                         label->height() >= label->fontMetrics().height() &&
                         window.view.rect().contains(box) &&
                         std::none_of(drawn.begin(), drawn.end(),
                                      [&](const QRect &other) { return box.intersects(other); }),
                     qPrintable(label->text()));
            drawn.append(box);
        }

        const auto inOrder = [&](const QList<const QWidget *> &yielding) {
            for (qsizetype i = 1; i < yielding.size(); ++i)
                QVERIFY(!yielding[i]->isHidden() || yielding[i - 1]->isHidden());
            if (size == QSize(900, 628))
                QVERIFY(!yielding.first()->isHidden());
        };
        if (tabs == 0) {
            const WelcomeView *welcome = window.view.welcomeView();
            inOrder({welcome->symbol(), welcome->footer(), welcome->shortcutList()});
            QVERIFY(shown(welcome->newScratchpadButton()) && shown(welcome->openFileButton()));
            return;
        }
        const quillet::StatusBarView *bar = window.view.statusBar();
        QList<const QWidget *> order{bar->shortcutReminders(), bar->wordsLabel(),
                                     bar->charactersLabel()};
        if (withPath)
            order.append(bar->locationLabel());
        inOrder(order);
        QVERIFY(shown(bar->positionLabel()) && shown(bar->previewButton()));
    }

    void missingBundleIsReportedOnceAndLeavesTheWord_data()
    {
        QTest::addColumn<bool>("bundleFound");
        QTest::newRow("no bundle anywhere") << false;
        QTest::newRow("logo that is not an image") << true;
    }

    void missingBundleIsReportedOnceAndLeavesTheWord()
    {
        QFETCH(bool, bundleFound);

        quillet::testing::TempFolder dir;
        const QString first = dir.path(QStringLiteral("a/Quillet_Quillet.bundle"));
        const QString second = dir.path(QStringLiteral("b/Quillet_Quillet.bundle"));
        if (bundleFound)
            QVERIFY(dir.write(second + "/tarnel-icon.png", "not a picture"));
        QString errors;
        QTextStream stream(&errors);
        const std::optional<QString> bundle =
            quillet::ResourceBundle::locate(first, second, stream);
        QCOMPARE(bundle.has_value(), bundleFound);
        QCOMPARE(errors, bundleFound ? QString()
                                     : "could not load resource bundle: from " + first + " or " +
                                           second + u'\n');

        TabManager tabManager{TabManager::Persistence::disabled()};
        WelcomeView welcome(tabManager, bundle);
        welcome.show();
        QVERIFY(!welcome.logo());
        const auto words = welcome.footer()->findChildren<quillet::TextLabel *>();
        QVERIFY(words.size() == 1 && words.first()->text() == QStringLiteral("tarnel"));
    }

    // The bar shows over its own tab only, and its Overwrite writes the tab's text.
    void conflictBarFollowsTheCurrentTab()
    {
        Window window(1);
        const QString path = window.dir.path(QStringLiteral("note.md"));
        QVERIFY(window.dir.write(path, "on disk"));
        const QString text = QStringLiteral("in the tab");
        window.tabManager.newTab(text, QUrl::fromLocalFile(path));
        const auto tab = window.tabManager.currentTab();
        auto *bar = window.view.findChild<QWidget *>(QStringLiteral("conflictBar"));
        QVERIFY(bar && !bar->isVisible());
        tab->setHasConflict(true);
        QVERIFY(bar->isVisible());
        window.tabManager.selectTab(window.tabManager.tabs().first()->id());
        QVERIFY(!bar->isVisible());
        window.tabManager.selectTab(tab->id());
        QVERIFY(bar->isVisible());
        for (QPushButton *choice : bar->findChildren<QPushButton *>())
            if (choice->text() == QStringLiteral("&Overwrite"))
                QTest::mouseClick(choice, Qt::LeftButton);
        QTRY_VERIFY(!bar->isVisible());
        QTRY_COMPARE(QString::fromUtf8(window.dir.read(path)), text);
    }
};

QTEST_MAIN(ContentViewTest)
#include "tst_content_view.moc"
