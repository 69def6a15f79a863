#include "encoderconfig.h"

#include "encoderoptions.h"

#include <QByteArray>
#include <QDir>
#include <QSaveFile>

QString encoderConfigPath(const QString &folder)
{
    return QDir(folder.isEmpty() ? QDir::currentPath() : folder).absoluteFilePath(QStringLiteral("config.txt"));
}

QString encoderConfigLockPath(const QString &configPath)
{
    return configPath + QStringLiteral(".lock");
}

QString encoderStreamPath(const QString &outputDir)
{
    return outputDir + QStringLiteral("/stream.dat");
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
                             const EncoderOptions &options)
{
    return configLine("file_in", inputPath)
        + configLine("width", QString::number(options.width))
        + configLine("height", QString::number(options.height))
        + configLine("nframes", QString::number(options.frames))
        + configLine("file_dat", encoderStreamPath(outputDir))
        + configLine("quality_param", QString::number(options.quality));
}

bool writeEncoderConfig(const QString &configPath, const QString &inputPath,
                        const QString &outputDir, const EncoderOptions &options, QString *errorString)
{
    const QByteArray text = configText(inputPath, outputDir, options);
    QSaveFile file(configPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        if (errorString)
            *errorString = file.errorString();
        return false;
    }
    return true;
}
