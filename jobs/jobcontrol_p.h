#ifndef JOBCONTROL_P_H
#define JOBCONTROL_P_H

// What a JobControl keeps on each system, and the facts both systems share;
// jobcontrol.cpp holds the shared half, jobcontrol_unix.cpp and
// jobcontrol_win.cpp each system's own.
#include "jobcontrol.h"

#include <QTimer>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <optional>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <QSocketNotifier>

#include <sys/types.h>
#endif

// Past the grace, the last kill takes no longer than this.
constexpr std::chrono::milliseconds killMargin{1000};

// The jobs still running, for the program's end through exit(): one job runs
// at a time, plus a few cancelled ones still stopping. Id{} marks a free
// slot; atExit, hooked at the first job, stops those still listed.
template <typename Id>
class RunningJobs
{
public:
    static constexpr int size = 16;

    explicit constexpr RunningJobs(void (*atExit)()) : atExit(atExit) {}

    // The job's slot, or -1 when all are taken.
    int add(Id id)
    {
        if (!hooked.exchange(true))
            std::atexit(atExit);
        for (int slot = 0; slot < size; ++slot) {
            Id empty{};
            if (ids[slot].compare_exchange_strong(empty, id))
                return slot;
        }
        return -1;
    }

    // The slot the job had, or -1.
    int remove(Id id)
    {
        for (int slot = 0; slot < size; ++slot) {
            Id listed = id;
            if (ids[slot].compare_exchange_strong(listed, Id{}))
                return slot;
        }
        return -1;
    }

    Id at(int slot) const { return ids[slot].load(); }

private:
    void (*const atExit)();
    std::atomic<bool> hooked{false};
    std::atomic<Id> ids[size] = {};
};

struct JobControl::Platform
{
    enum class Start { Pending, Running, Failed };

    Platform(JobControl &control, QProcess &process);
    ~Platform();

    // What QProcess tells of the process the job runs in.
    void onStarted();
    void onFinished(int exitCode, QProcess::ExitStatus status);
    void onErrorOccurred(QProcess::ProcessError error);
    // stop() for a job not yet gone.
    void askToStop();
    void failStart(const QString &reason);

    JobControl &control;
    QProcess &process;
    Start start = Start::Pending;

#ifdef Q_OS_WIN
    void prepareCreation(QProcess::CreateProcessArguments *arguments);
    void settle();
    void killJob();
    void closeJob();

    HANDLE job = nullptr;
    DWORD group = 0;
    // Qt's record of the process just created, read once at "started".
    PROCESS_INFORMATION *created = nullptr;
    // A failure to start is told from the event loop, as on Linux.
    std::optional<QString> untoldFailure;
    int exitCode = 0;
    QProcess::ExitStatus exitStatus = QProcess::NormalExit;
    QTimer graceTimer;
    QTimer emptyPoll;
#else
    void openStatus(int readEnd);
    void readStatus();
    void closeStatus();
    void announceStart();
    void takeSupervisor();
    void signalSupervisor(int sig) const;
    void escalateAfter(std::chrono::milliseconds delay);
    void escalate();

    pid_t supervisor = 0;
    bool stopAsked = false;
    bool killSent = false;
    bool statusEnded = false;
    int statusFd = -1;
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    int childStatusFd = -1;
#endif
    std::unique_ptr<QSocketNotifier> statusWatch;
    // Wakes and kills a supervisor that has not ended in time.
    QTimer escalation;
#endif
};

#endif
