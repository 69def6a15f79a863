#ifndef TUVR_TOOLS_YUVIO_H
#define TUVR_TOOLS_YUVIO_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

enum frame_read {
    FRAME_READ_OK,      /* a whole frame */
    FRAME_READ_END,     /* clean end of input, nothing read */
    FRAME_READ_PARTIAL, /* input ended inside a frame; *got tells how much */
    FRAME_READ_ERROR    /* I/O error, errno is set */
};

/* Reads one raw frame of size bytes into buf. */
enum frame_read yuv_read_frame(FILE *fp, uint8_t *buf, size_t size, size_t *got);

/* Writes width x height bytes of a plane whose rows are linesize apart.
 * Returns 0, or -1 with errno set. */
int yuv_write_plane(FILE *fp, const uint8_t *data, int linesize, int width, int height);

#endif
