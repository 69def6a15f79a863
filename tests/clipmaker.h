#ifndef CLIPMAKER_H
#define CLIPMAKER_H

#include "settings/settingsstore.h"

#include <QFile>

// The raw clips the tests and benchmarks feed the program and the tools:
// planar 4:2:0 frames, one after the other.

// A moving gradient with a little noise, so neither coder has it too easy,
// no two frames are alike and a frame read from the wrong place shows.
inline QByteArray makeClip(int width, int height, int frames)
{
    QByteArray clip;
    clip.reserve(width * height * 3 / 2 * frames);
    quint32 state = 1;
    auto noise = [&state] {
        state = state * 1664525u + 1013904223u;
        return int(state >> 29);
    };
    for (int f = 0; f < frames; ++f) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                clip.append(char(8 + (2 * x + y + 3 * f) % 224 + noise()));
        for (int y = 0; y < height / 2; ++y)
            for (int x = 0; x < width / 2; ++x)
                clip.append(char(112 + ((x - f) & 31)));
        for (int y = 0; y < height / 2; ++y)
            for (int x = 0; x < width / 2; ++x)
                clip.append(char(96 + ((y + 2 * f) & 63)));
    }
    return clip;
}

// One frame all in one colour.
inline QByteArray solidFrame(int width, int height, quint8 y, quint8 u, quint8 v)
{
    const int luma = width * height;
    return QByteArray(luma, char(y)) + QByteArray(luma / 4, char(u)) + QByteArray(luma / 4, char(v));
}

inline bool writeClip(const QString &path, const QByteArray &bytes)
{
    QFile clip(path);
    return clip.open(QIODevice::WriteOnly) && clip.write(bytes) == bytes.size();
}

// A small clip of 720x576 frames, and the options it fits, so that the clip
// check lets an encode go straight to the encoder.
inline constexpr int smallFrameBytes = 720 * 576 * 3 / 2;

inline bool writeSmallClip(const QString &path, int frames = 1)
{
    return writeClip(path, makeClip(720, 576, frames));
}

inline void storeSmallClipOptions(int frames = 1)
{
    SettingsStore settings;
    settings.setValue(SettingsKeys::width, 720);
    settings.setValue(SettingsKeys::height, 576);
    settings.setValue(SettingsKeys::nFrames, frames);
}

#endif
