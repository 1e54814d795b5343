#pragma once

#include <QList>
#include <QString>

namespace quillet::testing {

struct HostileMarkdown {
    const char *name;
    QString text;
};

// Texts known to drive CommonMark inline parsers into super-linear work (deep nesting, long
// runs of openers without closers, code spans of every length), plus the sizes the block parser
// and the preview must cope with: a 5 MB line and a table with 10,000 columns.
inline QList<HostileMarkdown> hostileMarkdown()
{
    auto repeated = [](const char *piece, int count) {
        const QString one = QString::fromLatin1(piece);
        QString text;
        text.reserve(one.size() * count);
        for (int i = 0; i < count; ++i)
            text += one;
        return text;
    };
    // Code spans of one, two, three... backticks, 100,000 backticks in all.
    QString backtickRuns;
    for (qsizetype run = 1, total = 0; total < 100'000; total += run, ++run)
        backtickRuns += u'e' + QString(run, u'`');
    QString table = repeated("| a ", 10'000) + QStringLiteral("|\n") + repeated("|---", 10'000) +
                    QStringLiteral("|\n") + repeated("| *b* ", 10'000) + QStringLiteral("|\n");
    QString longLine = repeated("word *emphasis* [link](https://example.org) `code` ", 100'000);
    longLine.truncate(5 * 1024 * 1024);

    return {
        {"nested brackets", QString(50'000, u'[')},
        {"nested brackets closed", QString(50'000, u'[') + u'a' + QString(50'000, u']')},
        {"alternating emphasis", repeated("*a", 50'000)},
        {"nested strong emphasis", QString(50'000, u'*') + u'a' + QString(50'000, u'*')},
        {"mismatched openers", repeated("*a_ ", 25'000)},
        {"link openers and emphasis closers", repeated("[ a_", 25'000)},
        {"unclosed link destinations", repeated("[a](<b", 20'000)},
        {"backtick line", QStringLiteral("a ") + QString(100'000, u'`')},
        {"backtick fence", QString(100'000, u'`')},
        {"backtick runs", backtickRuns},
        {"deep quote", QString(10'000, u'>') + QStringLiteral(" a")},
        {"5 MB line", longLine},
        {"10,000 columns", table},
    };
}

} // namespace quillet::testing
