#include "block_description.h"

#include "markdown/markdown_block_parser.h"

#include <QRandomGenerator>
#include <QTest>

#include <initializer_list>

using namespace quillet;
using namespace Qt::StringLiterals;
using quillet::test::describe;

namespace {

QString lines(std::initializer_list<const char16_t *> parts)
{
    QStringList list;
    for (const char16_t *part : parts)
        list << QString::fromUtf16(part);
    return list.join(u'\n');
}

void addRow(const char *name, const QString &text, const QStringList &expected)
{
    QTest::newRow(name) << text << expected;
}

} // namespace

class TestMarkdownBlockParser : public QObject {
    Q_OBJECT

private slots:
    void paragraphsAndEmptyLines_data();
    void paragraphsAndEmptyLines() { compareParse(); }
    void rulesAndHeadings_data();
    void rulesAndHeadings() { compareParse(); }
    void fences_data();
    void fences() { compareParse(); }
    void blockquotes_data();
    void blockquotes() { compareParse(); }
    void lists_data();
    void lists() { compareParse(); }
    void orderedItems_data();
    void orderedItems() { compareParse(); }
    void tables_data();
    void tables() { compareParse(); }
    void charactersAndWhitespace_data();
    void charactersAndWhitespace() { compareParse(); }
    void lineEnds_data();
    void lineEnds() { compareParse(); }

    void blockTextIsStyled();
    void windowsLineEndsParseLikeUnixOnes();
    void reparseMatchesAFullParse_data();
    void reparseMatchesAFullParse();

private:
    void compareParse();
};

void TestMarkdownBlockParser::compareParse()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(describe(MarkdownBlockParser::parse(text)), expected);
}

static void addColumns()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
}

void TestMarkdownBlockParser::paragraphsAndEmptyLines_data()
{
    addColumns();
    addRow("empty text is one empty line", u""_s, {"E"});
    addRow("final line feed gives an empty line", u"abc\n"_s, {"P:abc", "E"});
    addRow("consecutive lines join with a space", lines({u"one", u"two"}), {"P:one two"});
    addRow("empty line separates", lines({u"one", u"", u"two"}), {"P:one", "E", "P:two"});
    addRow("runs of empty lines are not merged", lines({u"", u""}), {"E", "E"});
    addRow("whitespace-only line is empty", lines({u"a", u" \t ", u"b"}), {"P:a", "E", "P:b"});
    addRow("joined lines stay untrimmed", lines({u"a  ", u"  b"}), {"P:a     b"});
    addRow("'#' line stops a paragraph", lines({u"a", u"#tag"}), {"P:a", "P:#tag"});
    addRow("non-heading '#' opens a paragraph with what follows",
           lines({u"#tag", u"more", u"text"}), {"P:#tag more text"});
    addRow("seven marks open a paragraph", lines({u"####### x", u"y"}), {"P:####### x y"});
    addRow("indented heading opens a paragraph", lines({u"  # x", u"y"}), {"P:  # x y"});
    addRow("indented '>' opens a paragraph", lines({u" > q", u"y"}), {"P: > q y"});
    addRow("'#' line after a non-heading '#' still stops", lines({u"#a", u"#b"}), {"P:#a", "P:#b"});
    addRow("indented '>' stops a paragraph", lines({u"a", u" > q"}), {"P:a", "P: > q"});
    addRow("fence stops a paragraph", lines({u"a", u"```", u"x"}), {"P:a", "C(-):x⏎"});
    addRow("rule stops a paragraph", lines({u"Title", u"---"}), {"P:Title", "HR"});
    addRow("list items stop a paragraph", lines({u"a", u"- b", u"c", u"1. d", u"e", u"- [ ] f"}),
           {"P:a", "U[0:b]", "P:c", "O1[0:d]", "P:e", "T[0 :f]"});
    addRow("a line heading a table never joins", lines({u"a", u"b", u"|-|"}), {"P:a", "Tab[b]"});
    addRow("near-misses join the paragraph", lines({u"a", u"-b", u"1)", u"=", u"+x"}),
           {"P:a -b 1) = +x"});
}

