// Figures for the job runner; it passes or fails nothing.
//   jobbench output                 peak memory while a tool prints 1 GB on standard output
//   jobbench cancel                 time from a job's stop to nothing of it left
//   jobbench frames                 memory the per-frame figures of 100,000 frames hold
//   jobbench encode CLIP W H FRAMES the whole encode through the program, from "Ok"
//                                   in the options to the report box, against the
//                                   same encode on the command line
// The encode needs encoder.exe on PATH and runs offscreen like the tests.
#include "jobs/encoderreport.h"
#include "jobs/jobcontrol.h"
#include "jobs/jobrunner.h"
#include "jobs/toolprocess.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/reportbox.h"
#include "answeredchoices.h"
#include "modaldriver.h"
#include "settings/settingsstore.h"
#include "testsettings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstdio>

#include <malloc.h>

static qint64 peakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Runs the runner's job to its end in the event loop and gives that end.
static JobEnd runToEnd(JobRunner &runner, const QString &program, const QStringList &arguments)
{
    JobEnd end;
    QEventLoop loop;
    QObject::connect(&runner, &JobRunner::ended, &loop, [&](const JobEnd &e) {
        end = e;
        loop.quit();
    });
    runner.start(program, arguments);
    loop.exec();
    return end;
}

static int benchOutput()
{
    const qint64 before = peakKiB();
    JobRunner runner;
    QElapsedTimer timer;
    timer.start();
    const JobEnd end = runToEnd(runner, QStringLiteral("/bin/sh"),
                                {QStringLiteral("-c"),
                                 QStringLiteral("yes 'frame statistics line' | head -c 1073741824; "
                                                "echo 'Compression rate: 1'")});
    const QString report = encoderReport(end.output.head() + end.output.tail(),
                                         QStringLiteral("Compression rate"));
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Encode complete"), QString(), QMessageBox::Ok);
    setReportText(box, QString(), report);
    box.show();
    QCoreApplication::processEvents();
    std::printf("1 GB on standard output: box ready after %.1f s; peak memory %lld MiB before the job, "
                "%lld MiB after it (kept %lld bytes, left out %lld)\n",
                timer.elapsed() / 1000.0, before / 1024, peakKiB() / 1024,
                qint64(end.output.head().size() + end.output.tail().size()), end.output.omitted());
    return 0;
}

// In use, mapped blocks included: a large array gets its own mapping.
static double heapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks) + double(info.hblkhd);
}

// The heap the per-frame figures of a long encode hold once it has ended,
// as the outcome keeps them, and the signals that brought them.
static int benchFrames()
{
    const int frames = 100000;
    const QString script = QStringLiteral("awk 'BEGIN { for (i = 0; i < %1; i++) printf \"frame %d B 1830 41.207 "
                                          "44.913 45.502 0.987316\\n\", i }' >&2")
                               .arg(frames);
    const double heapBefore = heapBytes();
    JobRunner runner;
    qsizetype signalled = 0;
    int chunks = 0;
    QObject::connect(&runner, &JobRunner::framesMeasured, [&](const QVector<FrameQuality> &chunk) {
        signalled += chunk.size();
        ++chunks;
    });
    QElapsedTimer timer;
    timer.start();
    const JobEnd end = runToEnd(runner, QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script});
    const double seconds = timer.nsecsElapsed() / 1e9;
    const double heap = heapBytes() - heapBefore;
    std::printf("%d per-frame lines in %.2f s: %lld kept, %lld in %d signals; heap held after the job "
                "%.2f MiB, %.1f bytes a frame (a FrameQuality is %zu bytes); peak memory %lld MiB\n",
                frames, seconds, qint64(end.frames.size()), qint64(signalled), chunks, heap / (1 << 20),
                heap / frames, sizeof(FrameQuality), peakKiB() / 1024);
    return 0;
}

struct StopFigure
{
    double seconds;
    // The encoder the tool started outside its group is still there.
    bool encoderLeft;
};

// From asking a job to stop to nothing of it left, through the job control
// the runner uses. The tool writes its encoder's process id, if it starts
// one, into the file $1 names.
static StopFigure stopJob(const QString &script)
{
    QTemporaryDir dir;
    const QString encoderPidFile = dir.filePath(QStringLiteral("encoder.pid"));
    ToolProcess process;
    QEventLoop loop;
    QObject::connect(&process.job(), &JobControl::toolStarted, &loop, &QEventLoop::quit);
    QObject::connect(&process.job(), &JobControl::gone, &loop, &QEventLoop::quit);
    process.job().start(QStringLiteral("/bin/sh"),
                        {QStringLiteral("-c"), script, QStringLiteral("sh"), encoderPidFile});
    loop.exec();
    // Let the shell set its trap and start its encoder before it is asked to stop.
    QThread::msleep(200);
    QElapsedTimer timer;
    timer.start();
    process.job().stop();
    loop.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;
    QFile pidFile(encoderPidFile);
    const pid_t encoder = pidFile.open(QIODevice::ReadOnly) ? pid_t(pidFile.readAll().trimmed().toInt()) : 0;
    return {seconds, encoder > 0 && ::kill(encoder, 0) == 0};
}

