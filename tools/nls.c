#include "nls.h"
#include "nls_p.h"

#include <locale.h>

void tools_nls_start(void)
{
    if (!nls_take_user_locale())
        return;
    setlocale(LC_NUMERIC, "C");
    /* Otherwise gettext looks in its own default folder, the system's. */
    nls_bind_catalogues(TUVR_TOOLS_TEXT_DOMAIN);
    /* The program reads the tools' output as UTF-8, as it gives them paths. */
    bind_textdomain_codeset(TUVR_TOOLS_TEXT_DOMAIN, "UTF-8");
    textdomain(TUVR_TOOLS_TEXT_DOMAIN);
}
