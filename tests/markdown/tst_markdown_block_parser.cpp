#include "markdown/markdown_block_parser.h"

#include <QRandomGenerator>
#include <QTest>

using namespace quillet;
using namespace Qt::StringLiterals;

namespace {

QString describeItems(const QList<MarkdownBlock::ListItem> &items)
{
    QStringList parts;
    for (const MarkdownBlock::ListItem &item : items)
        parts << QString::number(item.indent) + u':' + item.text.text();
    return u'[' + parts.join(u',') + u']';
}

QString describeCells(const QList<StyledText> &cells)
{
    QStringList parts;
    for (const StyledText &cell : cells)
        parts << cell.text();
    return u'[' + parts.join(u'|') + u']';
}

// Blocks as short strings, so a row states a whole document's parse: "H2:Sub", "P:one two",
// "C(lang):a = 1⏎", "Q:a b", "U[0:a,2:sub]", "O3[0:three]", "T[0x:done,0 :milk]",
// "Tab[a|b][1|2]", "HR", "E". Only the characters of styled text appear.
QStringList describe(const QList<MarkdownBlock> &blocks)
{
    using B = MarkdownBlock;
    QStringList result;
    for (const MarkdownBlock &block : blocks) {
        if (const auto *heading = block.as<B::Heading>()) {
            result << u'H' + QString::number(heading->level) + u':' + heading->text.text();
        } else if (const auto *paragraph = block.as<B::Paragraph>()) {
            result << u"P:"_s + paragraph->text.text();
        } else if (const auto *code = block.as<B::CodeBlock>()) {
            result << u"C("_s + code->language.value_or(u"-"_s) + u"):"_s +
                          QString(code->content).replace(u'\n', u'⏎');
        } else if (const auto *quote = block.as<B::Blockquote>()) {
            result << u"Q:"_s + quote->text.text();
        } else if (const auto *list = block.as<B::UnorderedList>()) {
            result << u'U' + describeItems(list->items);
        } else if (const auto *ordered = block.as<B::OrderedList>()) {
            result << u'O' + QString::number(ordered->start) + describeItems(ordered->items);
        } else if (const auto *tasks = block.as<B::TaskList>()) {
            QStringList parts;
            for (const B::TaskItem &item : tasks->items)
                parts << QString::number(item.indent) + (item.checked ? u'x' : u' ') + u':' +
                             item.text.text();
            result << u"T["_s + parts.join(u',') + u']';
        } else if (const auto *table = block.as<B::Table>()) {
            result << u"Tab"_s + describeCells(table->header);
            for (const QList<StyledText> &row : table->rows)
                result.last() += describeCells(row);
        } else {
            result << (block.as<B::HorizontalRule>() ? u"HR"_s : u"E"_s);
        }
    }
    return result;
}

void row(const char *name, const QString &text, const QStringList &expected)
{
    QTest::newRow(name) << text << expected;
}

// Fragments that exercise every rule, for random documents.
const char16_t *const fragments[] = {
    u"",        u"  ",         u"text",       u"**bold** and *it*",
    u"# Head",  u"#tag",       u"> quote",    u" > no",
    u"```",     u"```py",      u"---",        u"- item",
    u"  * sub", u"- [ ] task", u"- [x] done", u"1. one",
    u"2. two",  u"a | b",      u"|---|---|",  u"| 1 | 2 |",
    u"`code`",  u"> ",
};

QStringList randomLines(QRandomGenerator &random, int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QString::fromUtf16(fragments[random.bounded(int(std::size(fragments)))]);
    return lines;
}

} // namespace

