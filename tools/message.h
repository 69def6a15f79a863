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

#if defined(__GNUC__)
#define TOOL_PRINTF(fmt, args) __attribute__((format(TOOL_PRINTF_FORMAT, fmt, args)))
#else
#define TOOL_PRINTF(fmt, args)
#endif

/* Prints "Error: ..." as one line on standard error, where errors and
 * warnings go, apart from the report on standard output; a progress line
 * in the way is ended first. fmt comes translated, as _("...") gives it. */
void tool_error(const char *fmt, ...) TOOL_PRINTF(1, 2);

/* A warning, its text already begun with "Warning: " and ended by "\n". */
void tool_warning(const char *fmt, ...) TOOL_PRINTF(1, 2);

/* Answers --help (the usage, from usage_fmt with the tool's name, on
 * standard output) and --version. Returns 1 when it answered one of them,
 * so the tool ends with 0; 0 for any other command line. */
int tool_answer_options(int argc, char **argv, const char *usage_fmt) TOOL_PRINTF(3, 0);

#endif
