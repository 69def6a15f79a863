#ifndef PERFRAMEVIEW_H
#define PERFRAMEVIEW_H

#include "jobs/encoderoptions.h"
#include "jobs/framequality.h"

#include <QScopedPointer>
#include <QWidget>

#include <memory>

namespace Ui {
class PerFrameView;
}
class BusyDialog;
class Choices;
class DecodeJob;
class FrameTableModel;
class QLabel;
class QModelIndex;
class QTemporaryDir;
struct JobOutcome;

// What an encode read and wrote: the clip at its size, and the stream.
struct EncodedClip
{
    QString clipPath;
    Resolution resolution{0, 0};
    QString streamPath;
};

// An encode's figures frame by frame: a chart and a table of every frame,
// saved as CSV on request. A frame picked in either shows beside its source
// the same frame as decoded, and how far they differ. The stream is decoded
// once, when the user asks, into a temporary folder that goes with the view.
class PerFrameView : public QWidget
{
    Q_OBJECT

public:
    // choices asks for the CSV's name; it outlives the view.
    PerFrameView(const FrameSeries &series, const EncodedClip &clip, Choices *choices, QWidget *parent = nullptr);
    ~PerFrameView() override;

    // The decoded clip while the view holds it, else an empty text.
    QString decodedClipPath() const { return decodedPath; }

signals:
    // The decoder ended, whether the decoded clip is there or not.
    void decodeEnded();

private slots:
    void slotSaveCsv();
    void slotFramePicked(qint32 place);
    void slotRowChosen(const QModelIndex &current);
    void slotDecode();
    void slotCancelDecode();
    void slotDecodeEnded(const JobOutcome &outcome);

private:
    void fitTableWidth();
    void showFrame(qint32 place);
    QByteArray showClipFrame(QLabel *picture, const QString &path, qint32 frame);
    QSize pictureSize(const QLabel *label) const;
    void showPicture(QLabel *label, QImage picture);
    QString copyStreamForDecoding();
    void dropDecode();
    QString findDecodedClip() const;

    QScopedPointer<Ui::PerFrameView> ui;
    FrameSeries series;
    EncodedClip clip;
    Choices *choices;
    FrameTableModel *model;
    std::unique_ptr<QTemporaryDir> decodeFolder;
    DecodeJob *decodeJob;
    BusyDialog *busy = nullptr;
    QString decodedPath;
    qint32 shown = -1;
};

#endif
