#include "mainwindowwidgets.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QIcon>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>

void MainWindowWidgets::setupUi(QMainWindow *window)
{
    if (window->objectName().isEmpty())
        window->setObjectName(QStringLiteral("MainWindow"));
    window->resize(256, 100);
    window->setMinimumSize(256, 100);
    window->setMaximumSize(256, 100);
    window->setWindowIcon(QIcon(QStringLiteral(":/img/logNK.ico")));
    window->setIconSize(QSize(64, 64));

    centralwidget = new QWidget(window);
    centralwidget->setObjectName(QStringLiteral("centralwidget"));
    gridLayout_2 = new QGridLayout(centralwidget);
    gridLayout_2->setObjectName(QStringLiteral("gridLayout_2"));
    pushButtonDec = new QPushButton(centralwidget);
    pushButtonDec->setObjectName(QStringLiteral("pushButtonDec"));
    gridLayout_2->addWidget(pushButtonDec, 0, 1);
    pushButtonEnc = new QPushButton(centralwidget);
    pushButtonEnc->setObjectName(QStringLiteral("pushButtonEnc"));
    gridLayout_2->addWidget(pushButtonEnc, 0, 0);
    window->setCentralWidget(centralwidget);

    menubar = new QMenuBar(window);
    menubar->setObjectName(QStringLiteral("menubar"));
    menubar->setGeometry(QRect(0, 0, 256, 21));
    window->setMenuBar(menubar);
    statusbar = new QStatusBar(window);
    statusbar->setObjectName(QStringLiteral("statusbar"));
    window->setStatusBar(statusbar);

    retranslateUi(window);
}

void MainWindowWidgets::retranslateUi(QMainWindow *window)
{
    window->setWindowTitle(QCoreApplication::translate("MainWindow", "Tuv-R"));
    pushButtonDec->setText(QCoreApplication::translate("MainWindow", "Decoder"));
    pushButtonEnc->setText(QCoreApplication::translate("MainWindow", "Encoder"));
}
