#include "editor/editor_view.h"
#include "editor/plain_text_text_view.h"
#include "editor/spaced_line_layout.h"
#include "model/scratchpad.h"
#include "model/tab_manager.h"
#include "settings/preferences.h"

#include "bench_documents.h"
#include "widget_benchmarks.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QThread>

#include <ctime>
#include <memory>

using quillet::EditorView;
using quillet::PlainTextTextView;
using quillet::Scratchpad;
using quillet::Preferences;
using quillet::TabManager;

namespace {

using quillet::bench::asciiDocument;
using quillet::bench::kMegabyte;

// A shown editor over the given tabs, with preferences in a throwaway store.
struct Editor {
    explicit Editor(const QList<QString> &contents, bool shown = true)
        : preferences(std::make_unique<QSettings>(dir.filePath(QStringLiteral("p.conf")),
                                                  QSettings::IniFormat))
        , view(tabManager, preferences)
    {
        for (const QString &content : contents)
            tabManager.newTab(content);
        view.resize(900, 650);
        if (!shown)
            return;
        view.show();
        QApplication::processEvents();
    }

    QTemporaryDir dir;
    TabManager tabManager{TabManager::Persistence::disabled()};
    Preferences preferences;
    EditorView view;
};

void sendKey(QWidget *target, Qt::Key key, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

// Turns the event loop until a text view has the whole of its text in its document.
void waitForText(PlainTextTextView &text)
{
    while (text.isPreparingText())
        QApplication::processEvents();
}

// Typing and erasing alternate so the size stays put; `paint` repaints the view after each key.
void typeAndErase(benchmark::State &state, PlainTextTextView &text, const Scratchpad &tab,
                  bool paint)
{
    bool typing = true;
    for (auto _ : state) {
        if (typing)
            sendKey(&text, Qt::Key_A, QStringLiteral("a"));
        else
            sendKey(&text, Qt::Key_Backspace, QString());
        typing = !typing;
        if (paint)
            text.viewport()->repaint();
        benchmark::DoNotOptimize(tab.characterCount());
    }
}

// One keystroke in the middle of the text: the key press ends in the tab manager's content
// update, the release in its cursor update. Typing and erasing alternate so the size stays put.
void keystroke(benchmark::State &state, qsizetype size)
{
    Editor editor({asciiDocument(size)});
    editor.view.setScratchpad(editor.tabManager.currentTab());
    PlainTextTextView *text = editor.view.textView();
    waitForText(*text);
    text->setSelectedRange(size / 2, 0);
    const auto tab = editor.tabManager.currentTab();
    typeAndErase(state, *text, *tab, false);
    if (tab->content().size() < size)
        state.SkipWithError("the keystrokes did not reach the model");
}

void keystrokeToModel1MB(benchmark::State &state)
{
    keystroke(state, kMegabyte);
}

void keystrokeToModel10MB(benchmark::State &state)
{
    keystroke(state, 10 * kMegabyte);
}

// A key at the end of one line of 1 MB (words and spaces, no line end), until it is painted.
void keystrokeAtEndOfLine1MB(benchmark::State &state)
{
    QString line = quillet::bench::asciiDocument(kMegabyte);
    line.replace(u'\n', u' ');
    Editor editor({line});
    editor.view.setScratchpad(editor.tabManager.currentTab());
    PlainTextTextView *text = editor.view.textView();
    waitForText(*text);
    text->setSelectedRange(line.size(), 0);
    text->ensureCursorVisible();
    QApplication::processEvents();
    const auto tab = editor.tabManager.currentTab();
    typeAndErase(state, *text, *tab, true);
    if (tab->content().size() < line.size())
        state.SkipWithError("the keystrokes did not reach the model");
}

// From an editor given a 10 MB tab, as at start, to its first paint: what the window waits for.
void showTab10MB(benchmark::State &state)
{
    const QString content = asciiDocument(10 * kMegabyte);
    for (auto _ : state) {
        auto editor = std::make_unique<Editor>(QList<QString>{content}, false);
        editor->view.setScratchpad(editor->tabManager.currentTab());
        editor->view.show();
        editor->view.repaint();
        // Dropping the tab is not part of the start.
        state.PauseTiming();
        editor.reset();
        state.ResumeTiming();
    }
}

// Switching between two 10 MB tabs that have both been shown, with the repaint that follows.
void tabSwitch10MB(benchmark::State &state)
{
    Editor editor({asciiDocument(10 * kMegabyte), asciiDocument(10 * kMegabyte) + u'x'});
    const auto first = editor.tabManager.tabs().at(0);
    const auto second = editor.tabManager.tabs().at(1);
    editor.view.setScratchpad(first);
    waitForText(*editor.view.textView());
    editor.view.setScratchpad(second);
    waitForText(*editor.view.textView());
    bool toFirst = true;
    for (auto _ : state) {
        editor.view.setScratchpad(toFirst ? first : second);
        QApplication::processEvents();
        toFirst = !toFirst;
    }
}

// A 200 MB tab made current in an editor already on screen, as after an open: the time until all
// of its text is in the view's document, until its first lines are, and the longest the GUI
// thread was busy at a stretch on the way (each turn of the event loop measured alone, also in
// the thread's own CPU time, which other programs on a busy machine do not inflate).
void showTab200MB(benchmark::State &state)
{
    const QString content = asciiDocument(200 * kMegabyte);
    double firstLines = 0;
    quillet::bench::LongestStretch stretch;
    const auto slice = [&](auto &&work) { stretch.measure(work); };
    for (auto _ : state) {
        state.PauseTiming();
        // What earlier benchmarks left to be deleted is not part of it.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        auto editor = std::make_unique<Editor>(QList<QString>{QStringLiteral("small")});
        editor->view.setScratchpad(editor->tabManager.currentTab());
        QApplication::processEvents();
        // The tab itself is made on a worker when a file is opened.
        editor->tabManager.newTab(content);
        state.ResumeTiming();
        QElapsedTimer total;
        total.start();
        slice([&] { editor->view.setScratchpad(editor->tabManager.currentTab()); });
        PlainTextTextView *text = editor->view.textView();
        while (text->document()->isEmpty()) {
            slice([] { QApplication::processEvents(); });
            QThread::usleep(100);
        }
        firstLines = double(total.nsecsElapsed()) / 1e6;
        while (text->isPreparingText())
            slice([] { QApplication::processEvents(); });
        slice([&] { text->viewport()->repaint(); });
        if (text->document()->characterCount() - 1 != content.size())
            state.SkipWithError("the text did not arrive whole");
        state.PauseTiming();
        editor.reset();
        state.ResumeTiming();
    }
    state.counters["first_lines_ms"] = firstLines;
    stretch.report(state);
}

// What a switch would cost if the tabs shared one text view and swapped its document: the plain
// text edit lays every block out again. Kept to show why each tab has its own view.
void documentSwapOnOneView10MB(benchmark::State &state)
{
    PlainTextTextView view;
    view.resize(900, 650);
    view.show();
    QTextDocument *documents[2];
    for (QTextDocument *&document : documents) {
        document = new QTextDocument(&view);
        document->setDocumentLayout(new quillet::SpacedLineLayout(document));
        document->setPlainText(asciiDocument(10 * kMegabyte));
        view.setDocument(document);
    }
    QApplication::processEvents();
    int which = 0;
    for (auto _ : state) {
        view.setDocument(documents[which]);
        QApplication::processEvents();
        which ^= 1;
    }
}

} // namespace

BENCHMARK(keystrokeToModel1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(keystrokeToModel10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(keystrokeAtEndOfLine1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(showTab10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(showTab200MB)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(tabSwitch10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(documentSwapOnOneView10MB)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return quillet::bench::runWidgetBenchmarks(argc, argv);
}
