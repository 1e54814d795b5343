#include "model/scratchpad.h"
#include "model/tab_manager.h"

#include "bench_documents.h"

#include <benchmark/benchmark.h>

#include <QString>

using quillet::Scratchpad;
using quillet::TabManager;

namespace {

using quillet::bench::asciiDocument;
using quillet::bench::kMegabyte;

// Latin with accents, Cyrillic, Greek, CJK, Devanagari, combining marks, CR LF and emoji
// sequences with modifiers and joiners.
QString mixedDocument(qsizetype utf8Size)
{
    static const QString line = QString::fromUtf8(
        "Crème brûlée über Straße — Привет мир, Γειά σου κόσμε. 你好世界，こんにちは。"
        " नमस्ते दुनिया e\xCC\x81 👍🏽 👩‍💻 🇩🇪 done.\r\n");
    const qsizetype lineUtf8Size = line.toUtf8().size();
    QString text;
    for (qsizetype written = 0; written < utf8Size; written += lineUtf8Size)
        text += line;
    return text;
}

void updateContent(benchmark::State &state, const QString &document)
{
    TabManager tabManager(TabManager::Persistence::disabled());
    Scratchpad scratchpad;
    // A keystroke's worth of difference each time, as the editor sends it.
    const QString variants[2] = {document, document + u'x'};
    int which = 0;
    for (auto _ : state) {
        tabManager.updateContent(scratchpad, variants[which]);
        which ^= 1;
        benchmark::DoNotOptimize(scratchpad.wordCount());
    }
    state.SetBytesProcessed(state.iterations() * document.size() * qsizetype(sizeof(char16_t)));
}

void updateContentAscii1MB(benchmark::State &state)
{
    updateContent(state, asciiDocument(kMegabyte));
}

void updateContentMixed1MB(benchmark::State &state)
{
    updateContent(state, mixedDocument(kMegabyte));
}

void updateContentAscii10MB(benchmark::State &state)
{
    updateContent(state, asciiDocument(10 * kMegabyte));
}

// A cursor move at the end of a 1 MB document: the line and column scan only.
void updateCursorAtEnd1MB(benchmark::State &state)
{
    TabManager tabManager(TabManager::Persistence::disabled());
    Scratchpad scratchpad({}, Scratchpad::kUntitled, asciiDocument(kMegabyte));
    qint64 position = kMegabyte;
    for (auto _ : state) {
        tabManager.updateCursorPosition(scratchpad, position);
        position = position == kMegabyte ? kMegabyte - 1 : kMegabyte;
        benchmark::DoNotOptimize(scratchpad.currentColumn());
    }
}

} // namespace

BENCHMARK(updateContentAscii1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(updateContentMixed1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(updateContentAscii10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(updateCursorAtEnd1MB)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
