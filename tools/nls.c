#include "nls.h"
#include "nls_p.h"

#include <limits.h>
#include <locale.h>
#include <stdio.h>
#include <string.h>

void tools_nls_start(void)
{
    if (!nls_take_user_locale())
        return;
    setlocale(LC_NUMERIC, "C");
    /* Otherwise gettext looks in its own default folder, the system's. */
    nls_bind_catalogues(TUVR_TOOLS_TEXT_DOMAIN);
    /* The program reads the tools' output as UTF-8, as it gives them paths;
     * glibc's strerror() speaks through its own catalogue, in the locale's
     * encoding unless told otherwise. */
    bind_textdomain_codeset(TUVR_TOOLS_TEXT_DOMAIN, "UTF-8");
    bind_textdomain_codeset("libc", "UTF-8");
    textdomain(TUVR_TOOLS_TEXT_DOMAIN);
}

/* The first group size serves for all: the locales that group a tool's
 * figures at all group them by threes. */
const char *report_digits(char *buf, size_t size, unsigned long long n)
{
    const struct lconv *conv = localeconv();
    const int group = conv->grouping[0] > 0 && conv->grouping[0] != CHAR_MAX ? conv->grouping[0] : 0;
    const size_t sep = strlen(conv->thousands_sep);
    char digits[24];
    const int count = snprintf(digits, sizeof digits, "%llu", n);
    size_t out = 0;

    for (int i = 0; i < count && out + sep + 2 < size; i++) {
        if (group && sep && i > 0 && (count - i) % group == 0) {
            memcpy(buf + out, conv->thousands_sep, sep);
            out += sep;
        }
        buf[out++] = digits[i];
    }
    buf[out] = '\0';
    return buf;
}