void TestMarkdownBlockParser::rulesAndHeadings_data()
{
    addColumns();
    addRow("three hyphens", u"---"_s, {"HR"});
    addRow("stars", u"***"_s, {"HR"});
    addRow("underscores, indented", u"  _____  "_s, {"HR"});
    addRow("two marks are too few", u"--"_s, {"P:--"});
    addRow("spaced marks are a list item", u"- - -"_s, {"U[0:- -]"});
    addRow("mixed marks", u"-*-"_s, {"P:-*-"});
    addRow("bold is no rule", u"**bold**"_s, {"P:bold"});
    addRow("level 2", u"## Sub"_s, {"H2:Sub"});
    addRow("level 6", u"###### x"_s, {"H6:x"});
    addRow("text keeps extra spaces", u"#  Title  "_s, {"H1: Title  "});
    addRow("closing marks stay", u"## a ##"_s, {"H2:a ##"});
    addRow("no space after the marks", u"#Title"_s, {"P:#Title"});
    addRow("lone mark", u"#"_s, {"P:#"});
    addRow("tab after the marks", u"#\tx"_s, {"P:#\tx"});
    addRow("space alone after the marks", u"# "_s, {"H1:"});
    addRow("heading before a separator line", lines({u"# T", u"|---|"}), {"H1:T", "P:|---|"});
    addRow("rule before a separator line", lines({u"---", u"|---|"}), {"HR", "P:|---|"});
}

void TestMarkdownBlockParser::fences_data()
{
    addColumns();
    addRow("language and content", lines({u"```text", u"a = 1", u"```"}), {"C(text):a = 1⏎"});
    addRow("lone fence", u"```"_s, {"C(-):"});
    addRow("unclosed takes the rest", lines({u"```", u"code"}), {"C(-):code⏎"});
    addRow("four backticks give a backtick language", lines({u"````", u"x", u"```"}), {"C(`):x⏎"});
    addRow("language is trimmed", u"```  c++  "_s, {"C(c++):"});
    addRow("lines inside are never examined",
           lines({u"```", u"# x", u"- y", u"", u"a|b", u"|-|", u"```", u"after"}),
           {"C(-):# x⏎- y⏎⏎a|b⏎|-|⏎", "P:after"});
    addRow("lines inside keep their whitespace", lines({u"  ```", u"  indented  ", u"   ```  "}),
           {"C(-):  indented  ⏎"});
    addRow("closing fence may carry text", lines({u"```", u"a", u"```not a language", u"b"}),
           {"C(-):a⏎", "P:b"});
    addRow("two backticks are no fence", u"``x``"_s, {"P:x"});
}

void TestMarkdownBlockParser::blockquotes_data()
{
    addColumns();
    addRow("lines join", lines({u"> a", u"> b"}), {"Q:a b"});
    addRow("no space needed", u">a"_s, {"Q:a"});
    addRow("nested mark stays", u">> b"_s, {"Q:> b"});
    addRow("no lazy continuation", lines({u"> a", u"b"}), {"Q:a", "P:b"});
    addRow("empty quote line gives two spaces", lines({u"> a", u">", u"> b"}), {"Q:a  b"});
    addRow("indented mark ends the quote", lines({u"> a", u" > b"}), {"Q:a", "P: > b"});
    addRow("quote before a list", lines({u"> - a"}), {"Q:- a"});
}

