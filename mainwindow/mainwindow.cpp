#include "mainwindow.h"
#include "busydialog.h"
#include "droppedfile.h"
#include "jobnotice.h"
#include "mainwindowwidgets.h"
#include "reportbox.h"
#include "taskbarprogress.h"

#include "jobs/clipcheck.h"
#include "jobs/decodejob.h"
#include "jobs/encodejob.h"
#include "jobs/encoderconfig.h"
#include "optdialog/optdialog.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QIcon>
#include <QMimeData>
#include <QPushButton>

MainWindow::MainWindow(const QString &configFolder, std::unique_ptr<Choices> choices, QWidget *parent)
    : QMainWindow(parent),
      ui(new MainWindowWidgets),
      settings(new SettingsStore),
      choices(choices ? std::move(choices) : std::make_unique<Choices>()),
      encodeJob(new EncodeJob(encoderConfigPath(configFolder), this)),
      decodeJob(new DecodeJob(this)),
      taskbar(new TaskbarProgress(this))
{
    ui->setupUi(this);
    // 256x100 at the default font; a larger font or screen scale gets the size its layout needs.
    setFixedSize(sizeHint().expandedTo(minimumSize()));
    qRegisterMetaType<JobOutcome>();
    connect(ui->pushButtonEnc, &QPushButton::clicked, this, &MainWindow::slotEncode);
    connect(ui->pushButtonDec, &QPushButton::clicked, this, &MainWindow::slotDecode);
    watch(encodeJob);
    watch(decodeJob);
    setAcceptDrops(true);
}

MainWindow::~MainWindow()
{
    // A tool still running is stopped with its job; that end is no job's end to show.
    for (CodecJob *job : {static_cast<CodecJob *>(encodeJob), static_cast<CodecJob *>(decodeJob)}) {
        disconnect(job, nullptr, this, nullptr);
        delete job;
    }
    delete progress;
    delete settings;
    delete ui;
}

// The outcome is shown from the event loop, after the tool's end has been
// handled, never from within the process's own signal.
void MainWindow::watch(CodecJob *job)
{
    connect(job, &CodecJob::ended, this, &MainWindow::slotFinishProcess, Qt::QueuedConnection);
    connect(job, &CodecJob::progressed, this, &MainWindow::slotShowProgress);
    connect(job, &CodecJob::framesMeasured, this, &MainWindow::slotShowFrames);
}

void MainWindow::slotEncode()
{
    const QString inputPath =
        choices->openFileName(this, tr("Open Media File"),
                              settings->value(SettingsKeys::pathOpen, QString()).toString(),
                              tr("YUV files (*.yuv);;All files (*.*)"));
    if (!inputPath.isEmpty())
        encodeClip(inputPath);
}

void MainWindow::slotDecode()
{
    const QString streamPath =
        choices->openFileName(this, tr("Open Media File"),
                              settings->value(SettingsKeys::decPath, QString()).toString(),
                              tr("DAT files (*.dat);;All files (*.*)"));
    if (!streamPath.isEmpty())
        decodeStream(streamPath);
}

// The clip's folder is remembered at once, whatever the user does next.
void MainWindow::encodeClip(const QString &inputPath)
{
    if (refuseLineBreak(inputPath))
        return;
    settings->setValue(SettingsKeys::pathOpen, QFileInfo(inputPath).path());
    const QString outputDir = pickOutputDirectory();
    if (outputDir.isEmpty())
        return;
    if (confirmOptions(inputPath) && mayReplaceStream(outputDir))
        startEncode(inputPath, outputDir);
}

void MainWindow::decodeStream(const QString &streamPath)
{
    settings->setValue(SettingsKeys::decPath, QFileInfo(streamPath).path());
    decodeJob->start(streamPath);
    showBusy(decodeJob);
}

