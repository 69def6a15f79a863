/* The supervisor every Tuv-R job runs under on Linux:
 *
 *   tuvr-supervisor PARENT_PID STATUS_FD GRACE_MS PROGRAM [ARGUMENT...]
 *   tuvr-supervisor --containment
 *
 * It runs PROGRAM in a process group of its own, with the standard input,
 * output and error it was given, and keeps everything PROGRAM starts within
 * the job, even what leaves the group or the session or is double-forked.
 * Where the system allows, the kernel holds the job: the job runs in a PID
 * namespace of its own (inside a user namespace of its own when we are not
 * privileged), whose init is our child; whatever ends it, the kernel kills
 * all of the namespace with it, and nothing inside can signal the init or
 * see us. Elsewhere we are the job's child subreaper. Whatever PROGRAM leaves
 * behind when it ends is stopped; on SIGTERM, SIGHUP or SIGINT, or when the
 * program PARENT_PID dies, all of the job is stopped. Stopping asks with
 * SIGTERM and kills with SIGKILL after GRACE_MS; SIGUSR1 kills at once. It
 * exits only once nothing of the job is left, with PROGRAM's exit code, or
 * dies of the signal PROGRAM died of.
 *
 * STATUS_FD is the write end of a pipe from the program: it gets errno (an
 * int) when PROGRAM cannot be started, and closes without a word once it runs.
 * --containment prints how a job would be held here and exits. */
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <poll.h>
#include <sched.h>

#include <sys/prctl.h>
#include <sys/wait.h>

/* How a job is held, as --containment names it. */
enum hold { HOLD_PID_NAMESPACE, HOLD_USER_PID_NAMESPACE, HOLD_SUBREAPER };
static const char *const hold_names[] = {"pid-namespace", "user-and-pid-namespace", "subreaper"};

enum stop { RUNNING, ASKED, KILLING };

struct job {
    int in_namespace; /* we are its init: everything else in it is the job */
    pid_t tool;
    int tool_ended;
    int tool_status; /* as waitpid() gives it */
    enum stop stop;
    long grace_ms;
    struct timespec kill_at;
};

struct proc {
    pid_t pid;
    pid_t ppid;
};

static int parse_number(const char *text, long min, long *value)
{
    char *end;

    errno = 0;
    *value = strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && *value >= min;
}

static void report(int status_fd, int error)
{
    ssize_t written = write(status_fd, &error, sizeof error);
    (void)written;
}

static int by_pid(const void *a, const void *b)
{
    const pid_t x = ((const struct proc *)a)->pid, y = ((const struct proc *)b)->pid;
    return (x > y) - (x < y);
}

/* Field 4 of /proc/PID/stat is the parent; the name before it is in
 * parentheses and may hold anything. */
static pid_t parent_of(const char *pid)
{
    char path[64], text[512];
    const char *after_name;
    char state;
    long ppid;
    ssize_t size;
    int fd;

    snprintf(path, sizeof path, "/proc/%s/stat", pid);
    if ((fd = open(path, O_RDONLY | O_CLOEXEC)) < 0)
        return 0;
    size = read(fd, text, sizeof text - 1);
    close(fd);
    if (size <= 0)
        return 0;
    text[size] = '\0';
    after_name = strrchr(text, ')');
    return after_name && sscanf(after_name + 1, " %c %ld", &state, &ppid) == 2 ? (pid_t)ppid : 0;
}

/* Every process of the system with its parent, sorted by pid; NULL when they
 * cannot be listed. */
static struct proc *list_processes(size_t *count)
{
    struct proc *procs = NULL;
    size_t size = 0;
    const struct dirent *entry;
    DIR *dir = opendir("/proc");

    *count = 0;
    if (!dir)
        return NULL;
    while ((entry = readdir(dir))) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        if (*count == size) {
            struct proc *grown = realloc(procs, (size = size ? 2 * size : 512) * sizeof *procs);
            if (!grown)
                break;
            procs = grown;
        }
        procs[*count].pid = (pid_t)atol(entry->d_name);
        procs[(*count)++].ppid = parent_of(entry->d_name);
    }
    closedir(dir);
    if (procs)
        qsort(procs, *count, sizeof *procs, by_pid);
    return procs;
}

