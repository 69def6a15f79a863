#include "faketools.h"
#include "jobs/jobcontrol.h"
#include "jobs/jobrunner.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <csignal>
#endif

Q_DECLARE_METATYPE(JobEnd::Status)

// How the test ends the program that runs a job: it asks as the system does
// (a signal on Unix, a console event on Windows), or the program ends by
// exit(), or it is killed outright.
enum class Ending { Asked, ExitOnInput, KilledOutright };
Q_DECLARE_METATYPE(Ending)

// The plans of the fake tools a tool spawns, by file name.
using Plans = QMap<QString, QByteArray>;

// The job runner with small fake tools: how a job starts, tells its progress,
// ends, fails to begin or is cancelled, and that nothing it started outlives
// it, wherever it went (another process group or session, a double fork).
class TestJobRunner : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void endIsTold_data();
    void endIsTold();
    void missingToolFailsToStart();
    void missingSupervisorFailsToStart();
    void progressArrivesInOrder();
    void progressIsThrottled();
    void outputIsCappedHeadAndTail();
    void cancelDuringSettleStartsNothing();
    void cancelStopsWholeJob_data();
    void cancelStopsWholeJob();
    void processIgnoringTermIsKilledAfterGrace_data();
    void processIgnoringTermIsKilledAfterGrace();
    void helpersLeftByAFinishedToolAreStopped_data();
    void helpersLeftByAFinishedToolAreStopped();
    void destroyedRunnerLeavesNoTool();
    void endedProgramLeavesNoTool_data();
    void endedProgramLeavesNoTool();
    void harmedSupervisorLeavesNothing_data();
    void harmedSupervisorLeavesNothing();
    void cleanupTestCase();

private:
    QString path(const QString &name) const { return caseDir.filePath(name); }
    QString tool(const QByteArray &plan, const Plans &spawned = {});
    qint64 readPid(const QString &name) const;
    static bool processGone(qint64 pid);

    QTemporaryDir tempDir;
    QDir caseDir;
    int caseCount = 0;
};

// What the user's encoder does: it writes stream.dat when it ends. A job that
// was stopped in time never lets it.
static QByteArray encoderPlan(const QByteArray &firstSteps = {})
{
    return firstSteps + "pid encoder\nsleep 5000\nwrite stream.dat late\n";
}

// Long enough for a stop to end whatever the job still holds.
static const int stopMs = int(JobControl::grace.count()) + 1000;

// How each system asks a process to stop and kills it, for the rows' tags.
#ifdef Q_OS_WIN
static const char stopRequest[] = "Ctrl+Break";
static const char outrightKill[] = "TerminateProcess";
#else
static const char stopRequest[] = "SIGTERM";
static const char outrightKill[] = "SIGKILL";
#endif

#ifdef Q_OS_WIN
static bool underWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}
#else
static bool underWine()
{
    return false;
}
#endif

// Why what needs a request to stop on Windows is not checked under Wine: a
// tool's cleanup, the grace before the kill, the program's own console events.
static const char wineAsksNothing[] = "Wine delivers no Ctrl+Break: GenerateConsoleCtrlEvent fails there, "
                                      "with a console or without";

#ifdef Q_OS_WIN
static bool hasConsole()
{
    DWORD attached = 0;
    return GetConsoleProcessList(&attached, 1) > 0;
}

// Console events reach a process group on the sender's console: the program
// leads a group of its own on the test's.
static void shareConsole(QProcess &host)
{
    host.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments *arguments) {
        arguments->flags = (arguments->flags & ~DWORD(CREATE_NO_WINDOW)) | CREATE_NEW_PROCESS_GROUP;
    });
}

static bool askToEnd(const QProcess &host, int event)
{
    return GenerateConsoleCtrlEvent(DWORD(event), DWORD(host.processId()));
}
#else
static bool askToEnd(const QProcess &host, int signal)
{
    return ::kill(pid_t(host.processId()), signal) == 0;
}
#endif

