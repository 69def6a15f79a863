#ifndef CODECTOOLS_H
#define CODECTOOLS_H

#include <QString>
#include <QStringList>

// The kind of the last started job; it decides how the job's end is reported.
enum class JobKind : qint32 { Encode = 0, Decode = 1 };

// The command-line codec pair, named without a folder.
namespace CodecTools {
inline const QString encoderProgram = QStringLiteral("encoder.exe");
inline const QString decoderProgram = QStringLiteral("decoder.exe");

// Each tool takes exactly one argument: the encoder its configuration file,
// the decoder the stream, as the user picked it.
inline QStringList encoderArguments(const QString &configPath) { return {configPath}; }
inline QStringList decoderArguments(const QString &streamPath) { return {streamPath}; }

// The installed program's own folder for the stand-in tools.
QString privateToolsFolder();
// The tool to start for name: the first found on PATH, so any pair with the
// same command lines can take the stand-ins' place, else the stand-in in the
// private tools folder, else name itself (which then fails to start).
QString locate(const QString &name);
}

#endif
