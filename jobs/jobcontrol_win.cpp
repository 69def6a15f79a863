// A job on Windows: the tool runs in a Job Object of its own that kills all
// it holds once its last handle closes, so nothing of the job outlives the
// program, even one killed outright. The tool is created suspended and joins
// the job before it runs, so everything it starts is born inside the job;
// no process of the job may break away from it. The tool leads a process
// group of its own on a console (the program's, or a hidden one of the
// tool's own when the program has none): asking to stop is Ctrl+Break to that
// group, killing is ending the job. The job is over once the tool has ended
// and the job holds no process; until then the tool's end is not told, as on
// Linux, where the supervisor ends last.
#include "jobcontrol_p.h"

#include <cstddef>

namespace {
// How often a job whose tool has ended is looked at until it is empty.
constexpr std::chrono::milliseconds emptyPollInterval{20};
// What QProcess::kill() gives a process: QProcess takes it for a crash, as
// it does a process killed on Linux.
constexpr UINT killedExitCode = 0xf291;
// The processes of one job that asking to stop looks at for their console.
constexpr DWORD listedProcessesMax = 64;

void stopAllAtExit();

RunningJobs<HANDLE> listedJobs(stopAllAtExit);
// Each listed job's tool process group, which asking to stop addresses.
std::atomic<DWORD> listedGroups[RunningJobs<HANDLE>::size];

QString lastErrorText()
{
    return qt_error_string(int(GetLastError()));
}

// Nothing of the job outlives its last handle, and a process of it that
// crashes ends at once instead of waiting behind an error report.
HANDLE createJob()
{
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        const DWORD error = GetLastError();
        CloseHandle(job);
        SetLastError(error);
        return nullptr;
    }
    return job;
}

// A job that cannot be asked holds nothing we could stop: taken for empty,
// and closing its handle ends whatever it still holds.
DWORD activeProcesses(HANDLE job)
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof accounting,
                                   nullptr))
        return 0;
    return accounting.ActiveProcesses;
}

bool waitEmpty(HANDLE job, std::chrono::milliseconds limit)
{
    for (auto left = limit; left.count() > 0; left -= std::chrono::milliseconds(10)) {
        if (activeProcesses(job) == 0)
            return true;
        Sleep(10);
    }
    return activeProcesses(job) == 0;
}

bool hasConsole()
{
    DWORD attached = 0;
    return GetConsoleProcessList(&attached, 1) > 0;
}

// Ctrl+Break reaches only the processes on the sender's console. The
// program without a console borrows, for the moment, that of a process of
// the job: the tool's, if it still runs, comes first in the job's list.
bool attachToJobConsole(HANDLE job)
{
    alignas(JOBOBJECT_BASIC_PROCESS_ID_LIST) char buffer[offsetof(JOBOBJECT_BASIC_PROCESS_ID_LIST, ProcessIdList)
                                                        + listedProcessesMax * sizeof(ULONG_PTR)] = {};
    auto *list = reinterpret_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST *>(buffer);
    // A job with more processes than fit still lists the first ones.
    QueryInformationJobObject(job, JobObjectBasicProcessIdList, list, sizeof buffer, nullptr);
    for (DWORD i = 0; i < list->NumberOfProcessIdsInList && i < listedProcessesMax; ++i) {
        if (AttachConsole(DWORD(list->ProcessIdList[i])))
            return true;
    }
    return false;
}

// Whatever left the tool's console or group can only be killed after the grace.
void askJobToStop(HANDLE job, DWORD group)
{
    if (!job || group == 0)
        return;
    if (hasConsole()) {
        GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, group);
        return;
    }
    if (!attachToJobConsole(job))
        return;
    GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, group);
    FreeConsole();
}

bool waitAllEmpty(std::chrono::milliseconds limit)
{
    for (auto left = limit; left.count() > 0; left -= std::chrono::milliseconds(10)) {
        bool allEmpty = true;
        for (int slot = 0; slot < listedJobs.size; ++slot) {
            const HANDLE job = listedJobs.at(slot);
            allEmpty = allEmpty && (!job || activeProcesses(job) == 0);
        }
        if (allEmpty)
            return true;
        Sleep(10);
    }
    return false;
}

// The handles close as the program ends, which would kill at once: each job
// is asked first, and only what outlives the grace is ended.
void stopAllAtExit()
{
    for (int slot = 0; slot < listedJobs.size; ++slot)
        askJobToStop(listedJobs.at(slot), listedGroups[slot].load());
    if (waitAllEmpty(JobControl::grace))
        return;
    for (int slot = 0; slot < listedJobs.size; ++slot) {
        if (const HANDLE job = listedJobs.at(slot))
            TerminateJobObject(job, killedExitCode);
    }
    waitAllEmpty(killMargin);
}