void TestJobRunner::initTestCase()
{
    QVERIFY(tempDir.isValid());
    qRegisterMetaType<JobEnd>();
    qRegisterMetaType<ToolProgress>();
    qRegisterMetaType<QVector<FrameQuality>>();
}

// Every case gets a folder of its own, which is also the tools' working folder.
void TestJobRunner::init()
{
    caseDir.setPath(tempDir.filePath(QString::number(++caseCount)));
    QVERIFY(caseDir.mkpath(QStringLiteral(".")));
    QVERIFY(QDir::setCurrent(caseDir.path()));
}

// The fake tool following plan, in the case's folder with the plans it
// spawns; its path, or an empty one when it cannot be put there.
QString TestJobRunner::tool(const QByteArray &plan, const Plans &spawned)
{
    for (auto it = spawned.begin(); it != spawned.end(); ++it) {
        QFile file(path(it.key()));
        if (!file.open(QIODevice::WriteOnly) || file.write(it.value()) != it.value().size())
            return QString();
    }
    return installFakeTool(caseDir.path(), QStringLiteral("tool.exe"), plan) ? path("tool.exe") : QString();
}

// 0 when the file is missing, which no live process has as its id.
qint64 TestJobRunner::readPid(const QString &name) const
{
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
}

#ifdef Q_OS_WIN
// No process by that id, or one that has ended and only waits for its last handle to close.
bool TestJobRunner::processGone(qint64 pid)
{
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, DWORD(pid));
    if (!process)
        return true;
    const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}
#else
// Gone, or a zombie that only waits for its parent to collect it.
bool TestJobRunner::processGone(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return true;
    const QByteArray stat = status.readAll();
    return stat.mid(stat.lastIndexOf(')') + 2, 1) == "Z";
}
#endif

void TestJobRunner::endIsTold_data()
{
    QTest::addColumn<QByteArray>("plan");
    QTest::addColumn<JobEnd::Status>("status");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("normal end, output kept")
        << QByteArray("out Compression rate: 3\\n\n") << JobEnd::Status::Exited << 0
        << QByteArray("Compression rate: 3\n");
    QTest::newRow("exit code, output kept")
        << QByteArray("out Error: bad\\n\nexit 3\n") << JobEnd::Status::Exited << 3
        << QByteArray("Error: bad\n");
    QTest::newRow("crash") << QByteArray("out half\\n\ncrash\n") << JobEnd::Status::Crashed << 0
                           << QByteArray("half\n");
    QTest::newRow("progress and diagnostics on stderr stay out of the output")
        << QByteArray("err [50.0%] 1/2 frames\\r\nerr note\\n\nout done\\n\n")
        << JobEnd::Status::Exited << 0 << QByteArray("done\n");
}

void TestJobRunner::endIsTold()
{
    QFETCH(QByteArray, plan);
    QFETCH(JobEnd::Status, status);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, output);
    const QString program = tool(plan);
    QVERIFY(!program.isEmpty());
    JobRunner runner;
    QSignalSpy started(&runner, &JobRunner::started);
    QSignalSpy ended(&runner, &JobRunner::ended);

    runner.start(program, {});
    QVERIFY(runner.isBusy());
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
    QCOMPARE(started.size(), 1);
    QVERIFY(!runner.isBusy());
    const auto end = ended[0][0].value<JobEnd>();
    QCOMPARE(end.status, status);
    if (status == JobEnd::Status::Exited)
        QCOMPARE(end.exitCode, exitCode);
    QCOMPARE(end.program, program);
    QCOMPARE(end.output.head(), output);
    QCOMPARE(end.output.omitted(), 0);
}

void TestJobRunner::missingToolFailsToStart()
{
    const QString program = tool("exit 0\n");
    QVERIFY(!program.isEmpty());
    JobRunner runner;
    QSignalSpy started(&runner, &JobRunner::started);
    QSignalSpy failed(&runner, &JobRunner::failedToStart);
    QSignalSpy ended(&runner, &JobRunner::ended);

    runner.start(path("absent.exe"), {});
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 10000);
    QCOMPARE(failed[0][0].toString(), path("absent.exe"));
    QVERIFY(!failed[0][1].toString().isEmpty());
    QVERIFY(!runner.isBusy());

    // The runner is ready for the next job, and the failed one tells no start and no end.
    runner.start(program, {});
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(started.size(), 1);
}

