#include "framequality.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

static const QRegularExpression frameStart(QStringLiteral(R"(^frame\s+\d)"));
// C's decimals; a PSNR of "inf" for an unchanged plane, "-" for a figure not
// measured. No frame takes a terabyte, nothing measures 1000 dB.
static const QRegularExpression framePattern(QStringLiteral(
    R"(^frame\s+(\d{1,10})\s+([IPB])\s+(\d{1,12}))"
    R"(\s+(inf|-|\d{1,3}(?:\.\d+)?)\s+(inf|-|\d{1,3}(?:\.\d+)?)\s+(inf|-|\d{1,3}(?:\.\d+)?))"
    R"(\s+(-|[01](?:\.\d+)?)$)"));

bool isFrameLine(const QByteArray &line)
{
    return frameStart.match(QString::fromLatin1(line)).hasMatch();
}

static float figure(const QString &text)
{
    if (text == QLatin1String("inf"))
        return std::numeric_limits<float>::infinity();
    return text == QLatin1String("-") ? -1 : text.toFloat();
}

std::optional<FrameQuality> parseFrameLine(const QByteArray &line)
{
    const QRegularExpressionMatch match = framePattern.match(QString::fromLatin1(line));
    if (!match.hasMatch())
        return std::nullopt;
    FrameQuality quality;
    bool numberFits = false;
    quality.frame = match.captured(1).toInt(&numberFits);
    quality.type = match.captured(2).at(0).toLatin1();
    quality.bytes = match.captured(3).toLongLong();
    quality.psnrY = figure(match.captured(4));
    quality.psnrU = figure(match.captured(5));
    quality.psnrV = figure(match.captured(6));
    quality.ssim = figure(match.captured(7));
    if (!numberFits || quality.ssim > 1)
        return std::nullopt;
    return quality;
}

FrameSeries::FrameSeries(qint32 frameLimit)
    : limit(qBound(0, frameLimit, maxFrames))
{
}

bool FrameSeries::append(const FrameQuality &frame)
{
    const bool follows = list.isEmpty() || frame.frame > list.last().frame;
    if (!follows || frame.frame >= limit)
        return false;
    list.append(frame);
    return true;
}

static QByteArray csvFigure(float value, int decimals)
{
    if (value < 0)
        return QByteArray();
    if (std::isinf(value))
        return QByteArrayLiteral("inf");
    return QByteArray::number(double(value), 'f', decimals);
}

QByteArray frameSeriesCsv(const FrameSeries &series)
{
    QByteArray csv = QByteArrayLiteral("frame,type,bytes,psnr_y,psnr_u,psnr_v,ssim\n");
    for (const FrameQuality &f : series.frames()) {
        csv += QByteArray::number(f.frame) + ',' + f.type + ',' + QByteArray::number(f.bytes) + ','
            + csvFigure(f.psnrY, 3) + ',' + csvFigure(f.psnrU, 3) + ',' + csvFigure(f.psnrV, 3) + ','
            + csvFigure(f.ssim, 6) + '\n';
    }
    return csv;
}
