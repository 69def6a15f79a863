#ifndef TUVR_TOOLS_OUTFILE_H
#define TUVR_TOOLS_OUTFILE_H

#include <stdio.h>
#include <wchar.h>

/* An output written where no one sees it and named only when complete, so
 * no run, not even one killed outright, leaves half a file behind.
 *
 * On Linux (outfile.c) it is an unnamed file in its target's folder
 * (O_TMPFILE). Where the file system cannot make unnamed files, a short
 * hidden name in the folder stands in, removed again on failure and on
 * SIGINT, SIGTERM, SIGHUP or SIGPIPE. Names are made relative to the folder,
 * so a final path that fits never fails for length. Hidden names left by a
 * process that died without its handler (SIGKILL) are removed when the next
 * output in that folder is opened.
 *
 * On Windows (outfile_win.c) it is a hidden file in the target's folder
 * whose delete disposition is set from the start, so closing it in any way,
 * TerminateProcess included, deletes it; when complete, the disposition is
 * cleared and the file renamed by its handle. Where the drive refuses that,
 * the hidden name is removed on failure and on Ctrl+C, Ctrl+Break or the
 * console's close, and the file is named with MoveFileExW(). */
struct outfile {
    FILE *fp;
#ifdef _WIN32
    wchar_t *folder;   /* the target's folder, absolute, ending in a separator */
    wchar_t *tmp_path; /* the hidden name, until the file is named */
    int named_partial; /* no delete disposition: the hidden name must be removed */
#else
    int dirfd;
    char *tmp_name; /* the stand-in name, when there is one */
#endif
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
