#include "optdialog.h"
#include "optdialogwidgets.h"

#include "settings/settingsstore.h"

#include <QComboBox>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <iterator>

namespace {
struct Resolution
{
    const char *text;
    int width;
    int height;
};
}

// The combo's entries by index, as source texts, so a translated entry still matches.
static const Resolution resolutions[] = {
    {"1920x1080", 1920, 1080},
    {"1280x720", 1280, 720},
    {"960x576", 960, 576},
    {"720x576", 720, 576},
};

static int resolutionIndex(const QString &text)
{
    for (int i = 0; i < int(std::size(resolutions)); ++i) {
        if (text == QLatin1String(resolutions[i].text))
            return i;
    }
    return -1;
}

optDialog::optDialog(QWidget *parent)
    : QDialog(parent)
{
    ui = new OptDialogWidgets;
    ui->setupUi(this);
    settings = new SettingsStore;
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    loadSettings();
    ui->lineEditFrames->setValidator(new QIntValidator(ui->lineEditFrames));
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
    const QString height = settings->value(SettingsKeys::height, 1080).toString();
    const QString width = settings->value(SettingsKeys::width, 1920).toString();
    ui->comboBoxResolution->setCurrentIndex(resolutionIndex(width + QLatin1Char('x') + height));
    ui->spinBoxQuality->setValue(settings->value(SettingsKeys::quality, 22).toInt());
    ui->lineEditFrames->setText(
        QString::number(settings->value(SettingsKeys::nFrames, 32).toInt()));
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
    for (const Resolution &resolution : resolutions) {
        if (text.contains(QString::number(resolution.width))) {
            settings->setValue(SettingsKeys::width, resolution.width);
            settings->setValue(SettingsKeys::height, resolution.height);
            return;
        }
    }
}

void optDialog::slotFramesChanged(const QString &text)
{
    settings->setValue(SettingsKeys::nFrames, text);
}
