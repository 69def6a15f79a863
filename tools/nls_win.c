#include "nls.h"
#include "nls_p.h"

#include <locale.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <windows.h>

/* What setlocale() took from the user, for the report's numbers. */
static char report_numeric[128];

/* gettext on Windows takes the language from LANGUAGE, else from the user
 * interface's, even where LC_ALL, LC_MESSAGES or LANG name another: as on
 * Linux, the first of those set names it. */
static void language_from_environment(void)
{
    static const char *const names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    const char *language = getenv("LANGUAGE");

    if (language && *language)
        return;
    for (size_t i = 0; i < sizeof names / sizeof *names; i++) {
        const char *value = getenv(names[i]);
        if (value && *value) {
            _putenv_s("LANGUAGE", value);
            return;
        }
    }
}

int nls_take_user_locale(void)
{
    const char *numeric;

    language_from_environment();
    /* The report's numbers change in this thread alone, as uselocale() does on Linux. */
    _configthreadlocale(_ENABLE_PER_THREAD_LOCALE);
    if (!setlocale(LC_ALL, ""))
        return 0;
    numeric = setlocale(LC_NUMERIC, NULL);
    if (numeric && strlen(numeric) < sizeof report_numeric)
        strcpy(report_numeric, numeric);
    return 1;
}

/* The folder in its UTF-16 form: an install folder of any letters works. */
int nls_bind_catalogues(const char *domain)
{
    wchar_t folder[MAX_PATH + sizeof TUVR_LOCALE_FROM_TOOLS];
    const DWORD size = GetModuleFileNameW(NULL, folder, MAX_PATH);
    wchar_t *slash;

    if (size == 0 || size >= MAX_PATH || !(slash = wcsrchr(folder, L'\\')))
        return 0;
    swprintf(slash + 1, sizeof folder / sizeof *folder - (size_t)(slash + 1 - folder), L"%hs",
             TUVR_LOCALE_FROM_TOOLS);
    return wbindtextdomain(domain, folder) != NULL;
}

void report_numbers_begin(void)
{
    if (report_numeric[0])
        setlocale(LC_NUMERIC, report_numeric);
}

void report_numbers_end(void)
{
    setlocale(LC_NUMERIC, "C");
}
