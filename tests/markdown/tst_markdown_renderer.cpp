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
    QString flags;
    if (run.intents.testFlag(InlineIntent::emphasized))
        flags += u'e';
    if (run.intents.testFlag(InlineIntent::stronglyEmphasized))
        flags += u's';
    if (run.intents.testFlag(InlineIntent::code))
        flags += u'c';
    if (run.intents.testFlag(InlineIntent::strikethrough))
        flags += u'x';
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

} // namespace

class TestMarkdownRenderer : public QObject {
    Q_OBJECT

private slots:
    void inlineMarkup_data();
    void inlineMarkup() { compareRuns(); }
    void blockOpenersAndWhitespaceStayLiteral_data();
    void blockOpenersAndWhitespaceStayLiteral() { compareRuns(); }
    void lineBreaksStayInPlace_data();
    void lineBreaksStayInPlace() { compareRuns(); }
    void bodyFontOnEveryRun();
    void headingFonts_data();
    void headingFonts();
    void fallbackShowsTheTextLiterally_data();
    void fallbackShowsTheTextLiterally();
    void textWithoutMarkupIsCopied();
    void agreesWithADocumentParseOnRandomLines();

private:
    void compareRuns();
};

void TestMarkdownRenderer::compareRuns()
{
    QFETCH(QString, source);
    QFETCH(QStringList, expected);
    QCOMPARE(describe(MarkdownRenderer::renderInline(source)), expected);
}

static void addRunColumns()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("expected");
}

void TestMarkdownRenderer::inlineMarkup_data()
{
    addRunColumns();
    QTest::newRow("plain") << u"plain"_s << QStringList{"plain"};
    QTest::newRow("strong") << u"a **b** c"_s << QStringList{"a ", "b{s}", " c"};
    QTest::newRow("unclosed strong") << u"**bold"_s << QStringList{"**bold"};
    QTest::newRow("intraword underscores") << u"snake_case_name"_s
                                           << QStringList{"snake_case_name"};
    QTest::newRow("intraword star") << u"a*b*c"_s << QStringList{"a", "b{e}", "c"};
    QTest::newRow("underscore forms") << u"__a__ _b_"_s << QStringList{"a{s}", " ", "b{e}"};
    QTest::newRow("strong and emphasis") << u"***a***"_s << QStringList{"a{es}"};
    QTest::newRow("nested") << u"**a *b* c**"_s << QStringList{"a {s}", "b{es}", " c{s}"};
    QTest::newRow("strong inside strong") << u"**a **b** c**"_s
                                          << QStringList{"a b c{s}"};
    QTest::newRow("strikethrough") << u"~~strike~~"_s << QStringList{"strike{x}"};
    QTest::newRow("single tilde") << u"~s~"_s << QStringList{"s{x}"};
    QTest::newRow("link") << u"[text](url)"_s << QStringList{"text<url>"};
    QTest::newRow("link with title") << u"[t](/u \"T\")"_s << QStringList{"t</u>"};
    QTest::newRow("emphasis in a link") << u"[a *b*](u)"_s << QStringList{"a <u>", "b{e}<u>"};
    QTest::newRow("autolink") << u"<https://x.y/z>"_s
                              << QStringList{"https://x.y/z<https://x.y/z>"};
    QTest::newRow("email autolink") << u"<me@x.y>"_s << QStringList{"me@x.y<mailto:me@x.y>"};
    QTest::newRow("bare URL is text") << u"see www.x.y and https://x.y"_s
                                      << QStringList{"see www.x.y and https://x.y"};
    QTest::newRow("reference link has no definition") << u"[a][b]"_s << QStringList{"[a][b]"};
    QTest::newRow("image shows its alt text") << u"![alt *x*](i.png)"_s
                                              << QStringList{"alt ", "x{e}"};
    QTest::newRow("raw HTML is literal") << u"<b>x</b>"_s << QStringList{"<b>x</b>"};
    QTest::newRow("code span") << u"`x*y*`"_s << QStringList{"x*y*{c}"};
    QTest::newRow("code span with a backtick") << u"``a`b``"_s << QStringList{"a`b{c}"};
    QTest::newRow("code span strips one space") << u"` a `"_s << QStringList{"a{c}"};
    QTest::newRow("unclosed code span") << u"`a"_s << QStringList{"`a"};
    QTest::newRow("entities") << u"&amp; &copy; &#65; &#x42; &bogus;"_s
                              << QStringList{"& © A B &bogus;"};
    QTest::newRow("NUL reference") << u"&#0;"_s << QStringList{"\uFFFD"};
    QTest::newRow("escapes") << u"\\*not\\* \\_x\\_ \\a"_s << QStringList{"*not* _x_ \\a"};
    QTest::newRow("escaped bracket") << u"\\[a](u)"_s << QStringList{"[a](u)"};
    QTest::newRow("trailing backslash") << u"a\\"_s << QStringList{"a\\"};
    QTest::newRow("two spaces stay") << u"a  b"_s << QStringList{"a  b"};
    QTest::newRow("NUL character stays") << QString::fromUtf16(u"a\0*b*", 5) << QStringList{QString::fromUtf16(u"a\0", 2), "b{e}"};
    QTest::newRow("emoji") << u"*👩‍👩‍👧*"_s << QStringList{"👩‍👩‍👧{e}"};
}

