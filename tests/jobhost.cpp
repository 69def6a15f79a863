// A program that runs one codec tool the way Tuv-R does and then ends as the
// test asks: by a termination signal to it, or, with "--exit-on-input", by
// exit() as soon as a line arrives on its standard input, as Qt ends a
// program whose display went away. It prints "started" once the tool runs,
// or why it could not start it, and then ends with 1.
#include "app/quitsignals.h"
#include "jobs/jobrunner.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool exitOnInput = arguments.removeAll(QStringLiteral("--exit-on-input")) > 0;
    if (arguments.isEmpty())
        return 2;
    quitOnTerminationSignals();
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    input.setEnabled(exitOnInput);
    QObject::connect(&input, &QSocketNotifier::activated, [] { std::exit(1); });
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
