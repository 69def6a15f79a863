#ifndef TASKBARPROGRESS_H
#define TASKBARPROGRESS_H

#include <QObject>
#include <QTimer>

class QWidget;
struct ToolProgress;

// How far the running job is, on the window's taskbar button or dock icon,
// from the progress the busy dialog shows. The desktop hears of it at most a
// few times a second, and nothing while the tool tells no percent. Each
// platform sends it its own way: the launcher entry over D-Bus, the taskbar
// button's progress on Windows.
class TaskbarProgress : public QObject
{
public:
    explicit TaskbarProgress(QWidget *window);

    void showProgress(const ToolProgress &progress);
    // The job failed: marked so until clear().
    void showFailure();
    // The job is over: nothing shown.
    void clear();

private:
    enum class State { Hidden, Running, Failed };

    void sendPending();
    // The platform's half: state, and for Running and Failed how far, 0 to 1.
    void send(State state, double fraction);

    QTimer throttle;
    State shown = State::Hidden;
    double pending = -1;
    double sent = -1;
};

#endif