void TestMarkdownBlockParser::lists_data()
{
    addColumns();
    addRow("task items", lines({u"- [ ] milk", u"- [x] done", u"- [X] Done"}),
           {"T[0 :milk,0x:done,0x:Done]"});
    addRow("star makes no task", u"* [ ] x"_s, {"U[0:[ ] x]"});
    addRow("task without text is an unordered item", u"- [ ]"_s, {"U[0:[ ]]"});
    addRow("task without text despite trailing spaces", u"- [ ]   "_s, {"U[3:[ ]]"});
    addRow("other box marks", u"- [y] no"_s, {"U[0:[y] no]"});
    addRow("task then unordered", lines({u"- [ ] a", u"- b"}), {"T[0 :a]", "U[0:b]"});
    addRow("task syntax inside an unordered list", lines({u"- a", u"- [ ] b"}), {"U[0:a,0:[ ] b]"});
    addRow("three markers", lines({u"- a", u"* b", u"+ c"}), {"U[0:a,0:b,0:c]"});
    addRow("extra spaces stay in the text", u"-   a"_s, {"U[0:  a]"});
    addRow("leading indent", u"  - sub"_s, {"U[2:sub]"});
    addRow("trailing spaces count as indent", u"- a  "_s, {"U[2:a]"});
    addRow("both ends count", u" \t- a \t"_s, {"U[4:a]"});
    addRow("task indent", u"    - [x] t "_s, {"T[5x:t]"});
    addRow("lone marker", u"-"_s, {"P:-"});
    addRow("marker without space", u"-x"_s, {"P:-x"});
    addRow("empty line ends a list", lines({u"- a", u"", u"- b"}), {"U[0:a]", "E", "U[0:b]"});
    addRow("text line ends a list", lines({u"- a", u"b"}), {"U[0:a]", "P:b"});
    addRow("ordered line ends an unordered list", lines({u"- a", u"1. b"}), {"U[0:a]", "O1[0:b]"});
}

void TestMarkdownBlockParser::orderedItems_data()
{
    addColumns();
    addRow("start from the first number", lines({u"3. three", u"4. four"}), {"O3[0:three,0:four]"});
    addRow("later numbers are discarded", lines({u"1. a", u"5. b"}), {"O1[0:a,0:b]"});
    addRow("empty line splits", lines({u"1. a", u"", u"2. b"}), {"O1[0:a]", "E", "O2[0:b]"});
    addRow("no space after the point", u"1.5 apples"_s, {"O1[0:5 apples]"});
    addRow("year", u"2024. A year"_s, {"O2024[0:A year]"});
    addRow("text is trimmed", u"1.   a  "_s, {"O1[2:a]"});
    addRow("point alone", u"1."_s, {"P:1."});
    addRow("point and space", u"1. "_s, {"P:1. "});
    addRow("parenthesis", u"1) a"_s, {"P:1) a"});
    addRow("letters before the point", u"a. b"_s, {"P:a. b"});
    addRow("leading point is skipped", u".5. a"_s, {"O5[0:a]"});
    addRow("second point stays in the text", u"1. a. b"_s, {"O1[0:a. b]"});
    addRow("leading zeros", u"007. bond"_s, {"O7[0:bond]"});
    addRow("largest 64-bit start", u"9223372036854775807. x"_s, {"O9223372036854775807[0:x]"});
    addRow("overflowing start is 1", u"9223372036854775808. x"_s, {"O1[0:x]"});
    addRow("Arabic-Indic digit starts at 1", u"٣. x"_s, {"O1[0:x]"});
    addRow("superscript", u"². x"_s, {"O1[0:x]"});
    addRow("fraction", u"½. x"_s, {"O1[0:x]"});
    addRow("Roman numeral", u"Ⅻ. x"_s, {"O1[0:x]"});
    addRow("fullwidth digits", u"１２. x"_s, {"O1[0:x]"});
    addRow("negative number is no item", u"-1. x"_s, {"P:-1. x"});
    addRow("indented items", lines({u"1. a", u"   2. b"}), {"O1[0:a,3:b]"});
}

void TestMarkdownBlockParser::tables_data()
{
    addColumns();
    addRow("header and row", lines({u"a | b", u"--- | ---", u"1 | 2"}), {"Tab[a|b][1|2]"});
    addRow("rows keep their cell count", lines({u"| a |", u"|---|", u"|1|2|3|"}),
           {"Tab[a][1|2|3]"});
    addRow("line without a bar ends the table", lines({u"a|b", u"-|-", u"1|2", u"after"}),
           {"Tab[a|b][1|2]", "P:after"});
    addRow("empty line ends the table", lines({u"a|b", u"-|-", u"", u"x|y"}),
           {"Tab[a|b]", "E", "P:x|y"});
    addRow("separators with colons and spaces", lines({u"a", u"|:-:| - |", u"1"}),
           {"Tab[a]", "P:1"});
    addRow("table rule comes before the list rules", lines({u"- item", u"|---|"}), {"Tab[- item]"});
    addRow("blank header line", lines({u"   ", u"|---|"}), {"Tab[]"});
    addRow("empty cells remain", lines({u"a||b", u"-|-|-", u"|"}), {"Tab[a||b][]"});
    addRow("escaped and code bars still split", lines({u"a\\|b", u"-|-", u"`x|y`"}),
           {"Tab[a\\|b][`x|y`]"});
    addRow("separator without a bar", lines({u"a", u"---"}), {"P:a", "HR"});
    addRow("separator with an empty cell", lines({u"a", u"| |"}), {"P:a | |"});
    addRow("separator with a letter", lines({u"a", u"|-a-|"}), {"P:a |-a-|"});
    addRow("cells are rendered", lines({u"**a**|`b`", u"-|-"}), {"Tab[a|b]"});
    addRow("separator only at the end", lines({u"x", u"a", u"|-|"}), {"P:x", "Tab[a]"});
}

