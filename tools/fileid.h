#ifndef TUVR_TOOLS_FILEID_H
#define TUVR_TOOLS_FILEID_H

#include <stdio.h>

/* Whether the UTF-8 path names the file open as fp: the same file of the
 * same volume, by whatever name or link it is reached (on Linux the device
 * and inode, on Windows the volume serial number and the file index). 0 when
 * path names no file, or either cannot be asked. */
int is_same_file(FILE *fp, const char *path);

#endif
