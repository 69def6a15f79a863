#include "faketools.h"
#include "jobs/jobrunner.h"
#include "jobs/jobcontrol.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

Q_DECLARE_METATYPE(JobEnd::Status)

// The job runner with small fake tools: how a job starts, tells its progress,
// ends, fails to begin or is cancelled, and that nothing it started outlives it.
class TestJobRunner : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void endIsTold_data();
    void endIsTold();
    void missingToolFailsToStart();
    void progressArrivesInOrder();
    void progressIsThrottled();
    void outputIsCappedHeadAndTail();
    void cancelDuringSettleStartsNothing();
    void cancelStopsToolAndWhatItStarted_data();
    void cancelStopsToolAndWhatItStarted();
    void toolIgnoringTermIsKilledAfterGrace();
    void helpersLeftByAFinishedToolAreStopped();
    void destroyedRunnerLeavesNoTool();
    void endedProgramLeavesNoTool_data();
    void endedProgramLeavesNoTool();

private:
    QString path(const QString &name) const { return caseDir.filePath(name); }
    QString tool(const QByteArray &script);
    pid_t readPid(const QString &name) const;
    static bool processGone(pid_t pid);

    QTemporaryDir tempDir;
    QDir caseDir;
    int caseCount = 0;
};

void TestJobRunner::initTestCase()
{
    QVERIFY(tempDir.isValid());
    qRegisterMetaType<JobEnd>();
    qRegisterMetaType<ToolProgress>();
}

// Every case gets a folder of its own, which is also the tools' working folder.
void TestJobRunner::init()
{
    caseDir.setPath(tempDir.filePath(QString::number(++caseCount)));
    QVERIFY(caseDir.mkpath(QStringLiteral(".")));
    QVERIFY(QDir::setCurrent(caseDir.path()));
}

QString TestJobRunner::tool(const QByteArray &script)
{
    writeFakeTool(caseDir.path(), QStringLiteral("tool.sh"), script);
    return path(QStringLiteral("tool.sh"));
}

// 0 when the file is missing, which no live process has as its id.
pid_t TestJobRunner::readPid(const QString &name) const
{
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? pid_t(file.readAll().trimmed().toInt()) : 0;
}

// Gone, or a zombie that only waits for its parent to collect it.
bool TestJobRunner::processGone(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return true;
    const QByteArray stat = status.readAll();
    return stat.mid(stat.lastIndexOf(')') + 2, 1) == "Z";
}

void TestJobRunner::endIsTold_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<JobEnd::Status>("status");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("normal end, output kept")
        << QByteArray("echo 'Compression rate: 3'\n") << JobEnd::Status::Exited << 0
        << QByteArray("Compression rate: 3\n");
    QTest::newRow("exit code, output kept")
        << QByteArray("echo 'Error: bad'\nexit 3\n") << JobEnd::Status::Exited << 3
        << QByteArray("Error: bad\n");
    QTest::newRow("crash") << QByteArray("echo half\nkill -SEGV $$\n") << JobEnd::Status::Crashed
                           << 0 << QByteArray("half\n");
    QTest::newRow("progress and diagnostics on stderr stay out of the output")
        << QByteArray("printf '[50.0%%] 1/2 frames\\r' >&2\necho 'note' >&2\necho done\n")
        << JobEnd::Status::Exited << 0 << QByteArray("done\n");
}

void TestJobRunner::endIsTold()
{
    QFETCH(QByteArray, script);
    QFETCH(JobEnd::Status, status);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, output);
    JobRunner runner;
    QSignalSpy started(&runner, &JobRunner::started);
    QSignalSpy ended(&runner, &JobRunner::ended);

    runner.start(tool(script), {});
    QVERIFY(runner.isBusy());
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
    QCOMPARE(started.size(), 1);
    QVERIFY(!runner.isBusy());
    const auto end = ended[0][0].value<JobEnd>();
    QCOMPARE(end.status, status);
    if (status == JobEnd::Status::Exited)
        QCOMPARE(end.exitCode, exitCode);
    QCOMPARE(end.program, path("tool.sh"));
    QCOMPARE(end.output.head(), output);
    QCOMPARE(end.output.omitted(), 0);
}

void TestJobRunner::missingToolFailsToStart()
{
    JobRunner runner;
    QSignalSpy failed(&runner, &JobRunner::failedToStart);
    QSignalSpy ended(&runner, &JobRunner::ended);

    runner.start(path("absent.exe"), {});
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 10000);
    QCOMPARE(failed[0][0].toString(), path("absent.exe"));
    QVERIFY(!failed[0][1].toString().isEmpty());
    QVERIFY(!runner.isBusy());

    // The runner is ready for the next job, and the failed one tells no end.
    runner.start(tool("exit 0\n"), {});
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
    QCOMPARE(failed.size(), 1);
}

