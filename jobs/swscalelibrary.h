#ifndef SWSCALELIBRARY_H
#define SWSCALELIBRARY_H

extern "C" {
#include <libswscale/swscale.h>
}

// The libswscale functions the pictures are made with. Where libswscale is
// a shared library (Linux) it is loaded with the first picture, not with
// the program: with libavutil it brings a dozen libraries along, which the
// start-up need not wait for. The Windows program has it built in.
struct SwscaleLibrary
{
    decltype(&sws_getContext) getContext;
    decltype(&sws_getCoefficients) getCoefficients;
    decltype(&sws_setColorspaceDetails) setColorspaceDetails;
    decltype(&sws_scale) scale;
    decltype(&sws_freeContext) freeContext;

    // Null when the library cannot be loaded.
    static const SwscaleLibrary *get();
};

#endif
