// The cost of keeping 100 tabs of half a megabyte each (50 MB) across restarts: what an
// autosave takes from the GUI thread, what the worker spends encoding and writing, and how
// long the next launch spends restoring them. Also what opening a very large file asks of the
// GUI thread.

#include "platform/durable_file.h"
#include "model/scratchpad.h"
#include "model/tab_manager.h"
#include "model/tab_state_file.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

using quillet::Scratchpad;
using quillet::TabManager;
namespace TabStateFile = quillet::TabStateFile;

namespace {

constexpr int kTabCount = 100;
constexpr qsizetype kTabSize = 512 * 1024;

// Mostly English prose with some accented, Cyrillic and CJK lines, a tab, quotes and
// backslashes that the JSON encoder has to escape.
QString tabText(int tab)
{
    static const QString lines[] = {
        QStringLiteral("The quick brown fox jumps over the lazy dog, then naps.\n"),
        QStringLiteral("- [ ] call \"Ana\" about the C:\\reports folder\tby Friday\n"),
        QStringLiteral("Crème brûlée über Straße — Привет мир, 你好世界。\n"),
    };
    QString text = QStringLiteral("# Tab %1\n").arg(tab);
    text.reserve(kTabSize);
    for (int line = 0; text.size() < kTabSize; ++line)
        text += lines[line % 3];
    text.truncate(kTabSize);
    return text;
}

std::unique_ptr<TabManager> fiftyMegabytesOfTabs()
{
    auto manager = std::make_unique<TabManager>(TabManager::Persistence::disabled());
    for (int tab = 0; tab < kTabCount; ++tab)
        manager->newTab(tabText(tab));
    return manager;
}

QList<Scratchpad::Snapshot> snapshotsOf(const TabManager &manager)
{
    QList<Scratchpad::Snapshot> snapshots;
    snapshots.reserve(manager.tabs().size());
    for (const auto &tab : manager.tabs())
        snapshots.append(tab->snapshot());
    return snapshots;
}

// What an autosave asks of the GUI thread: one snapshot per tab.
void BM_SnapshotOnGuiThread(benchmark::State &state)
{
    const auto manager = fiftyMegabytesOfTabs();
    for (auto _ : state)
        benchmark::DoNotOptimize(snapshotsOf(*manager));
}
BENCHMARK(BM_SnapshotOnGuiThread)->Unit(benchmark::kMicrosecond);

// What the worker does with them: encode, then write and sync.
void BM_EncodeAndWrite(benchmark::State &state)
{
    const auto manager = fiftyMegabytesOfTabs();
    const QList<Scratchpad::Snapshot> snapshots = snapshotsOf(*manager);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("tabs.json"));
    const auto produce = [&snapshots](const quillet::WriteChunk &writeChunk) {
        return TabStateFile::encode(snapshots, writeChunk);
    };
    for (auto _ : state) {
        if (!quillet::writeFileDurably(path, produce))
            state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(state.iterations() * kTabCount * kTabSize);
}
BENCHMARK(BM_EncodeAndWrite)->Unit(benchmark::kMillisecond);

// Encoding alone, into a buffer that is reused.
void BM_Encode(benchmark::State &state)
{
    const auto manager = fiftyMegabytesOfTabs();
    const QList<Scratchpad::Snapshot> snapshots = snapshotsOf(*manager);
    qsizetype encoded = 0;
    const auto count = [&encoded](QByteArrayView chunk) {
        encoded += chunk.size();
        return true;
    };
    for (auto _ : state)
        benchmark::DoNotOptimize(TabStateFile::encode(snapshots, count));
    benchmark::DoNotOptimize(encoded);
}
BENCHMARK(BM_Encode)->Unit(benchmark::kMillisecond);

void BM_Decode(benchmark::State &state)
{
    const auto manager = fiftyMegabytesOfTabs();
    const QByteArray bytes = TabStateFile::encode(snapshotsOf(*manager));
    for (auto _ : state)
        benchmark::DoNotOptimize(TabStateFile::decode(bytes));
}
BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond);

// Two texts in turn: a tab given the text it already holds has nothing to count.
void BM_CountTab(benchmark::State &state)
{
    const QString texts[] = {tabText(1), tabText(2)};
    Scratchpad tab;
    int which = 0;
    for (auto _ : state) {
        tab.setContent(texts[which ^= 1]);
        tab.updateCounts();
    }
    state.SetBytesProcessed(state.iterations() * kTabSize);
}
BENCHMARK(BM_CountTab)->Unit(benchmark::kMillisecond);

// The next launch: read, decode, and rebuild every tab with its title and counts.
void BM_Restore(benchmark::State &state)
{
    QTemporaryDir folder;
    {
        const auto manager = fiftyMegabytesOfTabs();
        const QByteArray bytes = TabStateFile::encode(snapshotsOf(*manager));
        if (!quillet::writeFileDurably(folder.filePath(QStringLiteral("tabs.json")), bytes)) {
            state.SkipWithError("could not write the state file");
            return;
        }
    }
    TabManager::Persistence persistence;
    persistence.autosaveDirectory = folder.path();
    persistence.autoSaveInterval = std::chrono::hours(1);
    for (auto _ : state) {
        auto restored = std::make_unique<TabManager>(persistence);
        if (restored->tabs().size() != kTabCount)
            state.SkipWithError("restoration lost tabs");
        // Quitting writes the state again; that is not part of a launch.
        state.PauseTiming();
        restored.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Restore)->Unit(benchmark::kMillisecond);

// Opening a 200 MB file (sparse: its text is mostly NUL characters): the time until its tab is
// there, and the longest the GUI thread was busy at a stretch on the way, each turn of the event
// loop measured alone.
void openFile200MB(benchmark::State &state)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("large.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("head\n") != 5 ||
        !file.resize(200 * 1024 * 1024)) {
        state.SkipWithError("could not make the file");
        return;
    }
    file.close();
    qint64 longestSlice = 0;
    const auto slice = [&](auto &&work) {
        QElapsedTimer timer;
        timer.start();
        work();
        longestSlice = std::max(longestSlice, timer.nsecsElapsed());
    };
    for (auto _ : state) {
        auto manager = std::make_unique<TabManager>(TabManager::Persistence::disabled());
        slice([&] { manager->openFiles({QUrl::fromLocalFile(path)}); });
        while (manager->tabs().isEmpty()) {
            slice([] { QCoreApplication::processEvents(); });
            QThread::usleep(100);
        }
        state.PauseTiming();
        manager.reset();
        state.ResumeTiming();
    }
    state.counters["longest_gui_ms"] = double(longestSlice) / 1e6;
}
BENCHMARK(openFile200MB)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