// A program whose folder has no supervisor beside it runs no tool at all.
void TestJobRunner::missingSupervisorFailsToStart()
{
#ifdef Q_OS_WIN
    QSKIP("On Windows a job is a Job Object of the program's own: there is no supervisor to miss");
#endif
    const QString program = tool("pid pid\n");
    QVERIFY(!program.isEmpty());
    QVERIFY(caseDir.mkdir(QStringLiteral("bin")));
    const QString host = path("bin/jobhost");
    QVERIFY(QFile::copy(QStringLiteral(JOBHOST), host));
    QProcess hostProcess;

    hostProcess.start(host, {program});
    QVERIFY2(hostProcess.waitForFinished(10000), "the program did not end");
    const QString said = QString::fromLocal8Bit(hostProcess.readAllStandardOutput());
    QVERIFY2(said.startsWith(program + QStringLiteral(" could not be started: "))
                 && said.contains(QStringLiteral("supervisor")),
             qPrintable(said));
    QCOMPARE(hostProcess.exitCode(), 1);
    QVERIFY2(!QFile::exists(path("pid")), "the tool ran without its supervisor");
}

// The tool waits for each update to be seen before it prints the next one.
void TestJobRunner::progressArrivesInOrder()
{
    QByteArray plan;
    for (int i = 1; i <= 3; ++i) {
        plan += QStringLiteral("err [%1.0%] %2/3 frames, 9.50 fps, eta 0:00:0%3\\r\nwait seen%2\n")
                    .arg(30 * i).arg(i).arg(3 - i).toLatin1();
    }
    const QString program = tool(plan);
    QVERIFY(!program.isEmpty());
    JobRunner runner;
    QSignalSpy progressed(&runner, &JobRunner::progressed);
    QSignalSpy ended(&runner, &JobRunner::ended);

    runner.start(program, {});
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

// A burst of updates gives a few signals, and the last one is the latest
// update. Per-frame lines come as the tool runs and, in a burst as it ends,
// whole up to the frames asked for, in a few signals before the end.
void TestJobRunner::progressIsThrottled()
{
    QByteArray plan = "err frame 0 I 9 40 40 40 0.9\\n\n", frameLines;
    for (int i = 1; i <= 500; ++i) {
        plan += "err " + QByteArray::number(i) + " frames\\r\n";
        frameLines += "err frame " + QByteArray::number(i) + " P 9 40 40 40 0.9\\n\n";
    }
    const QString program = tool(plan + "wait go\n" + frameLines);
    QVERIFY(!program.isEmpty());
    JobRunner runner;
    QSignalSpy progressed(&runner, &JobRunner::progressed);
    QSignalSpy measured(&runner, &JobRunner::framesMeasured);
    QSignalSpy ended(&runner, &JobRunner::ended);

    runner.start(program, {}, 400);
    QTRY_VERIFY_WITH_TIMEOUT(!progressed.isEmpty()
                                 && progressed.last()[0].value<ToolProgress>().frames == 500,
                             10000);
    QVERIFY2(progressed.size() < 50, qPrintable(QString::number(progressed.size())));
    QCOMPARE(measured.size(), 1);
    QFile go(path("go"));
    QVERIFY(go.open(QIODevice::WriteOnly));
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
    qsizetype frames = 0;
    for (const QList<QVariant> &chunk : measured)
        frames += chunk[0].value<QVector<FrameQuality>>().size();
    QVERIFY2(frames == 400 && measured.size() < 50, qPrintable(QString("%1 in %2").arg(frames).arg(measured.size())));
    QCOMPARE(ended[0][0].value<JobEnd>().frames.size(), 400);
}

// A real tool's huge output, read piece by piece: its ends kept, every byte counted.
void TestJobRunner::outputIsCappedHeadAndTail()
{
    const QString program = tool("out first\\n\nrepeat 2000000 0123456\\n\nout last\\n\n");
    QVERIFY(!program.isEmpty());
    JobRunner runner;
    QSignalSpy ended(&runner, &JobRunner::ended);

    runner.start(program, {});
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 30000);
    const auto end = ended[0][0].value<JobEnd>();
    const QByteArray head = end.output.head();
    const QByteArray tail = end.output.tail();
    QVERIFY(head.startsWith("first\n0123456\n0123456\n"));
    QVERIFY(tail.endsWith("\n0123456\n0123456\nlast\n"));
    QVERIFY2(end.output.omitted() > 0, "the whole output was kept");
    QCOMPARE(head.size() + tail.size() + end.output.omitted(), qint64(6 + 8 * 2000000 + 5));
}