// The tool waits for each update to be seen before it prints the next one.
void TestJobRunner::progressArrivesInOrder()
{
    JobRunner runner;
    QSignalSpy progressed(&runner, &JobRunner::progressed);
    QSignalSpy ended(&runner, &JobRunner::ended);

    runner.start(tool("for i in 1 2 3; do\n"
                      "  printf '[%d.0%%] %d/3 frames, 9.50 fps, eta 0:00:0%d\\r' $((i * 30)) $i $((3 - i)) >&2\n"
                      "  while [ ! -e seen$i ]; do sleep 0.02; done\n"
                      "done\n"),
                 {});
    for (int i = 1; i <= 3; ++i) {
        QTRY_COMPARE_WITH_TIMEOUT(progressed.size(), i, 10000);
        const auto progress = progressed.last()[0].value<ToolProgress>();
        QCOMPARE(progress.percent, 30.0 * i);
        QCOMPARE(progress.frames, qint64(i));
        QCOMPARE(progress.totalFrames, qint64(3));
        QCOMPARE(progress.fps, 9.5);
        QCOMPARE(progress.etaSeconds, qint64(3 - i));
        QFile seen(path(QStringLiteral("seen%1").arg(i)));
        QVERIFY(seen.open(QIODevice::WriteOnly));
    }
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
    QCOMPARE(progressed.size(), 3);
}

// A burst of updates gives a few signals, and the last one is the latest update.
void TestJobRunner::progressIsThrottled()
{
    JobRunner runner;
    QSignalSpy progressed(&runner, &JobRunner::progressed);
    QSignalSpy ended(&runner, &JobRunner::ended);

    runner.start(tool("i=1; while [ $i -le 500 ]; do printf '%d frames\\r' $i >&2; i=$((i + 1)); done\n"
                      "while [ ! -e go ]; do sleep 0.02; done\n"),
                 {});
    QTRY_VERIFY_WITH_TIMEOUT(!progressed.isEmpty()
                                 && progressed.last()[0].value<ToolProgress>().frames == 500,
                             10000);
    QVERIFY2(progressed.size() < 50, qPrintable(QString::number(progressed.size())));
    QFile go(path("go"));
    QVERIFY(go.open(QIODevice::WriteOnly));
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
}

void TestJobRunner::outputIsCappedHeadAndTail()
{
    JobRunner runner;
    QSignalSpy ended(&runner, &JobRunner::ended);

    // About 14.9 MB: "1\n2\n...2000000\n".
    runner.start(tool("seq 1 2000000\n"), {});
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 30000);
    const auto end = ended[0][0].value<JobEnd>();
    const QByteArray head = end.output.head();
    const QByteArray tail = end.output.tail();
    QCOMPARE(head.size(), 1 << 20);
    QCOMPARE(tail.size(), 1 << 20);
    QVERIFY(head.startsWith("1\n2\n3\n"));
    QVERIFY(tail.endsWith("\n1999999\n2000000\n"));
    QCOMPARE(end.output.omitted(), qint64(14888896) - 2 * (1 << 20));
}

// The second job ends after the first would have started, had Cancel not stopped it.
void TestJobRunner::cancelDuringSettleStartsNothing()
{
    JobRunner runner;
    QSignalSpy started(&runner, &JobRunner::started);
    QSignalSpy ended(&runner, &JobRunner::ended);

    runner.start(tool("touch first\n"), {});
    runner.cancel();
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended[0][0].value<JobEnd>().status, JobEnd::Status::Cancelled);
    QVERIFY(!runner.isBusy());

    runner.start(tool("exit 0\n"), {});
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 2, 10000);
    QCOMPARE(started.size(), 1);
    QVERIFY2(!QFile::exists(path("first")), "the cancelled tool ran");
}

void TestJobRunner::cancelStopsToolAndWhatItStarted_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("cleansUp");

    QTest::newRow("a tool that cleans up on SIGTERM")
        << QByteArray("trap 'touch cleaned; exit 143' TERM\necho $$ > pid\n"
                      "while :; do sleep 0.02; done\n")
        << true;
    QTest::newRow("a wrapper script: its encoder goes too")
        << QByteArray("sleep 300 &\necho $! > child\necho $$ > pid\nwait\n") << false;
}

