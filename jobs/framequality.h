#ifndef FRAMEQUALITY_H
#define FRAMEQUALITY_H

#include <QByteArray>
#include <QMetaType>
#include <QVector>

#include <optional>

// What an encoder measured of one frame, from its per-frame line on standard
// error: "frame N TYPE BYTES PSNR_Y PSNR_U PSNR_V SSIM".
struct FrameQuality
{
    // The frame's number in display order, from 0.
    qint32 frame = 0;
    // 'I', 'P' or 'B'.
    char type = 'P';
    // The frame's share of the stream, headers and side data included.
    qint64 bytes = 0;
    // In dB against the input; infinite for a plane that came through
    // unchanged, negative when the tool did not measure it.
    float psnrY = -1, psnrU = -1, psnrV = -1;
    // Of the luma, 0 to 1; negative when the tool did not measure it (a
    // picture with a side under 8 pixels).
    float ssim = -1;
};
Q_DECLARE_TYPEINFO(FrameQuality, Q_PRIMITIVE_TYPE);
Q_DECLARE_METATYPE(FrameQuality)

// A line that starts as a per-frame line does ("frame 12"): the program
// keeps it out of the tool's diagnostics even when it is torn.
bool isFrameLine(const QByteArray &line);
// The figures that line gives, or nothing when it is torn or they are absurd.
std::optional<FrameQuality> parseFrameLine(const QByteArray &line);

// An encode's per-frame figures in display order. Each frame comes after the
// last one and below a limit, so a tool's garbage never grows it without end:
// 32 bytes a frame, 4 MiB for 100,000 frames with the list's spare room.
class FrameSeries
{
public:
    // About eleven hours at 25 frames a second.
    static constexpr qint32 maxFrames = 1 << 20;

    explicit FrameSeries(qint32 frameLimit = maxFrames);

    // Keeps frame when its number is above the last one's and below the
    // limit; returns whether it did.
    bool append(const FrameQuality &frame);

    const QVector<FrameQuality> &frames() const { return list; }
    qsizetype size() const { return list.size(); }
    bool isEmpty() const { return list.isEmpty(); }

private:
    qint32 limit;
    QVector<FrameQuality> list;
};

// The series as CSV: the line "frame,type,bytes,psnr_y,psnr_u,psnr_v,ssim",
// then one a frame, C's numbers ("inf" for an unchanged plane, nothing for a
// figure not measured), each ended by "\n".
QByteArray frameSeriesCsv(const FrameSeries &series);

#endif
