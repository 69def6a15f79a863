#include "encoderreport.h"

#include <QByteArray>
#include <QStringList>

QString encoderReport(const QByteArray &output, const QString &translatedPhrase)
{
    const int zero = output.indexOf('\0');
    QString report = QString::fromUtf8(zero < 0 ? output : output.left(zero));
    const int phrase = report.indexOf(compressionRatePhrase);
    if (phrase < 0)
        return report;
    // Only the report's heading: the same words further on may be a path's.
    return report.remove(0, phrase).replace(0, compressionRatePhrase.size(), translatedPhrase);
}

QString reportPreview(const QString &report, int maxLines, int maxChars)
{
    const QStringList lines = report.split(QLatin1Char('\n'));
    if (lines.size() <= maxLines && report.size() <= maxChars)
        return report;
    QString preview = lines.mid(0, maxLines).join(QLatin1Char('\n')).left(maxChars);
    return preview.append(QChar(0x2026));
}
