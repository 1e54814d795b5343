#include "markdown/cmark_inline_interpreter.h"
#include "markdown/markdown_renderer.h"

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm-extension_api.h>
#include <cmark-gfm.h>

#include <QRandomGenerator>
#include <QTest>

#include <cstring>
#include <memory>

using namespace quillet;
using namespace Qt::StringLiterals;

namespace {

// A run as "text{flags}<link>": e = emphasized, s = strongly emphasized, c = code,
// x = strikethrough; braces and link left out when empty.
QString describe(const StyledRun &run)
{
    using I = InlineIntent;
    const std::pair<I, char16_t> letters[] = {{I::emphasized, u'e'}, {I::stronglyEmphasized, u's'},
                                              {I::code, u'c'}, {I::strikethrough, u'x'}};
    QString flags;
    for (const auto &[intent, letter] : letters)
        if (run.intents.testFlag(intent))
            flags += letter;
    QString result = run.text;
    if (!flags.isEmpty())
        result += u'{' + flags + u'}';
    if (run.link)
        result += u'<' + *run.link + u'>';
    return result;
}

QStringList describe(const StyledText &text)
{
    QStringList runs;
    for (const StyledRun &run : text.runs())
        runs << describe(run);
    return runs;
}

// The second route through the library: the line parsed as a whole document, as cmark-gfm
// does it on its own. Only valid for lines that a document parse cannot read as anything but
// one paragraph keeping every character at its ends.
std::optional<StyledText> documentParse(const QString &line)
{
    cmark_gfm_core_extensions_ensure_registered();
    cmark_parser *parser = cmark_parser_new(CMARK_OPT_DEFAULT);
    cmark_parser_attach_syntax_extension(parser, cmark_find_syntax_extension("strikethrough"));
    const QByteArray utf8 = line.toUtf8();
    cmark_parser_feed(parser, utf8.constData(), size_t(utf8.size()));
    const std::unique_ptr<cmark_node, void (*)(cmark_node *)> document(cmark_parser_finish(parser),
                                                                      cmark_node_free);
    cmark_parser_free(parser);

    cmark_node *paragraph = cmark_node_first_child(document.get());
    if (!paragraph || cmark_node_get_type(paragraph) != CMARK_NODE_PARAGRAPH ||
        cmark_node_next(paragraph))
        return std::nullopt;
    StyledText result;
    int emphasis = 0, strong = 0, strike = 0;
    QStringList links;
    cmark_iter *iter = cmark_iter_new(paragraph);
    for (cmark_event_type event; (event = cmark_iter_next(iter)) != CMARK_EVENT_DONE;) {
        cmark_node *node = cmark_iter_get_node(iter);
        const int step = event == CMARK_EVENT_ENTER ? 1 : -1;
        const int type = cmark_node_get_type(node);
        if (type == CMARK_NODE_TEXT || type == CMARK_NODE_CODE || type == CMARK_NODE_HTML_INLINE) {
            StyledRun run{QString::fromUtf8(cmark_node_get_literal(node)),
                          MarkdownRenderer::bodyFont(), {}, std::nullopt};
            run.intents.setFlag(InlineIntent::emphasized, emphasis > 0);
            run.intents.setFlag(InlineIntent::stronglyEmphasized, strong > 0);
            run.intents.setFlag(InlineIntent::code, type == CMARK_NODE_CODE);
            run.intents.setFlag(InlineIntent::strikethrough, strike > 0);
            if (!links.isEmpty())
                run.link = links.last();
            result.append(run);
        } else if (type == CMARK_NODE_EMPH) {
            emphasis += step;
        } else if (type == CMARK_NODE_STRONG) {
            strong += step;
        } else if (type == CMARK_NODE_LINK) {
            if (step > 0)
                links << QString::fromUtf8(cmark_node_get_url(node));
            else
                links.removeLast();
        } else if (std::strcmp(cmark_node_get_type_string(node), "strikethrough") == 0) {
            strike += step;
        }
    }
    cmark_iter_free(iter);
    return result;
}

void row(const char *name, const QString &source, const QStringList &expected)
{
    QTest::newRow(name) << source << expected;
}

} // namespace

