#ifndef JOBCONTROL_H
#define JOBCONTROL_H

#include <QObject>
#include <QProcess>
#include <QStringList>

#include <chrono>
#include <memory>

// Keeps a codec tool and everything it starts together as one job, whatever
// the tool does (leaving its process group or session, forking twice) and
// however the program ends: stopping the job stops all of it, and nothing of
// it outlives the job or the program. Whatever way the program ends, even
// through exit() when the display goes away, every job still there is asked
// to stop on the way out and killed after the grace.
//
// Each system keeps a job its own way, in a file of its own chosen by the
// build: on Linux the tool runs under a small supervisor of ours, in a PID
// namespace the kernel holds or, failing that, as its child subreaper
// (jobcontrol_unix.cpp); on Windows in a kill-on-close Job Object.
class JobControl : public QObject
{
    Q_OBJECT

public:
    // How long a job may take to stop once asked before it is killed.
    static constexpr std::chrono::milliseconds grace{2000};

    // The tool runs in process, which reads what it prints.
    explicit JobControl(QProcess &process);
    // A job still there is stopped, and waited for, before the object goes.
    ~JobControl() override;

    // Starts program with arguments in process, inside the job.
    void start(const QString &program, const QStringList &arguments);
    // Asks everything of the job to stop, so the tool's own cleanup gets its
    // chance, and kills what is left after the grace. gone() follows.
    void stop();
    // Kills everything of the job at once.
    void kill();
    // Nothing of the job is left, or it never began.
    bool isGone() const;
    // stop(), waited for here, for when there is no event loop to wait in.
    void stopAndWait();

    // How this system holds a job, in a sentence for the version text.
    static QString containment();

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0) && defined(Q_OS_UNIX)
    // Qt 5 runs this in the new process before it runs the program, from the
    // process's setupChildProcess().
    void setUpChildProcess();
#endif

signals:
    void toolStarted();
    // The tool, or what the job needs to run it, could not be started.
    void failedToStart(const QString &reason);
    // The tool ended, as QProcess tells a process's end.
    void toolFinished(int exitCode, QProcess::ExitStatus status);
    // Nothing of the job is left. Also follows a normal end, once whatever
    // the tool left running is stopped.
    void gone();

private:
    struct Platform;
    std::unique_ptr<Platform> platform;
};

#endif
