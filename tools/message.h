#ifndef TUVR_TOOLS_MESSAGE_H
#define TUVR_TOOLS_MESSAGE_H

/* Prints "Error: ..." as one line on standard output and standard error:
 * the program shows only standard output, a terminal user sees standard error. */
void tool_error(const char *fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

#endif
