#define _POSIX_C_SOURCE 200809L
#include "nls.h"

#include <limits.h>
#include <locale.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

/* The user's whole locale, for the report; (locale_t)0 leaves C's numbers. */
static locale_t report_locale;
static locale_t before_report;

/* TUVR_LOCALE_FROM_TOOLS from the tool's own folder: where the install puts
 * the catalogues, and where the build tree has them too. NULL when the
 * system does not tell where the tool is. */
static const char *locale_folder(char *folder, size_t size)
{
    char exe[PATH_MAX];
    ssize_t len = readlink("/proc/self/exe", exe, sizeof exe);
    char *slash;

    if (len <= 0 || (size_t)len >= sizeof exe)
        return NULL;
    exe[len] = '\0';
    if (!(slash = strrchr(exe, '/')))
        return NULL;
    *slash = '\0';
    if (snprintf(folder, size, "%s/%s", exe, TUVR_LOCALE_FROM_TOOLS) >= (int)size)
        return NULL;
    return folder;
}

void tools_nls_start(void)
{
    char folder[PATH_MAX + sizeof TUVR_LOCALE_FROM_TOOLS];

    /* A locale the system lacks leaves the tool in C, in English. */
    if (!setlocale(LC_ALL, ""))
        return;
    /* A copy of what setlocale() loaded: newlocale(), which would load it
     * again, leaks the search path it builds from LOCPATH. */
    report_locale = duplocale(LC_GLOBAL_LOCALE);
    setlocale(LC_NUMERIC, "C");
    /* Otherwise gettext looks in its own default folder, the Debian package's. */
    if (locale_folder(folder, sizeof folder))
        bindtextdomain(TUVR_TOOLS_TEXT_DOMAIN, folder);
    /* The program reads the tools' output as UTF-8, as it gives them paths;
     * strerror() speaks through glibc's own catalogue, in the locale's
     * encoding unless told otherwise. */
    bind_textdomain_codeset(TUVR_TOOLS_TEXT_DOMAIN, "UTF-8");
    bind_textdomain_codeset("libc", "UTF-8");
    textdomain(TUVR_TOOLS_TEXT_DOMAIN);
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
