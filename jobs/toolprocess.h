#ifndef TOOLPROCESS_H
#define TOOLPROCESS_H

#include <QProcess>
#include <QTimer>

#include <sys/types.h>

// A codec tool's process. It runs in a process group of its own, so that
// stopping it also stops whatever it started (a wrapper script's encoder),
// and nothing of it outlives the program.
class ToolProcess : public QProcess
{
    Q_OBJECT

public:
    explicit ToolProcess(QObject *parent = nullptr);
    // A group still there is stopped before the object goes: asked, then killed.
    ~ToolProcess() override;

    // Asks the whole group to stop (SIGTERM) and kills it if it is still
    // there after the grace; the tool's own cleanup gets its chance.
    void stopGroup();
    // Deletes the object once nothing of its group is left.
    void deleteWhenGroupGone();

signals:
    // No process of the group is left. Also follows a normal end, once any
    // process the tool left behind is stopped.
    void groupGone();

protected:
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    void setupChildProcess() override;
#endif

private:
    void rememberGroup();
    void checkGroup();
    void killGroup();
    void stopGroupNow();

    pid_t group = 0;
    bool stopping = false;
    QTimer graceTimer;
    QTimer pollTimer;
};

#endif
