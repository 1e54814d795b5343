// A stand-in for the application process, so tests can stop it the ways a real session ends.
//
//   persistence_helper quit <folder> <text>
//       Restores from <folder>, opens a tab holding <text>, prints "ready" and runs until a quit
//       signal arrives. Autosave is far off, so only the quit-time write can save <text>.
//       A line on standard input asks for more: "fail" prints a failure line to standard output
//       (which the caller may have closed) and then "failed" to standard error; "exit" calls
//       exit(1) from the event loop without unwinding, as Qt does when its display goes away.
//   persistence_helper churn <folder>
//       Rewrites the tabs as fast as the event loop turns while autosaving without pause, and
//       prints "ready" once a state file with tabs exists (the caller removes it before each run).
//       Generation g holds (g % 7) + 1 tabs, each starting with "g:<g> " so a reader can tell a
//       mixed snapshot from a whole one.
//   persistence_helper save <folder>
//       Keeps one tab bound to <folder>/note.txt and saves generation after generation of its
//       text to that file as fast as the event loop turns, while autosaving without pause so
//       the next start restores the tab. Prints "ready" once the file holds a generation and the
//       state file holds the tab. A save refused as a conflict is overwritten, as the user would.

#include "platform/console.h"
#include "platform/quit_signals.h"
#include "model/tab_manager.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

using namespace std::chrono_literals;
using quillet::TabManager;

namespace {

int runUntilQuit(const QString &folder, const QString &text)
{
    quillet::QuitSignals quitSignals;
    TabManager tabManager({.autosaveDirectory = folder, .autoSaveInterval = 1h});
    tabManager.newTab(text);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char line[16] = {};
        const ssize_t count = ::read(STDIN_FILENO, line, sizeof line - 1);
        if (count > 0 && std::strncmp(line, "fail", 4) == 0) {
            quillet::printFailureLine(QStringLiteral("Failed to save file: "),
                                      QStringLiteral("as asked"));
            std::fputs("failed\n", stderr);
        } else if (count > 0 && std::strncmp(line, "exit", 4) == 0) {
            std::exit(1);
        }
    });
    std::puts("ready");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

QString generationText(qint64 generation, int tab)
{
    // Large enough that a write takes a while and a kill often lands inside one.
    return QStringLiteral("g:%1 tab %2 ").arg(generation).arg(tab) +
           QString(20000, QChar(u'a' + tab % 26));
}

// Rewrites the tabs (churn) or saves the one tab's file (save) as fast as the event loop turns,
// while autosaving without pause.
int rewriteRepeatedly(const QString &folder, bool save)
{
    TabManager tabManager({.autosaveDirectory = folder, .autoSaveInterval = 0ms});
    const QString notePath = folder + QStringLiteral("/note.txt");
    if (save && tabManager.tabs().isEmpty())
        tabManager.newTab({}, QUrl::fromLocalFile(notePath));

    qint64 generation = 0;
    bool announced = false;
    QTimer rewrite;
    QObject::connect(&rewrite, &QTimer::timeout, [&] {
        ++generation;
        if (save) {
            const auto tab = tabManager.tabs().constFirst();
            tabManager.updateContent(*tab, generationText(generation, 0));
            tabManager.saveCurrent();
            // A kill between a save and the next autosave leaves the restored tab an older idea
            // of its file, so the first save after a start may find it changed; the user
            // overwrites.
            if (tab->hasConflict())
                tabManager.overwriteOnDisk(*tab);
        } else {
            const int wanted = int(generation % 7) + 1;
            while (tabManager.tabs().size() > wanted)
                tabManager.closeTab(tabManager.tabs().constLast()->id());
            while (tabManager.tabs().size() < wanted)
                tabManager.newTab();
            const auto tabs = tabManager.tabs();
            for (int tab = 0; tab < tabs.size(); ++tab)
                tabManager.updateContent(*tabs[tab], generationText(generation, tab));
        }
        // Past "[]", the file written before the first generation; with a saved note, once the
        // state file names its tab, so that a start after a kill cleans up after it.
        if (!announced && QFileInfo(tabManager.stateStore().filePath()).size() > 2 &&
            (!save || QFileInfo(notePath).size() > 0)) {
            announced = true;
            std::puts("ready");
            std::fflush(stdout);
        }
    });
    rewrite.start(0);
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 4 && arguments[1] == u"quit")
        return runUntilQuit(arguments[2], arguments[3]);
    if (arguments.size() == 3 && (arguments[1] == u"churn" || arguments[1] == u"save"))
        return rewriteRepeatedly(arguments[2], arguments[1] == u"save");
    std::fputs("usage: persistence_helper quit <folder> <text> | churn <folder> | save <folder>\n",
               stderr);
    return 2;
}
