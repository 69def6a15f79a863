// A job on Linux: the program's child is our supervisor (tools/supervisor.c),
// which runs the tool in a PID namespace the kernel holds (or, where the
// system allows none, as a child subreaper), keeps all the tool starts within
// the job and exits, as the tool did, only once none of it is left. So the
// supervisor's end is the job's end. SIGTERM asks it to stop the job (the
// grace is its own to keep), SIGUSR1 to kill the job now, and the program's
// death asks it too. A supervisor that has not ended a margin after that,
// stopped or hung, is woken and killed, and the kernel ends its namespace
// with it. Before the tool runs, a status pipe tells whether it could be
// started.
#include "codectools.h"
#include "jobcontrol_p.h"

#include <QDir>

#include <cerrno>
#include <csignal>
#include <ctime>

#include <fcntl.h>
#include <unistd.h>

#include <sys/wait.h>

namespace {
void stopAllAtExit();

RunningJobs<pid_t> supervisors(stopAllAtExit);

void pause10ms()
{
    const timespec step{0, 10 * 1000 * 1000};
    nanosleep(&step, nullptr);
}

// Collects the supervisors that have ended: at exit nobody else does.
bool waitAllGone(std::chrono::milliseconds limit)
{
    for (auto left = limit; left.count() > 0; left -= std::chrono::milliseconds(10)) {
        bool allGone = true;
        for (int slot = 0; slot < supervisors.size; ++slot) {
            const pid_t pid = supervisors.at(slot);
            allGone = allGone && (pid <= 0 || waitpid(pid, nullptr, WNOHANG) != 0);
        }
        if (allGone)
            return true;
        pause10ms();
    }
    return false;
}

void signalAll(int sig)
{
    for (int slot = 0; slot < supervisors.size; ++slot) {
        if (const pid_t pid = supervisors.at(slot); pid > 0)
            ::kill(pid, sig);
    }
}

// A stopped supervisor hears nothing until it runs again.
void killAll()
{
    signalAll(SIGCONT);
    signalAll(SIGUSR1);
}

void stopAllAtExit()
{
    signalAll(SIGTERM);
    if (waitAllGone(JobControl::grace + killMargin))
        return;
    killAll();
    if (!waitAllGone(killMargin)) {
        signalAll(SIGKILL);
        waitAllGone(killMargin);
    }
}

// Never from PATH: the supervisor is ours, beside the program's own tools.
QString supervisorProgram()
{
    return QDir(CodecTools::privateToolsFolder()).filePath(QStringLiteral(TUVR_SUPERVISOR));
}
}

JobControl::Platform::Platform(JobControl &control, QProcess &process) : control(control), process(process)
{
    escalation.setSingleShot(true);
    QObject::connect(&escalation, &QTimer::timeout, &control, [this] { escalate(); });
}

JobControl::Platform::~Platform()
{
    closeStatus();
}

void JobControl::Platform::openStatus(int readEnd)
{
    statusFd = readEnd;
    fcntl(statusFd, F_SETFL, O_NONBLOCK);
    statusWatch = std::make_unique<QSocketNotifier>(statusFd, QSocketNotifier::Read);
    QObject::connect(statusWatch.get(), &QSocketNotifier::activated, &control, [this] { readStatus(); });
}

