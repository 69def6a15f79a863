#include "yuvio.h"

#include <errno.h>

enum frame_read yuv_read_frame(FILE *fp, uint8_t *buf, size_t size, size_t *got)
{
    *got = fread(buf, 1, size, fp);
    if (*got == size)
        return FRAME_READ_OK;
    if (ferror(fp)) {
        if (errno == 0)
            errno = EIO;
        return FRAME_READ_ERROR;
    }
    return *got == 0 ? FRAME_READ_END : FRAME_READ_PARTIAL;
}

int yuv_write_plane(FILE *fp, const uint8_t *data, int linesize, int width, int height)
{
    size_t w = (size_t)width;

    /* One call for a tightly packed plane keeps large writes large. */
    if (linesize == width) {
        size_t total = w * (size_t)height;
        return fwrite(data, 1, total, fp) == total ? 0 : -1;
    }
    for (int y = 0; y < height; y++) {
        if (fwrite(data + (ptrdiff_t)y * linesize, 1, w, fp) != w)
            return -1;
    }
    return 0;
}
