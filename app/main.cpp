#include "jobs/jobcontrol.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/sessionbus.h"
#include "quitsignals.h"
#include "settings/settingsstore.h"
#include "startoptions.h"
#include "translators.h"

#include <QApplication>

// Qt 6 scales to the screen by default, with the factor unrounded; Qt 5 is told to.
static void enableHighDpiScaling()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
#endif
}

// Help and the version need no display, so they are answered without one.
// The version also tells how the jobs are held here.
static void answerTextOnlyRequest(int argc, char *argv[])
{
    if (!StartOptions::asksOnlyForText(argc, argv))
        return;
    QCoreApplication app(argc, argv);
    const Catalogues catalogues;
    QCoreApplication::setApplicationVersion(QStringLiteral(TUVR_VERSION "\n") + JobControl::containment());
    StartOptions::read(app);
}

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName(SettingsStore::organization());
    QCoreApplication::setApplicationVersion(QStringLiteral(TUVR_VERSION));
    answerTextOnlyRequest(argc, argv);
    enableHighDpiScaling();
    // Qt looks at the session bus from the GUI thread as the window shows.
    SessionBus::keepQtOffSilentBuses();

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral(TUVR_APP_ID));
    const Catalogues catalogues;
    const StartOptions options = StartOptions::read(app);
    // One that cannot be made is told when an encode cannot lock config.txt there.
    options.makeConfigFolder();
    quitOnTerminationSignals();

    MainWindow window(options.configFolder());
    window.show();
    return app.exec();
}
