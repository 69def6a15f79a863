#ifndef TUVR_TOOLS_ELAPSED_H
#define TUVR_TOOLS_ELAPSED_H

#include <time.h>

/* Seconds on a clock that wall-clock changes do not move, for the reports' speeds. */
static inline double now_seconds(void)
{
    struct timespec ts;

    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

#endif
