// A program that runs one codec tool the way Tuv-R does and then ends as the
// test asks: by the system's request to end it (a termination signal on
// Unix, a console event on Windows), by being killed outright, or, with
// "--exit-on-input", by exit() as soon as a line arrives on its standard
// input, as Qt ends a program whose display went away. It prints "started"
// once the tool runs, or why it could not start it, and then ends with 1.
#include "app/quitsignals.h"
#include "jobs/jobrunner.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

#ifdef Q_OS_WIN
#include <thread>

#include <windows.h>
#else
#include <QSocketNotifier>

#include <unistd.h>
#endif

static void exitFromEventLoop()
{
    std::exit(1);
}

#ifdef Q_OS_WIN
// A pipe cannot be waited for on Windows: a thread reads it, below the C
// runtime, whose streams exit() locks, and hands over to the event loop.
static void exitOnInput()
{
    std::thread([] {
        char byte = 0;
        DWORD read = 0;
        if (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &read, nullptr) && read == 1)
            QMetaObject::invokeMethod(qApp, exitFromEventLoop, Qt::QueuedConnection);
    }).detach();
}
#else
static void exitOnInput()
{
    auto *input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, qApp);
    QObject::connect(input, &QSocketNotifier::activated, qApp, exitFromEventLoop);
}
#endif

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool exitsOnInput = arguments.removeAll(QStringLiteral("--exit-on-input")) > 0;
    if (arguments.isEmpty())
        return 2;
    quitOnTerminationSignals();
    if (exitsOnInput)
        exitOnInput();
    JobRunner runner;
    QObject::connect(&runner, &JobRunner::started, [] {
        std::printf("started\n");
        std::fflush(stdout);
    });
    QObject::connect(&runner, &JobRunner::failedToStart, [](const QString &program, const QString &reason) {
        std::printf("%s could not be started: %s\n", qPrintable(program), qPrintable(reason));
        QCoreApplication::exit(1);
    });
    runner.start(arguments.takeFirst(), arguments);
    return app.exec();
}
