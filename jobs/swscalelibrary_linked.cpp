#include "swscalelibrary.h"

const SwscaleLibrary *SwscaleLibrary::get()
{
    static const SwscaleLibrary library{&sws_getContext, &sws_getCoefficients, &sws_setColorspaceDetails,
                                        &sws_scale, &sws_freeContext};
    return &library;
}