void TestMarkdownBlockParser::charactersAndWhitespace_data()
{
    addColumns();
    addRow("no-break space trims and counts", u"\u00a0- a"_s, {"U[1:a]"});
    addRow("ideographic space trims", u"\u3000- a\u2003"_s, {"U[2:a]"});
    addRow("tab is one character", u"\t\t1. a"_s, {"O1[2:a]"});
    addRow("combining mark on '#' is no heading mark", u"#\u0301 x"_s, {"P:#\u0301 x"});
    addRow("combining mark on the space after '#'", u"# \u0301x"_s, {"P:# \u0301x"});
    addRow("combining mark on a hyphen is no item", u"-\u0301 a"_s, {"P:-\u0301 a"});
    addRow("combining mark on the item's space", u"- \u0301a"_s, {"P:- \u0301a"});
    addRow("space with a mark is not trimmed", u"  \u0301x"_s, {"P:  \u0301x"});
    addRow("combining mark on a rule mark", u"---\u0301"_s, {"P:---\u0301"});
    addRow("combining mark on a bar", lines({u"a", u"|\u0301---|"}), {"P:a |\u0301---|"});
    addRow("emoji text", u"- 👩‍👩‍👧 family"_s, {"U[0:👩‍👩‍👧 family]"});
    addRow("line separator is no line end", u"a\u2028b"_s, {"P:a\u2028b"});
    addRow("vertical tab is no whitespace", u"\v- a"_s, {"P:\v- a"});
}

void TestMarkdownBlockParser::lineEnds_data()
{
    addColumns();
    addRow("CR LF lines join", u"one\r\ntwo"_s, {"P:one two"});
    addRow("CR LF empty line", u"a\r\n\r\nb\r\n"_s, {"P:a", "E", "P:b", "E"});
    addRow("CR LF heading", u"# T\r\n"_s, {"H1:T", "E"});
    addRow("CR LF fence content", u"```c\r\nx\r\n```\r\n"_s, {"C(c):x⏎", "E"});
    addRow("CR LF table", u"a|b\r\n-|-\r\n1|2"_s, {"Tab[a|b][1|2]"});
    addRow("lone CR stays in its line", u"a\rb"_s, {"P:a\rb"});
    addRow("CR before CR LF stays", u"a\r\r\nb"_s, {"P:a\r b"});
}

void TestMarkdownBlockParser::blockTextIsStyled()
{
    const QList<MarkdownBlock> blocks =
        MarkdownBlockParser::parse(u"## A `b`\n> *q*\n- [x] **t**\n```\n**raw**\n```"_s);
    QCOMPARE(blocks.size(), 4);

    const auto *heading = blocks[0].as<MarkdownBlock::Heading>();
    QVERIFY(heading);
    QCOMPARE(heading->text.runs().size(), 2);
    QCOMPARE(heading->text.runs()[1].intents, InlineIntents(InlineIntent::code));
    QCOMPARE(heading->text.runs()[1].font.pointSize, 20);
    QCOMPARE(heading->text.runs()[1].font.weight, StyledFont::Weight::bold);

    const auto *quote = blocks[1].as<MarkdownBlock::Blockquote>();
    QVERIFY(quote);
    QCOMPARE(quote->text.runs().first().intents, InlineIntents(InlineIntent::emphasized));
    QCOMPARE(quote->text.runs().first().font.pointSize, 15);

    const auto *tasks = blocks[2].as<MarkdownBlock::TaskList>();
    QVERIFY(tasks);
    QCOMPARE(tasks->items.first().text.runs().first().intents,
             InlineIntents(InlineIntent::stronglyEmphasized));

    const auto *code = blocks[3].as<MarkdownBlock::CodeBlock>();
    QVERIFY(code);
    QCOMPARE(code->content, u"**raw**\n"_s);
}

