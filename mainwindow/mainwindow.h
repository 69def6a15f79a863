#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "choices.h"
#include "perframeview.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QMessageBox>

#include <memory>

class BusyDialog;
class CodecJob;
class DecodeJob;
class EncodeJob;
class SettingsStore;
class TaskbarProgress;
struct ClipFinding;
struct DroppedFile;
struct JobOutcome;
struct MainWindowWidgets;
struct ToolProgress;

// The program's one window: "Encoder" and "Decoder" ask the user for their
// choices, run the codec job behind a modal busy dialog and show its outcome.
// A clip or stream dropped on it starts its road without the file question.
// The taskbar shows a job's progress, and a long job's end is announced when
// the user is in another program.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The encoder's config.txt goes to configFolder, by default the working
    // folder; choices answers the file questions, by default with the system's dialogs.
    explicit MainWindow(const QString &configFolder = QString(), std::unique_ptr<Choices> choices = nullptr,
                        QWidget *parent = nullptr);
    ~MainWindow() override;

signals:
    // A job's end has been shown to the user, or there was nothing to show.
    void jobEnded();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private slots:
    void slotEncode();
    void slotDecode();
    void slotCancelProgress();
    void slotFinishProcess(const JobOutcome &outcome);
    void slotShowProgress(const ToolProgress &progress);
    void slotShowFrames(const QVector<FrameQuality> &frames);

private:
    void encodeClip(const QString &inputPath);
    void decodeStream(const QString &streamPath);
    void startFromDrop(const DroppedFile &dropped);
    bool jobRuns() const;
    QString pickOutputDirectory();
    bool refuseLineBreak(const QString &path);
    enum class ClipAnswer { EncodeAnyway, BackToOptions, Stop };
    bool confirmOptions(const QString &inputPath);
    ClipAnswer askAboutClip(const QList<ClipFinding> &warnings);
    bool mayReplaceStream(const QString &outputDir);
    void startEncode(const QString &inputPath, const QString &outputDir);

    void watch(CodecJob *job);
    void showBusy(CodecJob *job);
    void showEnd(const JobOutcome &outcome);
    void showOutcome(const JobOutcome &outcome);
    void showReport(QMessageBox::Icon icon, const QString &title, const QString &text,
                    const QString &report = QString(), const FrameSeries &frames = FrameSeries());
    void showPerFrameView(const FrameSeries &frames);

    MainWindowWidgets *ui;
    SettingsStore *settings;
    std::unique_ptr<Choices> choices;
    EncodeJob *encodeJob;
    DecodeJob *decodeJob;
    CodecJob *runningJob = nullptr;
    BusyDialog *progress = nullptr;
    TaskbarProgress *taskbar;
    QElapsedTimer jobClock;
    // What the encode in hand reads and writes, for its per-frame view.
    EncodedClip encodedClip;
};

#endif
