#ifndef CODECJOB_H
#define CODECJOB_H

#include "joboutcome.h"
#include "jobrunner.h"

// One run of a codec tool, from its start to its outcome: the tool is found
// and started through the runner, its progress passed on, and its end told
// as a JobOutcome, once the job has let go of what it held.
class CodecJob : public QObject
{
    Q_OBJECT

public:
    // The tool is about to start or runs.
    bool isRunning() const { return runner.isBusy(); }
    // Stops the tool and everything it started; ended() with Cancelled
    // follows once they are gone.
    void cancel();

signals:
    void progressed(const ToolProgress &progress);
    // As JobRunner::framesMeasured(); the outcome holds them all.
    void framesMeasured(const QVector<FrameQuality> &frames);
    void ended(const JobOutcome &outcome);

protected:
    CodecJob(JobKind kind, QObject *parent);

    // Starts program, looked up as CodecTools::locate() does; frameLimit as
    // JobRunner::start() takes it.
    void run(const QString &program, const QStringList &arguments, qint32 frameLimit = FrameSeries::maxFrames);
    // Lets go of what the job holds while its tool runs.
    virtual void release() {}

private:
    void finish(const JobEnd &end);
    void failToStart(const QString &program, const QString &errorString);

    const JobKind jobKind;
    JobRunner runner;
};

#endif
