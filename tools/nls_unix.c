#define _POSIX_C_SOURCE 200809L
#include "nls.h"
#include "nls_p.h"

#include <limits.h>
#include <locale.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

/* The user's whole locale, for the report; (locale_t)0 leaves C's numbers. */
static locale_t report_locale;
static locale_t before_report;

int nls_take_user_locale(void)
{
    if (!setlocale(LC_ALL, ""))
        return 0;
    /* A copy of what setlocale() loaded: newlocale(), which would load it
     * again, leaks the search path it builds from LOCPATH. */
    report_locale = duplocale(LC_GLOBAL_LOCALE);
    return 1;
}

int nls_bind_catalogues(const char *domain)
{
    char exe[PATH_MAX], folder[PATH_MAX + sizeof TUVR_LOCALE_FROM_TOOLS];
    ssize_t len = readlink("/proc/self/exe", exe, sizeof exe);
    char *slash;

    if (len <= 0 || (size_t)len >= sizeof exe)
        return 0;
    exe[len] = '\0';
    if (!(slash = strrchr(exe, '/')))
        return 0;
    *slash = '\0';
    if (snprintf(folder, sizeof folder, "%s/%s", exe, TUVR_LOCALE_FROM_TOOLS) >= (int)sizeof folder)
        return 0;
    return bindtextdomain(domain, folder) != NULL;
}

/* uselocale((locale_t)0) changes nothing and returns the locale in use. */
void report_numbers_begin(void)
{
    before_report = uselocale(report_locale);
}

void report_numbers_end(void)
{
    uselocale(before_report);
}
