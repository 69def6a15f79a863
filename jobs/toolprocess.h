#ifndef TOOLPROCESS_H
#define TOOLPROCESS_H

#include "jobcontrol.h"

#include <QProcess>

// A codec tool's process, run as a contained job: the process reads what the
// tool prints, its job starts and stops the tool and all the tool starts.
class ToolProcess : public QProcess
{
    Q_OBJECT

public:
    explicit ToolProcess(QObject *parent = nullptr);

    JobControl &job() { return control; }
    // Deletes the object once nothing of its job is left.
    void deleteWhenJobGone();

protected:
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0) && defined(Q_OS_UNIX)
    void setupChildProcess() override;
#endif

private:
    // Goes before the process does: a job still there is stopped first.
    JobControl control;
};

#endif
