// Tells the desktop what one job tells it, the way the window does: its
// progress on the taskbar, then its end as a notification; then it ends.
// The tests run it with a session bus and without one.
#include "jobs/toolprogress.h"
#include "mainwindow/desktopnotification.h"
#include "mainwindow/taskbarprogress.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
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
    // A round trip to the bus, so that what was sent has left before the program ends.
    QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")));
    return 0;
}
