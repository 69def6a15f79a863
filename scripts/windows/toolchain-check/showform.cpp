// Shows the check's form until standard input closes, so that a script can
// take a screenshot of it as the platform plugin drew it.
#include "ui_form.h"

#include <QApplication>
#include <QTest>
#include <cstdio>
#include <thread>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    Ui::Form form;
    form.setupUi(&window);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    std::printf("shown by %s\n", qPrintable(QGuiApplication::platformName()));
    std::fflush(stdout);

    std::thread waiter([] {
        while (std::getchar() != EOF) {
        }
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    const int status = app.exec();
    waiter.join();
    return status;
}
