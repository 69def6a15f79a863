#ifndef TUVR_TOOLS_OUTFILE_H
#define TUVR_TOOLS_OUTFILE_H

#include <stdio.h>

/* An output written under a temporary name beside its target and moved into
 * place only when complete, so a failed or interrupted run never leaves half
 * a file under the final name. */
struct outfile {
    FILE *fp;
    char *tmp_path;
    char *buf;
};

/* Creates "<target>.part-XXXXXX". It is also removed if the process is ended
 * by SIGINT, SIGTERM, SIGHUP or SIGPIPE before the commit. Returns 0 or -1
 * after printing an error that names target. */
int outfile_open(struct outfile *of, const char *target);

/* Closes the file and renames it onto target, replacing an older file.
 * Returns 0, or -1 after printing an error; the temporary file is gone either way. */
int outfile_commit(struct outfile *of, const char *target);

/* Closes the file and gives it the first free name of "<stem><ext>",
 * "<stem>-1<ext>", "<stem>-2<ext>", ... without ever replacing a file.
 * Returns the name (free() it), or NULL after printing an error. */
char *outfile_commit_new(struct outfile *of, const char *stem, const char *ext);

/* Closes and deletes the temporary file; safe on a closed or zeroed outfile. */
void outfile_discard(struct outfile *of);

#endif
