// What a job is on every system: the process it runs in, told to the
// system's half, and the stop that a job already gone answers at once.
#include "jobcontrol_p.h"

JobControl::JobControl(QProcess &process)
    : platform(std::make_unique<Platform>(*this, process))
{
    connect(&process, &QProcess::started, this, [this] { platform->onStarted(); });
    connect(&process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            [this](int exitCode, QProcess::ExitStatus status) { platform->onFinished(exitCode, status); });
    connect(&process, &QProcess::errorOccurred, this,
            [this](QProcess::ProcessError error) { platform->onErrorOccurred(error); });
}

JobControl::~JobControl()
{
    disconnect(this, nullptr, nullptr, nullptr);
    stopAndWait();
}

void JobControl::stop()
{
    if (isGone()) {
        QTimer::singleShot(0, this, &JobControl::gone);
        return;
    }
    platform->askToStop();
}
