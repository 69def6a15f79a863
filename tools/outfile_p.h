#ifndef TUVR_TOOLS_OUTFILE_P_H
#define TUVR_TOOLS_OUTFILE_P_H

#include "outfile.h"

/* What each system's half (outfile.c, outfile_win.c) gives the naming they
 * share (outfile_names.c). Every path is UTF-8 and lies in the folder given
 * to outfile_open(). */

/* Gives the flushed file the name path; one already there is replaced when
 * replace is set, in one step. 0 when named, 1 when the name is taken, -1 on
 * another error; errno is set on failure. */
int outfile_name_as(struct outfile *of, const char *path, int replace);

/* Removes the name outfile_name_as() gave, when the file failed after all. */
void outfile_remove_name(const struct outfile *of, const char *path);

/* Whether anything, a dangling link included, is at path now. */
int outfile_path_taken(const struct outfile *of, const char *path);

/* Closes the stream, if open, and frees its buffer: the first step of each
 * half's outfile_discard(). */
void outfile_close_stream(struct outfile *of);

#endif
