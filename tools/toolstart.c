#include "toolstart.h"

/* Linux hands a tool its arguments as the bytes they were given in. */
char **tool_start(int *argc, char **argv)
{
    (void)argc;
    return argv;
}

void tool_finish(char **args, char **argv)
{
    (void)args;
    (void)argv;
}
