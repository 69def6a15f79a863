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

inline bool writeSmallClip(const QString &path)
{
    QFile clip(path);
    return clip.open(QIODevice::WriteOnly) && clip.write(QByteArray(smallFrameBytes, 'y')) == smallFrameBytes;
}

#endif