static int descends_from(const struct proc *procs, size_t count, pid_t pid, pid_t ancestor)
{
    /* Each step goes one parent up; a chain longer than the list is a loop
     * that a process ending during the listing made. */
    for (size_t steps = 0; steps < count; steps++) {
        const struct proc key = {pid, 0};
        const struct proc *found = bsearch(&key, procs, count, sizeof *procs, by_pid);
        if (!found)
            return 0;
        if (found->ppid == ancestor)
            return 1;
        pid = found->ppid;
    }
    return 0;
}

/* Every descendant, wherever it went, once. A pid is only reused once its
 * process is collected, and ours wait for us, so the one race is a grandchild
 * collected by its own parent in the moment between the listing and the
 * signal, its pid taken at once by a stranger. Without a listing, the tool's
 * group is what can still be reached, while the tool holds its number. */
static void signal_job(const struct job *job, int sig)
{
    size_t count;
    struct proc *procs;
    const pid_t self = getpid();

    /* The init of a namespace reaches all of it but itself, and nothing else. */
    if (job->in_namespace) {
        kill(-1, sig);
        return;
    }
    procs = list_processes(&count);
    if (!procs && !job->tool_ended)
        kill(-job->tool, sig);
    for (size_t i = 0; i < count; i++) {
        if (descends_from(procs, count, procs[i].pid, self))
            kill(procs[i].pid, sig);
    }
    free(procs);
}

static void ask_to_stop(struct job *job)
{
    signal_job(job, SIGTERM);
    /* A stopped process hears the request only once it runs again. */
    signal_job(job, SIGCONT);
    clock_gettime(CLOCK_MONOTONIC, &job->kill_at);
    job->kill_at.tv_sec += job->grace_ms / 1000;
    job->kill_at.tv_nsec += job->grace_ms % 1000 * 1000000L;
    if (job->kill_at.tv_nsec >= 1000000000L) {
        job->kill_at.tv_sec++;
        job->kill_at.tv_nsec -= 1000000000L;
    }
    job->stop = ASKED;
}

static int grace_is_over(const struct job *job)
{
    struct timespec now;

    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec > job->kill_at.tv_sec
        || (now.tv_sec == job->kill_at.tv_sec && now.tv_nsec >= job->kill_at.tv_nsec);
}

static struct timespec time_to_kill(const struct job *job)
{
    struct timespec now, left;

    clock_gettime(CLOCK_MONOTONIC, &now);
    left.tv_sec = job->kill_at.tv_sec - now.tv_sec;
    left.tv_nsec = job->kill_at.tv_nsec - now.tv_nsec;
    if (left.tv_nsec < 0) {
        left.tv_sec--;
        left.tv_nsec += 1000000000L;
    }
    if (left.tv_sec < 0)
        left.tv_sec = left.tv_nsec = 0;
    return left;
}

/* Collects every child that has ended; 0 once no child, and so, as we are
 * the subreaper, no descendant is left. */
static int collect(struct job *job)
{
    for (;;) {
        int status;
        const pid_t pid = waitpid(-1, &status, WNOHANG);

        if (pid == job->tool) {
            job->tool_status = status;
            job->tool_ended = 1;
        } else if (pid == 0) {
            return 1;
        } else if (pid < 0 && errno != EINTR) {
            return 0;
        }
    }
}

/* Waits for a child's end or a request: SIGTERM, SIGHUP and SIGINT ask,
 * SIGUSR1 kills. While
 * killing it looks again soon for what was forked just before the kill. */
static void take_signal(struct job *job, const sigset_t *handled)
{
    const struct timespec soon = {0, 10 * 1000 * 1000};
    struct timespec timeout;
    int sig;

    if (job->stop == RUNNING) {
        sig = sigwaitinfo(handled, NULL);
    } else {
        timeout = job->stop == ASKED ? time_to_kill(job) : soon;
        sig = sigtimedwait(handled, NULL, &timeout);
    }
    if ((sig == SIGTERM || sig == SIGHUP || sig == SIGINT) && job->stop == RUNNING)
        ask_to_stop(job);
    else if (sig == SIGUSR1)
        job->stop = KILLING;
}

