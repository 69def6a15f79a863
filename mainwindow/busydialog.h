#ifndef BUSYDIALOG_H
#define BUSYDIALOG_H

#include <QProgressDialog>

class QProgressBar;
struct ToolProgress;

// The modal "Please Wait" dialog of a running job. It shows a busy indicator
// until the tool tells how far it is, then a bar and a line such as
// "Frame 45 of 366 · 23 fps · about 0:14 left".
class BusyDialog : public QProgressDialog
{
public:
    BusyDialog();

    void showProgress(const ToolProgress &progress);

private:
    QProgressBar *bar;
};

// The line under the bar; empty when the tool told no figures.
QString progressLabel(const ToolProgress &progress);

#endif