void TestMarkdownRenderer::blockOpenersAndWhitespaceStayLiteral_data()
{
    addRunColumns();
    const char16_t *const literal[] = {
        u"- a", u"# a", u"1. a", u"> a", u"***", u"~~~", u"[a]: /u", u"<div>", u"    four",
        u"  leading", u"trailing  ", u"\ttab", u"---", u"===", u"+ a", u"| a |", u"<!-- c -->",
        u"```", u"<?php x ?>", u"1) a", u"   ",
    };
    for (const char16_t *text : literal)
        QTest::newRow(qPrintable(QString::fromUtf16(text))) << QString::fromUtf16(text)
                                                              << QStringList{QString::fromUtf16(text)};
    QTest::newRow("opener with markup") << u"- *a*"_s << QStringList{"- ", "a{e}"};
    QTest::newRow("spaces around markup") << u"  **a**  "_s << QStringList{"  ", "a{s}", "  "};
    QTest::newRow("star at the start") << u"*a* b"_s << QStringList{"a{e}", " b"};
    QTest::newRow("star at the end") << u"a *b*"_s << QStringList{"a ", "b{e}"};
    QTest::newRow("underscore at the ends") << u"_a_"_s << QStringList{"a{e}"};
    QTest::newRow("closing star at the very end") << u"a*"_s << QStringList{"a*"};
}

void TestMarkdownRenderer::lineBreaksStayInPlace_data()
{
    addRunColumns();
    QTest::newRow("line feed") << u"a\nb"_s << QStringList{"a\nb"};
    QTest::newRow("CR LF") << u"a\r\nb"_s << QStringList{"a\r\nb"};
    QTest::newRow("lone CR") << u"a\rb"_s << QStringList{"a\rb"};
    QTest::newRow("no block opens after a break") << u"a\n# b\n- c\n    d"_s
                                                  << QStringList{"a\n# b\n- c\n    d"};
    QTest::newRow("hard break is kept as text") << u"a  \nb"_s << QStringList{"a  \nb"};
    QTest::newRow("backslash before a break") << u"a\\\nb"_s << QStringList{"a\\\nb"};
    QTest::newRow("emphasis across a break") << u"*a\nb*"_s << QStringList{"a\nb{e}"};
    QTest::newRow("break inside a code span") << u"`a\nb`"_s << QStringList{"a\nb{c}"};
    QTest::newRow("break before a link title") << u"[a](/u\n\"t\")"_s << QStringList{"a</u>"};
    QTest::newRow("break inside an angle destination") << u"[a](<b\nc>)"_s
                                                       << QStringList{"[a](<b\nc>)"};
    QTest::newRow("mixed breaks") << u"*a\nb\r\nc*"_s << QStringList{"a\nb\r\nc{e}"};
    QTest::newRow("source holds tabs") << u"\t*a*\n\tb"_s << QStringList{"\t", "a{e}", "\n\tb"};
    QTest::newRow("source holds tabs and form feeds")
        << u"\t\f*a\nb*"_s << QStringList{"\t\f*a\nb*"};
    QTest::newRow("referenced tab") << u"&Tab;*a*\nb"_s << QStringList{"\t", "a{e}", "\nb"};
}

