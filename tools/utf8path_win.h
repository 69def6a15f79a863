#ifndef TUVR_TOOLS_UTF8PATH_WIN_H
#define TUVR_TOOLS_UTF8PATH_WIN_H

#include <wchar.h>

/* The Windows halves' conversions between the tools' UTF-8 and the UTF-16
 * of Windows' wide calls. Each result is free()d by the caller; NULL means
 * errno is set (EILSEQ for text that is not UTF-8). */

wchar_t *wide_from_utf8(const char *text);
char *utf8_from_wide(const wchar_t *text);

/* path absolute, as GetFullPathNameW() makes it: backslashes, no "." or "..". */
wchar_t *wide_full_path(const wchar_t *path);

/* A UTF-8 path as the wide calls open it; one too long for MAX_PATH is made
 * absolute and given the \\?\ prefix. */
wchar_t *wide_path(const char *path);

/* name (UTF-8) in folder, an absolute path from wide_full_path() that ends
 * in a separator; prefixed as wide_path() does when long. */
wchar_t *wide_path_in(const wchar_t *folder, const char *name);

/* The errno closest to a Windows error code, so messages read as on Linux. */
int errno_from_windows(unsigned long error);

#endif
