#define _POSIX_C_SOURCE 200809L
#include "fileid.h"

#include <sys/stat.h>

int is_same_file(FILE *fp, const char *path)
{
    struct stat open_st, path_st;

    if (fstat(fileno(fp), &open_st) < 0 || stat(path, &path_st) < 0)
        return 0;
    return open_st.st_dev == path_st.st_dev && open_st.st_ino == path_st.st_ino;
}