// The second job ends after the first would have started, had Cancel not stopped it.
void TestJobRunner::cancelDuringSettleStartsNothing()
{
    const QString program = tool("touch first\n");
    QVERIFY(!program.isEmpty());
    JobRunner runner;
    QSignalSpy started(&runner, &JobRunner::started);
    QSignalSpy ended(&runner, &JobRunner::ended);

    runner.start(program, {});
    runner.cancel();
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended[0][0].value<JobEnd>().status, JobEnd::Status::Cancelled);
    QVERIFY(!runner.isBusy());

    runner.start(tool("exit 0\n"), {});
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 2, 10000);
    QCOMPARE(started.size(), 1);
    QVERIFY2(!QFile::exists(path("first")), "the cancelled tool ran");
}

void TestJobRunner::cancelStopsWholeJob_data()
{
    QTest::addColumn<QByteArray>("plan");
    QTest::addColumn<Plans>("spawned");
    QTest::addColumn<bool>("cleansUp");

    const QByteArray wrapper = "pid pid\nspawn encoder.plan\nwait never\n";
    QTest::addRow("a tool that cleans up on %s", stopRequest)
        << QByteArray("onterm touch cleaned\npid pid\nwait never\n") << Plans() << true;
    QTest::newRow("a wrapper: its encoder goes too")
        << wrapper << Plans{{"encoder.plan", encoderPlan()}} << false;
    QTest::newRow("a wrapper whose encoder left the group and the session (setsid)")
        << wrapper << Plans{{"encoder.plan", encoderPlan("setsid\n")}} << false;
    QTest::newRow("a wrapper whose encoder forked twice and lost its parent")
        << QByteArray("pid pid\nspawn daemon.plan\nwait never\n")
        << Plans{{"daemon.plan", "setsid\nspawn encoder.plan\nwait encoder\n"},
                 {"encoder.plan", encoderPlan()}}
        << false;
}

void TestJobRunner::cancelStopsWholeJob()
{
    QFETCH(QByteArray, plan);
    QFETCH(Plans, spawned);
    QFETCH(bool, cleansUp);
    if (cleansUp && underWine())
        QSKIP(wineAsksNothing);
    const QString program = tool(plan, spawned);
    QVERIFY(!program.isEmpty());
    JobRunner runner;
    QSignalSpy ended(&runner, &JobRunner::ended);

    runner.start(program, {});
    QTRY_VERIFY_WITH_TIMEOUT(readPid("pid") > 0 && (spawned.isEmpty() || readPid("encoder") > 0), 10000);
    const qint64 pid = readPid("pid");
    const qint64 encoder = readPid("encoder");
    runner.cancel();
    QVERIFY2(!runner.isBusy(), "the window waits for a cancelled tool");
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
    QCOMPARE(ended[0][0].value<JobEnd>().status, JobEnd::Status::Cancelled);
    QTRY_VERIFY2_WITH_TIMEOUT(processGone(pid), "the tool still runs", stopMs);
    QTRY_VERIFY2_WITH_TIMEOUT(encoder == 0 || processGone(encoder), "the wrapper's encoder still runs", stopMs);
    QCOMPARE(QFile::exists(path("cleaned")), cleansUp);
    QVERIFY2(!QFile::exists(path("stream.dat")), "the stopped encoder wrote its stream");
}

