#include "text/text_metrics.h"
#include "text/text_rules.h"

#include <QRandomGenerator>
#include <QTextBoundaryFinder>
#include <QtTest>

#include <algorithm>

using namespace quillet::text;
using namespace Qt::StringLiterals;

namespace {

// A piece of text whose characters are known: the separator flag of each one. Pieces are
// joined only where a character boundary lies, so the expected figures of a random text are
// the concatenation of its pieces' characters; no grapheme finder is involved.
struct Piece {
    QString text;
    QList<bool> separators; // one per character
    QList<int> lengths;     // UTF-16 length of each character
};

Piece run(char16_t unit, int count)
{
    return {QString(count, unit), QList<bool>(count, QChar::isSpace(unit)), QList<int>(count, 1)};
}

const QList<Piece> &pieces()
{
    static const QList<Piece> list = {
        run(u'a', 1), run(u' ', 1), run(u'\n', 1), {QStringLiteral("\r\n"), {true}, {2}},
        run(u'\r', 1), run(u'\t', 1),
        {QStringLiteral("word "), {false, false, false, false, true}, {1, 1, 1, 1, 1}},
        run(0x00A0, 1), run(0x2028, 1), run(0x3000, 1),
        {QString::fromUtf8("e\xCC\x81"), {false}, {2}}, {QString::fromUtf8("👍🏽"), {false}, {4}},
        {QString::fromUtf8("👩‍💻"), {false}, {5}}, {QString::fromUtf8("🇩🇪"), {false}, {4}},
        {QString::fromUtf8("한국어"), {false, false, false}, {1, 1, 1}},
        {QString::fromUtf8("नमस्ते"), {false, false, false}, {1, 1, 4}},
        {QString::fromUtf8("你好"), {false, false}, {1, 1}},
        run(u'x', 63), run(u'y', 64), run(u' ', 65), run(u'z', 130),
    };
    return list;
}

struct RandomText {
    QString text;
    QList<bool> separators; // one per character
    QList<qsizetype> ends;  // UTF-16 end offset of each character
};

RandomText randomText(QRandomGenerator &random, int pieceCount)
{
    RandomText result;
    while (pieceCount > 0) {
        const Piece &piece = pieces().at(random.bounded(pieces().size()));
        if (result.text.endsWith(u'\r') && piece.text.startsWith(u'\n'))
            continue; // CR and LF would join
        qsizetype end = result.text.size();
        for (int length : piece.lengths)
            result.ends.append(end += length);
        result.text += piece.text;
        result.separators += piece.separators;
        --pieceCount;
    }
    return result;
}

// Both figures at once, so a mismatch prints both.
std::pair<qint64, qint64> figures(CharacterAndWordCount c) { return {c.characters, c.words}; }
std::pair<qint64, qint64> figures(LineAndColumn at) { return {at.line, at.column}; }

CharacterAndWordCount expectedCount(const RandomText &text)
{
    CharacterAndWordCount count;
    bool previousSeparator = true;
    for (bool separator : text.separators) {
        ++count.characters;
        if (!separator && previousSeparator)
            ++count.words;
        previousSeparator = separator;
    }
    return count;
}

// Makes random replacements in `text`, follows each with the edit window and a line index, and
// compares the figures so kept with those of the whole text counted afresh.
void checkEditsAgainstRecount(QString text, quint32 seed)
{
    QRandomGenerator random(seed);
    CharacterAndWordCount kept = countCharactersAndWords(text);
    LineIndex lines;
    lines.rebuild(text);
    for (int round = 0; round < 60; ++round) {
        const QString before = text;
        const auto start = qsizetype(random.bounded(int(text.size()) + 1));
        const auto removed =
            qsizetype(random.bounded(int(std::min<qsizetype>(text.size() - start, 9)) + 1));
        const QString inserted = randomText(random, random.bounded(0, 3)).text;
        const EditWindow window = editWindow(text, start, removed);
        const CharacterAndWordCount old = countCharactersAndWords(
            QStringView(text).sliced(window.begin, window.end - window.begin),
            window.afterSeparator);
        text.replace(start, removed, inserted);
        const CharacterAndWordCount now = countCharactersAndWords(
            QStringView(text).sliced(window.begin,
                                     window.end - window.begin + inserted.size() - removed),
            window.afterSeparator);
        kept.characters += now.characters - old.characters;
        kept.words += now.words - old.words;
        lines.replace(text, start, removed, inserted.size());

        const CharacterAndWordCount expected = countCharactersAndWords(text);
        const auto cursor = qint64(random.bounded(int(text.size()) + 2));
        const LineAndColumn position = lineAndColumnAt(text, cursor);
        const LineAndColumn indexed = lines.lineAndColumnAt(text, cursor);
        if (figures(kept) != figures(expected) || figures(indexed) != figures(position))
            qWarning() << "before:" << before << "after:" << text << "cursor:" << cursor;
        QCOMPARE(figures(kept), figures(expected));
        QCOMPARE(figures(indexed), figures(position));
    }
}

} // namespace

