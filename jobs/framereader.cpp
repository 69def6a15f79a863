#include "framereader.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {
// The reader's texts have a translation context of their own.
class FrameReader
{
    Q_DECLARE_TR_FUNCTIONS(FrameReader)
};
}

static ClipFrame failed(const QString &why)
{
    ClipFrame frame;
    frame.failure = why;
    return frame;
}

static QString cannotRead(const QFile &clip)
{
    return FrameReader::tr("No picture: the clip cannot be read (%1).").arg(clip.errorString());
}

ClipFrame readClipFrame(const QString &path, const Resolution &resolution, qint64 wanted)
{
    const QFileInfo info(path);
    // A folder is left to QFile, which refuses it with its own words.
    if (info.exists() && !info.isFile() && !info.isDir())
        return failed(FrameReader::tr("No picture: the clip is a pipe or a device, not a regular file, so its "
                                      "frames cannot be reached without reading it from the start."));
    QFile clip(path);
    if (!clip.open(QIODevice::ReadOnly))
        return failed(cannotRead(clip));
    const qint64 frameBytes = resolution.frameBytes();
    ClipFrame frame;
    frame.count = clip.size() / frameBytes;
    if (frame.count == 0) {
        return failed(FrameReader::tr("No picture: the clip holds %1 bytes, less than one frame of %2 (%3 bytes).")
                          .arg(QString::number(clip.size()),
                               QStringLiteral("%1x%2").arg(resolution.width).arg(resolution.height),
                               QString::number(frameBytes)));
    }
    frame.index = qBound<qint64>(0, wanted, frame.count - 1);
    if (!clip.seek(frame.index * frameBytes))
        return failed(cannotRead(clip));
    frame.bytes = clip.read(frameBytes);
    // The clip may have shrunk since its size was taken.
    if (frame.bytes.size() != frameBytes)
        return failed(cannotRead(clip));
    return frame;
}
