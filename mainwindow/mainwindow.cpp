#include "mainwindow.h"
#include "mainwindowwidgets.h"
#include "reportbox.h"

#include "settings/settingsstore.h"
#include "jobs/encoderconfig.h"
#include "jobs/encoderreport.h"
#include "optdialog/optdialog.h"

#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent),
      ui(new MainWindowWidgets),
      settings(new SettingsStore),
      process(new QProcess)
{
    ui->setupUi(this);
    // The tool's diagnostics go to our own standard error rather than piling up unread.
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);

    connect(ui->pushButtonEnc, &QPushButton::clicked, this, &MainWindow::slotEncode);
    connect(ui->pushButtonDec, &QPushButton::clicked, this, &MainWindow::slotDecode);
    connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished),
            this, &MainWindow::slotFinishProcess);
    connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            reportStartFailure();
    });
}

MainWindow::~MainWindow()
{
    delete progress;
    // A tool still running is killed with the process object; that end is no job's end.
    disconnect(process, nullptr, this, nullptr);
    delete process;
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
    optDialog options(this);
    if (options.exec() != QDialog::Accepted)
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
    jobKind = Decode;
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

void MainWindow::startEncoder(const QString &inputPath, const QString &outputDir)
{
    const QString configPath = encoderConfigPath();
    QString error;
    if (!writeEncoderConfig(inputPath, outputDir, *settings, &error)) {
        QMessageBox::warning(this, tr("Encode failed"),
                             tr("Cannot write the encoder configuration %1:\n%2.")
                                 .arg(QDir::toNativeSeparators(configPath), error));
        return;
    }
    jobKind = Encode;
    startJob(CodecTools::encoderProgram, CodecTools::encoderArguments(configPath));
}

void MainWindow::startJob(const QString &program, const QStringList &arguments)
{
    jobCancelled = false;
    progress = new QProgressDialog(tr(""), tr("Cancel"), 0, 0);
    progress->setWindowTitle(tr("Please Wait"));
    progress->setAutoClose(false);
    progress->setWindowModality(Qt::ApplicationModal);
    // A title without close buttons: the dialog's own Cancel is how a job stops.
    progress->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    connect(progress, &QProgressDialog::canceled, this, &MainWindow::slotCancelProgress);
    progress->show();

    // Let the busy dialog appear and paint before the tool takes the machine.
    QEventLoop settle;
    QTimer::singleShot(100, &settle, &QEventLoop::quit);
    settle.exec();
    if (jobCancelled)
        return;
    process->start(program, arguments, QIODevice::ReadWrite);
}

void MainWindow::slotCancelProgress()
{
    jobCancelled = true;
    closeBusyDialog();
    process->kill();
}

void MainWindow::slotFinishProcess()
{
    closeBusyDialog();
    const QByteArray output = process->readAllStandardOutput();
    if (jobCancelled)
        return;
    // The decoder prints no compression rate: a failed decode shows all it said.
    const QString report = encoderReport(output, tr("Compression rate"));
    if (process->exitStatus() != QProcess::NormalExit || process->exitCode() != 0)
        reportFailure(report);
    else if (jobKind == Decode)
        showReport(QMessageBox::NoIcon, tr("Decode complete"), tr("Decode complete"));
    else if (!report.isEmpty())
        showReport(QMessageBox::NoIcon, tr("Encode complete"), QString(), report);
}

void MainWindow::closeBusyDialog()
{
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
    return jobKind == Encode ? tr("Encode failed") : tr("Decode failed");
}

void MainWindow::reportStartFailure()
{
    closeBusyDialog();
    showReport(QMessageBox::Warning, failureTitle(),
               tr("%1 could not be started. Make sure it is installed and its folder "
                  "is on the PATH.\n%2")
                   .arg(process->program(), process->errorString()));
}

void MainWindow::reportFailure(const QString &report)
{
    const QString program = process->program();
    const QString what = process->exitStatus() == QProcess::CrashExit
        ? tr("%1 crashed.").arg(program)
        : tr("%1 stopped with exit code %2.").arg(program).arg(process->exitCode());
    showReport(QMessageBox::Warning, failureTitle(),
               what, report);
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
