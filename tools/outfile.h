#ifndef TUVR_TOOLS_OUTFILE_H
#define TUVR_TOOLS_OUTFILE_H

#include <stdio.h>

/* An output written as an unnamed file in its target's folder (O_TMPFILE)
 * and named only when complete, so no run, not even one killed by SIGKILL or
 * a power cut, leaves half a file behind. Where the file system cannot make
 * unnamed files, a short hidden name in the folder stands in, removed again
 * on failure and on SIGINT, SIGTERM, SIGHUP or SIGPIPE. Names are made
 * relative to the folder, so a final path that fits never fails for length.
 * Hidden names left by a process that died without its handler (SIGKILL)
 * are removed when the next output in that folder is opened. */
struct outfile {
    FILE *fp;
    int dirfd;
    char *tmp_name; /* the stand-in name, when there is one */
    char *buf;
};

/* Creates the file in target's folder. Returns 0 or -1 after printing an
 * error that names target. */
int outfile_open(struct outfile *of, const char *target);

/* Names the file target, replacing an older file (or symlink) in one step.
 * Returns 0, or -1 after printing an error; the file is gone either way. */
int outfile_commit(struct outfile *of, const char *target);

/* Names the file "<stem><ext>", "<stem>-1<ext>", "<stem>-2<ext>", ...,
 * the first that is free, never replacing a file; stem must lie in the
 * folder given to outfile_open(). Returns the path (free() it), or NULL
 * after printing an error. */
char *outfile_commit_new(struct outfile *of, const char *stem, const char *ext);

/* The name outfile_commit_new() would give the file now, for messages
 * (free() it); NULL when out of memory. */
char *outfile_free_name(const struct outfile *of, const char *stem, const char *ext);

/* Closes and deletes the file; safe on a closed or zeroed outfile. */
void outfile_discard(struct outfile *of);

#endif
