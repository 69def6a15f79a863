#define _GNU_SOURCE
#include "outfile_p.h"

#include "message.h"
#include "nls.h"
#include "utf8path.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static volatile int cleanup_dirfd = -1;
static const char *volatile cleanup_name;

static void remove_temp_and_die(int sig)
{
    const char *name = cleanup_name;

    if (name)
        unlinkat(cleanup_dirfd, name, 0);
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

static int open_folder(struct outfile *of, const char *target)
{
    const char *base = path_base_name(target);
    size_t len = (size_t)(base - target);
    char *dir = len ? strndup(target, len) : strdup(".");

    if (!dir) {
        tool_error(_("out of memory"));
        return -1;
    }
    of->dirfd = open(dir, O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (of->dirfd < 0 && errno == ENAMETOOLONG)
        tool_error(_("cannot create output file '%s': the folder's path is longer than %d bytes"), target,
                   PATH_MAX - 1);
    else if (of->dirfd < 0)
        tool_error(_("cannot create output file '%s': %s"), target, strerror(errno));
    free(dir);
    return of->dirfd < 0 ? -1 : 0;
}

/* Our process id as the system numbers it. A job may run in a PID namespace
 * of its own, where getpid() counts from 1 in every job, but /proc is the
 * system's and names us as every other process sees us. */
static pid_t system_pid(void)
{
    char self[32];
    const ssize_t size = readlink("/proc/self", self, sizeof self - 1);

    if (size <= 0)
        return getpid();
    self[size] = '\0';
    return (pid_t)strtol(self, NULL, 10);
}

/* Asked of the system's /proc, which sees past our namespace where kill()
 * sees only what is in it. */
static int process_gone(pid_t pid)
{
    char path[32];

    if (access("/proc/self", F_OK) != 0)
        return kill(pid, 0) < 0 && errno == ESRCH;
    snprintf(path, sizeof path, "/proc/%ld", (long)pid);
    return access(path, F_OK) < 0 && errno == ENOENT;
}

static void temp_name(char name[OUTFILE_TEMP_NAME_SIZE])
{
    outfile_temp_name(name, (unsigned long)system_pid());
}

/* The process that named a file as temp_name() does, or 0 for another name. */
static pid_t temp_name_owner(const char *name)
{
    const char *pid = name + strlen(OUTFILE_TEMP_PREFIX);
    size_t digits;

    if (strncmp(name, OUTFILE_TEMP_PREFIX, strlen(OUTFILE_TEMP_PREFIX)) != 0)
        return 0;
    digits = strspn(pid, "0123456789");
    if (digits == 0 || digits > 9 || pid[digits] != '-')
        return 0;
    name = pid + digits + 1;
    digits = strspn(name, "0123456789");
    if (digits == 0 || name[digits] != '\0')
        return 0;
    return (pid_t)strtol(pid, NULL, 10);
}

/* A hidden partial file of ours whose process has gone: killed by a signal
 * no handler sees, where the folder cannot hold unnamed files. */
static int is_stale_partial(int dirfd, const char *name)
{
    const pid_t owner = temp_name_owner(name);
    struct stat st;

    if (owner <= 0 || owner == system_pid() || fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) < 0)
        return 0;
    return S_ISREG(st.st_mode) && st.st_uid == geteuid() && process_gone(owner);
}

/* Nothing else ever removes them; a file whose process lives, or any other
 * name, stays. Best effort: a folder that cannot be listed is left as it is. */
static void remove_stale_partials(int dirfd)
{
    const int fd = openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = fd >= 0 ? fdopendir(fd) : NULL;
    const struct dirent *entry;

    if (!dir) {
        if (fd >= 0)
            close(fd);
        return;
    }
    while ((entry = readdir(dir))) {
        if (is_stale_partial(dirfd, entry->d_name))
            unlinkat(dirfd, entry->d_name, 0);
    }
    closedir(dir);
}

/* The stand-in for O_TMPFILE: a fresh hidden name, removed on a signal. */
static int open_named_temp(struct outfile *of)
{
    char name[OUTFILE_TEMP_NAME_SIZE];
    int fd = -1;

    for (int i = 0; i < OUTFILE_TEMP_NAME_TRIES && fd < 0; i++) {
        temp_name(name);
        fd = openat(of->dirfd, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return -1;
    }
    if (fd < 0)
        return -1;
    if (!(of->tmp_name = strdup(name))) {
        unlinkat(of->dirfd, name, 0);
        close(fd);
        errno = ENOMEM;
        return -1;
    }
    install_cleanup_handlers();
    cleanup_dirfd = of->dirfd;
    cleanup_name = of->tmp_name;
    return fd;
}

int outfile_open(struct outfile *of, const char *target)
{
    int fd;

    if (outfile_begin(of, target) < 0)
        return -1;
    of->dirfd = -1;
    if (open_folder(of, target) < 0)
        return -1;
    remove_stale_partials(of->dirfd);
    fd = openat(of->dirfd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
        fd = open_named_temp(of);
    if (fd < 0 || !(of->fp = fdopen(fd, "wb"))) {
        tool_error(_("cannot create output file '%s': %s"), target, strerror(errno));
        if (fd >= 0)
            close(fd);
        outfile_discard(of);
        return -1;
    }
    outfile_buffer_stream(of);
    return 0;
}

static void forget_temp(struct outfile *of)
{
    cleanup_name = NULL;
    free(of->tmp_name);
    of->tmp_name = NULL;
}

/* Gives the file the name `name` in its folder unless the name is taken.
 * 0 when named, 1 when taken, -1 on another error (errno set). */
static int name_file(struct outfile *of, const char *name)
{
    char proc[64];
    int ret;

    if (of->tmp_name) {
        ret = renameat2(of->dirfd, of->tmp_name, of->dirfd, name, RENAME_NOREPLACE);
        /* Some file systems lack RENAME_NOREPLACE; link() refuses to replace too. */
        if (ret < 0 && (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) &&
            (ret = linkat(of->dirfd, of->tmp_name, of->dirfd, name, 0)) == 0)
            unlinkat(of->dirfd, of->tmp_name, 0);
        if (ret == 0)
            forget_temp(of);
    } else {
        snprintf(proc, sizeof proc, "/proc/self/fd/%d", fileno(of->fp));
        ret = linkat(AT_FDCWD, proc, of->dirfd, name, AT_SYMLINK_FOLLOW);
    }
    if (ret == 0)
        return 0;
    return errno == EEXIST ? 1 : -1;
}

/* Replaces name in one step: the file gets a free hidden name first. */
static int replace_file(struct outfile *of, const char *name)
{
    char tmp[OUTFILE_TEMP_NAME_SIZE];
    int ret = 1;

    if (!of->tmp_name) {
        for (int i = 0; i < OUTFILE_TEMP_NAME_TRIES && ret == 1; i++) {
            temp_name(tmp);
            ret = name_file(of, tmp);
        }
        if (ret != 0)
            return -1;
    } else {
        strcpy(tmp, of->tmp_name);
    }
    if (renameat(of->dirfd, tmp, of->dirfd, name) == 0) {
        forget_temp(of);
        return 0;
    }
    ret = errno;
    if (!of->tmp_name)
        unlinkat(of->dirfd, tmp, 0);
    errno = ret;
    return -1;
}

int outfile_name_as(struct outfile *of, const char *path, int replace)
{
    const char *name = path_base_name(path);
    const int ret = name_file(of, name);

    return ret == 1 && replace ? replace_file(of, name) : ret;
}

void outfile_remove_name(const struct outfile *of, const char *path)
{
    unlinkat(of->dirfd, path_base_name(path), 0);
}

int outfile_path_taken(const struct outfile *of, const char *path)
{
    struct stat st;

    return fstatat(of->dirfd, path_base_name(path), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

void outfile_discard(struct outfile *of)
{
    outfile_close_stream(of);
    if (of->tmp_name) {
        unlinkat(of->dirfd, of->tmp_name, 0);
        forget_temp(of);
    }
    /* A zeroed outfile holds no folder: its 0 is not standard input. */
    if (of->dirfd > 0)
        close(of->dirfd);
    of->dirfd = -1;
}
