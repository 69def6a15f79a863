#ifndef TOOLPROGRESS_H
#define TOOLPROGRESS_H

#include "framequality.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>

#include <optional>

// One progress update of a codec tool, as encoders commonly print it on
// standard error: "[12.3%] 45/366 frames, 23.10 fps, eta 0:00:14".
// Figures the tool did not give are negative.
struct ToolProgress
{
    double percent = -1;
    qint64 frames = -1;
    qint64 totalFrames = -1;
    double fps = -1;
    qint64 etaSeconds = -1;
};
Q_DECLARE_METATYPE(ToolProgress)

// The progress update that line holds, or nothing when it is another kind of line.
std::optional<ToolProgress> parseProgressLine(const QByteArray &line);

// Splits a tool's standard error, as it arrives in pieces, into lines ended
// by "\r" or "\n", and sorts them into progress updates, per-frame figures
// and everything else. Torn per-frame lines are dropped.
class ToolProgressParser
{
public:
    struct Lines
    {
        QList<ToolProgress> updates;
        QVector<FrameQuality> frames;
        QByteArray otherText;
    };

    Lines feed(const QByteArray &chunk);
    // What is left when the tool has ended: a last line without its end.
    Lines finish();

private:
    void take(const QByteArray &line, Lines &lines);

    QByteArray pending;
    bool takenLineEndsInCr = false;
};

#endif