void TestMarkdownRenderer::bodyFontOnEveryRun()
{
    const StyledText text = MarkdownRenderer::renderInline(u"a **b** `c` [d](e) ~~f~~"_s);
    QCOMPARE(text.runs().size(), 8);
    for (const StyledRun &run : text.runs()) {
        QCOMPARE(run.font.pointSize, 15);
        QCOMPARE(run.font.weight, StyledFont::Weight::regular);
        QCOMPARE(run.font.design, StyledFont::Design::standard);
    }
}

void TestMarkdownRenderer::headingFonts_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("pointSize");
    QTest::newRow("1") << 1 << 24;
    QTest::newRow("2") << 2 << 20;
    QTest::newRow("3") << 3 << 18;
    QTest::newRow("4") << 4 << 16;
    QTest::newRow("5") << 5 << 15;
    QTest::newRow("6") << 6 << 14;
    QTest::newRow("0") << 0 << 14;
    QTest::newRow("7") << 7 << 14;
    QTest::newRow("negative") << -3 << 14;
}

void TestMarkdownRenderer::headingFonts()
{
    QFETCH(int, level);
    QFETCH(int, pointSize);
    const StyledText text = MarkdownRenderer::renderHeading(u"A `code` *it* [l](u)"_s, level);
    QCOMPARE(describe(text), (QStringList{"A ", "code{c}", " ", "it{e}", " ", "l<u>"}));
    for (const StyledRun &run : text.runs()) {
        QCOMPARE(run.font.pointSize, pointSize);
        QCOMPARE(run.font.weight, StyledFont::Weight::bold);
        QCOMPARE(run.font.design, StyledFont::Design::standard);
    }
}

void TestMarkdownRenderer::fallbackShowsTheTextLiterally_data()
{
    QTest::addColumn<QString>("source");
    const QString huge = u"**"_s + QString(CmarkInlineInterpreter::kMaximumSourceSize, u'a') +
                         u"**"_s;
    QTest::newRow("longer than the limit") << huge;
    QTest::newRow("multi-byte text over the limit")
        << u"*"_s + QString(CmarkInlineInterpreter::kMaximumSourceSize / 3 + 1, u'€') + u"*"_s;
    QTest::newRow("unpaired surrogate") << u"*a* "_s + QChar(0xD800);
}

void TestMarkdownRenderer::fallbackShowsTheTextLiterally()
{
    QFETCH(QString, source);
    const StyledText body = MarkdownRenderer::renderInline(source);
    QCOMPARE(body.runs().size(), 1);
    QCOMPARE(body.runs().first(),
             (StyledRun{source, MarkdownRenderer::bodyFont(), {}, std::nullopt}));

    const StyledText heading = MarkdownRenderer::renderHeading(source, 2);
    QCOMPARE(heading.runs().size(), 1);
    QCOMPARE(heading.runs().first(),
             (StyledRun{source, MarkdownRenderer::headingFont(2), {}, std::nullopt}));
}

void TestMarkdownRenderer::textWithoutMarkupIsCopied()
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
        QCOMPARE(CmarkInlineInterpreter::interpretWithLibrary(line, MarkdownRenderer::bodyFont()),
                 std::optional<StyledText>(rendered));
    }
}

// The adapter against the library's own document parse, on random lines with markup. A line
// that starts and ends with a letter is one paragraph to a document parse and keeps all its
// characters, so both routes must agree exactly. Lines that start with a block opener are
// given to the document parse with the opener escaped, which cannot change any pairing.
void TestMarkdownRenderer::agreesWithADocumentParseOnRandomLines()
{
    const QString alphabet = u"ab  **__~~``[]()<>!\\&;#:/.x1é"_s;
    const QString openers[] = {u""_s, u"- "_s, u"# "_s, u"> "_s, u"+ "_s, u"= "_s};
    QRandomGenerator random(20261207);
    int compared = 0;
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
        ++compared;
    }
    QCOMPARE(compared, 3000);
}

QTEST_GUILESS_MAIN(TestMarkdownRenderer)
#include "tst_markdown_renderer.moc"
