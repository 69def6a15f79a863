#ifndef ENCODERCONFIG_H
#define ENCODERCONFIG_H

#include <QString>

class QSettings;

// Absolute path of "config.txt" in the working directory: the encoder's only argument.
QString encoderConfigPath();

// A value runs to the end of its line, so a line break in it would split the
// line and add keys of its own.
bool fitsOnConfigLine(const QString &value);

// Writes the six "key value" lines for the encoder from the two picked paths
// and the options stored in settings, replacing any earlier file. On failure
// returns false and puts the reason in errorString; no half-written file is left.
bool writeEncoderConfig(const QString &inputPath, const QString &outputDir,
                        const QSettings &settings, QString *errorString);

#endif
