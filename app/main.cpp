#include "mainwindow/mainwindow.h"
#include "quitsignals.h"
#include "translators.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    quitOnTerminationSignals();

    QTranslator appTranslator;
    if (loadAppCatalogue(appTranslator))
        app.installTranslator(&appTranslator);

    QTranslator qtTranslator;
    if (loadQtCatalogue(qtTranslator))
        app.installTranslator(&qtTranslator);

    MainWindow window;
    window.show();
    return app.exec();
}
