#ifndef TUVR_TOOLS_MESSAGE_H
#define TUVR_TOOLS_MESSAGE_H

#include <stdio.h>

/* MinGW's printf takes the C99 formats (%zu, %lld) only as gnu_printf, the
 * name its stdio.h gives in __MINGW_PRINTF_FORMAT. */
#if defined(__MINGW_PRINTF_FORMAT)
#define TOOL_PRINTF_FORMAT __MINGW_PRINTF_FORMAT
#else
#define TOOL_PRINTF_FORMAT printf
#endif

/* Prints "Error: ..." as one line on standard output and standard error:
 * the program shows only standard output, a terminal user sees standard error.
 * fmt comes translated, as _("...") gives it. */
void tool_error(const char *fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(TOOL_PRINTF_FORMAT, 1, 2)))
#endif
    ;

#endif
