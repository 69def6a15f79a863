#include "jobrunner.h"
#include "toolprocess.h"

#include <cstdio>

// Lets the busy dialog appear and paint before the tool takes the machine.
static const int settleMs = 100;
// Updates closer together than this would only make the dialog flicker.
static const int progressIntervalMs = 100;

JobRunner::JobRunner(QObject *parent)
    : QObject(parent)
{
    settleTimer.setSingleShot(true);
    settleTimer.setInterval(settleMs);
    progressTimer.setSingleShot(true);
    progressTimer.setInterval(progressIntervalMs);
    connect(&settleTimer, &QTimer::timeout, this, &JobRunner::launch);
    connect(&progressTimer, &QTimer::timeout, this, &JobRunner::sendProgress);
}

// The tools still running or stopping are children: each stops its job as it goes.
JobRunner::~JobRunner() = default;

void JobRunner::start(const QString &program, const QStringList &arguments, qint32 frameLimit)
{
    cancel();
    this->program = program;
    this->arguments = arguments;
    this->frameLimit = frameLimit;
    settleTimer.start();
}

void JobRunner::cancel()
{
    if (settleTimer.isActive()) {
        settleTimer.stop();
        emitCancelled(program);
        return;
    }
    if (!process)
        return;
    ToolProcess *stopping = process;
    const QString stoppedProgram = program;
    dropProcess();
    connect(&stopping->job(), &JobControl::gone, this,
            [this, stoppedProgram] { emitCancelled(stoppedProgram); });
    stopping->deleteWhenJobGone();
    stopping->job().stop();
}

bool JobRunner::isBusy() const
{
    return settleTimer.isActive() || process;
}

void JobRunner::launch()
{
    end = JobEnd();
    end.program = program;
    end.frames = FrameSeries(frameLimit);
    framesSent = 0;
    progressParser = ToolProgressParser();
    pendingProgress.reset();
    process = new ToolProcess(this);
    connect(process, &QProcess::readyReadStandardOutput, this, &JobRunner::readOutput);
    connect(process, &QProcess::readyReadStandardError, this, &JobRunner::readErrors);
    connect(&process->job(), &JobControl::toolStarted, this, &JobRunner::started);
    connect(&process->job(), &JobControl::failedToStart, this, &JobRunner::onFailedToStart);
    connect(&process->job(), &JobControl::toolFinished, this, &JobRunner::onFinished);
    process->job().start(program, arguments);
}

void JobRunner::readOutput()
{
    end.output.append(process->readAllStandardOutput());
}

void JobRunner::readErrors()
{
    takeErrorLines(progressParser.feed(process->readAllStandardError()));
}

// Progress and the per-frame figures go to the dialog; the rest of the
// tool's diagnostics to its end, and to our own standard error as they come.
void JobRunner::takeErrorLines(const ToolProgressParser::Lines &lines)
{
    if (!lines.otherText.isEmpty()) {
        end.diagnostics.append(lines.otherText);
        std::fwrite(lines.otherText.constData(), 1, size_t(lines.otherText.size()), stderr);
        std::fflush(stderr);
    }
    for (const FrameQuality &frame : lines.frames)
        end.frames.append(frame);
    if (!lines.updates.isEmpty())
        pendingProgress = lines.updates.last();
    if (!progressTimer.isActive())
        sendProgress();
}

void JobRunner::sendProgress()
{
    if (!pendingProgress && framesSent == end.frames.size())
        return;
    progressTimer.start();
    sendFrames();
    if (!pendingProgress)
        return;
    const ToolProgress progress = *pendingProgress;
    pendingProgress.reset();
    emit progressed(progress);
}

void JobRunner::sendFrames()
{
    if (framesSent == end.frames.size())
        return;
    const QVector<FrameQuality> frames = end.frames.frames().mid(framesSent);
    framesSent = end.frames.size();
    emit framesMeasured(frames);
}

void JobRunner::onFailedToStart(const QString &reason)
{
    process->deleteWhenJobGone();
    dropProcess();
    emit failedToStart(program, reason);
}

void JobRunner::onFinished(int exitCode, QProcess::ExitStatus status)
{
    readOutput();
    takeErrorLines(progressParser.feed(process->readAllStandardError()));
    takeErrorLines(progressParser.finish());
    sendFrames();
    end.status = status == QProcess::CrashExit ? JobEnd::Status::Crashed : JobEnd::Status::Exited;
    end.exitCode = exitCode;
    // Anything the tool left running is stopped before the object goes.
    process->deleteWhenJobGone();
    dropProcess();
    const JobEnd result = end;
    end = JobEnd();
    emit this->ended(result);
}

// The job is over for the window; its tool no longer speaks to the runner.
void JobRunner::dropProcess()
{
    disconnect(process, nullptr, this, nullptr);
    disconnect(&process->job(), nullptr, this, nullptr);
    process = nullptr;
    progressTimer.stop();
    pendingProgress.reset();
}

void JobRunner::emitCancelled(const QString &program)
{
    JobEnd cancelled;
    cancelled.status = JobEnd::Status::Cancelled;
    cancelled.program = program;
    emit ended(cancelled);
}
