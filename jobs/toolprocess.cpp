#include "toolprocess.h"
#include "toolgroups.h"

#include <QDeadlineTimer>

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

static pid_t programPid;

// Runs in the child between fork and exec: only async-signal-safe calls.
static void enterOwnGroup()
{
    setpgid(0, 0);
    // Should the program die without a word (SIGKILL, a crash), the tool goes too.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != programPid)
        raise(SIGKILL);
}

ToolProcess::ToolProcess(QObject *parent)
    : QProcess(parent)
{
    programPid = getpid();
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    setChildProcessModifier(enterOwnGroup);
#endif
    graceTimer.setSingleShot(true);
    // A coarse timer may fire a tenth early: the grace is the tool's, in full.
    graceTimer.setTimerType(Qt::PreciseTimer);
    graceTimer.setInterval(ToolGroups::grace);
    pollTimer.setInterval(20);
    connect(this, &QProcess::started, this, &ToolProcess::rememberGroup);
    connect(this, qOverload<int, QProcess::ExitStatus>(&QProcess::finished),
            this, &ToolProcess::checkGroup);
    connect(this, &QProcess::errorOccurred, this, &ToolProcess::checkGroup);
    connect(&graceTimer, &QTimer::timeout, this, &ToolProcess::killGroup);
    connect(&pollTimer, &QTimer::timeout, this, &ToolProcess::checkGroup);
}

ToolProcess::~ToolProcess()
{
    disconnect(this, nullptr, nullptr, nullptr);
    stopGroupNow();
}

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
void ToolProcess::setupChildProcess()
{
    enterOwnGroup();
}
#endif

void ToolProcess::stopGroup()
{
    if (!group && state() != QProcess::NotRunning)
        rememberGroup();
    if (!group) {
        QTimer::singleShot(0, this, &ToolProcess::groupGone);
        return;
    }
    if (stopping)
        return;
    stopping = true;
    ToolGroups::signal(group, SIGTERM);
    graceTimer.start();
}

// Also called when a stop comes before "started": the child may not have
// made its group yet, and setting it from here as well closes that gap.
void ToolProcess::rememberGroup()
{
    if (group)
        return;
    group = pid_t(processId());
    setpgid(group, group);
    ToolGroups::remember(group);
}

void ToolProcess::deleteWhenGroupGone()
{
    if (!group && state() == QProcess::NotRunning)
        deleteLater();
    else
        connect(this, &ToolProcess::groupGone, this, &QObject::deleteLater);
}

// The leader is collected by QProcess; what else of the group is left is
// stopped like a cancelled job, so a tool's helpers never outlive the job.
void ToolProcess::checkGroup()
{
    if (!group || state() != QProcess::NotRunning)
        return;
    if (ToolGroups::isGone(group)) {
        pollTimer.stop();
        graceTimer.stop();
        ToolGroups::forget(group);
        group = 0;
        emit groupGone();
        return;
    }
    stopGroup();
    pollTimer.start();
}

void ToolProcess::killGroup()
{
    if (group)
        ToolGroups::signal(group, SIGKILL);
}

// The same stop as stopGroup(), waited for here, for when there is no event
// loop left to wait in: at the end of the program.
void ToolProcess::stopGroupNow()
{
    if (!group)
        return;
    if (!stopping)
        ToolGroups::signal(group, SIGTERM);
    const int graceLeft = graceTimer.isActive() ? graceTimer.remainingTime()
                                                : int(ToolGroups::grace.count());
    QDeadlineTimer deadline(graceLeft);
    waitForFinished(graceLeft);
    while (!ToolGroups::isGone(group) && !deadline.hasExpired())
        usleep(10 * 1000);
    if (!ToolGroups::isGone(group)) {
        ToolGroups::signal(group, SIGKILL);
        waitForFinished(1000);
    }
    ToolGroups::forget(group);
    group = 0;
}
