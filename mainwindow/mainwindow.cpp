#include "mainwindow.h"
#include "busydialog.h"
#include "mainwindowwidgets.h"
#include "reportbox.h"

#include "jobs/clipcheck.h"
#include "jobs/encoderconfig.h"
#include "jobs/encoderreport.h"
#include "jobs/jobrunner.h"
#include "optdialog/optdialog.h"
#include "settings/settingsstore.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QLockFile>
#include <QPushButton>

MainWindow::MainWindow(const QString &configFolder, QWidget *parent)
    : QMainWindow(parent),
      configPath(encoderConfigPath(configFolder.isEmpty() ? QDir::currentPath() : configFolder)),
      ui(new MainWindowWidgets),
      settings(new SettingsStore),
      runner(new JobRunner(this))
{
    ui->setupUi(this);
    // 256x100 at the default font; a larger font or screen scale gets the size its layout needs.
    setFixedSize(sizeHint().expandedTo(minimumSize()));
    connect(ui->pushButtonEnc, &QPushButton::clicked, this, &MainWindow::slotEncode);
    connect(ui->pushButtonDec, &QPushButton::clicked, this, &MainWindow::slotDecode);
    connect(runner, &JobRunner::ended, this, &MainWindow::slotFinishProcess);
    connect(runner, &JobRunner::progressed, this, &MainWindow::slotShowProgress);
    connect(runner, &JobRunner::failedToStart, this, &MainWindow::slotStartFailed);
}

MainWindow::~MainWindow()
{
    // A tool still running is stopped with the runner; that end is no job's end.
    disconnect(runner, nullptr, this, nullptr);
    delete runner;
    delete progress;
    delete settings;
    delete ui;
}

void MainWindow::slotEncode()
{
    const QString inputPath = pickEncoderInput();
    if (inputPath.isEmpty())
        return;
    const QString outputDir = pickOutputDirectory();
    if (outputDir.isEmpty())
        return;
    if (!confirmOptions(inputPath) || !mayReplaceStream(outputDir))
        return;
    startEncoder(inputPath, outputDir);
}

void MainWindow::slotDecode()
{
    const QString streamPath = QFileDialog::getOpenFileName(
        this, tr("Open Media File"), settings->value(SettingsKeys::decPath, QString()).toString(),
        tr("DAT files (*.dat);;All files (*.*)"));
    if (streamPath.isEmpty())
        return;
    jobKind = JobKind::Decode;
    settings->setValue(SettingsKeys::decPath, QFileInfo(streamPath).path());
    startJob(CodecTools::decoderProgram, CodecTools::decoderArguments(streamPath));
}

// The picked file's folder is remembered at once, whatever the user does next.
QString MainWindow::pickEncoderInput()
{
    const QString inputPath = QFileDialog::getOpenFileName(
        this, tr("Open Media File"), settings->value(SettingsKeys::pathOpen, QString()).toString(),
        tr("YUV files (*.yuv);;All files (*.*)"));
    if (inputPath.isEmpty() || refuseLineBreak(inputPath))
        return QString();
    settings->setValue(SettingsKeys::pathOpen, QFileInfo(inputPath).path());
    return inputPath;
}

