// The program's start-up against a bare Qt window's: each is started, shows
// its window offscreen and ends once it has painted (quitonpaint, preloaded),
// in alternating rounds; prints the medians and their ratio. It passes or
// fails nothing. Linux only.
//   startupbench [PROGRAM...]   by default the built tuv-r; give an earlier
//                               build's copy in the same folder beside it to compare
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QVector>

#include <algorithm>
#include <cstdio>

static constexpr int rounds = 40;

// Wall time from start to end, or a negative one when the program failed.
static double runOnce(const QString &program, const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(program, QStringList());
    const bool ended = process.waitForFinished(60000);
    const double milliseconds = timer.nsecsElapsed() / 1e6;
    return ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 ? milliseconds : -1;
}

static double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Offscreen, with settings, runtime folder and session bus of its own, as the tests run.
static QProcessEnvironment benchEnvironment(const QString &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(QUITONPAINT));
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=%1/no-bus").arg(home));
    return environment;
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList programs = app.arguments().mid(1);
    if (programs.isEmpty())
        programs << QStringLiteral(PROGRAM);
    const QStringList contenders = QStringList{QStringLiteral(BAREWINDOW)} + programs;
    QTemporaryDir home;
    QFile::setPermissions(home.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QProcessEnvironment environment = benchEnvironment(home.path());
    QVector<QList<double>> times(contenders.size());
    for (int round = 0; round < rounds; ++round) {
        // Each round starts with the next one, so none always goes first.
        for (int i = 0; i < contenders.size(); ++i) {
            const int next = (round + i) % contenders.size();
            const double milliseconds = runOnce(contenders[next], environment);
            if (milliseconds < 0) {
                std::fprintf(stderr, "%s did not show its window and end\n", qPrintable(contenders[next]));
                return 1;
            }
            times[next] << milliseconds;
        }
    }
    const double bare = median(times[0]);
    std::printf("Start-up to the window painted, offscreen, medians of %d rounds: a bare Qt window %.1f ms\n",
                rounds, bare);
    for (int i = 1; i < contenders.size(); ++i) {
        std::printf("%s: %.1f ms, ratio %.3f (target <= 1.10)\n", qPrintable(contenders[i]), median(times[i]),
                    median(times[i]) / bare);
    }
    return 0;
}
