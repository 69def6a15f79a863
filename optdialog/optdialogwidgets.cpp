#include "optdialogwidgets.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>
#include <QSpinBox>

// The combo's entries get their texts by index in retranslateUi.
static const int resolutionEntries = 4;

void OptDialogWidgets::setupUi(QDialog *optDialog)
{
    setupWindow(optDialog);
    setupGroupBox(optDialog);
    setupFields();
    setupButtons(optDialog);
    retranslateUi(optDialog);
}

void OptDialogWidgets::setupWindow(QDialog *optDialog)
{
    if (optDialog->objectName().isEmpty())
        optDialog->setObjectName(QStringLiteral("optDialog"));
    optDialog->resize(300, 150);
    optDialog->setMinimumSize(300, 150);
    optDialog->setMaximumSize(300, 150);
    optDialog->setWindowIcon(QIcon(QStringLiteral(":/img/logNK.png")));
}

void OptDialogWidgets::setupGroupBox(QDialog *optDialog)
{
    gridLayout_2 = new QGridLayout(optDialog);
    gridLayout_2->setObjectName(QStringLiteral("gridLayout_2"));
    groupBox = new QGroupBox(optDialog);
    groupBox->setObjectName(QStringLiteral("groupBox"));
    gridLayout_2->addWidget(groupBox, 0, 0, 1, 2);
    gridLayout_3 = new QGridLayout(groupBox);
    gridLayout_3->setObjectName(QStringLiteral("gridLayout_3"));
    gridLayout = new QGridLayout();
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout_3->addLayout(gridLayout, 0, 0);
}

void OptDialogWidgets::setupFields()
{
    lineEditFrames = new QLineEdit(groupBox);
    lineEditFrames->setObjectName(QStringLiteral("lineEditFrames"));
    gridLayout->addWidget(lineEditFrames, 1, 1);
    labelQuality = new QLabel(groupBox);
    labelQuality->setObjectName(QStringLiteral("labelQuality"));
    gridLayout->addWidget(labelQuality, 2, 0);
    labelFrames = new QLabel(groupBox);
    labelFrames->setObjectName(QStringLiteral("labelFrames"));
    gridLayout->addWidget(labelFrames, 1, 0);
    setupChoices();
}

void OptDialogWidgets::setupChoices()
{
    comboBoxResolution = new QComboBox(groupBox);
    comboBoxResolution->setObjectName(QStringLiteral("comboBoxResolution"));
    for (int i = 0; i < resolutionEntries; ++i)
        comboBoxResolution->addItem(QString());
    gridLayout->addWidget(comboBoxResolution, 0, 1);
    spinBoxQuality = new QSpinBox(groupBox);
    spinBoxQuality->setObjectName(QStringLiteral("spinBoxQuality"));
    spinBoxQuality->setMaximum(51);
    gridLayout->addWidget(spinBoxQuality, 2, 1);
    labelResolution = new QLabel(groupBox);
    labelResolution->setObjectName(QStringLiteral("labelResolution"));
    gridLayout->addWidget(labelResolution, 0, 0);
    verticalSpacer = new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding);
    gridLayout->addItem(verticalSpacer, 3, 1);
}

void OptDialogWidgets::setupButtons(QDialog *optDialog)
{
    pushButtonCancel = new QPushButton(optDialog);
    pushButtonCancel->setObjectName(QStringLiteral("pushButtonCancel"));
    gridLayout_2->addWidget(pushButtonCancel, 1, 1);
    pushButtonOk = new QPushButton(optDialog);
    pushButtonOk->setObjectName(QStringLiteral("pushButtonOk"));
    gridLayout_2->addWidget(pushButtonOk, 1, 0);
}

void OptDialogWidgets::retranslateUi(QDialog *optDialog)
{
    optDialog->setWindowTitle(QCoreApplication::translate("optDialog", "Dialog"));
    groupBox->setTitle(QString());
    labelQuality->setText(QCoreApplication::translate("optDialog", "Quality"));
    labelFrames->setText(QCoreApplication::translate("optDialog", "nFrames"));
    comboBoxResolution->setItemText(0, QCoreApplication::translate("optDialog", "1920x1080"));
    comboBoxResolution->setItemText(1, QCoreApplication::translate("optDialog", "1280x720"));
    comboBoxResolution->setItemText(2, QCoreApplication::translate("optDialog", "960x576"));
    comboBoxResolution->setItemText(3, QCoreApplication::translate("optDialog", "720x576"));
    labelResolution->setText(QCoreApplication::translate("optDialog", "Resolution"));
    pushButtonCancel->setText(QCoreApplication::translate("optDialog", "Cancel"));
    pushButtonOk->setText(QCoreApplication::translate("optDialog", "Ok"));
}
