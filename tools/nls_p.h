#ifndef TUVR_TOOLS_NLS_P_H
#define TUVR_TOOLS_NLS_P_H

/* Each system's half of the tools' language (nls_unix.c, nls_win.c), for nls.c. */

/* Takes the user's locale from the environment; 0 when the system has none
 * by that name, and the tool stays in C, in English. */
int nls_take_user_locale(void);

/* Points the text domain at the catalogues TUVR_LOCALE_FROM_TOOLS from the
 * tool's own folder; 0 when the system does not tell where the tool is. */
int nls_bind_catalogues(const char *domain);

#endif
