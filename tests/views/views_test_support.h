#pragma once

#include "views/content_view.h"
#include "views/tab_bar_view.h"
#include "views/tab_item_view.h"

#include "model/scratchpad.h"
#include "model/tab_manager.h"
#include "settings/preferences.h"
#include "support/fake_file_panels.h"
#include "support/temp_folder.h"

#include <QCoreApplication>
#include <QRect>
#include <QSettings>
#include <QWidget>
#include <QtTest>

namespace quillet::test {

// The widget's rectangle in the coordinates of `ancestor`.
inline QRect geometryIn(const QWidget &widget, const QWidget &ancestor)
{
    return QRect(widget.mapTo(&ancestor, QPoint(0, 0)), widget.size());
}

// Lets posted layout requests and deferred deletes run, as the event loop would between keys.
inline void settle()
{
    for (int i = 0; i < 4; ++i)
        QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The window's content, shown, over `tabs` tabs titled "Note 1" on, with the file dialogs
// answered by fakes and the preferences in a temporary folder.
struct ContentWindow {
    testing::TempFolder dir;
    testing::FakeFilePanels *panels = new testing::FakeFilePanels;
    TabManager tabManager{TabManager::Persistence::disabled(), std::unique_ptr<FilePanels>(panels)};
    Preferences preferences{std::make_unique<QSettings>(dir.path(QStringLiteral("prefs.conf")),
                                                        QSettings::IniFormat)};
    ContentView view{tabManager, preferences};

    explicit ContentWindow(int tabs = 0, int width = 900)
    {
        for (int i = 0; i < tabs; ++i)
            tabManager.newTab(QStringLiteral("Note %1\nsome text").arg(i + 1));
        view.resize(width, 600);
        view.show();
        settle();
    }
    bool activate()
    {
        view.activateWindow();
        return QTest::qWaitForWindowActive(&view);
    }
    TabItemView *tab(int index) const { return view.tabBar()->tabItems().at(index); }
    QString selectedTitle() const
    {
        const auto current = tabManager.currentTab();
        return current ? current->title() : QString();
    }
};

} // namespace quillet::test