QString MainWindow::pickOutputDirectory()
{
    const QString outputDir = QFileDialog::getExistingDirectory(
        this, tr("Open directory for save"),
        settings->value(SettingsKeys::pathOpen, QString()).toString(),
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
        optDialog options(this);
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

void MainWindow::startEncoder(const QString &inputPath, const QString &outputDir)
{
    if (!lockConfig())
        return;
    QString error;
    if (!writeEncoderConfig(configPath, inputPath, outputDir, EncoderOptions::read(*settings), &error)) {
        configLock.reset();
        QMessageBox::warning(this, tr("Encode failed"),
                             tr("Cannot write the encoder configuration %1:\n%2.")
                                 .arg(QDir::toNativeSeparators(configPath), error));
        return;
    }
    jobKind = JobKind::Encode;
    startJob(CodecTools::encoderProgram, CodecTools::encoderArguments(configPath));
}

// Two windows started from one folder share config.txt: while one encodes,
// the other must not rewrite it under the running encoder.
bool MainWindow::lockConfig()
{
    configLock = std::make_unique<QLockFile>(encoderConfigLockPath(configPath));
    // Only a lock whose program is gone is stale, however long an encode takes.
    configLock->setStaleLockTime(0);
    if (configLock->tryLock(0))
        return true;
    configLock.reset();
    QMessageBox::warning(this, tr("Encode failed"),
                         tr("Another encode started from this folder is still running on %1. "
                            "Wait for it to end, or start Tuv-R from another folder.")
                             .arg(QDir::toNativeSeparators(configPath)));
    return false;
}

void MainWindow::startJob(const QString &program, const QStringList &arguments)
{
    progress = new BusyDialog;
    connect(progress, &QProgressDialog::canceled, this, &MainWindow::slotCancelProgress);
    progress->show();
    runner->start(CodecTools::locate(program), arguments);
}

void MainWindow::slotCancelProgress()
{
    endJob();
    runner->cancel();
}

void MainWindow::slotShowProgress(const ToolProgress &toolProgress)
{
    if (progress)
        progress->showProgress(toolProgress);
}

// A cancelled job was already closed when the user pressed Cancel.
void MainWindow::slotFinishProcess(const JobEnd &end)
{
    if (end.status == JobEnd::Status::Cancelled)
        return;
    endJob();
    // The decoder prints no compression rate: its report is all it said.
    const QString report = encoderReport(keptOutput(end.output), tr("Compression rate"));
    if (!end.succeeded())
        reportFailure(end, report);
    else if (jobKind == JobKind::Decode)
        showReport(QMessageBox::NoIcon, tr("Decode complete"), tr("Decode complete"), report);
    else if (!report.isEmpty())
        showReport(QMessageBox::NoIcon, tr("Encode complete"), QString(), report);
}

void MainWindow::slotStartFailed(const QString &program, const QString &errorString)
{
    endJob();
    showReport(QMessageBox::Warning, failureTitle(),
               tr("%1 could not be started. Make sure it is installed and its folder is on the "
                  "PATH, or that the stand-in tools are in %2.\n%3")
                   .arg(QFileInfo(program).fileName(),
                        QDir::toNativeSeparators(CodecTools::privateToolsFolder()), errorString));
}

// The job is over for the window: its busy dialog goes, and config.txt is
// free for the next encode (a running encoder read it long ago).
void MainWindow::endJob()
{
    configLock.reset();
    if (!progress)
        return;
    // Closing emits "canceled": a job that simply ended must not pass for a cancelled one.
    disconnect(progress, nullptr, this, nullptr);
    progress->close();
    // It may be the very dialog whose signal brought us here.
    progress->deleteLater();
    progress = nullptr;
}

QString MainWindow::failureTitle() const
{
    return jobKind == JobKind::Encode ? tr("Encode failed") : tr("Decode failed");
}

// The middle of a huge output was never kept; a line says how much is missing there.
QByteArray MainWindow::keptOutput(const BoundedOutput &output) const
{
    if (output.omitted() == 0)
        return output.head() + output.tail();
    const QString gap = tr("[... %1 bytes of output left out ...]").arg(output.omitted());
    return output.head() + '\n' + gap.toUtf8() + '\n' + output.tail();
}

void MainWindow::reportFailure(const JobEnd &end, const QString &report)
{
    const QString program = QFileInfo(end.program).fileName();
    const QString what = end.status == JobEnd::Status::Crashed
        ? tr("%1 crashed.").arg(program)
        : tr("%1 stopped with exit code %2.").arg(program).arg(end.exitCode);
    showReport(QMessageBox::Warning, failureTitle(), what, report);
}

void MainWindow::showReport(QMessageBox::Icon icon, const QString &title, const QString &text,
                            const QString &report)
{
    QMessageBox box(icon, title, QString(), QMessageBox::Ok);
    box.setWindowIcon(QIcon(QStringLiteral(":/img/logNK.png")));
    box.setWindowModality(Qt::ApplicationModal);
    setReportText(box, text, report);
    box.exec();
}
