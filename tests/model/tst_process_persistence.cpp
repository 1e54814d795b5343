// How the saved tabs fare when the process ends: by a quit signal, or killed without warning
// in the middle of autosaving or of saving a file.

#include "model/tab_state_file.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <unistd.h>

using quillet::Scratchpad;
namespace TabStateFile = quillet::TabStateFile;

namespace {

QString helperPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/persistence_helper");
}

// The tabs' texts the state file at `path` holds, or why there are none.
quillet::IoResult<QStringList> readState(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return quillet::ioFailure(file.errorString());
    const auto snapshots = TabStateFile::decode(file.readAll());
    if (!snapshots)
        return quillet::ioFailure(snapshots.reason());
    QStringList contents;
    for (const Scratchpad::Snapshot &snapshot : *snapshots)
        contents.append(snapshot.content);
    return contents;
}

bool waitForReady(QProcess &process)
{
    QDeadlineTimer deadline(10000);
    // Failure lines may come first (a save refused after a kill, see the helper).
    do {
        while (process.canReadLine())
            if (process.readLine() == "ready\n")
                return true;
    } while (!deadline.hasExpired() && process.waitForReadyRead(int(deadline.remainingTime())));
    return false;
}

// Empty when `contents` is one whole generation of the helper's text, else what is wrong: a
// state file holds (g % 7) + 1 tabs of generation g, a saved note one tab's text.
QString describeMixture(const QStringList &contents, bool note)
{
    static const QRegularExpression generationPrefix(QStringLiteral("^g:(\\d+) "));
    const QRegularExpressionMatch match =
        generationPrefix.match(contents.isEmpty() ? QString() : contents.first());
    if (!match.hasMatch())
        return QStringLiteral("%1 tabs, the first holding no generation").arg(contents.size());
    const qint64 generation = match.captured(1).toLongLong();
    if (contents.size() != (note ? 1 : generation % 7 + 1))
        return QStringLiteral("%1 tabs for generation %2").arg(contents.size()).arg(generation);
    for (int tab = 0; tab < contents.size(); ++tab) {
        const QString whole = QStringLiteral("g:%1 tab %2 ").arg(generation).arg(tab) +
                              QString(20000, QChar(u'a' + tab % 26));
        if (contents[tab] != whole)
            return QStringLiteral("tab %1 is not of generation %2").arg(tab).arg(generation);
    }
    return {};
}

} // namespace

class ProcessPersistenceTest : public QObject {
    Q_OBJECT

private slots:
    void quitSignalsSaveTheLastEdits_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<QByteArray>("request");

