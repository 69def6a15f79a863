#include "toolstart.h"

#include "message.h"
#include "nls.h"
#include "utf8path_win.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>

#include <windows.h>
#include <shellapi.h>

/* argv as the wide command line holds it, in UTF-8, NULL-terminated. */
static char **utf8_arguments(int *argc)
{
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    char **args = wide ? calloc((size_t)count + 1, sizeof *args) : NULL;
    int ok = args != NULL;

    for (int i = 0; ok && i < count; i++)
        ok = (args[i] = utf8_from_wide(wide[i])) != NULL;
    LocalFree(wide);
    if (!ok) {
        tool_finish(args, NULL);
        return NULL;
    }
    *argc = count;
    return args;
}

char **tool_start(int *argc, char **argv)
{
    char **args;

    (void)argv;
    /* A stream the parent gave no handle for fails here, and nothing is lost. */
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    if (!(args = utf8_arguments(argc)))
        tool_error(_("cannot read the command line: out of memory"));
    return args;
}

void tool_finish(char **args, char **argv)
{
    if (!args || args == argv)
        return;
    for (char **arg = args; *arg; arg++)
        free(*arg);
    free(args);
}
