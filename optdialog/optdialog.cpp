#include "optdialog.h"
#include "optdialogwidgets.h"

#include "jobs/encoderoptions.h"
#include "settings/settingsstore.h"

#include <QComboBox>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

optDialog::optDialog(QWidget *parent)
    : QDialog(parent)
{
    ui = new OptDialogWidgets;
    ui->setupUi(this);
    // 300x150 at the default font; a larger font or screen scale gets the size
    // its layout needs. The spacer only takes what is left over.
    setFixedSize(QSize(sizeHint().width(), minimumSizeHint().height()).expandedTo(minimumSize()));
    settings = new SettingsStore;
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->lineEditFrames->setValidator(new QIntValidator(EncoderOptions::minFrames,
                                                       EncoderOptions::maxFrames, ui->lineEditFrames));
    loadSettings();
    connect(ui->pushButtonOk, &QPushButton::clicked, this, &optDialog::slotOK);
    connect(ui->pushButtonCancel, &QPushButton::clicked, this, &optDialog::slotCancel);
    connect(ui->spinBoxQuality, qOverload<int>(&QSpinBox::valueChanged),
            this, &optDialog::slotQualityChanged);
    connect(ui->comboBoxResolution, &QComboBox::currentTextChanged,
            this, &optDialog::slotResolutionChanged);
    connect(ui->lineEditFrames, &QLineEdit::textChanged, this, &optDialog::slotFramesChanged);
}

optDialog::~optDialog()
{
    delete ui;
    delete settings;
}

// Runs before the controls are connected, so filling them stores nothing.
void optDialog::loadSettings()
{
    const EncoderOptions options = EncoderOptions::read(*settings);
    ui->comboBoxResolution->setCurrentIndex(
        int(EncoderOptions::resolutions().indexOf(options.resolution())));
    ui->spinBoxQuality->setValue(options.quality);
    ui->lineEditFrames->setText(QString::number(options.frames));
}

void optDialog::slotOK()
{
    done(1);
}

void optDialog::slotCancel()
{
    done(0);
}

void optDialog::slotQualityChanged(int value)
{
    settings->setValue(SettingsKeys::quality, value);
}

// The first width found in the entry wins, so "1280x720" is never taken for 720.
void optDialog::slotResolutionChanged(const QString &text)
{
    for (const Resolution &resolution : EncoderOptions::resolutions()) {
        if (text.contains(QString::number(resolution.width))) {
            settings->setValue(SettingsKeys::width, resolution.width);
            settings->setValue(SettingsKeys::height, resolution.height);
            return;
        }
    }
}

// Only a whole number of frames from 1 up is stored; until the field holds
// one, "Ok" waits, so the encoder never gets a count the dialog did not show.
void optDialog::slotFramesChanged(const QString &text)
{
    const bool acceptable = ui->lineEditFrames->hasAcceptableInput();
    ui->pushButtonOk->setEnabled(acceptable);
    if (acceptable)
        settings->setValue(SettingsKeys::nFrames, text.toInt());
}
