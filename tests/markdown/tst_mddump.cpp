#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Run {
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

Run runTool(const QStringList &arguments, const QByteArray &input)
{
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + u"/quillet-mddump"_s, arguments);
    if (!process.waitForStarted())
        return {};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

} // namespace

class TestMddump : public QObject {
    Q_OBJECT

private slots:
    void prints_data();

    // One line of JSON on standard output and nothing on standard error; or status 2, nothing on
    // standard output and one line saying why, or the usage.
    void prints()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, expected);
        const Run result = runTool(arguments, input);
        if (!expected.startsWith('{')) {
            QCOMPARE(result.exitCode, 2);
            QVERIFY(result.output.isEmpty());
            QVERIFY2(result.errors.startsWith(expected), result.errors.constData());
            QVERIFY(expected == "usage: " || result.errors.count('\n') == 1);
            return;
        }
        QCOMPARE(result.exitCode, 0);
        QVERIFY(result.errors.isEmpty());
        QVERIFY(result.output.endsWith("}\n") && result.output.count('\n') == 1);
        expected.replace("@", R"("font":{"size":15,"weight":"regular","design":"default"})");
        // QJsonDocument mangles a byte order mark, even inside a string: those are counted apart.
        QCOMPARE(result.output.count("\xEF\xBB\xBF"), input.count("\xEF\xBB\xBF"));
        const QByteArray withoutMarks = QByteArray(result.output).replace("\xEF\xBB\xBF", "");
        QCOMPARE(QJsonDocument::fromJson(withoutMarks).object(),
                 QJsonDocument::fromJson(expected).object());
    }
};

void TestMddump::prints_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected"); // JSON, @ for the body font; or the error's start
    QTest::newRow("every kind of block") << QStringList()
        << "## *T*\n\n- [x] *a*\n1. b\n```sh\n*ls* \"x\"\n```\n```\nx\n```\n"
           "|a|\n|-|\n|1|2|\n> *q*\n---\n- c\n"_ba
        << R"({"blocks":[{"kind":"heading","level":2,"text":[{"text":"T","intents":["emphasized"],
                "font":{"size":20,"weight":"bold","design":"default"}}]},
            {"kind":"emptyLine"},
            {"kind":"taskList","items":[{"indent":0,"checked":true,
                "text":[{"text":"a","intents":["emphasized"],@}]}]},
            {"kind":"orderedList","start":1,
                "items":[{"indent":0,"text":[{"text":"b","intents":[],@}]}]},
            {"kind":"codeBlock","language":"sh","content":"*ls* \"x\"\n"},
            {"kind":"codeBlock","language":null,"content":"x\n"},
            {"kind":"table","header":[[{"text":"a","intents":[],@}]],
                "rows":[[[{"text":"1","intents":[],@}],[{"text":"2","intents":[],@}]]]},
            {"kind":"blockquote","text":[{"text":"q","intents":["emphasized"],@}]},
            {"kind":"horizontalRule"},
            {"kind":"unorderedList","items":[{"indent":0,"text":[{"text":"c","intents":[],@}]}]},
            {"kind":"emptyLine"}]})"_ba;
    QTest::newRow("inline, as read, byte order mark and all") << QStringList{u"--inline"_s}
        << "\xEF\xBB\xBF  a ~~`b`~~ [***l***](<http://x/?a=\"1\">)\n"_ba
        << R"({"runs":[{"text":"  a ","intents":[],@},
            {"text":"b","intents":["code","strikethrough"],@}, {"text":" ","intents":[],@},
            {"text":"l","intents":["emphasized","stronglyEmphasized"],@,
                "link":"http://x/?a=\"1\""},
            {"text":"\n","intents":[],@}]})"_ba;
    QTest::newRow("heading level") << QStringList{u"--heading"_s, u"3"_s} << "*h*"_ba
        << R"({"runs":[{"text":"h","intents":["emphasized"],
                "font":{"size":18,"weight":"bold","design":"default"}}]})"_ba;
    QTest::newRow("truncated sequence") << QStringList{u"--inline"_s} << "a\xE2\x82"_ba
                                        << "quillet-mddump: "_ba;
    QTest::newRow("unknown option") << QStringList{u"--html"_s} << "x"_ba << "usage: "_ba;
    QTest::newRow("level not a number") << QStringList{u"--heading"_s, u"two"_s} << "x"_ba
                                        << "usage: "_ba;
}

QTEST_GUILESS_MAIN(TestMddump)
#include "tst_mddump.moc"
