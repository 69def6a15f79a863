#ifndef OPTDIALOGWIDGETS_H
#define OPTDIALOGWIDGETS_H

#include "ui_optdialog.h"

// The options dialog's child widgets, built from optdialog.ui; the dialog
// owns them through Qt's parents.
struct OptDialogWidgets : Ui::optDialog
{
};

#endif
