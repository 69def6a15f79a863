#ifndef CHARTCOLUMNS_H
#define CHARTCOLUMNS_H

#include "jobs/framequality.h"

#include <QVector>

// The lowest and highest of one figure among a column's frames; low > high
// when none of them has it measured.
struct FigureSpan
{
    float low = 1;
    float high = 0;

    bool isEmpty() const { return low > high; }
    void take(float value);
};

// What one pixel column of a chart shows: the frames that fall in it reduced
// to their spans, so a chart draws as many lines as it is wide, whatever the
// number of frames.
struct ChartColumn
{
    // The frames [first, end) of the series, by their place in it.
    qint32 first = 0;
    qint32 end = 0;
    // The column that frame place falls in, as chartColumns() spreads count frames
// over columns; the last of its columns when the frame spans several.
int columnOf(qint32 place, qint64 count, int columns);

// The place of the frame with the lowest PSNR Y, or -1 when no frame of
    // the column has it measured.
    qint32 worst = -1;
    FigureSpan psnrY, psnrU, psnrV, bytes;
    // Which frame types the column holds, as typeBit() gives them.
    quint8 types = 0;
};

// 1 for an I frame, 2 for P, 4 for B.
quint8 typeBit(char type);

// The series spread over columns pixel columns. With fewer frames than
// columns a frame spans several columns in a row; each column holds at least one.
QVector<ChartColumn> chartColumns(const QVector<FrameQuality> &frames, int columns);

// The column that frame place falls in, as chartColumns() spreads count frames
// over columns; the last of its columns when the frame spans several.
int columnOf(qint32 place, qint64 count, int columns);

// The place of the frame with the lowest PSNR Y of all, or -1 when none is measured.
qint32 worstFrame(const QVector<FrameQuality> &frames);

#endif
