#ifndef TUVR_TOOLS_SSIM_H
#define TUVR_TOOLS_SSIM_H

#include <stddef.h>
#include <stdint.h>

/* The SSIM of a plane against another as ffmpeg's ssim filter measures it:
 * the mean over 8x8 windows at a step of 4 samples, from the top left
 * corner. (x264 measures the same two samples further in, which shifts the
 * windows against the transform blocks and gives other figures.) */

/* Sums over one 4x4 block of both planes. */
struct ssim_block {
    int32_t a, b;
    int32_t squares; /* of a and of b */
    int32_t product;
};

/* The scratch ssim_plane() needs for a plane this wide, in blocks. */
static inline size_t ssim_scratch_blocks(int width)
{
    return 2 * (size_t)(width / 4);
}

/* Returns the SSIM, or -1 when no window fits (a side under 8 samples). */
double ssim_plane(const uint8_t *a, ptrdiff_t a_stride, const uint8_t *b, ptrdiff_t b_stride, int width, int height,
                  struct ssim_block *scratch);

#endif