// A dropped file is read where it is: whatever the user asked for, the
// program it came from is told it was copied, never moved, so it keeps it.
static bool takeAsCopy(QDropEvent *event)
{
    if (!event->mimeData()->hasUrls() || !(event->possibleActions() & Qt::CopyAction))
        return false;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

// One job at a time: while one runs, the window takes no drop.
void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!jobRuns())
        takeAsCopy(event);
}

void MainWindow::dropEvent(QDropEvent *event)
{
    if (jobRuns() || !takeAsCopy(event))
        return;
    // The road asks its questions once the drop is over: the program the
    // files came from waits for its end.
    QMetaObject::invokeMethod(
        this, [this, dropped = DroppedFile::read(event->mimeData()->urls())] { startFromDrop(dropped); },
        Qt::QueuedConnection);
}

void MainWindow::startFromDrop(const DroppedFile &dropped)
{
    switch (dropped.use) {
    case DroppedFile::Use::Encode:
        encodeClip(dropped.path);
        break;
    case DroppedFile::Use::Decode:
        decodeStream(dropped.path);
        break;
    case DroppedFile::Use::Refused:
        QMessageBox::warning(this, tr("Cannot start a job"), dropped.refusal);
        break;
    }
}

bool MainWindow::jobRuns() const
{
    return encodeJob->isRunning() || decodeJob->isRunning();
}

