// quillet-mddump: shows what the Markdown engine makes of a text, for work on the engine and for
// bug reports. Reads all of standard input as UTF-8 and prints one JSON object.

#include "markdown_json.h"

#include "markdown/markdown_block_parser.h"
#include "markdown/markdown_renderer.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <cstdio>
#include <cstring>
#include <optional>

namespace {

constexpr int kUsageError = 2;

const char kUsage[] = "usage: quillet-mddump [--inline | --heading N] < text\n"
                      "  (no option)   parse the text into blocks: {\"blocks\":[...]}\n"
                      "  --inline      render the text as one piece of inline markup: "
                      "{\"runs\":[...]}\n"
                      "  --heading N   render it as the text of a level-N heading: "
                      "{\"runs\":[...]}\n";

struct Mode {
    enum class Kind { blocks, inlineText, heading } kind = Kind::blocks;
    int level = 0;
};

std::optional<Mode> parseArguments(int argc, char **argv)
{
    if (argc == 1)
        return Mode{};
    if (argc == 2 && std::strcmp(argv[1], "--inline") == 0)
        return Mode{Mode::Kind::inlineText, 0};
    if (argc == 3 && std::strcmp(argv[1], "--heading") == 0) {
        bool ok = false;
        const int level = QByteArray(argv[2]).toInt(&ok);
        if (ok)
            return Mode{Mode::Kind::heading, level};
    }
    return std::nullopt;
}

QByteArray readStandardInput()
{
    QByteArray bytes;
    char buffer[1 << 16];
    for (size_t read; (read = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;)
        bytes.append(buffer, qsizetype(read));
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    const std::optional<Mode> mode = parseArguments(argc, argv);
    if (!mode) {
        std::fputs(kUsage, stderr);
        return kUsageError;
    }

    // A byte order mark is kept as the character it is: the input is shown exactly as read.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                       QStringConverter::Flag::ConvertInitialBom);
    const QString text = decoder.decode(readStandardInput());
    if (decoder.hasError()) {
        std::fputs("quillet-mddump: standard input is not valid UTF-8\n", stderr);
        return kUsageError;
    }

    QByteArray json;
    switch (mode->kind) {
    case Mode::Kind::blocks:
        json = quillet::MarkdownJson::blocksDocument(quillet::MarkdownBlockParser::parse(text));
        break;
    case Mode::Kind::inlineText:
        json = quillet::MarkdownJson::runsDocument(quillet::MarkdownRenderer::renderInline(text));
        break;
    case Mode::Kind::heading:
        json = quillet::MarkdownJson::runsDocument(
            quillet::MarkdownRenderer::renderHeading(text, mode->level));
        break;
    }
    json += '\n';
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
