#ifndef TUVR_TOOLS_UTF8PATH_H
#define TUVR_TOOLS_UTF8PATH_H

#include <stdio.h>

/* Paths in the tools are UTF-8, as config.txt and the program give them. On
 * Windows they are opened through their UTF-16 form (utf8path_win.c), so
 * any letter works, and a path too long for MAX_PATH still opens. */

/* fopen() for a UTF-8 path. A folder fails with EISDIR where the system
 * cannot open one as a file. */
FILE *utf8_fopen(const char *path, const char *mode);

/* The last component of path: what follows its last separator ('/'; on
 * Windows also '\\' and a drive's colon); "" when path ends in one. */
const char *path_base_name(const char *path);

/* path in the system's own spelling, in place: on Windows every '/' becomes
 * '\\', so the tools' messages name a file as the user's own programs do;
 * elsewhere it stays as it is. Returns path. */
char *path_native_separators(char *path);

/* path made absolute against the working folder; a copy of path when it is
 * absolute already. free() it; NULL with errno set. */
char *utf8_absolute_path(const char *path);

#endif