class TestMarkdownRenderer : public QObject {
    Q_OBJECT

private slots:
    void runs_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("expected");
        row("strong", u"a **b** c"_s, {"a ", "b{s}", " c"});
        row("plain, intraword underscores", u"plain snake_case_name"_s, {"plain snake_case_name"});
        row("nested", u"**a *b* c**"_s, {"a {s}", "b{es}", " c{s}"});
        row("strikethrough, single tilde", u"~~a~~ ~b~"_s, {"a{x}", " ", "b{x}"});
        row("link with title", u"[t](/u \"T\")"_s, {"t</u>"});
        row("emphasis in a link", u"[a *b*](u)"_s, {"a <u>", "b{e}<u>"});
        row("autolink, bare URL is text", u"<https://x.y/z> www.x.y https://x.y"_s,
            {"https://x.y/z<https://x.y/z>", " www.x.y https://x.y"});
        row("image shows its alt text", u"![alt *x*](i.png)"_s, {"alt ", "x{e}"});
        row("raw HTML, reference without a definition", u"<b>x</b> [a][b]"_s, {"<b>x</b> [a][b]"});
        row("code span, unclosed code span", u"`x*y*` `a"_s, {"x*y*{c}", " `a"});
        row("entities", u"&amp; &copy; &#65; &#x42; &bogus; &#0;"_s, {"& © A B &bogus; \uFFFD"});
        row("escapes, trailing backslash", u"\\*not\\* \\_x\\_ \\a a\\"_s, {"*not* _x_ \\a a\\"});
        row("two spaces stay", u"a  b"_s, {"a  b"});
        const QString nul = QString::fromUtf16(u"a\0*b*", 5);
        row("NUL character stays", nul, {nul.left(2), "b{e}"});
        row("emoji", u"*👩‍👩‍👧*"_s, {"👩‍👩‍👧{e}"});
        const char16_t *const literal[] = {
            u"- a", u"# a", u"1. a", u"> a", u"***", u"~~~", u"[a]: /u", u"<div>", u"    four",
            u"  leading", u"trailing  ", u"\ttab", u"---", u"===", u"+ a", u"| a |", u"<!-- c -->",
            u"```", u"<?php x ?>", u"1) a", u"   ",
        };
        for (const char16_t *source : literal) {
            const QString text = QString::fromUtf16(source);
            row(qPrintable(text), text, {text});
        }
        row("opener with markup, spaces around", u"  - **a**  "_s, {"  - ", "a{s}", "  "});
        row("stars at the start and the end", u"*a* b *c*"_s, {"a{e}", " b ", "c{e}"});
        row("underscores at the ends, closing star at the very end", u"_a_ b*"_s, {"a{e}", " b*"});
        row("line feed, CR LF, lone CR", u"a\nb\r\nc\rd"_s, {"a\nb\r\nc\rd"});
        row("no block opens after a break", u"a\n# b\n- c\n    d"_s, {"a\n# b\n- c\n    d"});
        row("hard breaks are kept as text", u"a  \nb\\\nc"_s, {"a  \nb\\\nc"});
        row("break inside a code span, before a link title", u"`a\nb` [a](/u\n\"t\")"_s,
            {"a\nb{c}", " ", "a</u>"});
        row("break inside an angle destination", u"[a](<b\nc>)"_s, {"[a](<b\nc>)"});
        row("mixed breaks", u"*a\nb\r\nc*"_s, {"a\nb\r\nc{e}"});
        row("source holds tabs", u"\t*a*\n\tb"_s, {"\t", "a{e}", "\n\tb"});
        row("source holds tabs and form feeds", u"\t\f*a\nb*"_s, {"\t\f*a\nb*"});
        row("referenced tab", u"&Tab;*a*\nb"_s, {"\t", "a{e}", "\nb"});
        // Text the interpreter cannot take shows literally, as one run.
        const qsizetype limit = CmarkInlineInterpreter::kMaximumSourceSize;
        const QString huge = u"**"_s + QString(limit, u'a') + u"**"_s;
        const QString euros = u"*"_s + QString(limit / 3 + 1, u'€') + u"*"_s;
        row("over the limit", huge, {huge});
        row("over the limit in UTF-8", euros, {euros});
        row("unpaired surrogate", u"*a* \xD800"_s, {u"*a* \xD800"_s});
    }

    // Every run in the body font, the literal fallback included.
    void runs()
    {
        QFETCH(QString, source);
        const StyledText body = MarkdownRenderer::renderInline(source);
        QTEST(describe(body), "expected");
        for (const StyledRun &run : body.runs())
            QCOMPARE(run.font, MarkdownRenderer::bodyFont());
    }

    void textWithoutMarkupIsCopied()
    {
        // Every character that cannot start markup, in random lines: the shortcut that skips the
        // library must give what the library gives.
        const QString alphabet = u"abc XYZ 019 .,;:?'\"#>-+=|(){}/@$%^é€👍\u0301\t\u00a0"_s;
        QRandomGenerator random(7);
        for (int round = 0; round < 500; ++round) {
            QString line;
            for (int i = random.bounded(1, 40); i > 0; --i)
                line += alphabet[random.bounded(int(alphabet.size()))];
            if (!line.isValidUtf16())
                continue; // a lone half of the emoji
            const StyledText rendered = MarkdownRenderer::renderInline(line);
            QCOMPARE(rendered.text(), line);
            QCOMPARE(
                CmarkInlineInterpreter::interpretWithLibrary(line, MarkdownRenderer::bodyFont()),
                std::optional<StyledText>(rendered));
        }
    }

    // The adapter against the library's own document parse, on random lines with markup. A line
    // that starts and ends with a letter is one paragraph to a document parse and keeps all its
    // characters, so both routes must agree exactly. Lines that start with a block opener are
    // given to the document parse with the opener escaped, which cannot change any pairing.
    void agreesWithADocumentParseOnRandomLines()
    {
        const QString alphabet = u"ab  **__~~``[]()<>!\\&;#:/.x1é"_s;
        const QString openers[] = {u""_s, u"- "_s, u"# "_s, u"> "_s, u"+ "_s, u"= "_s};
        QRandomGenerator random(20261207);
        for (int round = 0; round < 3000; ++round) {
            QString body = u"w"_s;
            for (int i = random.bounded(0, 24); i > 0; --i)
                body += alphabet[random.bounded(int(alphabet.size()))];
            body += u'z';
            const QString &opener = openers[random.bounded(int(std::size(openers)))];
            const QString line = opener + body;
            const QString escaped = opener.isEmpty() ? line : u'\\' + line;

            const std::optional<StyledText> expected = documentParse(escaped);
            QVERIFY2(expected, qPrintable(u"not one paragraph: "_s + escaped));
            const std::optional<StyledText> adapted =
                CmarkInlineInterpreter::interpretWithLibrary(line, MarkdownRenderer::bodyFont());
            QVERIFY2(adapted, qPrintable(line));
            if (describe(*adapted) != describe(*expected))
                QFAIL(qPrintable(u"routes differ for '"_s + line + u"': "_s +
                                 describe(*adapted).join(u'|') + u" vs "_s +
                                 describe(*expected).join(u'|')));
        }
    }
};

QTEST_GUILESS_MAIN(TestMarkdownRenderer)
#include "tst_markdown_renderer.moc"