void TestJobRunner::cancelStopsToolAndWhatItStarted()
{
    QFETCH(QByteArray, script);
    QFETCH(bool, cleansUp);
    JobRunner runner;
    QSignalSpy ended(&runner, &JobRunner::ended);
    QSignalSpy progressed(&runner, &JobRunner::progressed);

    runner.start(tool(script), {});
    QTRY_VERIFY_WITH_TIMEOUT(readPid("pid") > 0, 10000);
    const pid_t pid = readPid("pid");
    const pid_t child = readPid("child");
    runner.cancel();
    QVERIFY2(!runner.isBusy(), "the window waits for a cancelled tool");
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
    QCOMPARE(ended[0][0].value<JobEnd>().status, JobEnd::Status::Cancelled);
    QVERIFY2(processGone(pid), "the tool still runs");
    QVERIFY2(child == 0 || processGone(child), "the wrapper's encoder still runs");
    QCOMPARE(QFile::exists(path("cleaned")), cleansUp);
}

void TestJobRunner::toolIgnoringTermIsKilledAfterGrace()
{
    JobRunner runner;
    QSignalSpy ended(&runner, &JobRunner::ended);

    runner.start(tool("trap 'touch asked' TERM\necho $$ > pid\nwhile :; do sleep 0.02; done\n"), {});
    QTRY_VERIFY_WITH_TIMEOUT(readPid("pid") > 0, 10000);
    const pid_t pid = readPid("pid");
    runner.cancel();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path("asked")), 5000);
    QVERIFY2(!processGone(pid), "the tool was killed before its grace");
    QVERIFY(ended.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
    QCOMPARE(ended[0][0].value<JobEnd>().status, JobEnd::Status::Cancelled);
    QVERIFY2(processGone(pid), "the tool outlived its grace");
}

void TestJobRunner::helpersLeftByAFinishedToolAreStopped()
{
    JobRunner runner;
    QSignalSpy ended(&runner, &JobRunner::ended);

    runner.start(tool("sleep 300 &\necho $! > child\n"), {});
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
    QCOMPARE(ended[0][0].value<JobEnd>().status, JobEnd::Status::Exited);
    const pid_t child = readPid("child");
    QVERIFY(child > 0);
    QTRY_VERIFY2_WITH_TIMEOUT(processGone(child), "the tool's helper outlived the job", 5000);
}

void TestJobRunner::destroyedRunnerLeavesNoTool()
{
    auto *runner = new JobRunner;
    runner->start(tool("trap '' TERM\nsleep 300 &\necho $! > child\necho $$ > pid\nwait\n"), {});
    QTRY_VERIFY_WITH_TIMEOUT(readPid("child") > 0, 10000);
    const pid_t pid = readPid("pid");
    const pid_t child = readPid("child");
    delete runner;
    QVERIFY2(processGone(pid), "the tool outlived the runner");
    QTRY_VERIFY2_WITH_TIMEOUT(processGone(child), "the tool's child outlived the runner", 2000);
}

void TestJobRunner::endedProgramLeavesNoTool_data()
{
    QTest::addColumn<QStringList>("hostOptions");
    QTest::addColumn<int>("signal");
    QTest::addColumn<QByteArray>("onTerm");

    // A tool that ignores SIGTERM shows the kill that follows the grace.
    QTest::newRow("SIGTERM to the program, a tool that ignores it")
        << QStringList() << SIGTERM << QByteArray("''");
    QTest::newRow("SIGHUP to the program") << QStringList() << SIGHUP << QByteArray("'exit 1'");
    QTest::newRow("SIGINT to the program") << QStringList() << SIGINT << QByteArray("'exit 1'");
    QTest::newRow("exit() as when the display goes away, a tool that ignores SIGTERM")
        << QStringList{QStringLiteral("--exit-on-input")} << 0 << QByteArray("''");
}

// The tool has a child of its own, which only a stop of the whole group ends.
void TestJobRunner::endedProgramLeavesNoTool()
{
    QFETCH(QStringList, hostOptions);
    QFETCH(int, signal);
    QFETCH(QByteArray, onTerm);
    const QString script =
        tool("trap " + onTerm + " TERM\nsleep 300 &\necho $! > child\necho $$ > pid\nwait\n");
    QProcess host;
    host.start(QStringLiteral(JOBHOST), hostOptions << script);
    QVERIFY(host.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(readPid("pid") > 0, 10000);
    const pid_t pid = readPid("pid");
    const pid_t child = readPid("child");
    if (signal)
        ::kill(pid_t(host.processId()), signal);
    else
        host.write("exit\n");
    QVERIFY2(host.waitForFinished(10000), "the program did not end");
    QCOMPARE(host.readAllStandardOutput(), QByteArray("started\n"));
    QVERIFY2(processGone(pid), "the tool outlived the program");
    QTRY_VERIFY2_WITH_TIMEOUT(processGone(child), "the tool's child outlived the program", 2000);
}

QTEST_GUILESS_MAIN(TestJobRunner)
#include "tst_jobrunner.moc"