class TextRulesTest : public QObject {
    Q_OBJECT

private slots:
    // Characters, words, line and column of a cursor given in UTF-16 units, the line end that
    // ends most lines, and edits made anywhere followed by the counts of their windows.
    void figuresOfText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("cursor");
        QTest::addColumn<QList<qint64>>("figures"); // characters, words, line, column
        QTest::addColumn<QString>("ending");
        const auto row = [](const char *name, const QString &text, qint64 cursor,
                            const QList<qint64> &figures, const QString &ending = u"\n"_s) {
            QTest::newRow(name) << text << cursor << figures << ending;
        };
        const QString twoLines = u"hello world\nfoo"_s;
        row("empty", QString(), 0, {0, 0, 1, 1});
        row("just after the line feed", twoLines, 12, {15, 3, 2, 1});
        row("inside the first line", twoLines, 5, {15, 3, 1, 6});
        row("beyond the end", u"ab\ncde"_s, 100, {6, 2, 2, 4});
        row("negative", u"ab\ncde"_s, -4, {6, 2, 1, 1});
        row("only blanks, a tab is one column", u"  \t\n\n \t "_s, 8, {8, 0, 3, 4});
        row("CR LF is one character", u"a\r\nb"_s, 4, {3, 2, 2, 2}, u"\r\n"_s);
        row("carriage returns alone end lines", u"a\rb\n\rc"_s, 6, {6, 3, 4, 2}, u"\r"_s);
        row("mostly CR LF", u"a\r\nb\r\nc\nd\re"_s, 11, {9, 5, 5, 2}, u"\r\n"_s);
        row("a tie of line ends goes to line feeds", u"a\r\nb\nc"_s, 6, {5, 3, 3, 2});
        row("combining accent", u"cafe\u0301 ok"_s, 5, {7, 2, 1, 5});
        row("after an emoji with skin tone", u"👍🏽x"_s, 5, {2, 1, 1, 3});
        row("after a ZWJ emoji on line 2", u"a\n👩‍💻b"_s, 8, {4, 2, 2, 3});
        row("flags on line 1 do not shift line 2", u"🇩🇪🇩🇪\nxy"_s, 11, {5, 2, 2, 3});
        row("long ASCII with CR LF on a block edge",
            QString(62, u'a') + u"\r\n"_s + QString(70, u'b'), 200, {133, 2, 2, 71}, u"\r\n"_s);
        row("long ASCII then accent", QString(200, u'a') + u"\u0301"_s, 201, {200, 1, 1, 201});
    }

    void figuresOfText()
    {
        QFETCH(QString, text);
        QFETCH(qint64, cursor);
        const CharacterAndWordCount count = countCharactersAndWords(text);
        const LineAndColumn at = lineAndColumnAt(text, cursor);
        QTEST((QList<qint64>{count.characters, count.words, at.line, at.column}), "figures");
        QTEST(dominantLineEnding(text), "ending");
        checkEditsAgainstRecount(text, quint32(qHash(text)));
    }

    // Random texts of pieces whose characters are known: counts, offsets, character boundaries and
    // line feeds against that reference, and now and then edits against a recount.
    void agreesWithReferenceOnRandomText()
    {
        QRandomGenerator random(20261206);
        for (int round = 0; round < 400; ++round) {
            const RandomText text = randomText(random, random.bounded(1, 60));
            const auto expected = figures(expectedCount(text));
            if (figures(countCharactersAndWords(text.text)) != expected)
                qWarning() << "text:" << text.text;
            QCOMPARE(figures(countCharactersAndWords(text.text)), expected);
            const LineFeedScan scan = scanLineFeeds(text.text);
            QCOMPARE(scan.count, text.text.count(u'\n'));
            QCOMPARE(scan.lastPosition, text.text.lastIndexOf(u'\n'));
            QList<qsizetype> boundaries = text.ends;
            boundaries.prepend(0);
            for (qsizetype offset = 0; offset <= text.text.size(); ++offset) {
                const auto after = std::lower_bound(boundaries.cbegin(), boundaries.cend(), offset);
                QCOMPARE(characterBoundaryAtOrBefore(text.text, offset),
                         *after == offset ? offset : *(after - 1));
                QCOMPARE(characterBoundaryAtOrAfter(text.text, offset), *after);
            }
            for (qsizetype i = 0; i < text.ends.size(); ++i)
                QCOMPARE(offsetAfterCharacters(text.text, i + 1), text.ends.at(i));
            if (round % 8 == 0) {
                checkEditsAgainstRecount(text.text, quint32(round));
                if (QTest::currentTestFailed())
                    return;
            }
        }
        QCOMPARE(offsetAfterCharacters(u"abc", 0), qsizetype(0));
        QCOMPARE(offsetAfterCharacters(u"abc", -3), qsizetype(0));
        QCOMPARE(offsetAfterCharacters(u"abc", 9), qsizetype(3));
        QCOMPARE(characterBoundaryAtOrBefore(QStringLiteral("ab"), 9), qsizetype(2));
        // A leading mark is a character of its own, and counting stops there, whatever follows.
        QCOMPARE(offsetAfterCharacters(u"\u0301e\u0301\nx", 1), qsizetype(1));
        // A run of joined emoji longer than the search reach: at least no surrogate pair is split.
        QString joined = QString::fromUtf8("👩");
        for (int i = 0; i < 200; ++i)
            joined += QString::fromUtf8("\u200D👩");
        QCOMPARE(characterBoundaryAtOrBefore(joined, 301), 300);
        QCOMPARE(characterBoundaryAtOrAfter(joined, 301), 302);
    }

    // The hand-kept lists of the code point table against Qt's grapheme finder, for every
    // assigned code point beside a letter.
    void codePointsJoinAsTheBoundaryFinderSays()
    {
        const auto breaksAt = [](const QString &text, qsizetype position) {
            QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
            finder.setPosition(position);
            return finder.isAtBoundary();
        };
        for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
            // Qt 6.4 breaks before Thai sara am, a spacing mark to Unicode.
            const QChar::Category category = QChar::category(cp);
            if (category == QChar::Other_NotAssigned || category == QChar::Other_PrivateUse ||
                category == QChar::Other_Surrogate || cp == 0x0E33)
                continue;
            const QString c = QString::fromUcs4(&cp, 1);
            const bool joinsBefore = !breaksAt(u'a' + c, 1);
            const bool joinsAfter = !breaksAt(c + u'a', c.size());
            if (joinsPrevious(cp) != joinsBefore || joinsNext(cp) != joinsAfter ||
                (formsCharacterAlone(cp) && (joinsBefore || joinsAfter)))
                QFAIL(qPrintable(u"U+"_s + QString::number(cp, 16)));
        }
    }

    // Trimming, finding a mark and telling a numeral all take a code unit as a character only
    // when nothing joins it; Markdown's whitespace is spaces and tabs alone.
    void charactersThatStandAlone_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("trimmed");
        QTest::addColumn<qsizetype>("hash"); // the first '#' that is a character of its own
        QTest::addColumn<bool>("numeral");
        const auto row = [](const char *name, const QString &text, const QString &trimmed,
                            qsizetype hash, bool numeral = false) {
            QTest::newRow(name) << text << trimmed << hash << numeral;
        };
        row("spaces and tabs", u" \t#1\t "_s, u"#1"_s, 2);
        row("other space separators", u"\u00A0\u3000# \u2003"_s, u"#"_s, 2);
        row("line breaks and vertical tab stay", u"\v#\n\u2028"_s, u"\v#\n\u2028"_s, 1);
        row("space carrying a mark", u"  \u0301#"_s, u" \u0301#"_s, 3);
        row("mark on the hash", u"#\u0301#"_s, u"#\u0301#"_s, 2);
        row("prepended mark before", u"\u0600#\u0600 "_s, u"\u0600#\u0600 "_s, -1);
        row("sign that stands apart", u"#\u102B"_s, u"#\u102B"_s, 0);
        row("digits and other numerals", u" 2024²½Ⅻ "_s, u"2024²½Ⅻ"_s, -1, true);
        row("digit carrying a mark", u"1\u0301"_s, u"1\u0301"_s, -1, true);
        row("digit outside the basic plane", u"\U0001D7D9"_s, u"\U0001D7D9"_s, -1, true);
        row("digit and a sign apart", u"1\u102B"_s, u"1\u102B"_s, -1);
        row("empty", QString(), QString(), -1);
    }

    void charactersThatStandAlone()
    {
        QFETCH(QString, text);
        QTEST(trimmedOfSpacesAndTabs(text).toString(), "trimmed");
        QTEST(indexOfCharacter(text, u'#'), "hash");
        QTEST(isNumeral(trimmedOfSpacesAndTabs(text)), "numeral");
    }
};

QTEST_GUILESS_MAIN(TextRulesTest)
#include "tst_text_rules.moc"
