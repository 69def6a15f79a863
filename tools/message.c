#include "message.h"

#include "nls.h"
#include "progress.h"

#include <stdarg.h>
#include <stdio.h>

void tool_error(const char *fmt, ...)
{
    va_list ap;

    fflush(stdout);
    fputs(_("Error: "), stdout);
    va_start(ap, fmt);
    vfprintf(stdout, fmt, ap);
    va_end(ap);
    fputc('\n', stdout);
    fflush(stdout);

    progress_break();
    fputs(_("Error: "), stderr);
    va_start(ap, fmt);
    vfprintf(stderr, fmt, ap);
    va_end(ap);
    fputc('\n', stderr);
}
