#ifndef OPTDIALOG_H
#define OPTDIALOG_H

#include <QDialog>

class SettingsStore;
struct OptDialogWidgets;

// The encoder options. Every change goes to the settings store at once;
// "Ok" and "Cancel" only decide whether the encode goes ahead.
class optDialog : public QDialog
{
    Q_OBJECT

public:
    explicit optDialog(QWidget *parent = nullptr);
    ~optDialog() override;

private slots:
    void slotOK();
    void slotCancel();
    void slotQualityChanged(int);
    void slotResolutionChanged(int);
    void slotFramesChanged(const QString &);

private:
    void offerOptions();
    void loadSettings();

    OptDialogWidgets *ui;
    SettingsStore *settings;
};

#endif
