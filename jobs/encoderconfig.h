#ifndef ENCODERCONFIG_H
#define ENCODERCONFIG_H

#include <QString>

struct EncoderOptions;

// Absolute path of "config.txt" in folder, or in the working folder when
// folder is empty: the encoder's only argument.
QString encoderConfigPath(const QString &folder);

// Held beside config.txt while an encoder runs on it, so that a second
// window started from the same folder cannot overwrite it meanwhile.
QString encoderConfigLockPath(const QString &configPath);

// The stream the encoder writes: the output folder exactly as picked, then
// "/stream.dat" (a folder ending in a separator gives a doubled one).
QString encoderStreamPath(const QString &outputDir);

// A value runs to the end of its line, so a line break in it would split the
// line and add keys of its own.
bool fitsOnConfigLine(const QString &value);

// Writes the six "key value" lines for the encoder to configPath from the two
// picked paths and the options, replacing any earlier file. On failure
// returns false and puts the reason in errorString; no half-written file is left.
bool writeEncoderConfig(const QString &configPath, const QString &inputPath,
                        const QString &outputDir, const EncoderOptions &options, QString *errorString);

#endif
