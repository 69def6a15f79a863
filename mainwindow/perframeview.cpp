#include "perframeview.h"
#include "ui_perframeview.h"

#include "busydialog.h"
#include "choices.h"
#include "frametablemodel.h"
#include "reportbox.h"

#include "jobs/decodejob.h"
#include "jobs/frameimage.h"
#include "jobs/framereader.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLocale>
#include <QMessageBox>
#include <QPixmap>
#include <QSaveFile>
#include <QScrollBar>
#include <QTemporaryDir>

// A difference of 32 levels shows as white.
static const int differenceGain = 8;

PerFrameView::PerFrameView(const FrameSeries &series, const EncodedClip &clip, Choices *choices, QWidget *parent)
    : QWidget(parent, Qt::Window),
      ui(new Ui::PerFrameView),
      series(series),
      clip(clip),
      choices(choices),
      model(new FrameTableModel(series.frames(), this)),
      decodeJob(new DecodeJob(this))
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    ui->chart->setCurves(QualityChart::PsnrY | QualityChart::PsnrU | QualityChart::PsnrV | QualityChart::Bytes);
    ui->chart->setFrames(series.frames());
    ui->tableFrames->setModel(model);
    fitTableWidth();
    ui->labelDecoded->setText(tr("Not decoded yet."));
    connect(ui->chart, &QualityChart::framePicked, this, &PerFrameView::slotFramePicked);
    connect(ui->tableFrames->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &PerFrameView::slotRowChosen);
    connect(ui->pushButtonSave, &QPushButton::clicked, this, &PerFrameView::slotSaveCsv);
    connect(ui->pushButtonDecode, &QPushButton::clicked, this, &PerFrameView::slotDecode);
    connect(ui->pushButtonClose, &QPushButton::clicked, this, &QWidget::close);
    // Shown from the event loop, after the tool's end has been handled.
    connect(decodeJob, &CodecJob::ended, this, &PerFrameView::slotDecodeEnded, Qt::QueuedConnection);
}

// Every column in sight, sized once from the rows shown first: resizing to
// contents on every scroll would measure rows of 100,000 frames over and over.
void PerFrameView::fitTableWidth()
{
    QTableView *table = ui->tableFrames;
    table->resizeColumnsToContents();
    table->setMinimumWidth(table->horizontalHeader()->length() + table->verticalScrollBar()->sizeHint().width()
                           + 2 * table->frameWidth());
}

// The decoder is stopped before its folder goes.
PerFrameView::~PerFrameView()
{
    delete busy;
    delete decodeJob;
}

void PerFrameView::slotSaveCsv()
{
    const QString suggested = QDir(QFileInfo(clip.streamPath).path()).filePath(QStringLiteral("stream.csv"));
    const QString path = choices->saveFileName(this, tr("Save per-frame quality"), suggested,
                                               tr("CSV files (*.csv);;All files (*.*)"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    const QByteArray csv = frameSeriesCsv(series);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size() || !file.commit())
        QMessageBox::warning(this, tr("Cannot save"),
                             tr("Cannot write file %1:\n%2.").arg(QDir::toNativeSeparators(path), file.errorString()));
}

// A frame picked in the chart becomes the table's current row, which shows it.
void PerFrameView::slotFramePicked(qint32 place)
{
    const QModelIndex row = model->index(place, 0);
    ui->tableFrames->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect
                                                                | QItemSelectionModel::Rows);
    ui->tableFrames->scrollTo(row);
}

void PerFrameView::slotRowChosen(const QModelIndex &current)
{
    if (current.isValid())
        showFrame(current.row());
}

void PerFrameView::showFrame(qint32 place)
{
    shown = place;
    ui->chart->setPicked(place);
    const FrameQuality &frame = series.frames().at(place);
    ui->labelFrame->setText(tr("Frame %1 (%2): %3 bytes, PSNR Y %4 dB")
                                .arg(frame.frame)
                                .arg(QLatin1Char(frame.type))
                                .arg(QLocale().toString(frame.bytes))
                                .arg(double(frame.psnrY), 0, 'f', 2));
    const QByteArray source = showClipFrame(ui->labelSource, clip.clipPath, frame.frame);
    if (decodedPath.isEmpty()) {
        ui->labelDifference->clear();
        return;
    }
    const QByteArray decoded = showClipFrame(ui->labelDecoded, decodedPath, frame.frame);
    const QImage difference = lumaDifferenceImage(source, decoded, clip.resolution, differenceGain);
    if (difference.isNull())
        ui->labelDifference->setText(tr("No difference: a frame is missing."));
    else
        showPicture(ui->labelDifference, difference.scaled(pictureSize(ui->labelDifference)));
}

