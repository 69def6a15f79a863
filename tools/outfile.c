#define _GNU_SOURCE
#include "outfile.h"

#include "message.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#define OUTFILE_BUFFER (1 << 20)
#define OUTFILE_MAX_SUFFIX 9999

static const char *volatile cleanup_path;

static void remove_temp_and_die(int sig)
{
    const char *path = cleanup_path;

    if (path)
        unlink(path);
    signal(sig, SIG_DFL);
    raise(sig);
}

static void install_cleanup_handlers(void)
{
    static int installed;
    static const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
    struct sigaction sa;

    if (installed)
        return;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = remove_temp_and_die;
    sigemptyset(&sa.sa_mask);
    for (size_t i = 0; i < sizeof signals / sizeof signals[0]; i++)
        sigaction(signals[i], &sa, NULL);
    installed = 1;
}

/* mkstemp() makes the file private; give it the mode a plain fopen() would. */
static int set_default_mode(int fd)
{
    mode_t mask = umask(0);

    umask(mask);
    return fchmod(fd, 0666 & ~mask);
}

static int open_temp(struct outfile *of, const char *target)
{
    static const char suffix[] = ".part-XXXXXX";
    size_t len = strlen(target);
    int fd;

    of->tmp_path = malloc(len + sizeof suffix);
    if (!of->tmp_path) {
        tool_error("out of memory");
        return -1;
    }
    memcpy(of->tmp_path, target, len);
    memcpy(of->tmp_path + len, suffix, sizeof suffix);
    fd = mkstemp(of->tmp_path);
    if (fd < 0) {
        tool_error("cannot create output file '%s': %s", target, strerror(errno));
        free(of->tmp_path);
        of->tmp_path = NULL;
        return -1;
    }
    cleanup_path = of->tmp_path;
    if (set_default_mode(fd) < 0 || !(of->fp = fdopen(fd, "wb"))) {
        tool_error("cannot create output file '%s': %s", target, strerror(errno));
        close(fd);
        return -1;
    }
    return 0;
}

int outfile_open(struct outfile *of, const char *target)
{
    memset(of, 0, sizeof *of);
    install_cleanup_handlers();
    if (open_temp(of, target) < 0)
        goto fail;
    /* Raw video is written in large pieces; a big stdio buffer saves syscalls. */
    of->buf = malloc(OUTFILE_BUFFER);
    if (of->buf)
        setvbuf(of->fp, of->buf, _IOFBF, OUTFILE_BUFFER);
    return 0;

fail:
    outfile_discard(of);
    return -1;
}

static int close_file(struct outfile *of, const char *target)
{
    int failed = ferror(of->fp);
    int err = errno;

    if (fclose(of->fp) != 0 && !failed) {
        failed = 1;
        err = errno;
    }
    of->fp = NULL;
    free(of->buf);
    of->buf = NULL;
    if (failed)
        tool_error("cannot write output file '%s': %s", target, strerror(err ? err : EIO));
    return failed ? -1 : 0;
}

static void forget_temp(struct outfile *of)
{
    cleanup_path = NULL;
    free(of->tmp_path);
    of->tmp_path = NULL;
}

int outfile_commit(struct outfile *of, const char *target)
{
    if (close_file(of, target) < 0)
        goto fail;
    if (rename(of->tmp_path, target) < 0) {
        tool_error("cannot create output file '%s': %s", target, strerror(errno));
        goto fail;
    }
    forget_temp(of);
    return 0;

fail:
    outfile_discard(of);
    return -1;
}

/* 0 when moved, 1 when the name is taken, -1 on another error. */
static int move_no_replace(const char *from, const char *to)
{
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno == EEXIST)
        return 1;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return -1;
    /* Some file systems lack RENAME_NOREPLACE; link() refuses to replace too. */
    if (link(from, to) == 0) {
        unlink(from);
        return 0;
    }
    return errno == EEXIST ? 1 : -1;
}

static char *candidate_name(const char *stem, const char *ext, int n)
{
    size_t size = strlen(stem) + strlen(ext) + 16;
    char *name = malloc(size);

    if (!name)
        return NULL;
    if (n == 0)
        snprintf(name, size, "%s%s", stem, ext);
    else
        snprintf(name, size, "%s-%d%s", stem, n, ext);
    return name;
}

char *outfile_commit_new(struct outfile *of, const char *stem, const char *ext)
{
    char *name = candidate_name(stem, ext, 0);
    int moved = -1;

    if (!name) {
        tool_error("out of memory");
        goto end;
    }
    if (close_file(of, name) < 0)
        goto end;
    for (int n = 1; n <= OUTFILE_MAX_SUFFIX + 1; n++) {
        moved = move_no_replace(of->tmp_path, name);
        if (moved != 1 || n > OUTFILE_MAX_SUFFIX)
            break;
        free(name);
        if (!(name = candidate_name(stem, ext, n))) {
            tool_error("out of memory");
            goto end;
        }
    }
    if (moved == 1)
        tool_error("no free output name: '%s' up to suffix -%d all exist", name, OUTFILE_MAX_SUFFIX);
    else if (moved < 0)
        tool_error("cannot create output file '%s': %s", name, strerror(errno));

end:
    if (moved == 0) {
        forget_temp(of);
        return name;
    }
    free(name);
    outfile_discard(of);
    return NULL;
}

void outfile_discard(struct outfile *of)
{
    if (of->fp)
        fclose(of->fp);
    of->fp = NULL;
    free(of->buf);
    of->buf = NULL;
    if (of->tmp_path)
        unlink(of->tmp_path);
    forget_temp(of);
}