void TestJobRunner::processIgnoringTermIsKilledAfterGrace_data()
{
    QTest::addColumn<QByteArray>("plan");
    QTest::addColumn<Plans>("spawned");
    QTest::addColumn<QString>("ignoring");

    QTest::newRow("the tool") << QByteArray("onterm note asked\npid pid\nwait never\n") << Plans()
                              << QStringLiteral("pid");
    QTest::newRow("a wrapper's encoder")
        << QByteArray("spawn encoder.plan\nwait never\n")
        << Plans{{"encoder.plan", "onterm note asked\npid encoder\nwait never\n"}} << QStringLiteral("encoder");
#ifndef Q_OS_WIN
    // On Windows what left the tool's console cannot be asked, only killed
    // (cancelStopsWholeJob's row for such an encoder).
    QTest::newRow("a wrapper's encoder that left the session")
        << QByteArray("spawn encoder.plan\nwait never\n")
        << Plans{{"encoder.plan", "onterm note asked\nsetsid\npid encoder\nwait never\n"}}
        << QStringLiteral("encoder");
#endif
}

void TestJobRunner::processIgnoringTermIsKilledAfterGrace()
{
    QFETCH(QByteArray, plan);
    QFETCH(Plans, spawned);
    QFETCH(QString, ignoring);
    if (underWine())
        QSKIP(wineAsksNothing);
    const QString program = tool(plan, spawned);
    QVERIFY(!program.isEmpty());
    JobRunner runner;
    QSignalSpy ended(&runner, &JobRunner::ended);

    runner.start(program, {});
    QTRY_VERIFY_WITH_TIMEOUT(readPid(ignoring) > 0, 10000);
    const qint64 pid = readPid(ignoring);
    runner.cancel();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path("asked")), 5000);
    QVERIFY2(!processGone(pid), "it was killed before its grace");
    QVERIFY(ended.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
    QCOMPARE(ended[0][0].value<JobEnd>().status, JobEnd::Status::Cancelled);
    QVERIFY2(processGone(pid), "it outlived its grace");
}

void TestJobRunner::helpersLeftByAFinishedToolAreStopped_data()
{
    QTest::addColumn<QByteArray>("helperPlan");

    QTest::newRow("a helper in the tool's group") << encoderPlan();
    QTest::newRow("a helper that left the group and the session") << encoderPlan("setsid\n");
    QTest::addRow("a helper that ignores %s", stopRequest) << encoderPlan("onterm ignore\n");
}

void TestJobRunner::helpersLeftByAFinishedToolAreStopped()
{
    QFETCH(QByteArray, helperPlan);
    const QString program = tool("spawn encoder.plan\nwait encoder\n", {{"encoder.plan", helperPlan}});
    QVERIFY(!program.isEmpty());
    JobRunner runner;
    QSignalSpy ended(&runner, &JobRunner::ended);

    runner.start(program, {});
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
    const auto end = ended[0][0].value<JobEnd>();
    QCOMPARE(end.status, JobEnd::Status::Exited);
    QCOMPARE(end.exitCode, 0);
    const qint64 helper = readPid("encoder");
    QVERIFY(helper > 0);
    QTRY_VERIFY2_WITH_TIMEOUT(processGone(helper), "the tool's helper outlived the job", stopMs);
    QVERIFY2(!QFile::exists(path("stream.dat")), "the helper wrote after the job's end");
}