// The frame's planes, once shown in picture; empty when it has none to show.
QByteArray PerFrameView::showClipFrame(QLabel *picture, const QString &path, qint32 frame)
{
    const ClipFrame read = readClipFrame(path, clip.resolution, frame);
    if (!read.failure.isEmpty() || read.index != frame) {
        picture->setText(read.failure.isEmpty() ? tr("The clip ends before frame %1.").arg(frame) : read.failure);
        return QByteArray();
    }
    QImage image = frameImage(read.bytes, clip.resolution, pictureSize(picture));
    if (image.isNull()) {
        picture->setText(tr("No picture: the frame cannot be converted for the screen; FFmpeg's libswscale may be "
                            "missing."));
        return QByteArray();
    }
    showPicture(picture, image);
    return read.bytes;
}

// The frame's shape fitted into the label's place, in the screen's own pixels.
QSize PerFrameView::pictureSize(const QLabel *label) const
{
    const QSize place = label->contentsRect().size() * devicePixelRatioF();
    return QSize(clip.resolution.width, clip.resolution.height).scaled(place, Qt::KeepAspectRatio);
}

void PerFrameView::showPicture(QLabel *label, QImage picture)
{
    picture.setDevicePixelRatio(devicePixelRatioF());
    label->setPixmap(QPixmap::fromImage(picture));
}

void PerFrameView::slotDecode()
{
    const QString stream = copyStreamForDecoding();
    if (stream.isEmpty())
        return;
    ui->pushButtonDecode->setEnabled(false);
    decodeJob->start(stream);
    busy = new BusyDialog;
    connect(busy, &QProgressDialog::canceled, this, &PerFrameView::slotCancelDecode);
    connect(decodeJob, &CodecJob::progressed, busy, &BusyDialog::showProgress);
    busy->show();
}

// The decoder writes its clip beside the stream: a copy in a folder of the
// view's own keeps it from the user's folder and goes with the view.
QString PerFrameView::copyStreamForDecoding()
{
    decodeFolder = std::make_unique<QTemporaryDir>();
    QFile stream(clip.streamPath);
    const QString copy = decodeFolder->isValid() ? decodeFolder->filePath(QFileInfo(clip.streamPath).fileName())
                                                 : QString();
    if (!copy.isEmpty() && stream.copy(copy))
        return copy;
    const QString why = decodeFolder->isValid() ? stream.errorString() : decodeFolder->errorString();
    QMessageBox::warning(this, tr("Cannot decode"),
                         tr("Cannot copy %1 for decoding:\n%2.").arg(QDir::toNativeSeparators(clip.streamPath), why));
    dropDecode();
    return QString();
}

void PerFrameView::slotCancelDecode()
{
    closeBusyDialog(busy, this);
    decodeJob->cancel();
}

void PerFrameView::slotDecodeEnded(const JobOutcome &outcome)
{
    closeBusyDialog(busy, this);
    if (outcome.succeeded())
        decodedPath = findDecodedClip();
    if (decodedPath.isEmpty()) {
        dropDecode();
        if (outcome.status != JobOutcome::Status::Cancelled) {
            QMessageBox box(QMessageBox::Warning, outcome.succeeded() ? tr("Decode failed") : outcome.title(),
                            QString(), QMessageBox::Ok, this);
            setReportText(box, outcome.succeeded() ? tr("The decoder wrote no clip.") : outcome.summary(),
                          outcome.report);
            box.exec();
        }
    } else if (shown >= 0) {
        showFrame(shown);
    }
    emit decodeEnded();
}

void PerFrameView::dropDecode()
{
    decodeFolder.reset();
    decodedPath.clear();
    ui->pushButtonDecode->setEnabled(true);
    ui->labelDecoded->setText(tr("Not decoded yet."));
}

// Named after the stream by our decoder; another one may choose its own name.
QString PerFrameView::findDecodedClip() const
{
    const QStringList clips = QDir(decodeFolder->path()).entryList({QStringLiteral("*.yuv")}, QDir::Files);
    return clips.isEmpty() ? QString() : decodeFolder->filePath(clips.first());
}
