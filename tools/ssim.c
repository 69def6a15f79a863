#include "ssim.h"

/* The stabilising constants for 8-bit samples, scaled to sums over 64 samples
 * and rounded as ffmpeg and x264 round them. */
#define SSIM_C1 416.0    /* (0.01 * 255)^2 * 64 */
#define SSIM_C2 235963.0 /* (0.03 * 255)^2 * 64 * 63 */

static void sum_blocks(const uint8_t *a, ptrdiff_t a_stride, const uint8_t *b, ptrdiff_t b_stride, int blocks,
                       struct ssim_block *out)
{
    for (int k = 0; k < blocks; k++) {
        struct ssim_block s = {0, 0, 0, 0};

        for (int y = 0; y < 4; y++) {
            for (int x = 0; x < 4; x++) {
                const int pa = a[y * a_stride + 4 * k + x], pb = b[y * b_stride + 4 * k + x];

                s.a += pa;
                s.b += pb;
                s.squares += pa * pa + pb * pb;
                s.product += pa * pb;
            }
        }
        out[k] = s;
    }
}

/* The window made of two blocks side by side in each of two block rows. */
static double window_ssim(const struct ssim_block *top, const struct ssim_block *bottom)
{
    const double s1 = top[0].a + top[1].a + bottom[0].a + bottom[1].a;
    const double s2 = top[0].b + top[1].b + bottom[0].b + bottom[1].b;
    const double squares = top[0].squares + top[1].squares + bottom[0].squares + bottom[1].squares;
    const double product = top[0].product + top[1].product + bottom[0].product + bottom[1].product;
    const double variances = squares * 64 - s1 * s1 - s2 * s2;
    const double covariance = product * 64 - s1 * s2;

    return (2 * s1 * s2 + SSIM_C1) * (2 * covariance + SSIM_C2) /
           ((s1 * s1 + s2 * s2 + SSIM_C1) * (variances + SSIM_C2));
}

double ssim_plane(const uint8_t *a, ptrdiff_t a_stride, const uint8_t *b, ptrdiff_t b_stride, int width, int height,
                  struct ssim_block *scratch)
{
    const int blocks = width / 4, rows = height / 4;
    struct ssim_block *above = scratch, *below = scratch + blocks, *swap;
    double sum = 0.0;

    if (blocks < 2 || rows < 2)
        return -1.0;
    sum_blocks(a, a_stride, b, b_stride, blocks, above);
    for (int row = 1; row < rows; row++) {
        sum_blocks(a + 4 * row * a_stride, a_stride, b + 4 * row * b_stride, b_stride, blocks, below);
        for (int k = 0; k + 1 < blocks; k++)
            sum += window_ssim(above + k, below + k);
        swap = above;
        above = below;
        below = swap;
    }
    return sum / ((double)(blocks - 1) * (double)(rows - 1));
}
