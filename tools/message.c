#include "message.h"

#include "nls.h"
#include "progress.h"
#include "utf8path.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

static void to_stderr(const char *prefix, const char *fmt, va_list ap, const char *end)
{
    fflush(stdout);
    progress_break();
    fputs(prefix, stderr);
    vfprintf(stderr, fmt, ap);
    fputs(end, stderr);
    fflush(stderr);
}

void tool_error(const char *fmt, ...)
{
    va_list ap;

    va_start(ap, fmt);
    to_stderr(_("Error: "), fmt, ap, "\n");
    va_end(ap);
}

void tool_warning(const char *fmt, ...)
{
    va_list ap;

    va_start(ap, fmt);
    to_stderr("", fmt, ap, "");
    va_end(ap);
}

int tool_answer_options(int argc, char **argv, const char *usage_fmt)
{
    const char *name = argc > 0 ? path_base_name(argv[0]) : "";

    if (argc != 2)
        return 0;
    if (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0) {
        printf(usage_fmt, name);
        putchar('\n');
        return 1;
    }
    if (strcmp(argv[1], "--version") == 0) {
        printf("%s (Tuv-R) %s\n", name, TUVR_VERSION);
        return 1;
    }
    return 0;
}
