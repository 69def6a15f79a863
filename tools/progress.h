#ifndef TUVR_TOOLS_PROGRESS_H
#define TUVR_TOOLS_PROGRESS_H

#include <stdint.h>

/* Progress on standard error in the x264 form, one line rewritten in place:
 * each update ends in "\r" and comes at most every PROGRESS_INTERVAL seconds.
 * The program reads these lines to show a live progress bar. */
struct progress {
    double start;
    double last;
};

void progress_start(struct progress *p);

/* "[12.3%] 45/366 frames, 23.10 fps, eta 0:00:14". final prints at once and
 * is the only update that may show 100%. */
void progress_frames(struct progress *p, int done, int total, int final);

/* "[12.3%] 45 frames, 230.10 fps, eta 0:00:02" from bytes read of total
 * bytes, or "45 frames, 230.10 fps" when total is 0 (size unknown). */
void progress_bytes(struct progress *p, int frames, uint64_t done, uint64_t total, int final);

/* Ends a pending progress line with "\n", so the next message starts clean. */
void progress_break(void);

#endif
