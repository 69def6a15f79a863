#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "jobs/codectools.h"

#include <QMainWindow>
#include <QMessageBox>

class QProcess;
class QProgressDialog;
class SettingsStore;
struct MainWindowWidgets;

// The program's one window: "Encoder" and "Decoder" lead the user through
// their choices and run the codec tool behind a modal busy dialog.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

private slots:
    void slotEncode();
    void slotDecode();
    void slotCancelProgress();
    void slotFinishProcess();

private:
    QString pickEncoderInput();
    QString pickOutputDirectory();
    bool refuseLineBreak(const QString &path);
    void startEncoder(const QString &inputPath, const QString &outputDir);

    void startJob(const QString &program, const QStringList &arguments);
    void closeBusyDialog();
    QString failureTitle() const;
    void reportStartFailure();
    void reportEnd();
    void reportFailure(const QString &report);
    void showReport(QMessageBox::Icon icon, const QString &title, const QString &text,
                    const QString &report = QString());

    MainWindowWidgets *ui;
    SettingsStore *settings;
    QProcess *process;
    QProgressDialog *progress = nullptr;
    JobKind jobKind = Encode;
    bool jobCancelled = false;
};

#endif
