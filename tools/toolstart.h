#ifndef TUVR_TOOLS_TOOLSTART_H
#define TUVR_TOOLS_TOOLSTART_H

/* Readies a tool's process for its system, first thing in main(). On Linux
 * argv is all it needs. On Windows standard output and error are switched
 * to binary, so they carry the same bytes as on Linux, and the arguments are
 * read again from the wide command line and handed back in UTF-8, where argv
 * holds only what the ANSI code page can spell. Returns the arguments and
 * sets *argc to their count; NULL when out of memory. */
char **tool_start(int *argc, char **argv);

/* Frees what tool_start() returned. */
void tool_finish(char **args, char **argv);

#endif
