#include "busydialog.h"
#include "qualitychart.h"

#include "jobs/toolprogress.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QResizeEvent>
#include <QTime>

// Tenths of a percent; the last step is kept for the tool's actual end.
static const int barSteps = 1000;

// The progress line with room under it for the chart: QProgressDialog lays
// out a label, a bar and a button only, so the chart lives in the label's
// bottom margin and the dialog's own layout makes room for it.
class ChartLabel : public QLabel
{
public:
    ChartLabel()
        : chart(new QualityChart(this))
    {
        chart->setCurves(QualityChart::PsnrY | QualityChart::Bytes);
        chart->hide();
    }

    void showFrames(const QVector<FrameQuality> &frames)
    {
        if (chart->isHidden()) {
            chart->show();
            setContentsMargins(0, 0, 0, chart->minimumSizeHint().height());
        }
        chart->setFrames(frames);
    }

    QSize sizeHint() const override
    {
        const QSize text = QLabel::sizeHint();
        return chart->isHidden() ? text : text.expandedTo(QSize(chart->sizeHint().width(), 0));
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        const int chartTop = contentsRect().bottom() + 1;
        chart->setGeometry(0, chartTop, width(), height() - chartTop);
    }

private:
    QualityChart *chart;
};

BusyDialog::BusyDialog()
    : QProgressDialog(QCoreApplication::translate("MainWindow", ""),
                      QCoreApplication::translate("MainWindow", "Cancel"), 0, 0),
      bar(new QProgressBar(this)),
      label(new ChartLabel)
{
    // Our own bar, set directly: QProgressDialog::setValue() would run a
    // nested event loop on every update of a modal dialog.
    bar->setRange(0, 0);
    setBar(bar);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setLabel(label);
    setWindowTitle(QCoreApplication::translate("MainWindow", "Please Wait"));
    setAutoClose(false);
    setAutoReset(false);
    setWindowModality(Qt::ApplicationModal);
    // A title without close buttons: the dialog's own Cancel is how a job stops.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
}

void BusyDialog::showProgress(const ToolProgress &progress)
{
    if (progress.percent >= 0) {
        bar->setRange(0, barSteps);
        bar->setValue(qMin(barSteps - 1, qRound(progress.percent * barSteps / 100)));
    }
    setLabelText(progressLabel(progress));
}

void BusyDialog::showFrames(const QVector<FrameQuality> &frames)
{
    for (const FrameQuality &frame : frames)
        series.append(frame);
    if (series.isEmpty())
        return;
    label->showFrames(series.frames());
    resize(sizeHint().expandedTo(size()));
}

static QString frameText(const ToolProgress &progress)
{
    if (progress.frames < 0)
        return QString();
    if (progress.totalFrames < 0)
        return QCoreApplication::translate("MainWindow", "Frame %1").arg(progress.frames);
    return QCoreApplication::translate("MainWindow", "Frame %1 of %2")
        .arg(progress.frames)
        .arg(progress.totalFrames);
}

static QString fpsText(const ToolProgress &progress)
{
    if (progress.fps < 0)
        return QString();
    // Below ten frames a second a decimal still tells something.
    const int decimals = progress.fps < 10 ? 1 : 0;
    return QCoreApplication::translate("MainWindow", "%1 fps").arg(progress.fps, 0, 'f', decimals);
}

static QString etaText(const ToolProgress &progress)
{
    if (progress.etaSeconds < 0)
        return QString();
    const qint64 hours = progress.etaSeconds / 3600;
    const qint64 minutes = progress.etaSeconds / 60 % 60;
    const qint64 seconds = progress.etaSeconds % 60;
    const QString time = hours > 0
        ? QStringLiteral("%1:%2:%3").arg(hours).arg(minutes, 2, 10, QLatin1Char('0'))
              .arg(seconds, 2, 10, QLatin1Char('0'))
        : QStringLiteral("%1:%2").arg(minutes).arg(seconds, 2, 10, QLatin1Char('0'));
    return QCoreApplication::translate("MainWindow", "about %1 left").arg(time);
}

QString progressLabel(const ToolProgress &progress)
{
    QStringList parts{frameText(progress), fpsText(progress), etaText(progress)};
    parts.removeAll(QString());
    return parts.join(QStringLiteral(" \u00b7 "));
}

void closeBusyDialog(BusyDialog *&dialog, QObject *receiver)
{
    if (!dialog)
        return;
    QObject::disconnect(dialog, nullptr, receiver, nullptr);
    dialog->close();
    dialog->deleteLater();
    dialog = nullptr;
}