void remember(HANDLE job, DWORD group)
{
    if (const int slot = listedJobs.add(job); slot >= 0)
        listedGroups[slot].store(group);
}

void forget(HANDLE job)
{
    if (const int slot = listedJobs.remove(job); slot >= 0)
        listedGroups[slot].store(0);
}
}


JobControl::Platform::Platform(JobControl &control, QProcess &process)
    : control(control), process(process)
{
    graceTimer.setSingleShot(true);
    graceTimer.setInterval(JobControl::grace);
    emptyPoll.setInterval(emptyPollInterval);
    QObject::connect(&graceTimer, &QTimer::timeout, &control, [this] { killJob(); });
    QObject::connect(&emptyPoll, &QTimer::timeout, &control, [this] { settle(); });
}

JobControl::Platform::~Platform()
{
    closeJob();
}

// Suspended until it is in its job, leading a group of its own on a console
// the program can reach: its own, or else a hidden one of the tool's.
void JobControl::Platform::prepareCreation(QProcess::CreateProcessArguments *arguments)
{
    arguments->flags |= CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP;
    if (hasConsole())
        arguments->flags &= ~DWORD(CREATE_NO_WINDOW);
    else
        arguments->flags |= CREATE_NO_WINDOW;
    created = arguments->processInformation;
}

// A tool the job cannot hold never runs: it ends while still suspended.
void JobControl::Platform::onStarted()
{
    const PROCESS_INFORMATION tool = *created;
    created = nullptr;
    if (!AssignProcessToJobObject(job, tool.hProcess)) {
        const QString reason = lastErrorText();
        TerminateProcess(tool.hProcess, killedExitCode);
        failStart(reason);
        return;
    }
    group = tool.dwProcessId;
    remember(job, group);
    if (ResumeThread(tool.hThread) == DWORD(-1)) {
        const QString reason = lastErrorText();
        TerminateJobObject(job, killedExitCode);
        failStart(reason);
        return;
    }
    start = Start::Running;
    emit control.toolStarted();
}

void JobControl::Platform::onFinished(int exitCode, QProcess::ExitStatus status)
{
    this->exitCode = exitCode;
    exitStatus = status;
    // What the tool left running is stopped as a cancelled job is.
    if (job && activeProcesses(job) > 0)
        control.stop();
    settle();
}

void JobControl::Platform::onErrorOccurred(QProcess::ProcessError error)
{
    if (error == QProcess::FailedToStart && start == Start::Pending)
        failStart(process.errorString());
}

void JobControl::Platform::failStart(const QString &reason)
{
    start = Start::Failed;
    untoldFailure = reason;
    QTimer::singleShot(0, &control, [this] {
        const QString reason = *untoldFailure;
        untoldFailure.reset();
        emit control.failedToStart(reason);
        settle();
    });
}

// The tool's end is told, and then the job's, once the tool has ended and
// the job holds nothing more.
void JobControl::Platform::settle()
{
    if (!job || untoldFailure || process.state() != QProcess::NotRunning)
        return;
    if (activeProcesses(job) > 0) {
        emptyPoll.start();
        return;
    }
    closeJob();
    if (start == Start::Running)
        emit control.toolFinished(exitCode, exitStatus);
    emit control.gone();
}

void JobControl::Platform::killJob()
{
    if (job)
        TerminateJobObject(job, killedExitCode);
}

void JobControl::Platform::closeJob()
{
    emptyPoll.stop();
    graceTimer.stop();
    if (!job)
        return;
    forget(job);
    CloseHandle(job);
    job = nullptr;
}

void JobControl::start(const QString &program, const QStringList &arguments)
{
    platform->job = createJob();
    if (!platform->job) {
        const QString reason = lastErrorText();
        QTimer::singleShot(0, this, [this, reason] {
            emit failedToStart(reason);
            emit gone();
        });
        return;
    }
    platform->process.setCreateProcessArgumentsModifier(
        [this](QProcess::CreateProcessArguments *arguments) { platform->prepareCreation(arguments); });
    platform->process.start(program, arguments);
}

void JobControl::Platform::askToStop()
{
    if (graceTimer.isActive())
        return;
    askJobToStop(job, group);
    graceTimer.start();
}

void JobControl::kill()
{
    platform->killJob();
}

bool JobControl::isGone() const
{
    return !platform->job;
}

// QProcess hears of the tool's end here too, so it holds no process as it goes.
void JobControl::stopAndWait()
{
    if (isGone())
        return;
    askJobToStop(platform->job, platform->group);
    if (!waitEmpty(platform->job, grace)) {
        kill();
        waitEmpty(platform->job, killMargin);
    }
    platform->process.waitForFinished(int(killMargin.count()));
    platform->settle();
}

QString JobControl::containment()
{
    return tr("Jobs are held by Windows, each in a Job Object that ends with the program.");
}
