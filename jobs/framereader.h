#ifndef FRAMEREADER_H
#define FRAMEREADER_H

#include "encoderoptions.h"

#include <QByteArray>
#include <QString>

// One frame of a raw clip, planar 4:2:0 with 8 bits a sample, or why there is none.
struct ClipFrame
{
    // The frame read, from 0.
    qint64 index = 0;
    // The whole frames the clip holds at the size it was read at.
    qint64 count = 0;
    // The Y, U and V planes one after the other; empty when failure says why.
    QByteArray bytes;
    QString failure;
};

// Frame wanted of the clip at resolution, or its last frame when it holds
// fewer. Only that frame's bytes are read: a pipe or a device, whose frames
// cannot be reached without reading all before them, is not opened at all.
ClipFrame readClipFrame(const QString &path, const Resolution &resolution, qint64 wanted);

#endif
