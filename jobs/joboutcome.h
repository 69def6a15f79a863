#ifndef JOBOUTCOME_H
#define JOBOUTCOME_H

#include "codectools.h"
#include "framequality.h"

#include <QMetaType>
#include <QString>

// How a codec job ended, as the user is to be told.
struct JobOutcome
{
    enum class Status { Succeeded, Failed, Crashed, Cancelled, NotStarted };

    JobKind kind = JobKind::Encode;
    Status status = Status::Succeeded;
    // The tool's file name, as the messages give it.
    QString program;
    int exitCode = 0;
    // Why the tool could not be started, as the system said it.
    QString startError;
    // What the tool said for the user: the encoder's report from
    // "Compression rate" on, all of the decoder's lines.
    QString report;
    // The encoder's per-frame figures in display order, for after the
    // encode; empty when the tool printed none.
    FrameSeries frames;

    bool succeeded() const { return status == Status::Succeeded; }
    // "Encode complete", "Decode failed", ...
    QString title() const;
    // The words before the report: "Decode complete", "encoder.exe crashed.", ...;
    // empty for a finished encode, whose report says it all.
    QString summary() const;
};
Q_DECLARE_METATYPE(JobOutcome)

#endif