// An errno from the supervisor when the tool could not be started, or the
// end of the pipe, without a word, once it runs.
void JobControl::Platform::readStatus()
{
    if (statusFd < 0)
        return;
    int error = 0;
    const ssize_t size = read(statusFd, &error, sizeof error);
    if (size < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    closeStatus();
    if (size == sizeof error) {
        failStart(qt_error_string(error));
        return;
    }
    statusEnded = true;
    announceStart();
}

// The pipe also ends when the supervisor itself could not be run: only a
// supervisor that runs ended it for the tool.
void JobControl::Platform::announceStart()
{
    if (start != Start::Pending || !statusEnded || process.state() != QProcess::Running)
        return;
    start = Start::Running;
    emit control.toolStarted();
}

void JobControl::Platform::closeStatus()
{
    statusWatch.reset();
    if (statusFd >= 0)
        close(statusFd);
    statusFd = -1;
}

// Known once the supervisor is forked: right after start() or, at the latest, at "started".
void JobControl::Platform::takeSupervisor()
{
    if (supervisor || process.processId() <= 0)
        return;
    supervisor = pid_t(process.processId());
    supervisors.add(supervisor);
}

void JobControl::Platform::onStarted()
{
    takeSupervisor();
    announceStart();
    if (stopAsked)
        signalSupervisor(SIGTERM);
}

void JobControl::Platform::onFinished(int exitCode, QProcess::ExitStatus status)
{
    supervisors.remove(supervisor);
    // All that held the pipe has ended: its word, if any, is there to read.
    readStatus();
    if (start != Start::Failed) {
        // The supervisor ran, and the tool with it, if only for a moment.
        if (start == Start::Pending) {
            start = Start::Running;
            emit control.toolStarted();
        }
        emit control.toolFinished(exitCode, status);
    }
    emit control.gone();
}

void JobControl::Platform::onErrorOccurred(QProcess::ProcessError error)
{
    if (error != QProcess::FailedToStart)
        return;
    supervisors.remove(supervisor);
    closeStatus();
    failStart(JobControl::tr("Tuv-R's job supervisor %1 is missing or cannot run: %2")
                  .arg(QDir::toNativeSeparators(process.program()), process.errorString()));
    emit control.gone();
}

void JobControl::Platform::failStart(const QString &reason)
{
    start = Start::Failed;
    emit control.failedToStart(reason);
}

void JobControl::Platform::signalSupervisor(int sig) const
{
    if (supervisor > 0 && process.state() != QProcess::NotRunning)
        ::kill(supervisor, sig);
}

void JobControl::Platform::escalateAfter(std::chrono::milliseconds delay)
{
    if (!escalation.isActive())
        escalation.start(delay);
}

// First it is woken and told to kill its job; then, should even that go
// unheard, it is killed, and its namespace with it.
void JobControl::Platform::escalate()
{
    if (killSent) {
        signalSupervisor(SIGKILL);
        return;
    }
    killSent = true;
    signalSupervisor(SIGCONT);
    signalSupervisor(SIGUSR1);
    escalation.start(killMargin);
}

// The supervisor takes the death of the thread that starts it for the
// program's: jobs start from the thread the program lives in, the GUI thread.
void JobControl::start(const QString &program, const QStringList &arguments)
{
    int status[2];
    if (pipe2(status, O_CLOEXEC) != 0) {
        const QString reason = qt_error_string(errno);
        QTimer::singleShot(0, this, [this, reason] {
            platform->failStart(reason);
            emit gone();
        });
        return;
    }
    platform->openStatus(status[0]);
    const int writeEnd = status[1];
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    // Only this child keeps the write end; it never reaches the tool.
    platform->process.setChildProcessModifier([writeEnd] { fcntl(writeEnd, F_SETFD, 0); });
#else
    platform->childStatusFd = writeEnd;
#endif
    platform->process.start(supervisorProgram(),
                            QStringList{QString::number(getpid()), QString::number(writeEnd),
                                        QString::number(grace.count()), program}
                                + arguments);
    close(writeEnd);
    platform->takeSupervisor();
}

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
void JobControl::setUpChildProcess()
{
    fcntl(platform->childStatusFd, F_SETFD, 0);
}
#endif

void JobControl::Platform::askToStop()
{
    stopAsked = true;
    signalSupervisor(SIGTERM);
    escalateAfter(JobControl::grace + killMargin);
}

void JobControl::kill()
{
    platform->escalation.stop();
    platform->escalate();
}

bool JobControl::isGone() const
{
    return platform->process.state() == QProcess::NotRunning;
}

QString JobControl::containment()
{
    QProcess probe;
    probe.start(supervisorProgram(), {QStringLiteral("--containment")});
    if (!probe.waitForFinished(int(killMargin.count())) || probe.exitCode() != 0)
        return tr("Tuv-R's job supervisor %1 is missing or cannot run.")
            .arg(QDir::toNativeSeparators(supervisorProgram()));
    const QByteArray hold = probe.readAllStandardOutput().trimmed();
    if (hold == "pid-namespace")
        return tr("Jobs are held by the kernel, each in a PID namespace of its own.");
    if (hold == "user-and-pid-namespace")
        return tr("Jobs are held by the kernel, each in a user and PID namespace of its own.");
    return tr("Jobs are held by their supervisor as a child subreaper: this system grants them no namespace.");
}

void JobControl::stopAndWait()
{
    if (isGone())
        return;
    stop();
    // Asked, then woken and told to kill, then killed.
    for (const std::chrono::milliseconds wait : {grace + killMargin, killMargin, killMargin}) {
        if (platform->process.waitForFinished(int(wait.count())))
            return;
        kill();
    }
}
