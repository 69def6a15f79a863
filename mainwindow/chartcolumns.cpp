#include "chartcolumns.h"

void FigureSpan::take(float value)
{
    if (value < 0)
        return;
    if (isEmpty()) {
        low = high = value;
        return;
    }
    low = qMin(low, value);
    high = qMax(high, value);
}

quint8 typeBit(char type)
{
    switch (type) {
    case 'I':
        return 1;
    case 'B':
        return 4;
    default:
        return 2;
    }
}

// A PSNR not measured is worse than none; an unchanged plane (infinite) is the best.
static bool isWorse(const FrameQuality &candidate, const FrameQuality *sofar)
{
    return candidate.psnrY >= 0 && (!sofar || candidate.psnrY < sofar->psnrY);
}

static ChartColumn reduce(const QVector<FrameQuality> &frames, qint32 first, qint32 end)
{
    ChartColumn column;
    column.first = first;
    column.end = end;
    for (qint32 i = first; i < end; ++i) {
        const FrameQuality &f = frames[i];
        column.psnrY.take(f.psnrY);
        column.psnrU.take(f.psnrU);
        column.psnrV.take(f.psnrV);
        column.bytes.take(float(f.bytes));
        column.types |= typeBit(f.type);
        if (isWorse(f, column.worst < 0 ? nullptr : &frames[column.worst]))
            column.worst = i;
    }
    return column;
}

QVector<ChartColumn> chartColumns(const QVector<FrameQuality> &frames, int columns)
{
    QVector<ChartColumn> result;
    const qint64 count = frames.size();
    if (count == 0 || columns <= 0)
        return result;
    result.reserve(columns);
    for (qint64 x = 0; x < columns; ++x) {
        const auto first = qint32(x * count / columns);
        const auto end = qint32(qMax<qint64>(first + 1, (x + 1) * count / columns));
        result.append(reduce(frames, first, end));
    }
    return result;
}

int columnOf(qint32 place, qint64 count, int columns)
{
    if (count <= 0 || columns <= 0)
        return 0;
    return int(qBound(qint64(0), ((place + 1) * qint64(columns) - 1) / count, qint64(columns - 1)));
}

qint32 worstFrame(const QVector<FrameQuality> &frames)
{
    return reduce(frames, 0, qint32(frames.size())).worst;
}
