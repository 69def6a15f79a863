#ifndef SMALLCLIP_H
#define SMALLCLIP_H

#include "settings/settingsstore.h"

#include <QFile>

// One 720x576 frame, and the options it fits, so that the clip check lets
// an encode go straight to the encoder.
inline constexpr int smallFrameBytes = 720 * 576 * 3 / 2;

inline void storeSmallClipOptions()
{
    SettingsStore settings;
    settings.setValue(SettingsKeys::width, 720);
    settings.setValue(SettingsKeys::height, 576);
    settings.setValue(SettingsKeys::nFrames, 1);
}

inline bool writeClip(const QString &path, const QByteArray &bytes)
{
    QFile clip(path);
    return clip.open(QIODevice::WriteOnly) && clip.write(bytes) == bytes.size();
}

inline bool writeSmallClip(const QString &path)
{
    return writeClip(path, QByteArray(smallFrameBytes, 'y'));
}

// One frame of planar 4:2:0 all in one colour.
inline QByteArray solidFrame(int width, int height, quint8 y, quint8 u, quint8 v)
{
    const int luma = width * height;
    return QByteArray(luma, char(y)) + QByteArray(luma / 4, char(u)) + QByteArray(luma / 4, char(v));
}

#endif