QString MainWindow::pickOutputDirectory()
{
    const QString outputDir = choices->existingDirectory(
        this, tr("Open directory for save"), settings->value(SettingsKeys::pathOpen, QString()).toString(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (outputDir.isEmpty() || refuseLineBreak(outputDir))
        return QString();
    return outputDir;
}

bool MainWindow::refuseLineBreak(const QString &path)
{
    if (fitsOnConfigLine(path))
        return false;
    QMessageBox::warning(this, tr("Encode failed"),
                         tr("The path\n%1\ncontains a line break, which the encoder's "
                            "configuration cannot hold. Please rename it.")
                             .arg(QDir::toNativeSeparators(path)));
    return true;
}

// The options dialog until the clip fits the options, or the user encodes
// anyway or stops. Every choice made in the dialog is already stored.
bool MainWindow::confirmOptions(const QString &inputPath)
{
    forever {
        optDialog options(inputPath, this);
        if (options.exec() != QDialog::Accepted)
            return false;
        const QList<ClipFinding> findings =
            checkClip(ClipFacts::of(inputPath), EncoderOptions::read(*settings));
        if (findings.isEmpty())
            return true;
        if (findings.first().kind == ClipFinding::Kind::Refusal) {
            QMessageBox::warning(this, tr("Cannot encode"), findings.first().message);
            return false;
        }
        const ClipAnswer answer = askAboutClip(findings);
        if (answer != ClipAnswer::BackToOptions)
            return answer == ClipAnswer::EncodeAnyway;
    }
}

MainWindow::ClipAnswer MainWindow::askAboutClip(const QList<ClipFinding> &warnings)
{
    QStringList messages;
    for (const ClipFinding &warning : warnings)
        messages << warning.message;
    QMessageBox box(QMessageBox::Warning, tr("Check the clip"), messages.join(QStringLiteral("\n\n")),
                    QMessageBox::NoButton, this);
    QPushButton *anyway = box.addButton(tr("Encode anyway"), QMessageBox::AcceptRole);
    QPushButton *back = box.addButton(tr("Back to options"), QMessageBox::ActionRole);
    box.addButton(tr("Stop"), QMessageBox::RejectRole);
    box.setDefaultButton(back);
    box.exec();
    if (box.clickedButton() == anyway)
        return ClipAnswer::EncodeAnyway;
    return box.clickedButton() == back ? ClipAnswer::BackToOptions : ClipAnswer::Stop;
}

// The decoder never overwrites a file; the encoder does so only when asked.
bool MainWindow::mayReplaceStream(const QString &outputDir)
{
    const QString stream = encoderStreamPath(outputDir);
    if (!QFileInfo::exists(stream))
        return true;
    QMessageBox box(QMessageBox::Question, tr("Replace stream.dat?"),
                    tr("%1 already exists. Replace it with the new encode?")
                        .arg(QDir::toNativeSeparators(stream)),
                    QMessageBox::Cancel, this);
    QPushButton *replace = box.addButton(tr("Replace"), QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == replace;
}

void MainWindow::startEncode(const QString &inputPath, const QString &outputDir)
{
    const EncoderOptions options = EncoderOptions::read(*settings);
    const QString refusal = encodeJob->start(inputPath, outputDir, options);
    if (!refusal.isEmpty()) {
        QMessageBox::warning(this, tr("Encode failed"), refusal);
        return;
    }
    encodedClip = {inputPath, options.resolution(), encoderStreamPath(outputDir)};
    showBusy(encodeJob);
}

void MainWindow::showBusy(CodecJob *job)
{
    runningJob = job;
    jobClock.start();
    progress = new BusyDialog;
    connect(progress, &QProgressDialog::canceled, this, &MainWindow::slotCancelProgress);
    progress->show();
}

void MainWindow::slotCancelProgress()
{
    closeBusyDialog(progress, this);
    taskbar->clear();
    if (runningJob)
        runningJob->cancel();
    runningJob = nullptr;
}

void MainWindow::slotShowProgress(const ToolProgress &toolProgress)
{
    if (!progress)
        return;
    progress->showProgress(toolProgress);
    taskbar->showProgress(toolProgress);
}

void MainWindow::slotShowFrames(const QVector<FrameQuality> &frames)
{
    if (progress)
        progress->showFrames(frames);
}

// A cancelled job was closed when the user pressed Cancel. Whether the user
// is elsewhere is asked while the busy dialog is still there: as it goes,
// the program has no active window for a moment.
void MainWindow::slotFinishProcess(const JobOutcome &outcome)
{
    if (outcome.status != JobOutcome::Status::Cancelled) {
        const bool notice =
            endDeservesNotice(outcome.status, jobClock.elapsed(), QApplication::activeWindow() != nullptr);
        closeBusyDialog(progress, this);
        runningJob = nullptr;
        if (notice)
            announceEnd(this, outcome);
        showEnd(outcome);
    }
    emit jobEnded();
}

// A failure stays marked on the taskbar while the user reads why.
void MainWindow::showEnd(const JobOutcome &outcome)
{
    if (outcome.succeeded())
        taskbar->clear();
    else
        taskbar->showFailure();
    showOutcome(outcome);
    taskbar->clear();
}

// An encode that finished without a word shows nothing.
void MainWindow::showOutcome(const JobOutcome &outcome)
{
    const QString summary = outcome.summary();
    if (outcome.succeeded() && summary.isEmpty() && outcome.report.isEmpty())
        return;
    const bool perFrame = outcome.succeeded() && outcome.kind == JobKind::Encode;
    showReport(outcome.succeeded() ? QMessageBox::NoIcon : QMessageBox::Warning, outcome.title(), summary,
               outcome.report, perFrame ? outcome.frames : FrameSeries());
}

// An encode's figures frame by frame are a button away, when the encoder told them.
void MainWindow::showReport(QMessageBox::Icon icon, const QString &title, const QString &text,
                            const QString &report, const FrameSeries &frames)
{
    QMessageBox box(icon, title, QString(), QMessageBox::Ok);
    box.setWindowIcon(QIcon(QStringLiteral(":/img/logNK.png")));
    box.setWindowModality(Qt::ApplicationModal);
    setReportText(box, text, report);
    QPushButton *perFrame = frames.isEmpty() ? nullptr : box.addButton(tr("Per-frame quality…"), QMessageBox::ActionRole);
    box.exec();
    if (perFrame && box.clickedButton() == perFrame)
        showPerFrameView(frames);
}

void MainWindow::showPerFrameView(const FrameSeries &frames)
{
    auto *view = new PerFrameView(frames, encodedClip, choices.get(), this);
    view->setWindowIcon(QIcon(QStringLiteral(":/img/logNK.png")));
    view->show();
}
