#define _POSIX_C_SOURCE 200809L
#include "utf8path.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

/* Linux opens the UTF-8 bytes as they are. */
FILE *utf8_fopen(const char *path, const char *mode)
{
    return fopen(path, mode);
}

const char *path_base_name(const char *path)
{
    const char *slash = strrchr(path, '/');

    return slash ? slash + 1 : path;
}

char *path_native_separators(char *path)
{
    return path;
}

char *utf8_absolute_path(const char *path)
{
    const size_t len = strlen(path);
    char cwd[PATH_MAX];
    size_t cwd_len;
    char *absolute;

    if (path[0] == '/')
        return strdup(path);
    if (!getcwd(cwd, sizeof cwd - 1))
        return NULL;
    cwd_len = strlen(cwd);
    if ((absolute = malloc(cwd_len + 1 + len + 1))) {
        memcpy(absolute, cwd, cwd_len);
        absolute[cwd_len] = '/';
        memcpy(absolute + cwd_len + 1, path, len + 1);
    }
    return absolute;
}