static void supervise(struct job *job, const sigset_t *handled)
{
    while (collect(job)) {
        if (job->tool_ended && job->stop == RUNNING)
            ask_to_stop(job);
        if (job->stop == ASKED && grace_is_over(job))
            job->stop = KILLING;
        if (job->stop == KILLING)
            signal_job(job, SIGKILL);
        take_signal(job, handled);
    }
}

static pid_t start_tool(char **argv, const sigset_t *original, int status_fd)
{
    const pid_t self = getpid();
    const pid_t pid = fork();

    if (pid == 0) {
        setpgid(0, 0);
        /* Should we be killed outright, the tool at least goes with us. */
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != self)
            _exit(127);
        sigprocmask(SIG_SETMASK, original, NULL);
        execvp(argv[0], argv);
        report(status_fd, errno);
        _exit(127);
    }
    if (pid < 0)
        report(status_fd, errno);
    else
        setpgid(pid, pid); /* whichever side comes first */
    return pid;
}

/* With the tool's exit code, or by the tool's signal, leaving no core file
 * of our own, so the program sees a crash as a crash. */
static int end_as(int status)
{
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        sigset_t only;

        prctl(PR_SET_DUMPABLE, 0);
        signal(sig, SIG_DFL);
        sigemptyset(&only);
        sigaddset(&only, sig);
        sigprocmask(SIG_UNBLOCK, &only, NULL);
        raise(sig);
        return 128 + sig;
    }
    return WEXITSTATUS(status);
}

static int write_text(const char *path, const char *text)
{
    const int fd = open(path, O_WRONLY | O_CLOEXEC);
    const ssize_t size = (ssize_t)strlen(text);
    const int written = fd >= 0 && write(fd, text, (size_t)size) == size;

    if (fd >= 0)
        close(fd);
    return written;
}

/* The same user and group inside as outside, so the files the tool writes
 * are the user's; an unprivileged group map needs setgroups() denied first. */
static int map_ourselves(uid_t uid, gid_t gid)
{
    char map[64];

    snprintf(map, sizeof map, "%lu %lu 1\n", (unsigned long)uid, (unsigned long)uid);
    if (!write_text("/proc/self/uid_map", map) || !write_text("/proc/self/setgroups", "deny"))
        return 0;
    snprintf(map, sizeof map, "%lu %lu 1\n", (unsigned long)gid, (unsigned long)gid);
    return write_text("/proc/self/gid_map", map);
}

static int enter_user_namespace(void)
{
    const uid_t uid = geteuid();
    const gid_t gid = getegid();

    return unshare(CLONE_NEWUSER) == 0 && map_ourselves(uid, gid);
}

/* A user namespace cannot be left again, and some systems grant one but no
 * map in it: a child tries first, so that a refusal leaves us as we are. */
