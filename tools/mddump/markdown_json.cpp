#include "markdown_json.h"

#include "text/json_string.h"

#include <QString>

#include <variant>

namespace quillet::MarkdownJson {

namespace {

template <typename... Cases>
struct Overloaded : Cases... {
    using Cases::operator()...;
};
template <typename... Cases>
Overloaded(Cases...) -> Overloaded<Cases...>;

void appendString(QByteArray &out, const QString &text)
{
    text::appendJsonString(out, text);
}

const char *weightName(StyledFont::Weight weight)
{
    switch (weight) {
    case StyledFont::Weight::regular: return "regular";
    case StyledFont::Weight::semibold: return "semibold";
    case StyledFont::Weight::bold: return "bold";
    }
    return "regular";
}

void appendRuns(QByteArray &out, const StyledText &text)
{
    static const std::pair<InlineIntent, const char *> intentNames[] = {
        {InlineIntent::emphasized, "emphasized"},
        {InlineIntent::stronglyEmphasized, "stronglyEmphasized"},
        {InlineIntent::code, "code"},
        {InlineIntent::strikethrough, "strikethrough"},
    };
    out += '[';
    bool firstRun = true;
    for (const StyledRun &run : text.runs()) {
        if (!firstRun)
            out += ',';
        firstRun = false;
        out += "{\"text\":";
        appendString(out, run.text);
        out += ",\"font\":{\"size\":" + QByteArray::number(run.font.pointSize) + ",\"weight\":\"" +
               weightName(run.font.weight) + "\",\"design\":\"" +
               (run.font.design == StyledFont::Design::monospaced ? "monospaced" : "default") +
               "\"},\"intents\":[";
        bool firstIntent = true;
        for (const auto &[intent, name] : intentNames) {
            if (!run.intents.testFlag(intent))
                continue;
            if (!firstIntent)
                out += ',';
            firstIntent = false;
            out += '"';
            out += name;
            out += '"';
        }
        out += ']';
        if (run.link) {
            out += ",\"link\":";
            appendString(out, *run.link);
        }
        out += '}';
    }
    out += ']';
}

void appendItems(QByteArray &out, const QList<MarkdownBlock::ListItem> &items)
{
    out += '[';
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0)
            out += ',';
        out += "{\"indent\":" + QByteArray::number(items[i].indent) + ",\"text\":";
        appendRuns(out, items[i].text);
        out += '}';
    }
    out += ']';
}

void appendBlock(QByteArray &out, const MarkdownBlock &block)
{
    std::visit(
        Overloaded{
            [&](const MarkdownBlock::Heading &heading) {
                out += "{\"kind\":\"heading\",\"level\":" + QByteArray::number(heading.level) +
                       ",\"text\":";
                appendRuns(out, heading.text);
                out += '}';
            },
            [&](const MarkdownBlock::Paragraph &paragraph) {
                out += "{\"kind\":\"paragraph\",\"text\":";
                appendRuns(out, paragraph.text);
                out += '}';
            },
            [&](const MarkdownBlock::CodeBlock &code) {
                out += "{\"kind\":\"codeBlock\",\"language\":";
                if (code.language)
                    appendString(out, *code.language);
                else
                    out += "null";
                out += ",\"content\":";
                appendString(out, code.content);
                out += '}';
            },
            [&](const MarkdownBlock::Blockquote &quote) {
                out += "{\"kind\":\"blockquote\",\"text\":";
                appendRuns(out, quote.text);
                out += '}';
            },
            [&](const MarkdownBlock::UnorderedList &list) {
                out += "{\"kind\":\"unorderedList\",\"items\":";
                appendItems(out, list.items);
                out += '}';
            },
            [&](const MarkdownBlock::OrderedList &list) {
                out += "{\"kind\":\"orderedList\",\"start\":" + QByteArray::number(list.start) +
                       ",\"items\":";
                appendItems(out, list.items);
                out += '}';
            },
            [&](const MarkdownBlock::TaskList &list) {
                out += "{\"kind\":\"taskList\",\"items\":[";
                for (qsizetype i = 0; i < list.items.size(); ++i) {
                    const MarkdownBlock::TaskItem &item = list.items[i];
                    if (i > 0)
                        out += ',';
                    out += "{\"indent\":" + QByteArray::number(item.indent) + ",\"checked\":" +
                           (item.checked ? "true" : "false") + ",\"text\":";
                    appendRuns(out, item.text);
                    out += '}';
                }
                out += "]}";
            },
            [&](const MarkdownBlock::Table &table) {
                out += "{\"kind\":\"table\",\"header\":[";
                for (qsizetype i = 0; i < table.header.size(); ++i) {
                    if (i > 0)
                        out += ',';
                    appendRuns(out, table.header[i]);
                }
                out += "],\"rows\":[";
                for (qsizetype r = 0; r < table.rows.size(); ++r) {
                    if (r > 0)
                        out += ',';
                    out += '[';
                    for (qsizetype c = 0; c < table.rows[r].size(); ++c) {
                        if (c > 0)
                            out += ',';
                        appendRuns(out, table.rows[r][c]);
                    }
                    out += ']';
                }
                out += "]}";
            },
            [&](const MarkdownBlock::HorizontalRule &) { out += "{\"kind\":\"horizontalRule\"}"; },
            [&](const MarkdownBlock::EmptyLine &) { out += "{\"kind\":\"emptyLine\"}"; },
        },
        block.value());
}

} // namespace

QByteArray blocksDocument(const QList<MarkdownBlock> &blocks)
{
    QByteArray out = "{\"blocks\":[";
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        if (i > 0)
            out += ',';
        appendBlock(out, blocks[i]);
    }
    out += "]}";
    return out;
}

QByteArray runsDocument(const StyledText &text)
{
    QByteArray out = "{\"runs\":";
    appendRuns(out, text);
    out += '}';
    return out;
}

} // namespace quillet::MarkdownJson
