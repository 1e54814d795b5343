#include "model/scratchpad.h"
#include "views/preview_view.h"

#include "bench_documents.h"
#include "widget_benchmarks.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <unistd.h>

#include <algorithm>
#include <ctime>

using quillet::PreviewView;
using quillet::Scratchpad;

namespace {

using quillet::bench::asciiDocument;
using quillet::bench::kMegabyte;

// Markdown of about `size` characters with every kind of block, in proportions of ordinary
// notes: mostly paragraphs of prose, with headings, lists, quotes, code and tables between.
QString markdownDocument(qsizetype size)
{
    const QString prose = asciiDocument(4 * 56).replace(u'\n', u' ').trimmed();
    QString text;
    text.reserve(size + 1024);
    for (int section = 0; text.size() < size; ++section) {
        text += QStringLiteral("## Section %1\n\n").arg(section);
        text += prose + QStringLiteral(" **Bold** and *italic* with a [link](https://x.org).\n\n");
        text += prose + QStringLiteral("\n\n");
        text += QStringLiteral("- first item\n- second item\n  - nested item\n\n");
        text += QStringLiteral("1. one\n2. two\n3. three\n\n- [ ] open task\n- [x] done task\n\n");
        text += QStringLiteral("> ") + prose + QStringLiteral("\n\n");
        text += QStringLiteral("```cpp\nint main()\n{\n    return 0;\n}\n```\n\n");
        text += QStringLiteral("| Name | Value |\n|---|---|\n| a | 1 |\n| b | 2 |\n\n---\n\n");
    }
    return text;
}

struct ShownPreview {
    explicit ShownPreview(const QString &text)
        : scratchpad(std::make_shared<Scratchpad>(QUuid(), Scratchpad::kUntitled, text))
    {
        view.resize(800, 900);
        view.setScratchpad(scratchpad);
        view.show();
        while (view.isRefreshPending())
            QApplication::processEvents();
        // Every block laid out, as after a moment of idling.
        while (view.isLayoutPending())
            QApplication::processEvents();
        view.viewport()->repaint();
    }
    std::shared_ptr<Scratchpad> scratchpad;
    PreviewView view;
};

// The two texts an edit alternates between: one character typed in the middle, and removed.
std::pair<QString, QString> editedPair(qsizetype size)
{
    const QString text = markdownDocument(size);
    const qsizetype middle = text.indexOf(QStringLiteral("## Section"), text.size() / 2) + 5;
    return {text, text.left(middle) + u'x' + text.mid(middle)};
}

// Below the background threshold: the whole road on the GUI thread, from the changed content
// through parse, matching, layout of the changed block and the repaint of what is in view.
void editToRepaint100KB(benchmark::State &state)
{
    const auto [original, edited] = editedPair(100 * 1024);
    ShownPreview preview(original);
    bool typed = false;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        preview.scratchpad->setContent(typed ? original : edited);
        preview.view.refreshNow();
        preview.view.viewport()->repaint();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        typed = !typed;
    }
    state.counters["blocks"] = double(preview.view.blockCount());
}

// Resident memory of the process, in megabytes.
double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toDouble() * double(getpagesize()) / (1 << 20) : 0;
}

// The time until the new blocks are painted, and the longest the GUI thread was busy at a
// stretch on the way (each turn of the event loop and the repaint measured alone), for edits
// that alternate between two texts.
void measureEdits(benchmark::State &state, ShownPreview &preview, const QString &original,
                  const QString &edited)
{
    bool typed = false;
    quillet::bench::LongestStretch stretch;
    const auto slice = [&](auto &&work) { stretch.measure(work); };
    for (auto _ : state) {
        QElapsedTimer total;
        total.start();
        slice([&] {
            preview.scratchpad->setContent(typed ? original : edited);
            preview.view.refreshNow();
        });
        while (preview.view.isRefreshPending())
            slice([] { QApplication::processEvents(); });
        slice([&] { preview.view.viewport()->repaint(); });
        state.SetIterationTime(double(total.nsecsElapsed()) / 1e9);
        typed = !typed;
    }
    state.counters["blocks"] = double(preview.view.blockCount());
    stretch.report(state);
}

// Above the background threshold: the parse runs on a worker.
void editToRepaint1MB(benchmark::State &state)
{
    const auto [original, edited] = editedPair(kMegabyte);
    ShownPreview preview(original);
    measureEdits(state, preview, original, edited);
}

// One block of 20,000 rows, its top in view, a character typed into a row there.
void editInTable20kRows(benchmark::State &state)
{
    QString original = QStringLiteral("# Stock\n\n| Item | Qty | Note |\n|---|---|---|\n");
    for (int row = 0; row < 20000; ++row)
        original +=
            QStringLiteral("| item %1 | %2 | a short note on row %1 |\n").arg(row).arg(row % 97);
    const qsizetype at = original.indexOf(QStringLiteral("item 12 "));
    const QString edited = original.left(at) + u'x' + original.mid(at);
    ShownPreview preview(original);
    measureEdits(state, preview, original, edited);
    state.counters["resident_mb"] = residentMegabytes();
}

} // namespace

BENCHMARK(editToRepaint100KB)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(editToRepaint1MB)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(editInTable20kRows)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return quillet::bench::runWidgetBenchmarks(argc, argv);
}
