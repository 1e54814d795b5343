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
    if (!process.waitForFinished(30000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

QJsonObject parseOutput(const Run &run)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(run.output, &error);
    if (error.error != QJsonParseError::NoError)
        qWarning() << "not JSON:" << error.errorString() << run.output;
    return document.object();
}

QJsonObject run(QString text, const QJsonArray &intents, int size = 15,
                const QString &weight = u"regular"_s)
{
    QJsonObject result{{u"text"_s, text},
                       {u"font"_s, QJsonObject{{u"size"_s, size},
                                               {u"weight"_s, weight},
                                               {u"design"_s, u"default"_s}}},
                       {u"intents"_s, intents}};
    return result;
}

} // namespace

class TestMddump : public QObject {
    Q_OBJECT

private slots:
    void printsBlocks();
    void printsRuns_data();
    void printsRuns();
    void keepsAByteOrderMark();
    void rejectsBadInput_data();
    void rejectsBadInput();
};

void TestMddump::printsBlocks()
{
    const Run result = runTool({}, "# T\n\n- [x] *a*\n1. b\n```sh\nls \"x\"\n```\n|a|\n|-|\n|1|2|\n> q\n---\n- c\n");
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.output.endsWith("}\n"));
    QCOMPARE(result.output.count('\n'), 1);

    QJsonObject heading = run(u"T"_s, {}, 24, u"bold"_s);
    QJsonObject link = run(u"a"_s, {u"emphasized"_s});
    const QJsonArray expected = {
        QJsonObject{{u"kind"_s, u"heading"_s}, {u"level"_s, 1}, {u"text"_s, QJsonArray{heading}}},
        QJsonObject{{u"kind"_s, u"emptyLine"_s}},
        QJsonObject{{u"kind"_s, u"taskList"_s},
                    {u"items"_s, QJsonArray{QJsonObject{{u"indent"_s, 0},
                                                        {u"checked"_s, true},
                                                        {u"text"_s, QJsonArray{link}}}}}},
        QJsonObject{{u"kind"_s, u"orderedList"_s},
                    {u"start"_s, 1},
                    {u"items"_s, QJsonArray{QJsonObject{{u"indent"_s, 0},
                                                        {u"text"_s, QJsonArray{run(u"b"_s, {})}}}}}},
        QJsonObject{{u"kind"_s, u"codeBlock"_s},
                    {u"language"_s, u"sh"_s},
                    {u"content"_s, u"ls \"x\"\n"_s}},
        QJsonObject{{u"kind"_s, u"table"_s},
                    {u"header"_s, QJsonArray{QJsonArray{run(u"a"_s, {})}}},
                    {u"rows"_s, QJsonArray{QJsonArray{QJsonArray{run(u"1"_s, {})},
                                                      QJsonArray{run(u"2"_s, {})}}}}},
        QJsonObject{{u"kind"_s, u"blockquote"_s}, {u"text"_s, QJsonArray{run(u"q"_s, {})}}},
        QJsonObject{{u"kind"_s, u"horizontalRule"_s}},
        QJsonObject{{u"kind"_s, u"unorderedList"_s},
                    {u"items"_s, QJsonArray{QJsonObject{{u"indent"_s, 0},
                                                        {u"text"_s, QJsonArray{run(u"c"_s, {})}}}}}},
        QJsonObject{{u"kind"_s, u"emptyLine"_s}},
    };
    QCOMPARE(parseOutput(result).value(u"blocks"_s).toArray(), expected);
    // The language is null, not missing, when a fence has none.
    QVERIFY(runTool({}, "```\nx\n```").output.contains("\"language\":null"));
}

void TestMddump::printsRuns_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QJsonArray>("runs");

    QJsonObject linked = run(u"l"_s, {u"emphasized"_s, u"stronglyEmphasized"_s});
    linked.insert(u"link"_s, u"http://x/?a=\"1\""_s);
    QTest::newRow("inline, exactly as read")
        << QStringList{u"--inline"_s} << QByteArray("  a ~~`b`~~ [***l***](<http://x/?a=\"1\">)\n")
        << QJsonArray{run(u"  a "_s, {}), run(u"b"_s, {u"code"_s, u"strikethrough"_s}),
                      run(u" "_s, {}), linked, run(u"\n"_s, {})};
    QTest::newRow("heading level") << QStringList{u"--heading"_s, u"3"_s} << QByteArray("*h*")
                                   << QJsonArray{run(u"h"_s, {u"emphasized"_s}, 18, u"bold"_s)};
    QTest::newRow("heading level out of range")
        << QStringList{u"--heading"_s, u"9"_s} << QByteArray("h")
        << QJsonArray{run(u"h"_s, {}, 14, u"bold"_s)};
    QTest::newRow("control characters") << QStringList{u"--inline"_s} << QByteArray("a\x01\tb")
                                        << QJsonArray{run(u"a\x01\tb"_s, {})};
}

void TestMddump::printsRuns()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QJsonArray, runs);
    const Run result = runTool(arguments, input);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(parseOutput(result).value(u"runs"_s).toArray(), runs);
    QVERIFY(result.errors.isEmpty());
}

// QJsonDocument drops a byte order mark even inside a string, so the bytes are checked.
void TestMddump::keepsAByteOrderMark()
{
    const Run result = runTool({u"--inline"_s}, "\xEF\xBB\xBFx");
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.output.startsWith("{\"runs\":[{\"text\":\"\xEF\xBB\xBFx\","),
             result.output.constData());
}

void TestMddump::rejectsBadInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("errorStart");
    QTest::newRow("Latin-1 input") << QStringList{} << QByteArray("caf\xE9") << QByteArray("quillet-mddump: ");
    QTest::newRow("truncated sequence") << QStringList{u"--inline"_s} << QByteArray("a\xE2\x82")
                                        << QByteArray("quillet-mddump: ");
    QTest::newRow("unknown option") << QStringList{u"--html"_s} << QByteArray("x") << QByteArray("usage: ");
    QTest::newRow("heading without level") << QStringList{u"--heading"_s} << QByteArray("x")
                                           << QByteArray("usage: ");
    QTest::newRow("heading level not a number")
        << QStringList{u"--heading"_s, u"two"_s} << QByteArray("x") << QByteArray("usage: ");
}

void TestMddump::rejectsBadInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, errorStart);
    const Run result = runTool(arguments, input);
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.output.isEmpty());
    QVERIFY2(result.errors.startsWith(errorStart), result.errors.constData());
    if (errorStart != "usage: ")
        QCOMPARE(result.errors.count('\n'), 1);
}

QTEST_GUILESS_MAIN(TestMddump)
#include "tst_mddump.moc"
