#ifndef CODECTOOLS_H
#define CODECTOOLS_H

#include <QString>
#include <QStringList>

// The kind of the last started job; it decides how the job's end is reported.
enum JobKind : qint32 { Encode = 0, Decode = 1 };

// The command-line codec pair, named without a folder: the system's PATH finds them.
namespace CodecTools {
inline const QString encoderProgram = QStringLiteral("encoder.exe");
inline const QString decoderProgram = QStringLiteral("decoder.exe");

// Each tool takes exactly one argument: the encoder its configuration file,
// the decoder the stream, as the user picked it.
inline QStringList encoderArguments(const QString &configPath) { return {configPath}; }
inline QStringList decoderArguments(const QString &streamPath) { return {streamPath}; }
}

#endif
