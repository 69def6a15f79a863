#include "quitsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>

#include <sys/socket.h>
#include <unistd.h>

static int signalPipe[2] = {-1, -1};

// Only async-signal-safe calls here: the event loop does the rest.
static void passToEventLoop(int sig)
{
    const char number = char(sig);
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &number, 1);
}

static void quitWithSignal(int fd)
{
    char number = 0;
    if (read(fd, &number, 1) == 1)
        QCoreApplication::exit(128 + number);
}

void quitOnTerminationSignals()
{
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp,
                     [] { quitWithSignal(signalPipe[0]); });
    struct sigaction action = {};
    action.sa_handler = passToEventLoop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGHUP, SIGINT})
        sigaction(sig, &action, nullptr);
}