void TestJobRunner::destroyedRunnerLeavesNoTool()
{
    const QString program = tool("onterm ignore\nspawn encoder.plan\nwait encoder\npid pid\nwait never\n",
                                 {{"encoder.plan", encoderPlan("setsid\n")}});
    QVERIFY(!program.isEmpty());
    auto *runner = new JobRunner;
    runner->start(program, {});
    QTRY_VERIFY_WITH_TIMEOUT(readPid("pid") > 0, 10000);
    const qint64 pid = readPid("pid");
    const qint64 encoder = readPid("encoder");
    delete runner;
    QVERIFY2(processGone(pid), "the tool outlived the runner");
    QVERIFY2(processGone(encoder), "the tool's encoder outlived the runner");
}

void TestJobRunner::endedProgramLeavesNoTool_data()
{
    QTest::addColumn<Ending>("ending");
    QTest::addColumn<int>("request");
    QTest::addColumn<QByteArray>("onTerm");
    QTest::addColumn<QByteArray>("encoderSteps");
    QTest::addColumn<bool>("programWaits");

    // A tool that ignores the request to stop shows the kill that follows the grace.
#ifdef Q_OS_WIN
    QTest::newRow("Ctrl+Break to the program, a tool that ignores it")
        << Ending::Asked << int(CTRL_BREAK_EVENT) << QByteArray("onterm ignore\n") << QByteArray() << true;
#else
    QTest::newRow("SIGTERM to the program, a tool that ignores it")
        << Ending::Asked << SIGTERM << QByteArray("onterm ignore\n") << QByteArray() << true;
    QTest::newRow("SIGHUP to the program") << Ending::Asked << SIGHUP << QByteArray() << QByteArray() << true;
    QTest::newRow("SIGINT to the program") << Ending::Asked << SIGINT << QByteArray() << QByteArray() << true;
#endif
    QTest::addRow("exit() as when the display goes away, a tool that ignores %s", stopRequest)
        << Ending::ExitOnInput << 0 << QByteArray("onterm ignore\n") << QByteArray() << true;
    // Killed outright, the program waits for nothing: the job stops itself.
    QTest::addRow("%s to the program under a plain wrapper", outrightKill)
        << Ending::KilledOutright << 0 << QByteArray() << QByteArray() << false;
    QTest::addRow("%s to the program, an encoder that left the session", outrightKill)
        << Ending::KilledOutright << 0 << QByteArray() << QByteArray("setsid\n") << false;
}

// The tool has an encoder of its own, which only a stop of the whole job ends.
void TestJobRunner::endedProgramLeavesNoTool()
{
    QFETCH(Ending, ending);
    QFETCH(int, request);
    QFETCH(QByteArray, onTerm);
    QFETCH(QByteArray, encoderSteps);
    QFETCH(bool, programWaits);
#ifdef Q_OS_WIN
    if (ending == Ending::Asked && underWine())
        QSKIP(wineAsksNothing);
    if (ending == Ending::Asked && !hasConsole())
        QSKIP("The test has no console to share with the program");
#endif
    const QString program = tool(onTerm + "spawn encoder.plan\nwait encoder\npid pid\nwait never\n",
                                 {{"encoder.plan", encoderPlan(encoderSteps)}});
    QVERIFY(!program.isEmpty());
    QStringList hostArguments{program};
    if (ending == Ending::ExitOnInput)
        hostArguments.prepend(QStringLiteral("--exit-on-input"));
    QProcess host;
#ifdef Q_OS_WIN
    shareConsole(host);
#endif
    // Its lines end in "\n" on every system.
    host.start(QStringLiteral(JOBHOST), hostArguments, QIODevice::ReadWrite | QIODevice::Text);
    QVERIFY(host.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(readPid("pid") > 0, 10000);
    const qint64 pid = readPid("pid");
    const qint64 encoder = readPid("encoder");
    if (ending == Ending::ExitOnInput)
        host.write("exit\n");
    else if (ending == Ending::KilledOutright)
        host.kill();
    else
        QVERIFY2(askToEnd(host, request), "the program could not be asked to end");
    QVERIFY2(host.waitForFinished(10000), "the program did not end");
    QCOMPARE(host.readAllStandardOutput(), QByteArray("started\n"));
    if (programWaits) {
        QVERIFY2(processGone(pid), "the tool outlived the program");
        QVERIFY2(processGone(encoder), "the tool's encoder outlived the program");
    }
    QTRY_VERIFY2_WITH_TIMEOUT(processGone(pid), "the tool outlived the program", stopMs);
    QTRY_VERIFY2_WITH_TIMEOUT(processGone(encoder), "the tool's encoder outlived the program", stopMs);
    QVERIFY2(!QFile::exists(path("stream.dat")), "the encoder wrote after the program's end");
}

#ifndef Q_OS_WIN
// The supervisor of the one job this test runs: our child.
static pid_t supervisorPid()
{
    const QString self = QString::number(getpid());
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> fields = stat.readAll().split(')').value(1).split(' ');
        if (fields.value(2) == self.toLatin1())
            return pid_t(pid.toInt());
    }
    return 0;
}

