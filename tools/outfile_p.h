#ifndef TUVR_TOOLS_OUTFILE_P_H
#define TUVR_TOOLS_OUTFILE_P_H

#include "outfile.h"

/* What each system's half (outfile.c, outfile_win.c) and the part they
 * share (outfile_names.c) give each other. Every path is UTF-8 and lies in
 * the folder given to outfile_open(). */

/* A partial file's hidden name, ".tuvr-PID-N", is short whatever the final
 * name's length, and tells which process made it. */
#define OUTFILE_TEMP_PREFIX ".tuvr-"
#define OUTFILE_TEMP_NAME_SIZE 32
/* How many fresh hidden names are tried before giving up. */
#define OUTFILE_TEMP_NAME_TRIES 100

/* Shared, for the halves. */

/* The next hidden name for the process the system numbers pid. */
void outfile_temp_name(char name[OUTFILE_TEMP_NAME_SIZE], unsigned long pid);

/* Zeroes of and checks that target names a file, not a folder: the first
 * step of each half's outfile_open(). 0, or -1 after printing an error. */
int outfile_begin(struct outfile *of, const char *target);

/* Gives the newly opened stream its large buffer, when there is memory for it. */
void outfile_buffer_stream(struct outfile *of);

/* Closes the stream, if open, and frees its buffer: the first step of each
 * half's outfile_discard(). */
void outfile_close_stream(struct outfile *of);

/* Each half's, for the shared naming. */

/* Gives the flushed file the name path; one already there is replaced when
 * replace is set, in one step. 0 when named, 1 when the name is taken, -1 on
 * another error; errno is set on failure. */
int outfile_name_as(struct outfile *of, const char *path, int replace);

/* Removes the name outfile_name_as() gave, when the file failed after all. */
void outfile_remove_name(const struct outfile *of, const char *path);

/* Whether anything, a dangling link included, is at path now. */
int outfile_path_taken(const struct outfile *of, const char *path);

#endif
