#ifndef BUSYDIALOG_H
#define BUSYDIALOG_H

#include "jobs/framequality.h"

#include <QProgressDialog>

class ChartLabel;
class QProgressBar;
struct ToolProgress;

// The modal "Please Wait" dialog of a running job. It shows a busy indicator
// until the tool tells how far it is, then a bar and a line such as
// "Frame 45 of 366 · 23 fps · about 0:14 left". Once the encoder tells
// how each frame came out, a chart of PSNR Y and bytes per frame so far
// grows under that line.
class BusyDialog : public QProgressDialog
{
public:
    BusyDialog();

    void showProgress(const ToolProgress &progress);
    // Adds the frames the tool measured since the last time.
    void showFrames(const QVector<FrameQuality> &frames);

private:
    QProgressBar *bar;
    ChartLabel *label;
    FrameSeries series;
};

// Closes dialog, if any, and forgets it. Closing emits "canceled", which
// receiver no longer hears: a job that simply ended must not pass for a
// cancelled one. Deleted later: it may be the very dialog whose signal
// brought the caller here.
void closeBusyDialog(BusyDialog *&dialog, QObject *receiver);

// The line under the bar; empty when the tool told no figures.
QString progressLabel(const ToolProgress &progress);

#endif