        QTest::newRow("SIGTERM") << int(SIGTERM) << QByteArray();
        QTest::newRow("SIGINT") << int(SIGINT) << QByteArray();
        QTest::newRow("SIGHUP") << int(SIGHUP) << QByteArray();
        // A failure line to a closed standard output must not end the process (SIGPIPE).
        QTest::newRow("failure line to a closed output, then SIGTERM")
            << int(SIGTERM) << QByteArray("fail\n");
        QTest::newRow("exit() without unwinding, as on a lost X11 connection")
            << 0 << QByteArray("exit\n");
    }

    void quitSignalsSaveTheLastEdits()
    {
        QFETCH(int, signalNumber);
        QFETCH(QByteArray, request);
        QTemporaryDir folder;
        // Two runs in a row: the second must start with the first one's tab and add its own.
        const QStringList texts{QStringLiteral("first run\nnaïve café 日本語 👩‍👩‍👧"),
                                QStringLiteral("second run, typed just before the end")};
        for (int run = 0; run < 2; ++run) {
            QProcess process;
            process.start(helperPath(), {QStringLiteral("quit"), folder.path(), texts[run]});
            QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
            QVERIFY(waitForReady(process));
            const int sent = run == 0 ? SIGTERM : signalNumber;
            if (run == 1 && request == "fail\n") {
                process.closeReadChannel(QProcess::StandardOutput);
                process.setReadChannel(QProcess::StandardError);
                process.write(request);
                QByteArray errors;
                while (!errors.contains("failed") && process.waitForReadyRead(10000))
                    errors += process.readAll();
                QVERIFY2(errors.contains("failed"), errors.constData());
            } else if (run == 1 && !request.isEmpty()) {
                process.write(request);
            }
            if (sent != 0)
                QCOMPARE(::kill(pid_t(process.processId()), sent), 0);
            QVERIFY(process.waitForFinished(10000));
            QCOMPARE(process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(process.exitCode(), sent == 0 ? 1 : 0);
        }
        const auto restored = readState(folder.filePath(QStringLiteral("tabs.json")));
        QVERIFY2(restored, qPrintable(restored.reason()));
        QCOMPARE(*restored, texts);
    }

    void killedMidWriteLeavesOneWholeFile_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("wantedKills");

        QTest::newRow("state file while autosaving") << "churn" << "tabs.json" << 400;
        QTest::newRow("user file while saving") << "save" << "note.txt" << 200;
    }

    void killedMidWriteLeavesOneWholeFile()
    {
        QFETCH(QString, mode);
        QFETCH(QString, target);
        QFETCH(int, wantedKills);
        // Slow builds (the sanitizers) ask for fewer.
        if (const int kills = qEnvironmentVariableIntValue("QUILLET_KILLS"); kills > 0)
            wantedKills = std::min(wantedKills, kills);

        QTemporaryDir folder;
        const QString targetPath = folder.filePath(target);
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        qInfo("random seed %u", seed);

        int kills = 0;
        int interruptedWrites = 0;
        QStringList leftovers;
        constexpr int kMinimumKills = 20;
        QDeadlineTimer hardLimit(120000);
        while (kills < wantedKills && (kills < kMinimumKills || !hardLimit.hasExpired())) {
            // The state file starts afresh each run, so "ready" means this run wrote one; the note
            // keeps its last generation, and the restored tab still names it.
            if (mode == u"churn")
                QFile::remove(targetPath);
            QProcess process;
            process.start(helperPath(), {mode, folder.path()});
            QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
            QVERIFY2(waitForReady(process), "the helper never wrote its first file");
            // Starting again cleared what the previous kill left half-written.
            for (const QString &leftover : std::as_const(leftovers))
                QVERIFY2(!QFile::exists(folder.filePath(leftover)), qPrintable(leftover));
            ::usleep(random.bounded(0u, 8000u));
            QCOMPARE(::kill(pid_t(process.processId()), SIGKILL), 0);
            QVERIFY(process.waitForFinished(10000));
            ++kills;

            QString wrong;
            if (mode == u"churn") {
                const auto contents = readState(targetPath);
                wrong = contents ? describeMixture(*contents, false) : contents.reason();
            } else {
                QFile note(targetPath);
                wrong = note.open(QIODevice::ReadOnly)
                            ? describeMixture({QString::fromUtf8(note.readAll())}, true)
                            : note.errorString();
            }
            QVERIFY2(wrong.isEmpty(),
                     qPrintable(QStringLiteral("kill %1: %2").arg(kills).arg(wrong)));

            // A temporary file left behind means the kill landed inside a write; one write runs at
            // a time, so there is never more than one.
            leftovers = QDir(folder.path())
                            .entryList({QLatin1Char('.') + target + QStringLiteral(".*")},
                                       QDir::Hidden | QDir::Files);
            QVERIFY2(leftovers.size() <= 1, qPrintable(leftovers.join(u' ')));
            interruptedWrites += leftovers.isEmpty() ? 0 : 1;
        }
        qInfo("%d kills, %d inside a write", kills, interruptedWrites);
        QVERIFY2(kills >= kMinimumKills, "too few kills to mean anything");
    }
};

QTEST_GUILESS_MAIN(ProcessPersistenceTest)
#include "tst_process_persistence.moc"
