#ifndef TUVR_TOOLS_NLS_H
#define TUVR_TOOLS_NLS_H

/* The tools' messages in the user's language, through GNU gettext where the
 * build has it (ENABLE_NLS: glibc's on Linux, gettext's own libintl on
 * Windows). Without it, _() and ngettext() give the English texts and the
 * tools keep the C locale. */

#ifdef ENABLE_NLS
#include <libintl.h>
#define _(text) gettext(text)

/* First thing in main(): takes the user's locale from the environment
 * (LANGUAGE, LC_ALL, LC_MESSAGES, LANG; on Windows, when none is set, the
 * user interface's language) and the catalogue from where the tool lies. Numbers stay C's for all but the report: the progress lines
 * the program parses keep their form, and libx264 writes the same stream in
 * every locale. */
void tools_nls_start(void);

/* Between these the calling thread writes numbers as the user's locale
 * does, a decimal comma in Russian: around the report. */
void report_numbers_begin(void);
void report_numbers_end(void);
#else
#define _(text) (text)
#define ngettext(one, many, n) ((n) == 1 ? (one) : (many))

static inline void tools_nls_start(void) {}
static inline void report_numbers_begin(void) {}
static inline void report_numbers_end(void) {}
#endif

#endif