static int benchCancel()
{
    const QString honours = QStringLiteral("trap 'exit 143' TERM; sleep 300 & wait");
    const QString ignores = QStringLiteral("trap '' TERM; sleep 300 & while :; do wait; done");
    const QString setsidWrapper =
        QStringLiteral("trap 'exit 143' TERM; setsid sh -c 'echo $$ > \"$1\"; exec sleep 300' sh \"$1\" & wait");
    for (int round = 1; round <= 3; ++round) {
        const StopFigure honoured = stopJob(honours);
        const StopFigure ignored = stopJob(ignores);
        const StopFigure wrapped = stopJob(setsidWrapper);
        std::printf("round %d: stop to job gone: %.3f s for a tool that honours SIGTERM, "
                    "%.3f s for one that ignores it, %.3f s for a wrapper whose encoder runs "
                    "under setsid (encoder left running: %s; grace %lld ms)\n",
                    round, honoured.seconds, ignored.seconds, wrapped.seconds,
                    wrapped.encoderLeft ? "yes" : "no", qint64(JobControl::grace.count()));
    }
    return 0;
}

struct EncodeSetup
{
    QString clip;
    QString outDir;
    QString configForCommandLine;
};

// From "Ok" in the options dialog to the encoder's report box.
static double encodeThroughProgram(const EncodeSetup &setup)
{
    QFile::remove(setup.outDir + QStringLiteral("/stream.dat"));
    auto choices = std::make_unique<AnsweredChoices>();
    choices->answers << setup.clip << setup.outDir;
    MainWindow window(QString(), std::move(choices));
    window.show();
    ModalDriver driver;
    QElapsedTimer timer;
    driver.expect("optDialog", QStringLiteral("Dialog"), [&timer](QDialog *options) {
        timer.start();
        options->accept();
    });
    driver.expectBox(QStringLiteral("Encode complete"));
    QSignalSpy ended(&window, &MainWindow::jobEnded);
    window.findChild<QPushButton *>(QStringLiteral("pushButtonEnc"))->click();
    const bool boxShown = ended.wait(24 * 3600 * 1000) && !driver.boxes.isEmpty();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!boxShown)
        std::printf("the program showed no report box\n");
    if (driver.boxes.value(0).title != QLatin1String("Encode complete"))
        std::printf("the program's encode did not complete: %s\n", qPrintable(driver.boxes.value(0).text));
    return seconds;
}

static double encodeOnCommandLine(const EncodeSetup &setup)
{
    QFile::remove(setup.outDir + QStringLiteral("/stream.dat"));
    QProcess encoder;
    // Its progress lines are read and dropped, as the program does with them.
    encoder.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    encoder.start(QStringLiteral("encoder.exe"), {setup.configForCommandLine});
    encoder.waitForFinished(-1);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (encoder.exitCode() != 0)
        std::printf("the command-line encode failed: %s\n", encoder.readAllStandardOutput().constData());
    return seconds;
}

static double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

static int benchEncode(const QStringList &args)
{
    QTemporaryDir work;
    isolateSettings(work.filePath(QStringLiteral("settings")));
    QDir::setCurrent(work.path());
    QDir().mkpath(work.filePath(QStringLiteral("out")));
    const EncodeSetup setup{QFileInfo(args[0]).absoluteFilePath(), work.filePath(QStringLiteral("out")),
                            work.filePath(QStringLiteral("cli.txt"))};
    SettingsStore settings;
    settings.setValue(SettingsKeys::width, args[1].toInt());
    settings.setValue(SettingsKeys::height, args[2].toInt());
    settings.setValue(SettingsKeys::nFrames, args[3]);
    QFile config(setup.configForCommandLine);
    config.open(QIODevice::WriteOnly);
    config.write(QStringLiteral("file_in %1\nwidth %2\nheight %3\nnframes %4\nfile_dat %5/stream.dat\n"
                                "quality_param 22\n")
                     .arg(setup.clip, args[1], args[2], args[3], setup.outDir)
                     .toUtf8());
    config.close();

    QList<double> program, commandLine;
    for (int round = 1; round <= 3; ++round) {
        // Each round starts with the other one, so neither always meets a cold cache.
        if (round % 2) {
            program << encodeThroughProgram(setup);
            commandLine << encodeOnCommandLine(setup);
        } else {
            commandLine << encodeOnCommandLine(setup);
            program << encodeThroughProgram(setup);
        }
        std::printf("round %d: through the program %.2f s, on the command line %.2f s\n", round,
                    program.last(), commandLine.last());
    }
    std::printf("Encode %sx%s, %s frames: program %.2f s, command line %.2f s (medians), "
                "ratio %.3f (target <= 1.03)\n",
                qPrintable(args[1]), qPrintable(args[2]), qPrintable(args[3]), median(program),
                median(commandLine), median(program) / median(commandLine));
    return 0;
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString mode = args.value(0);
    if (mode == QLatin1String("output"))
        return benchOutput();
    if (mode == QLatin1String("cancel"))
        return benchCancel();
    if (mode == QLatin1String("frames"))
        return benchFrames();
    if (mode == QLatin1String("encode") && args.size() == 5)
        return benchEncode(args.mid(1));
    std::fprintf(stderr, "usage: jobbench output | cancel | frames | encode CLIP WIDTH HEIGHT FRAMES\n");
    return 2;
}
