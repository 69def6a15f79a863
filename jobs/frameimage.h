#ifndef FRAMEIMAGE_H
#define FRAMEIMAGE_H

#include "encoderoptions.h"

#include <QImage>

class QByteArray;
class QSize;

// The frame's planes (planar 4:2:0, 8 bits a sample, at resolution) as a
// picture of size, in the colours a player shows the encoder's stream in.
// A null image when the planes are short of a frame or size is empty.
QImage frameImage(const QByteArray &planes, const Resolution &resolution, const QSize &size);

// How far decoded's luma is from source's, as grey: |Y source - Y decoded|
// times gain, at resolution. A null image when either is short of a frame.
QImage lumaDifferenceImage(const QByteArray &source, const QByteArray &decoded, const Resolution &resolution,
                           int gain);

#endif
