/* Preloaded into a tool, this makes the file system look as if it could not
 * create unnamed files (O_TMPFILE), so the tests reach the named fallback. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>

int openat(int dirfd, const char *path, int flags, ...)
{
    static int (*real_openat)(int, const char *, int, ...);
    mode_t mode = 0;
    va_list ap;

    if ((flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    if (flags & O_CREAT) {
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    if (!real_openat)
        *(void **)&real_openat = dlsym(RTLD_NEXT, "openat");
    return real_openat(dirfd, path, flags, mode);
}
