/* Feeds any bytes to the decoder as a stream, from memory, and reads every
 * plane of every frame it keeps. */
#include "streamdecode.h"

#include <stddef.h>
#include <stdint.h>
#include <string.h>

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

struct memory {
    const uint8_t *data;
    size_t left;
};

static long read_memory(void *opaque, uint8_t *buf, size_t size)
{
    struct memory *m = opaque;
    size_t n = size < m->left ? size : m->left;

    memcpy(buf, m->data, n);
    m->data += n;
    m->left -= n;
    return (long)n;
}

/* A sum of every byte, so a plane shorter than the frame claims is read past. */
static int touch_frame(void *opaque, const AVFrame *f)
{
    unsigned *sum = opaque;

    for (int plane = 0; plane < 3 && f->data[plane]; plane++) {
        const int w = plane ? (f->width + 1) / 2 : f->width;
        const int h = plane ? (f->height + 1) / 2 : f->height;

        for (int y = 0; y < h; y++) {
            for (int x = 0; x < w; x++)
                *sum += f->data[plane][(ptrdiff_t)y * f->linesize[plane] + x];
        }
    }
    return 0;
}

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    struct memory m = {data, size};
    unsigned sum = 0;
    const struct stream_source src = {"fuzz", read_memory, &m};
    const struct stream_sink sink = {touch_frame, NULL, &sum};
    struct stream_result res;

    stream_decode(&src, &sink, 1, &res);
    return 0;
}