static int user_namespace_works(void)
{
    int status;
    const pid_t probe = fork();

    if (probe == 0)
        _exit(enter_user_namespace() ? 0 : 1);
    return probe > 0 && waitpid(probe, &status, 0) == probe && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

/* The strongest hold the system grants, from the one TUVR_SUPERVISOR_HOLD
 * names on, if any (so the weaker ones can be had, and tested, anywhere).
 * After a namespace hold, our next child is the init of a new PID namespace. */
static enum hold choose_hold(void)
{
    const char *first = getenv("TUVR_SUPERVISOR_HOLD");
    enum hold hold = HOLD_PID_NAMESPACE;

    for (int i = 0; first && i <= HOLD_SUBREAPER; i++) {
        if (strcmp(first, hold_names[i]) == 0)
            hold = (enum hold)i;
    }
    if (hold == HOLD_PID_NAMESPACE && unshare(CLONE_NEWPID) == 0)
        return HOLD_PID_NAMESPACE;
    if (hold <= HOLD_USER_PID_NAMESPACE && user_namespace_works() && enter_user_namespace()
        && unshare(CLONE_NEWPID) == 0)
        return HOLD_USER_PID_NAMESPACE;
    return HOLD_SUBREAPER;
}

/* Runs the job where we are, as its reaper; the tool's end as waitpid() gives it. */
static int run_job(struct job *job, char **argv, const sigset_t *handled, const sigset_t *original, int status_fd)
{
    job->tool = start_tool(argv, original, status_fd);
    close(status_fd);
    if (job->tool < 0)
        return -1;
    supervise(job, handled);
    return 0;
}

/* The namespace's init: it dies with us, told by the kernel, and tells us the
 * tool's end through told: an init cannot die of a signal it raises itself. */
static void be_init(struct job *job, char **argv, const sigset_t *handled, const sigset_t *original,
                    int status_fd, int told)
{
    struct pollfd us = {told, POLLOUT, 0};

    job->in_namespace = 1;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    /* We died before it could be told of: the read end has no reader left. */
    if (poll(&us, 1, 0) < 0 || (us.revents & (POLLERR | POLLHUP)))
        _exit(127);
    if (run_job(job, argv, handled, original, status_fd) == 0) {
        ssize_t written = write(told, &job->tool_status, sizeof job->tool_status);
        (void)written;
    }
    _exit(127);
}

/* Passes the program's requests on to the init, and ends as the tool did. */
static int relay(pid_t init, int told, const sigset_t *handled)
{
    int status = 0, tool_status;

    for (;;) {
        const int sig = sigwaitinfo(handled, NULL);

        if (sig == SIGTERM || sig == SIGHUP || sig == SIGINT || sig == SIGUSR1)
            kill(init, sig == SIGUSR1 ? SIGUSR1 : SIGTERM);
        else if (sig == SIGCHLD && waitpid(init, &status, WNOHANG) == init)
            break;
    }
    if (read(told, &tool_status, sizeof tool_status) == sizeof tool_status)
        return end_as(tool_status);
    /* Killed, the init has not run the tool to its end. */
    return WIFEXITED(status) && WEXITSTATUS(status) == 127 ? 127 : end_as(status);
}

static int hold_job(struct job *job, char **argv, const sigset_t *handled, const sigset_t *original,
                    int status_fd)
{
    int told[2];
    pid_t init;

    if (pipe2(told, O_CLOEXEC) != 0 || (init = fork()) < 0) {
        report(status_fd, errno);
        return 127;
    }
    if (init == 0) {
        close(told[0]);
        be_init(job, argv, handled, original, status_fd, told[1]);
    }
    close(told[1]);
    close(status_fd);
    return relay(init, told[0], handled);
}

int main(int argc, char **argv)
{
    struct job job = {0};
    sigset_t handled, original;
    long parent, status_fd;
    enum hold hold;

    if (argc == 2 && strcmp(argv[1], "--containment") == 0) {
        puts(hold_names[choose_hold()]);
        return 0;
    }
    if (argc < 5 || !parse_number(argv[1], 1, &parent) || !parse_number(argv[2], 3, &status_fd)
        || !parse_number(argv[3], 0, &job.grace_ms) || fcntl((int)status_fd, F_SETFD, FD_CLOEXEC) < 0) {
        fprintf(stderr, "usage: tuvr-supervisor PARENT_PID STATUS_FD GRACE_MS PROGRAM [ARGUMENT...]\n"
                        "       tuvr-supervisor --containment\n");
        return 2;
    }
    sigemptyset(&handled);
    sigaddset(&handled, SIGCHLD);
    sigaddset(&handled, SIGTERM);
    sigaddset(&handled, SIGHUP);
    sigaddset(&handled, SIGINT);
    sigaddset(&handled, SIGUSR1);
    sigprocmask(SIG_BLOCK, &handled, &original);
    /* Ignored, it would collect our children for us. */
    signal(SIGCHLD, SIG_DFL);
    /* A Ctrl-C in the program's terminal is the program's to handle. */
    setpgid(0, 0);
    hold = choose_hold();
    /* Set after the namespaces: entering a user namespace clears it. */
    if ((hold == HOLD_SUBREAPER && prctl(PR_SET_CHILD_SUBREAPER, 1) != 0) || prctl(PR_SET_PDEATHSIG, SIGTERM) != 0) {
        report((int)status_fd, errno);
        return 127;
    }
    /* The program died before it could be told of. */
    if (getppid() != (pid_t)parent)
        return 127;
    if (hold != HOLD_SUBREAPER)
        return hold_job(&job, argv + 4, &handled, &original, (int)status_fd);
    if (run_job(&job, argv + 4, &handled, &original, (int)status_fd) < 0)
        return 127;
    return end_as(job.tool_status);
}