// Where the system holds no namespace for the job, only the supervisor keeps
// it together: what kills the supervisor outright loses what left the session.
static bool kernelHoldsJobs()
{
    return qgetenv("TUVR_SUPERVISOR_HOLD") != "subreaper";
}
#endif

void TestJobRunner::harmedSupervisorLeavesNothing_data()
{
    QTest::addColumn<bool>("byTool");
    QTest::addColumn<int>("harm");
#ifndef Q_OS_WIN
    for (const bool byTool : {true, false}) {
        const char *who = byTool ? "by the tool" : "from outside";
        QTest::addRow("killed %s", who) << byTool << SIGKILL;
        QTest::addRow("stopped %s", who) << byTool << SIGSTOP;
        QTest::addRow("hung up %s", who) << byTool << SIGHUP;
    }
#endif
}

// Whatever the supervisor suffers, then Cancel: nothing of the job runs on
// (here an encoder that left the session) and nothing writes later.
void TestJobRunner::harmedSupervisorLeavesNothing()
{
#ifdef Q_OS_WIN
    QSKIP("On Windows the program itself holds the job: endedProgramLeavesNoTool kills it");
#else
    QFETCH(bool, byTool);
    QFETCH(int, harm);
    if (harm == SIGKILL && !kernelHoldsJobs())
        QSKIP("Without a namespace, a supervisor killed outright loses what left the session");
    static const QMap<int, QByteArray> names{{SIGKILL, "KILL"}, {SIGSTOP, "STOP"}, {SIGHUP, "HUP"}};
    const QByteArray harmStep = byTool ? "parent " + names[harm] + "\n" : QByteArray();
    const QString program = tool("spawn encoder.plan\nwait encoder\npid pid\n" + harmStep + "wait never\n",
                                 {{"encoder.plan", encoderPlan("setsid\n")}});
    QVERIFY(!program.isEmpty());
    JobRunner runner;
    QSignalSpy ended(&runner, &JobRunner::ended);

    runner.start(program, {});
    QTRY_VERIFY_WITH_TIMEOUT(readPid("pid") > 0, 10000);
    const qint64 pid = readPid("pid");
    const qint64 encoder = readPid("encoder");
    if (!byTool)
        QVERIFY(::kill(supervisorPid(), harm) == 0);
    runner.cancel();
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
    QTRY_VERIFY2_WITH_TIMEOUT(processGone(pid), "the tool outlived its job", stopMs);
    QTRY_VERIFY2_WITH_TIMEOUT(processGone(encoder), "the encoder outlived its job", stopMs);
    QVERIFY2(!QFile::exists(path("stream.dat")), "the encoder wrote after its job's end");
    QTRY_VERIFY2_WITH_TIMEOUT(supervisorPid() == 0, "the supervisor outlived its job", stopMs);
#endif
}

// Windows removes no folder that a process works in, the test's own included.
void TestJobRunner::cleanupTestCase()
{
    QVERIFY(QDir::setCurrent(QDir::tempPath()));
}

QTEST_GUILESS_MAIN(TestJobRunner)
#include "tst_jobrunner.moc"
