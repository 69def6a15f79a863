#include "quitsignals.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <csignal>
#include <cstdlib>

#include <windows.h>

// The C runtime's signal for each console event, so that the exit code
// tells which one came, as on Unix.
static int signalOf(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
        return SIGINT;
    case CTRL_BREAK_EVENT:
        return SIGBREAK;
    default:
        return SIGTERM;
    }
}

// Runs on a thread of its own, which the system starts for the event: the
// event loop does the rest.
static BOOL WINAPI passToEventLoop(DWORD event)
{
    const int exitCode = 128 + signalOf(event);
    if (QCoreApplication *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, [exitCode] { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
    // The system ends the program as soon as this returns from the console's
    // closing, a logoff or a shutdown: it waits here while the program ends
    // its own way, and ends with it (or at the system's time limit).
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Sleep(INFINITE);
    return TRUE;
}

// Windows ends the program as soon as it has told it the session ends, long
// before the event loop would return: exit() ends it at once instead, which
// still asks every job to stop and kills it after the grace.
class SessionEndFilter : public QObject, public QAbstractNativeEventFilter
{
public:
    using QObject::QObject;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        const auto *msg = static_cast<const MSG *>(message);
        if (eventType == "windows_generic_MSG" && msg->message == WM_ENDSESSION && msg->wParam)
            std::exit(128 + SIGTERM);
        return false;
    }
};

void quitOnTerminationSignals()
{
    SetConsoleCtrlHandler(passToEventLoop, TRUE);
    qApp->installNativeEventFilter(new SessionEndFilter(qApp));
}
