#ifndef MAINWINDOWWIDGETS_H
#define MAINWINDOWWIDGETS_H

#include "ui_mainwindow.h"

// The main window's child widgets, built from mainwindow.ui; the window owns
// them through Qt's parents.
struct MainWindowWidgets : Ui::MainWindow
{
};

#endif
