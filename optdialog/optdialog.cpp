#include "optdialog.h"
#include "clippreview.h"
#include "optdialogwidgets.h"

#include "jobs/encoderoptions.h"
#include "settings/settingsstore.h"

#include <QComboBox>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

optDialog::optDialog(const QString &clipPath, QWidget *parent)
    : QDialog(parent)
{
    ui = new OptDialogWidgets;
    ui->setupUi(this);
    offerOptions();
    if (!clipPath.isEmpty())
        addPreview(clipPath);
    // 300x150 at the default font, wider with the preview; a larger font or
    // screen scale gets the size its layout needs. The spacer only takes what is left over.
    setFixedSize(QSize(sizeHint().width(), minimumSizeHint().height()).expandedTo(minimumSize()));
    settings = new SettingsStore;
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    loadSettings();
    connect(ui->pushButtonOk, &QPushButton::clicked, this, &optDialog::slotOK);
    connect(ui->pushButtonCancel, &QPushButton::clicked, this, &optDialog::slotCancel);
    connect(ui->spinBoxQuality, qOverload<int>(&QSpinBox::valueChanged),
            this, &optDialog::slotQualityChanged);
    connect(ui->comboBoxResolution, qOverload<int>(&QComboBox::currentIndexChanged),
            this, &optDialog::slotResolutionChanged);
    connect(ui->lineEditFrames, &QLineEdit::textChanged, this, &optDialog::slotFramesChanged);
    updatePreview();
}

optDialog::~optDialog()
{
    delete ui;
    delete settings;
}

// The sizes and ranges the encoder is offered, from their one home.
void optDialog::offerOptions()
{
    for (const EncoderOptions::Entry &entry : EncoderOptions::entries())
        ui->comboBoxResolution->addItem(tr(entry.text));
    ui->spinBoxQuality->setRange(EncoderOptions::minQuality, EncoderOptions::maxQuality);
    ui->lineEditFrames->setValidator(new QIntValidator(EncoderOptions::minFrames,
                                                       EncoderOptions::maxFrames, ui->lineEditFrames));
}

// Beside the form, which keeps its own layout: to the right of the options and the buttons.
void optDialog::addPreview(const QString &clipPath)
{
    preview = new ClipPreview(clipPath, this);
    ui->gridLayout_2->addWidget(preview, 0, 2, 2, 1);
}

static int entryIndex(const Resolution &resolution)
{
    const QList<EncoderOptions::Entry> &entries = EncoderOptions::entries();
    for (int i = 0; i < entries.size(); ++i) {
        if (entries[i].resolution == resolution)
            return i;
    }
    return -1;
}

// Runs before the controls are connected, so filling them stores nothing.
void optDialog::loadSettings()
{
    const EncoderOptions options = EncoderOptions::read(*settings);
    ui->comboBoxResolution->setCurrentIndex(entryIndex(options.resolution()));
    ui->spinBoxQuality->setValue(options.quality);
    ui->lineEditFrames->setText(QString::number(options.frames));
}

// The clip as the encode would read it: the options as stored, which are
// what the form shows, or what the encoder gets when the form shows none.
void optDialog::updatePreview()
{
    if (!preview)
        return;
    const EncoderOptions options = EncoderOptions::read(*settings);
    preview->showClip(options.resolution(), options.frames);
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

void optDialog::slotResolutionChanged(int index)
{
    if (index < 0 || index >= EncoderOptions::entries().size())
        return;
    const Resolution &resolution = EncoderOptions::entries().at(index).resolution;
    settings->setValue(SettingsKeys::width, resolution.width);
    settings->setValue(SettingsKeys::height, resolution.height);
    updatePreview();
}

// Only a whole number of frames from 1 up is stored; until the field holds
// one, "Ok" waits, so the encoder never gets a count the dialog did not show.
// The count is read as the validator took it, group separators included.
void optDialog::slotFramesChanged(const QString &text)
{
    const bool acceptable = ui->lineEditFrames->hasAcceptableInput();
    ui->pushButtonOk->setEnabled(acceptable);
    if (!acceptable)
        return;
    settings->setValue(SettingsKeys::nFrames, ui->lineEditFrames->validator()->locale().toInt(text));
    updatePreview();
}
