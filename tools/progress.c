#include "progress.h"

#include "elapsed.h"

#include <stdio.h>

#define PROGRESS_INTERVAL 0.25

static int line_pending;

void progress_start(struct progress *p)
{
    p->start = now_seconds();
    p->last = p->start;
}

/* Seconds since the start when an update is due, or -1. */
static double due(struct progress *p, int final)
{
    double now = now_seconds();

    if (!final && now - p->last < PROGRESS_INTERVAL)
        return -1;
    p->last = now;
    return now - p->start;
}

/* Below 100% until the work is really over. */
static double percent(double done, double total, int final)
{
    double pct = total > 0 ? 100.0 * done / total : 0.0;

    if (final)
        return 100.0;
    return pct > 99.9 ? 99.9 : pct;
}

static void print_eta(double seconds_left)
{
    long s = seconds_left > 0 ? (long)(seconds_left + 0.5) : 0;

    fprintf(stderr, ", eta %ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
}

static void end_update(int final)
{
    fputs(final ? "\r\n" : "\r", stderr);
    fflush(stderr);
    line_pending = !final;
}

void progress_frames(struct progress *p, int done, int total, int final)
{
    double t = due(p, final);

    if (t < 0)
        return;
    fprintf(stderr, "[%.1f%%] %d/%d frames, %.2f fps", percent(done, total, final), done, total,
            t > 0 ? done / t : 0.0);
    print_eta(done > 0 && total > done ? t * (total - done) / done : 0);
    end_update(final);
}

void progress_bytes(struct progress *p, int frames, uint64_t done, uint64_t total, int final)
{
    double t = due(p, final);

    if (t < 0)
        return;
    if (total > 0)
        fprintf(stderr, "[%.1f%%] ", percent((double)done, (double)total, final));
    fprintf(stderr, "%d frames, %.2f fps", frames, t > 0 ? frames / t : 0.0);
    if (total > 0)
        print_eta(done > 0 && total > done ? t * (double)(total - done) / (double)done : 0);
    end_update(final);
}

void progress_break(void)
{
    if (line_pending)
        fputc('\n', stderr);
    line_pending = 0;
}
