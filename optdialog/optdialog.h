#ifndef OPTDIALOG_H
#define OPTDIALOG_H

#include <QDialog>

class ClipPreview;
class SettingsStore;
struct OptDialogWidgets;

// The encoder options. Every change goes to the settings store at once;
// "Ok" and "Cancel" only decide whether the encode goes ahead. Given the
// clip, it shows a frame of it beside the options, read as they say.
class optDialog : public QDialog
{
    Q_OBJECT

public:
    explicit optDialog(const QString &clipPath = QString(), QWidget *parent = nullptr);
    ~optDialog() override;

private slots:
    void slotOK();
    void slotCancel();
    void slotQualityChanged(int);
    void slotResolutionChanged(int);
    void slotFramesChanged(const QString &);

private:
    void offerOptions();
    void addPreview(const QString &clipPath);
    void loadSettings();
    void updatePreview();

    OptDialogWidgets *ui;
    SettingsStore *settings;
    ClipPreview *preview = nullptr;
};

#endif
