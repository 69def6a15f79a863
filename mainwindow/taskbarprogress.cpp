#include "taskbarprogress.h"

#include "jobs/toolprogress.h"

#include <QWidget>

// A tool tells its progress many times a second; a taskbar needs a few.
static const int sendIntervalMs = 250;

TaskbarProgress::TaskbarProgress(QWidget *window)
    : QObject(window)
{
    throttle.setSingleShot(true);
    throttle.setInterval(sendIntervalMs);
    connect(&throttle, &QTimer::timeout, this, &TaskbarProgress::sendPending);
}

void TaskbarProgress::showProgress(const ToolProgress &progress)
{
    if (progress.percent < 0)
        return;
    pending = qBound(0.0, progress.percent / 100, 1.0);
    if (!throttle.isActive())
        sendPending();
}

// The first update goes at once; the ones that come quicker wait for the
// interval's end, where only the latest is sent.
void TaskbarProgress::sendPending()
{
    if (pending == sent)
        return;
    sent = pending;
    shown = State::Running;
    send(shown, sent);
    throttle.start();
}

void TaskbarProgress::showFailure()
{
    throttle.stop();
    if (shown == State::Hidden)
        return;
    shown = State::Failed;
    send(shown, sent);
}

// Never held back: the last word a job sends is that it is over.
void TaskbarProgress::clear()
{
    throttle.stop();
    pending = sent = -1;
    if (shown == State::Hidden)
        return;
    shown = State::Hidden;
    send(shown, 0);
}
