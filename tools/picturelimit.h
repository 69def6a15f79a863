#ifndef TUVR_TOOLS_PICTURELIMIT_H
#define TUVR_TOOLS_PICTURELIMIT_H

/* The largest picture both tools handle, so the encoder never writes a stream
 * the decoder refuses: DCI 4K and UHD fit (H.264 level 5.1's largest frame is
 * 36864 macroblocks, 4096x2304), and memory stays under a gigabyte. */
#define PICTURE_MAX_SIDE 4096
#define PICTURE_MAX_PIXELS (4096 * 2304)

static inline int picture_fits(long long width, long long height)
{
    return width > 0 && height > 0 && width <= PICTURE_MAX_SIDE && height <= PICTURE_MAX_SIDE &&
           width * height <= PICTURE_MAX_PIXELS;
}

#endif
