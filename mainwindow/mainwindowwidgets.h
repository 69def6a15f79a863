#ifndef MAINWINDOWWIDGETS_H
#define MAINWINDOWWIDGETS_H

class QGridLayout;
class QMainWindow;
class QMenuBar;
class QPushButton;
class QStatusBar;
class QWidget;

// The main window's child widgets; the window owns them through Qt's parents.
struct MainWindowWidgets
{
    QWidget *centralwidget = nullptr;
    QGridLayout *gridLayout_2 = nullptr;
    QPushButton *pushButtonDec = nullptr;
    QPushButton *pushButtonEnc = nullptr;
    QMenuBar *menubar = nullptr;
    QStatusBar *statusbar = nullptr;

    void setupUi(QMainWindow *window);
    void retranslateUi(QMainWindow *window);
};

#endif
