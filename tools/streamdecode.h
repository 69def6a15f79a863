#ifndef TUVR_TOOLS_STREAMDECODE_H
#define TUVR_TOOLS_STREAMDECODE_H

#include <stddef.h>
#include <stdint.h>

#include <libavutil/frame.h>

/* Where an H.264 elementary stream comes from: read() fills up to size bytes
 * and returns how many, 0 at the end, or -1 with errno set. */
struct stream_source {
    const char *name; /* for messages */
    long (*read)(void *opaque, uint8_t *buf, size_t size);
    void *opaque;
};

/* Where the decoded frames go, in display order. frame() returns 0, or -1
 * after printing an error, which ends the decode. progress() may be NULL. */
struct stream_sink {
    int (*frame)(void *opaque, const AVFrame *frame);
    void (*progress)(void *opaque, uint64_t bytes_read);
    void *opaque;
};

struct stream_result {
    int frames;          /* handed to the sink */
    int pictures;        /* the stream holds, as far as it was read */
    int counted_all;     /* 0 when reading stopped before the end, or the stream lost pictures there */
    int damaged;         /* the frames after the kept ones depend on damaged data */
    char reason[160];    /* what the decoder found wrong first */
    uint64_t bytes_read;
};

/* Decodes the stream with that many threads (0: one per core). A frame that
 * depends on damaged data, and every frame after it, never reaches the sink,
 * so the frames kept are a function of the stream alone. Returns 0 (see
 * res->damaged), or -1 after printing an error. */
int stream_decode(const struct stream_source *src, const struct stream_sink *sink, int threads,
                  struct stream_result *res);

#endif
