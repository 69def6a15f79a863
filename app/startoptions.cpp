#include "startoptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

static const QString dataFolderOption = QStringLiteral("data-folder");

StartOptions StartOptions::read(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "StartOptions", "Compresses raw YUV video with a command-line encoder, and decodes its streams."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({dataFolderOption,
                      QCoreApplication::translate(
                          "StartOptions", "Keep the encoder's config.txt in the per-user data folder "
                                          "instead of the working folder, as the desktop menu does.")});
    parser.process(app);
    StartOptions options;
    options.dataFolder = parser.isSet(dataFolderOption);
    return options;
}

bool StartOptions::asksOnlyForText(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "-h" || argument == "--help" || argument == "-?" || argument == "--help-all"
            || argument == "-v" || argument == "--version")
            return true;
    }
    return false;
}

QString StartOptions::configFolder() const
{
    return dataFolder ? QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) : QString();
}

bool StartOptions::makeConfigFolder() const
{
    return !dataFolder || QDir().mkpath(configFolder());
}
