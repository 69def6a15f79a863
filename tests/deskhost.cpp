// Tells the desktop what one job tells it, the way the window does: its
// progress on the taskbar, then its end as a notification; then it ends,
// and what it sent must have left by then. The tests run it with a session
// bus, without one, and with one that never answers.
#include "jobs/toolprogress.h"
#include "mainwindow/desktopnotification.h"
#include "mainwindow/taskbarprogress.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    TaskbarProgress taskbar(&window);
    ToolProgress progress;
    progress.percent = 40;
    taskbar.showProgress(progress);
    taskbar.clear();
    showDesktopNotification(QStringLiteral("Decode complete"), QStringLiteral("Decoded 3 frames"));
    return 0;
}