// Fragments that exercise every rule, for random documents.
static const char16_t *const fragments[] = {
    u"",        u"  ",         u"text",       u"**bold** and *it*",
    u"# Head",  u"#tag",       u"> quote",    u" > no",
    u"```",     u"```py",      u"---",        u"- item",
    u"  * sub", u"- [ ] task", u"- [x] done", u"1. one",
    u"2. two",  u"a | b",      u"|---|---|",  u"| 1 | 2 |",
    u"`code`",  u"> ",
};

static QStringList randomLines(QRandomGenerator &random, int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QString::fromUtf16(fragments[random.bounded(int(std::size(fragments)))]);
    return lines;
}

// Random documents from the fragments: with CR LF line ends they must parse exactly as with LF,
// blocks, styles and all.
void TestMarkdownBlockParser::windowsLineEndsParseLikeUnixOnes()
{
    QRandomGenerator random(20261207);
    for (int round = 0; round < 300; ++round) {
        const QStringList documentLines = randomLines(random, random.bounded(1, 12));
        const QString unix = documentLines.join(u'\n');
        const QString windows = documentLines.join(u"\r\n");
        const QList<MarkdownBlock> expected = MarkdownBlockParser::parse(unix);
        if (MarkdownBlockParser::parse(windows) != expected)
            QFAIL(qPrintable(u"CR LF parse differs for: "_s + unix));
        QVERIFY(!expected.isEmpty());
    }
}

void TestMarkdownBlockParser::reparseMatchesAFullParse_data()
{
    QTest::addColumn<QString>("pieces");
    QTest::addColumn<QString>("lineEnd");
    // Each edit removes up to three characters somewhere and types one of the pieces, or a line.
    QTest::newRow("typing") << u"\n|-`#> x1.[]*"_s << u"\n"_s;
    QTest::newRow("typing, CR LF") << u"\n\r|-`#> x1."_s << u"\r\n"_s;
    QTest::newRow("pasting lines") << QString() << u"\n"_s;
}

// Every edit of a random document is parsed again from the parse before it, and that chain of
// parses never differs from a full parse of the same text.
void TestMarkdownBlockParser::reparseMatchesAFullParse()
{
    QFETCH(QString, pieces);
    QFETCH(QString, lineEnd);
    QRandomGenerator random(20261208);
    for (int document = 0; document < 20; ++document) {
        QString text = randomLines(random, 40).join(lineEnd);
        MarkdownBlockParser::ParsedText parsed = MarkdownBlockParser::parseWithLines(text);
        for (int edit = 0; edit < 100; ++edit) {
            const qsizetype at = random.bounded(int(text.size()) + 1);
            const qsizetype removed = std::min<qsizetype>(random.bounded(4), text.size() - at);
            const QString typed =
                pieces.isEmpty() ? randomLines(random, random.bounded(1, 4)).join(lineEnd) + lineEnd
                                 : QString(pieces.at(random.bounded(int(pieces.size()))));
            const QString edited = text.left(at) + typed + text.mid(at + removed);
            const MarkdownBlockParser::Reparse again =
                MarkdownBlockParser::reparse(edited, text, parsed);
            const MarkdownBlockParser::ParsedText expected =
                MarkdownBlockParser::parseWithLines(edited);
            if (again.parsed.blocks != expected.blocks ||
                again.parsed.firstLines != expected.firstLines)
                QFAIL(qPrintable(u"reparse differs after editing\n"_s + text + u"\ninto\n"_s +
                                 edited));
            QVERIFY(again.prefix + again.suffix <=
                    std::min(parsed.blocks.size(), expected.blocks.size()));
            text = edited;
            parsed = again.parsed;
        }
    }
}

QTEST_GUILESS_MAIN(TestMarkdownBlockParser)
#include "tst_markdown_block_parser.moc"
