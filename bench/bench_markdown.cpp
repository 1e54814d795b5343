#include "markdown/markdown_block_parser.h"
#include "markdown/markdown_renderer.h"
#include "support/hostile_markdown.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryFile>

namespace {

constexpr qsizetype kKilobyte = 1024;
constexpr qsizetype kMegabyte = 1024 * kKilobyte;

// One section of a working document: headings, prose with inline markup, the three kinds of
// list, a table, a fenced code block, a quote and a rule. Sections differ in their numbers only.
QString section(int number)
{
    const QString n = QString::number(number);
    return QStringLiteral(
               "## Section %1: release notes\n"
               "\n"
               "This release brings **faster start-up**, *fewer surprises* and a new `--quiet` "
               "flag.\n"
               "See the [change log](https://example.com/changes/%1) for details; thanks to "
               "everyone who sent ~~bugs~~ reports.\n"
               "Plain sentences make up most of a document, so here is one without any markup "
               "at all, just words.\n"
               "\n"
               "### What changed\n"
               "\n"
               "- The parser keeps `indent` for nested items\n"
               "- Links like <https://example.org/%1> are recognised\n"
               "  - nested item with *emphasis* and **strong** text\n"
               "- Tables render their cells one by one\n"
               "\n"
               "1. Install the package\n"
               "2. Run `quillet --version` to check\n"
               "3. Report anything odd\n"
               "\n"
               "- [x] write the notes for %1\n"
               "- [ ] review the _wording_\n"
               "\n"
               "| Option | Default | Meaning |\n"
               "|--------|:-------:|---------|\n"
               "| `quiet` | false | print *nothing* but errors |\n"
               "| `jobs` | 2 | parallel **workers** |\n"
               "| `log` | none | a [file](file:///tmp/%1.log) to write |\n"
               "\n"
               "```cpp\n"
               "int main(int argc, char **argv)\n"
               "{\n"
               "    return run(argc, argv); // section %1\n"
               "}\n"
               "```\n"
               "\n"
               "> Quoted advice: *measure* before you optimise,\n"
               "> and keep the **numbers** in the notes.\n"
               "\n"
               "---\n"
               "\n")
        .arg(n);
}

QString document(qsizetype utf8Size)
{
    QString text = QStringLiteral("# Quillet handbook\n\n");
    for (int number = 1; text.size() < utf8Size; ++number)
        text += section(number);
    return text; // ASCII, so its UTF-16 size is its UTF-8 size
}

void parseAndRender(benchmark::State &state, qsizetype size)
{
    const QString text = document(size);
    for (auto _ : state) {
        const QList<quillet::MarkdownBlock> blocks = quillet::MarkdownBlockParser::parse(text);
        benchmark::DoNotOptimize(blocks.size());
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}

void parseAndRender100KB(benchmark::State &state)
{
    parseAndRender(state, 100 * kKilobyte);
}

void parseAndRender1MB(benchmark::State &state)
{
    parseAndRender(state, kMegabyte);
}

// One character typed in the middle of 1 MB, parsed again from the parse before it (the two
// texts alternate, so every round is such an edit).
void reparse1MB(benchmark::State &state)
{
    const QString original = document(kMegabyte);
    const qsizetype middle = original.indexOf(QStringLiteral("Quoted"), original.size() / 2);
    const QString edited = original.left(middle) + u'x' + original.mid(middle);
    quillet::MarkdownBlockParser::ParsedText parsed =
        quillet::MarkdownBlockParser::parseWithLines(original);
    bool typed = false;
    for (auto _ : state) {
        const QString &from = typed ? edited : original;
        const QString &to = typed ? original : edited;
        quillet::MarkdownBlockParser::Reparse again =
            quillet::MarkdownBlockParser::reparse(to, from, parsed);
        state.PauseTiming();
        parsed = std::move(again.parsed); // freeing the replaced list is not the parse
        state.ResumeTiming();
        typed = !typed;
    }
}

// The inline renderer alone, on a line with the common inline forms.
void renderInlineMarkup(benchmark::State &state)
{
    const QString line = QStringLiteral(
        "This release brings **faster start-up**, *fewer surprises* and a `--quiet` flag.");
    for (auto _ : state)
        benchmark::DoNotOptimize(quillet::MarkdownRenderer::renderInline(line));
}

// The reference point: the cmark-gfm command-line tool turning the same document into HTML
// (GitHub's table, strikethrough and task-list extensions on), process start included. The
// empty document measures the start alone.
void cmarkGfmTool(benchmark::State &state, qsizetype size)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("cmark-gfm"));
    if (tool.isEmpty()) {
        state.SkipWithError("cmark-gfm not installed (Debian package cmark-gfm)");
        return;
    }
    QTemporaryFile input;
    if (!input.open() || input.write(document(size).toUtf8()) < 0 || !input.flush()) {
        state.SkipWithError("cannot write the document");
        return;
    }
    const QStringList arguments = {QStringLiteral("-e"),
                                   QStringLiteral("table"),
                                   QStringLiteral("-e"),
                                   QStringLiteral("strikethrough"),
                                   QStringLiteral("-e"),
                                   QStringLiteral("tasklist"),
                                   size > 0 ? input.fileName() : QStringLiteral("/dev/null")};
    for (auto _ : state) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        process.start(tool, arguments);
        if (!process.waitForFinished(-1) || process.exitCode() != 0) {
            state.SkipWithError("cmark-gfm failed");
            return;
        }
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
}

void cmarkGfmTool1MB(benchmark::State &state)
{
    cmarkGfmTool(state, kMegabyte);
}

void cmarkGfmToolEmpty(benchmark::State &state)
{
    cmarkGfmTool(state, 0);
}

// Parse and render of each text that makes inline parsers work hard; one figure per text.
void hostileParseAndRender(benchmark::State &state)
{
    const QList<quillet::testing::HostileMarkdown> inputs = quillet::testing::hostileMarkdown();
    const QString &text = inputs.at(state.range(0)).text;
    state.SetLabel(inputs.at(state.range(0)).name);
    for (auto _ : state) {
        const QList<quillet::MarkdownBlock> blocks = quillet::MarkdownBlockParser::parse(text);
        benchmark::DoNotOptimize(blocks.size());
    }
}

} // namespace

BENCHMARK(hostileParseAndRender)
    ->DenseRange(0, int(quillet::testing::hostileMarkdown().size()) - 1)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.05);
BENCHMARK(parseAndRender100KB)->Unit(benchmark::kMillisecond);
BENCHMARK(parseAndRender1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(reparse1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(renderInlineMarkup)->Unit(benchmark::kMicrosecond);
BENCHMARK(cmarkGfmTool1MB)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(cmarkGfmToolEmpty)->Unit(benchmark::kMillisecond)->UseManualTime();

BENCHMARK_MAIN();