class TestMarkdownBlockParser : public QObject {
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        row("empty text is one empty line", u""_s, {"E"});
        row("lines join with a space, final line feed", u"one\ntwo\n"_s, {"P:one two", "E"});
        row("runs of empty lines are not merged", u"\n"_s, {"E", "E"});
        row("empty, whitespace-only lines separate", u"a\n \t \n\nb"_s, {"P:a", "E", "E", "P:b"});
        row("joined lines stay untrimmed", u"a  \n  b"_s, {"P:a     b"});
        row("'#' lines stop a paragraph", u"a\n#tag\n#\n#\tx"_s,
            {"P:a", "P:#tag", "P:#", "P:#\tx"});
        row("non-heading '#' opens a paragraph", u"#tag\nmore\ntext"_s, {"P:#tag more text"});
        row("seven marks or an indent open a paragraph", u"####### x\ny\n\n  # x\ny"_s,
            {"P:####### x y", "E", "P:  # x y"});
        row("indented '>' opens and stops a paragraph", u" > q\ny\n > r"_s, {"P: > q y", "P: > r"});
        row("rule and fence stop a paragraph", u"Title\n---\na\n```\nx"_s,
            {"P:Title", "HR", "P:a", "C(-):x⏎"});
        row("list items stop a paragraph", u"a\n- b\nc\n1. d\ne\n- [ ] f"_s,
            {"P:a", "U[0:b]", "P:c", "O1[0:d]", "P:e", "T[0 :f]"});
        row("a line heading a table never joins", u"a\nb\n|-|"_s, {"P:a", "Tab[b]"});
        row("near-misses open, join a paragraph", u"-\na\n-b\n1)\n=\n+x"_s, {"P:- a -b 1) = +x"});
        row("rules, too few or mixed marks", u"--\n-*-\n---\n***\n  _____  "_s,
            {"P:-- -*-", "HR", "HR", "HR"});
        row("spaced marks are a list item", u"- - -"_s, {"U[0:- -]"});
        row("levels, closing marks stay", u"## a ##\n###### x"_s, {"H2:a ##", "H6:x"});
        row("text keeps extra spaces, space alone", u"#  Title  \n# "_s, {"H1: Title  ", "H1:"});
        row("heading or rule before a separator line", u"# T\n|---|\n\n---\n|---|"_s,
            {"H1:T", "P:|---|", "E", "HR", "P:|---|"});
        row("language and content", u"```text\na = 1\n```"_s, {"C(text):a = 1⏎"});
        row("unclosed takes the rest", u"```\ncode"_s, {"C(-):code⏎"});
        row("four backticks give a backtick language", u"````\nx\n```"_s, {"C(`):x⏎"});
        row("language is trimmed", u"```  c++  "_s, {"C(c++):"});
        row("lines inside are never examined", u"```\n# x\n- y\n\na|b\n|-|\n```\nafter"_s,
            {"C(-):# x⏎- y⏎⏎a|b⏎|-|⏎", "P:after"});
        row("fence keeps whitespace", u"  ```\n  indented  \n   ```  "_s, {"C(-):  indented  ⏎"});
        row("closing fence may carry text", u"```\na\n```not a language\nb"_s, {"C(-):a⏎", "P:b"});
        row("bold is no rule, two backticks are no fence", u"**bold**\n``x``"_s, {"P:bold x"});
        row("lines join, no space needed, nested mark stays", u"> a\n>b\n>> c"_s, {"Q:a b > c"});
        row("empty quote line gives two spaces, no lazy continuation", u"> a\n>\n> b\nc"_s,
            {"Q:a  b", "P:c"});
        row("quote before a list, indented mark ends it", u"> - a\n > b"_s, {"Q:- a", "P: > b"});
        row("task items, indent", u"- [ ] milk\n- [x] done\n- [X] Done\n    - [x] t "_s,
            {"T[0 :milk,0x:done,0x:Done,5x:t]"});
        row("task without text is an unordered item", u"- [ ]\n- [ ]   "_s, {"U[0:[ ],3:[ ]]"});
        row("star or other box marks make no task", u"* [ ] x\n- [y] no"_s,
            {"U[0:[ ] x,0:[y] no]"});
        row("task then unordered, with task syntax inside", u"- [ ] a\n- b\n- [ ] c"_s,
            {"T[0 :a]", "U[0:b,0:[ ] c]"});
        row("three markers, extra spaces stay", u"- a\n*   b\n+ c"_s, {"U[0:a,0:  b,0:c]"});
        row("indent counts at both ends", u"  - sub\n- a  \n \t- a \t"_s, {"U[2:sub,2:a,4:a]"});
        row("empty, text and ordered lines end a list", u"- a\n\n- b\nc\n- d\n1. e"_s,
            {"U[0:a]", "E", "U[0:b]", "P:c", "U[0:d]", "O1[0:e]"});
        row("start from the first number", u"3. three\n1. one"_s, {"O3[0:three,0:one]"});
        row("text is trimmed", u"1.   a  "_s, {"O1[2:a]"});
        row("point alone, point and space", u"1.\n1. "_s, {"P:1. 1. "});
        row("no space after the point, second point", u"1.5 apples\n1. a. b"_s,
            {"O1[0:5 apples,0:a. b]"});
        row("leading zeros, leading point skipped", u"007. bond\n\n.5. a"_s,
            {"O7[0:bond]", "E", "O5[0:a]"});
        row("largest 64-bit start", u"9223372036854775807. x"_s, {"O9223372036854775807[0:x]"});
        row("overflowing start is 1", u"9223372036854775808. x"_s, {"O1[0:x]"});
        row("other digits start at 1", u"٣. a\n\n². b\n\n½. c\n\nⅫ. d\n\n１２. e"_s,
            {"O1[0:a]", "E", "O1[0:b]", "E", "O1[0:c]", "E", "O1[0:d]", "E", "O1[0:e]"});
        row("negative number or letters are no item", u"-1. x\na. b"_s, {"P:-1. x a. b"});
        row("indented items, empty line splits", u"1. a\n   2. b\n\n2. c"_s,
            {"O1[0:a,3:b]", "E", "O2[0:c]"});
        row("line without a bar ends a table", u"a | b\n--- | ---\n1 | 2\nafter"_s,
            {"Tab[a|b][1|2]", "P:after"});
        row("empty line ends the table", u"a|b\n-|-\n\nx|y"_s, {"Tab[a|b]", "E", "P:x|y"});
        row("separators with colons and spaces", u"a\n|:-:| - |\n1"_s, {"Tab[a]", "P:1"});
        row("table rule before the list rules, blank header", u"- item\n|---|\n\n   \n|---|"_s,
            {"Tab[- item]", "E", "Tab[]"});
        row("rows keep their cell count, empty cells remain", u"| a||b |\n-|-|-\n|1|2|3|4|\n|"_s,
            {"Tab[a||b][1|2|3|4][]"});
        row("escaped and code bars still split", u"a\\|b\n-|-\n`x|y`"_s, {"Tab[a\\|b][`x|y`]"});
        row("separator with an empty cell or a letter", u"a\n| |\n|-a-|"_s, {"P:a | | |-a-|"});
        row("cells are rendered", u"**a**|`b`\n-|-"_s, {"Tab[a|b]"});
        row("tab is one character", u"\t\t1. a"_s, {"O1[2:a]"});
        row("combining mark on '#' or its space", u"#\u0301 x\n# \u0301x"_s,
            {"P:#\u0301 x", "P:# \u0301x"});
        row("combining mark on a hyphen or its space", u"-\u0301 a\n- \u0301a"_s,
            {"P:-\u0301 a - \u0301a"});
        row("combining mark on a rule mark or a bar", u"---\u0301\n|\u0301---|"_s,
            {"P:---\u0301 |\u0301---|"});
        row("emoji text", u"- 👩‍👩‍👧 family"_s, {"U[0:👩‍👩‍👧 family]"});
        row("line separator, lone CR and CR before CR LF stay", u"a\u2028b\rc\r\r\nd"_s,
            {"P:a\u2028b\rc\r d"});
    }

    void parse()
    {
        QFETCH(QString, text);
        QTEST(describe(MarkdownBlockParser::parse(text)), "expected");
    }

    // Random documents from the fragments: with CR LF line ends they must parse exactly as with LF,
    // blocks, styles and all.
    void windowsLineEndsParseLikeUnixOnes()
    {
        QRandomGenerator random(20261207);
        for (int round = 0; round < 300; ++round) {
            const QStringList documentLines = randomLines(random, random.bounded(1, 12));
            const QString unix = documentLines.join(u'\n');
            const QList<MarkdownBlock> expected = MarkdownBlockParser::parse(unix);
            if (MarkdownBlockParser::parse(documentLines.join(u"\r\n")) != expected)
                QFAIL(qPrintable(u"CR LF parse differs for: "_s + unix));
        }
    }

    void reparseMatchesAFullParse_data()
    {
        QTest::addColumn<QString>("pieces");
        QTest::addColumn<QString>("lineEnd");
        // Each edit removes up to three characters somewhere and types one of the pieces, or a
        // line.
        QTest::newRow("typing") << u"\n|-`#> x1.[]*"_s << u"\n"_s;
        QTest::newRow("typing, CR LF") << u"\n\r|-`#> x1."_s << u"\r\n"_s;
        QTest::newRow("pasting lines") << QString() << u"\n"_s;
    }

    // Every edit of a random document is parsed again from the parse before it, and that chain of
    // parses never differs from a full parse of the same text.
    void reparseMatchesAFullParse()
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
                    pieces.isEmpty()
                        ? randomLines(random, random.bounded(1, 4)).join(lineEnd) + lineEnd
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
};

QTEST_GUILESS_MAIN(TestMarkdownBlockParser)
#include "tst_markdown_block_parser.moc"
