/* The supervisor every Tuv-R job runs under on Linux:
 *
 *   tuvr-supervisor PARENT_PID STATUS_FD GRACE_MS PROGRAM [ARGUMENT...]
 *
 * It runs PROGRAM in a process group of its own, with the standard input,
 * output and error it was given, and as a child subreaper keeps everything
 * PROGRAM starts its own descendant, even what leaves the group or the
 * session or is double-forked. Whatever PROGRAM leaves behind when it ends is
 * stopped; on SIGTERM, or when the program PARENT_PID dies, all of the job is
 * stopped. Stopping asks with SIGTERM and kills with SIGKILL after GRACE_MS;
 * SIGUSR1 kills at once. It exits only once nothing of the job is left, with
 * PROGRAM's exit code, or dies of the signal PROGRAM died of.
 *
 * STATUS_FD is the write end of a pipe from the program: it gets errno (an
 * int) when PROGRAM cannot be started, and closes without a word once it runs. */
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

#include <sys/prctl.h>
#include <sys/wait.h>

enum stop { RUNNING, ASKED, KILLING };

struct job {
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
    struct proc *procs = list_processes(&count);
    const pid_t self = getpid();

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

/* Waits for a child's end or a request: SIGTERM asks, SIGUSR1 kills. While
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
    if (sig == SIGTERM && job->stop == RUNNING)
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

int main(int argc, char **argv)
{
    struct job job = {0};
    sigset_t handled, original;
    long parent, status_fd;

    if (argc < 5 || !parse_number(argv[1], 1, &parent) || !parse_number(argv[2], 3, &status_fd)
        || !parse_number(argv[3], 0, &job.grace_ms) || fcntl((int)status_fd, F_SETFD, FD_CLOEXEC) < 0) {
        fprintf(stderr, "usage: tuvr-supervisor PARENT_PID STATUS_FD GRACE_MS PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    sigemptyset(&handled);
    sigaddset(&handled, SIGCHLD);
    sigaddset(&handled, SIGTERM);
    sigaddset(&handled, SIGUSR1);
    sigprocmask(SIG_BLOCK, &handled, &original);
    /* Ignored, it would collect our children for us. */
    signal(SIGCHLD, SIG_DFL);
    /* A Ctrl-C in the program's terminal is the program's to handle. */
    setpgid(0, 0);
    if (prctl(PR_SET_CHILD_SUBREAPER, 1) != 0 || prctl(PR_SET_PDEATHSIG, SIGTERM) != 0) {
        report((int)status_fd, errno);
        return 127;
    }
    /* The program died before it could be told of. */
    if (getppid() != (pid_t)parent)
        return 127;
    job.tool = start_tool(argv + 4, &original, (int)status_fd);
    close((int)status_fd);
    if (job.tool < 0)
        return 127;
    supervise(&job, &handled);
    return end_as(job.tool_status);
}
