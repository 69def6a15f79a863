#ifndef OPTDIALOGWIDGETS_H
#define OPTDIALOGWIDGETS_H

class QComboBox;
class QDialog;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpacerItem;
class QSpinBox;

// The widgets of the options dialog, built and labelled by hand.
struct OptDialogWidgets
{
    QGridLayout *gridLayout_2;
    QGroupBox *groupBox;
    QGridLayout *gridLayout_3;
    QGridLayout *gridLayout;
    QLineEdit *lineEditFrames;
    QLabel *labelQuality;
    QLabel *labelFrames;
    QComboBox *comboBoxResolution;
    QSpinBox *spinBoxQuality;
    QLabel *labelResolution;
    QSpacerItem *verticalSpacer;
    QPushButton *pushButtonCancel;
    QPushButton *pushButtonOk;

    void setupUi(QDialog *optDialog);
    void retranslateUi(QDialog *optDialog);

private:
    void setupWindow(QDialog *optDialog);
    void setupGroupBox(QDialog *optDialog);
    void setupFields();
    void setupChoices();
    void setupButtons(QDialog *optDialog);
};

#endif
