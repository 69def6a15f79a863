#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "jobs/codectools.h"

#include <QMainWindow>
#include <QMessageBox>

#include <memory>

class BoundedOutput;
class QLockFile;
struct ClipFinding;
class BusyDialog;
class JobRunner;
class SettingsStore;
struct JobEnd;
struct MainWindowWidgets;
struct ToolProgress;

// The program's one window: "Encoder" and "Decoder" lead the user through
// their choices and run the codec tool behind a modal busy dialog.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The encoder's config.txt goes to configFolder, by default the working folder.
    explicit MainWindow(const QString &configFolder = QString(), QWidget *parent = nullptr);
    ~MainWindow() override;

private slots:
    void slotEncode();
    void slotDecode();
    void slotCancelProgress();
    void slotFinishProcess(const JobEnd &end);
    void slotShowProgress(const ToolProgress &progress);
    void slotStartFailed(const QString &program, const QString &errorString);

private:
    QString pickEncoderInput();
    QString pickOutputDirectory();
    bool refuseLineBreak(const QString &path);
    enum class ClipAnswer { EncodeAnyway, BackToOptions, Stop };
    bool confirmOptions(const QString &inputPath);
    ClipAnswer askAboutClip(const QList<ClipFinding> &warnings);
    bool mayReplaceStream(const QString &outputDir);
    bool lockConfig();
    void startEncoder(const QString &inputPath, const QString &outputDir);

    void startJob(const QString &program, const QStringList &arguments);
    void endJob();
    QString failureTitle() const;
    QByteArray keptOutput(const BoundedOutput &output) const;
    void reportFailure(const JobEnd &end, const QString &report);
    void showReport(QMessageBox::Icon icon, const QString &title, const QString &text,
                    const QString &report = QString());

    const QString configPath;
    MainWindowWidgets *ui;
    SettingsStore *settings;
    JobRunner *runner;
    BusyDialog *progress = nullptr;
    JobKind jobKind = JobKind::Encode;
    std::unique_ptr<QLockFile> configLock;
};

#endif
