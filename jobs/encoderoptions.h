#ifndef ENCODEROPTIONS_H
#define ENCODEROPTIONS_H

#include <QList>

#include <limits>

class QSettings;

// One of the frame sizes the options dialog offers.
struct Resolution
{
    int width;
    int height;

    // Bytes of one frame of planar 4:2:0, 8 bits a sample.
    qint64 frameBytes() const { return qint64(width) * height * 3 / 2; }

    friend bool operator==(const Resolution &a, const Resolution &b)
    {
        return a.width == b.width && a.height == b.height;
    }
};

// The encoder's options as the store holds them, read in this one place, so
// the options dialog, config.txt and the clip check always see the same
// values. A stored value the program could not have written (a hand-edited
// settings file, an older version's text) reads as its default.
struct EncoderOptions
{
    static constexpr int minFrames = 1;
    static constexpr int maxFrames = std::numeric_limits<int>::max();
    static constexpr int minQuality = 0;
    static constexpr int maxQuality = 51;

    int width = 1920;
    int height = 1080;
    int frames = 32;
    int quality = 22;

    // One entry of the options dialog's list: a frame size and the text the
    // dialog shows for it (translated in the dialog's context).
    struct Entry
    {
        Resolution resolution;
        const char *text;
    };

    // The frame sizes the encoder is offered, in the dialog's order.
    static const QList<Entry> &entries();
    static bool offers(const Resolution &resolution);
    static EncoderOptions read(const QSettings &settings);

    Resolution resolution() const { return {width, height}; }
    qint64 frameBytes() const { return resolution().frameBytes(); }
};

#endif
