#include "encoderconfig.h"

#include "settings/settingsstore.h"

#include <QByteArray>
#include <QFileInfo>
#include <QSaveFile>

// A relative name: the file lives in the working directory.
static const QString configFileName = QStringLiteral("config.txt");

QString encoderConfigPath()
{
    return QFileInfo(configFileName).absoluteFilePath();
}

bool fitsOnConfigLine(const QString &value)
{
    return !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r'));
}

// A zero char ends the value, so no zero byte ever reaches the file.
static QByteArray configLine(const char *key, const QString &value)
{
    const int end = value.indexOf(QChar(0));
    const QString kept = end < 0 ? value : value.left(end);
    return QByteArray(key) + ' ' + kept.toUtf8() + '\n';
}

static QByteArray configText(const QString &inputPath, const QString &outputDir,
                             const QSettings &settings)
{
    return configLine("file_in", inputPath)
        + configLine("width", settings.value(SettingsKeys::width, 1920).toString())
        + configLine("height", settings.value(SettingsKeys::height, 1080).toString())
        + configLine("nframes", settings.value(SettingsKeys::nFrames, 32).toString())
        + configLine("file_dat", outputDir + QStringLiteral("/stream.dat"))
        + configLine("quality_param", settings.value(SettingsKeys::quality, 22).toString());
}

bool writeEncoderConfig(const QString &inputPath, const QString &outputDir,
                        const QSettings &settings, QString *errorString)
{
    const QByteArray text = configText(inputPath, outputDir, settings);
    QSaveFile file(configFileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        if (errorString)
            *errorString = file.errorString();
        return false;
    }
    return true;
}
