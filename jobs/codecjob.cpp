#include "codecjob.h"

#include "encoderreport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>

namespace {
// The user reads these in the window's boxes: they keep its translation context.
class Texts
{
    Q_DECLARE_TR_FUNCTIONS(MainWindow)
};
}

CodecJob::CodecJob(JobKind kind, QObject *parent)
    : QObject(parent),
      jobKind(kind)
{
    connect(&runner, &JobRunner::progressed, this, &CodecJob::progressed);
    connect(&runner, &JobRunner::framesMeasured, this, &CodecJob::framesMeasured);
    connect(&runner, &JobRunner::ended, this, &CodecJob::finish);
    connect(&runner, &JobRunner::failedToStart, this, &CodecJob::failToStart);
}

void CodecJob::cancel()
{
    // config.txt was read as the tool started; the next job may take it at once.
    release();
    runner.cancel();
}

void CodecJob::run(const QString &program, const QStringList &arguments, qint32 frameLimit)
{
    runner.start(CodecTools::locate(program), arguments, frameLimit);
}

// The middle of a huge output was never kept; a line says how much is missing there.
static QByteArray keptOutput(const BoundedOutput &output)
{
    if (output.omitted() == 0)
        return output.head() + output.tail();
    const QString gap = Texts::tr("[... %1 bytes of output left out ...]").arg(QLocale().toString(output.omitted()));
    return output.head() + '\n' + gap.toUtf8() + '\n' + output.tail();
}

// Without the blank lines a progress line's end leaves.
static QString diagnosticsText(const BoundedOutput &diagnostics)
{
    const QString text = QString::fromUtf8(keptOutput(diagnostics)).trimmed();
    return text.isEmpty() ? text : text + QLatin1Char('\n');
}

static JobOutcome::Status statusOf(const JobEnd &end)
{
    switch (end.status) {
    case JobEnd::Status::Cancelled:
        return JobOutcome::Status::Cancelled;
    case JobEnd::Status::Crashed:
        return JobOutcome::Status::Crashed;
    case JobEnd::Status::Exited:
        break;
    }
    return end.exitCode == 0 ? JobOutcome::Status::Succeeded : JobOutcome::Status::Failed;
}

void CodecJob::finish(const JobEnd &end)
{
    release();
    JobOutcome outcome;
    outcome.kind = jobKind;
    outcome.status = statusOf(end);
    outcome.program = QFileInfo(end.program).fileName();
    outcome.exitCode = end.exitCode;
    outcome.frames = end.frames;
    // The decoder prints no compression rate: its report is all it said. The
    // tool's errors and warnings, on standard error, come before it.
    if (outcome.status != JobOutcome::Status::Cancelled)
        outcome.report = diagnosticsText(end.diagnostics)
            + encoderReport(keptOutput(end.output), Texts::tr("Compression rate"));
    emit ended(outcome);
}

void CodecJob::failToStart(const QString &program, const QString &errorString)
{
    release();
    JobOutcome outcome;
    outcome.kind = jobKind;
    outcome.status = JobOutcome::Status::NotStarted;
    outcome.program = QFileInfo(program).fileName();
    outcome.startError = errorString;
    emit ended(outcome);
}
