#ifndef JOBRUNNER_H
#define JOBRUNNER_H

#include "boundedoutput.h"
#include "framequality.h"
#include "toolprogress.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>

class ToolProcess;

// How a job ended, with what the tool printed on its standard output.
struct JobEnd
{
    enum class Status { Exited, Crashed, Cancelled };

    Status status = Status::Exited;
    int exitCode = 0;
    QString program;
    // The tool's standard output, kept to its first and last megabytes.
    BoundedOutput output;
    // What else it said on standard error, its errors and warnings, kept alike.
    BoundedOutput diagnostics;
    // The per-frame figures the tool printed on its standard error.
    FrameSeries frames;
};
Q_DECLARE_METATYPE(JobEnd)

// Runs one codec tool at a time and tells, by its signals, how the job goes.
// The tool starts a moment after start(), so a busy dialog shown just before
// can paint first; Cancel in that moment starts nothing.
class JobRunner : public QObject
{
    Q_OBJECT

public:
    explicit JobRunner(QObject *parent = nullptr);
    ~JobRunner() override;

    // frameLimit: the frames the job asks for, when it knows; a per-frame
    // line beyond them is a tool's garbage.
    void start(const QString &program, const QStringList &arguments, qint32 frameLimit = FrameSeries::maxFrames);
    // Stops the job: the tool and all it started are asked to stop, then
    // killed after a grace. ended() with Cancelled follows once nothing of
    // the job is left.
    void cancel();
    // A job is settling or its tool runs.
    bool isBusy() const;

signals:
    void started();
    // At most about ten times a second.
    void progressed(const ToolProgress &progress);
    // The frames the tool measured since the last time, in display order:
    // with progress, and once more before ended().
    void framesMeasured(const QVector<FrameQuality> &frames);
    void failedToStart(const QString &program, const QString &errorString);
    void ended(const JobEnd &end);

private:
    void launch();
    void readOutput();
    void readErrors();
    void takeErrorLines(const ToolProgressParser::Lines &lines);
    void sendProgress();
    void sendFrames();
    void onFailedToStart(const QString &reason);
    void onFinished(int exitCode, QProcess::ExitStatus status);
    void dropProcess();
    void emitCancelled(const QString &program);

    QString program;
    QStringList arguments;
    qint32 frameLimit = FrameSeries::maxFrames;
    QTimer settleTimer;
    ToolProcess *process = nullptr;
    JobEnd end;
    ToolProgressParser progressParser;
    std::optional<ToolProgress> pendingProgress;
    qsizetype framesSent = 0;
    QTimer progressTimer;
};

#endif
