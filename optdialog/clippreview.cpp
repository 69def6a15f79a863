#include "clippreview.h"
#include "ui_clippreview.h"

#include "jobs/frameimage.h"
#include "jobs/framereader.h"

#include <QPixmap>

ClipPreview::ClipPreview(const QString &clipPath, QWidget *parent)
    : QWidget(parent),
      ui(new Ui::ClipPreview),
      clipPath(clipPath)
{
    ui->setupUi(this);
    connect(ui->sliderFrame, &QSlider::valueChanged, this, &ClipPreview::slotFrameChosen);
}

ClipPreview::~ClipPreview() = default;

void ClipPreview::showClip(const Resolution &resolution, int frames)
{
    this->resolution = resolution;
    this->frames = qMax(frames, 1);
    slotFrameChosen(ui->sliderFrame->value());
}

void ClipPreview::slotFrameChosen(int index)
{
    const ClipFrame frame = readClipFrame(clipPath, resolution, qMin(index, frames - 1));
    if (!frame.failure.isEmpty()) {
        showFailure(frame.failure);
        return;
    }
    QImage picture = frameImage(frame.bytes, resolution, pictureSize());
    if (picture.isNull()) {
        showFailure(tr("No picture: the frame cannot be converted for the screen; FFmpeg's libswscale may be "
                       "missing."));
        return;
    }
    const int shown = int(qMin<qint64>(frame.count, frames));
    offerFrames(shown, int(frame.index));
    ui->labelFrame->setText(tr("frame %1 of %2").arg(frame.index + 1).arg(shown));
    picture.setDevicePixelRatio(devicePixelRatioF());
    ui->labelPicture->setPixmap(QPixmap::fromImage(picture));
}

// The frames the options would encode, or the clip's own when it holds fewer.
void ClipPreview::offerFrames(int shown, int index)
{
    const QSignalBlocker blocker(ui->sliderFrame);
    ui->sliderFrame->setRange(0, shown - 1);
    ui->sliderFrame->setPageStep(qMax(1, shown / 10));
    ui->sliderFrame->setValue(index);
    ui->sliderFrame->setEnabled(true);
}

void ClipPreview::showFailure(const QString &why)
{
    ui->sliderFrame->setEnabled(false);
    ui->labelFrame->clear();
    ui->labelPicture->setText(why);
}

// The frame's shape fitted into the picture's place, in the screen's own pixels.
QSize ClipPreview::pictureSize() const
{
    const QSize place = ui->labelPicture->contentsRect().size() * devicePixelRatioF();
    return QSize(resolution.width, resolution.height).scaled(place, Qt::KeepAspectRatio);
}
