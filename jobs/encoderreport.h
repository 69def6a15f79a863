#ifndef ENCODERREPORT_H
#define ENCODERREPORT_H

#include <QString>

class QByteArray;

// The phrase the encoder's report is cut at.
inline const QString compressionRatePhrase = QStringLiteral("Compression rate");

// The encoder's standard output, up to its first zero byte, from the first
// compressionRatePhrase on, that phrase replaced by translatedPhrase; all of
// it, untouched, when the phrase is missing.
QString encoderReport(const QByteArray &output, const QString &translatedPhrase);

// The report itself when it fits a message box; otherwise its first lines,
// cut to maxLines lines and maxChars characters and ending in an ellipsis.
QString reportPreview(const QString &report, int maxLines = 20, int maxChars = 2000);

#endif
