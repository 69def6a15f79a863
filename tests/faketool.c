/* A stand-in codec tool for the tests: it does what its plan says, one step
 * a line, so each test can ask for exactly the behaviour it needs (a report,
 * an exit code, a crash, a tool that waits, ignores a stop or leaves a child
 * running) on every system the tests run on.
 *
 * The plan is the file beside the program named like it plus ".plan"
 * (tools/encoder.exe -> tools/encoder.exe.plan), or the file FAKETOOL_PLAN
 * names. Steps (TEXT takes the escapes \n \r \t \\; paths are relative to the
 * working folder):
 *   out TEXT          TEXT on standard output      err TEXT    ... on standard error
 *   repeat N TEXT     TEXT N times on standard output
 *   cat FILE          FILE on standard output
 *   args FILE         "<number of arguments>|<first argument>" into FILE
 *   copyarg FILE      a copy of the file the first argument names
 *   copybeside FILE .EXT  a copy of FILE beside the first argument, named
 *                     like it with its ending replaced by .EXT, as a
 *                     decoder writes its clip beside the stream
 *   pid FILE          the process id into FILE
 *   touch FILE        write FILE TEXT    wait FILE (until it exists)    sleep MS
 *   onterm ignore | onterm touch FILE (then end as stopped)
 *                 | onterm note FILE (then go on)
 *                     when asked to stop: SIGTERM on Unix, Ctrl+Break or
 *                     Ctrl+C on Windows
 *   spawn PLAN        start another fake tool running PLAN, and go on
 *   setsid            leave the process group and session (on Windows the
 *                     console, so that no Ctrl+Break reaches it)
 *   parent KILL|STOP|HUP  send that signal to the parent (Unix only)
 *   exit N            end with exit code N
 *   crash             end by a real fault */
#ifndef _WIN32
#define _POSIX_C_SOURCE 200809L
#endif
#include <errno.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "toolstart.h"
#include "utf8path.h"

#ifdef _WIN32
#include "utf8path_win.h"
#include <windows.h>
#else
#include <fcntl.h>
#include <time.h>
#include <unistd.h>
#endif

#define MAX_LINE 4096

static char self_path[MAX_LINE];
static const char *term_file;
static int term_goes_on;

static void pause_ms(long ms)
{
#ifdef _WIN32
    Sleep((DWORD)ms);
#else
    struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&ts, NULL);
#endif
}

/* As the test sees it: a job may run in a PID namespace of its own, where
 * getpid() counts from 1, but /proc is the system's and names us as the test does. */
static long own_pid(void)
{
#ifdef _WIN32
    return (long)GetCurrentProcessId();
#else
    char self[32];
    const ssize_t size = readlink("/proc/self", self, sizeof self - 1);

    if (size <= 0)
        return (long)getpid();
    self[size] = '\0';
    return strtol(self, NULL, 10);
#endif
}

static int find_self(void)
{
#ifdef _WIN32
    /* Wide, then UTF-8 as every path here: a temporary folder of Cyrillic
     * letters has no ANSI spelling. */
    wchar_t wide[MAX_LINE];
    DWORD n = GetModuleFileNameW(NULL, wide, MAX_LINE);
    char *utf8 = n > 0 && n < MAX_LINE ? utf8_from_wide(wide) : NULL;
    int fits = utf8 && strlen(utf8) < sizeof self_path;

    if (fits)
        strcpy(self_path, utf8);
    free(utf8);
    return fits ? 0 : -1;
#else
    ssize_t n = readlink("/proc/self/exe", self_path, sizeof self_path - 1);
    if (n < 0)
        return -1;
    self_path[n] = '\0';
    return 0;
#endif
}

static void unescape(char *text)
{
    char *out = text;

    for (const char *in = text; *in; in++) {
        if (*in != '\\' || !in[1]) {
            *out++ = *in;
            continue;
        }
        in++;
        *out++ = *in == 'n' ? '\n' : *in == 'r' ? '\r' : *in == 't' ? '\t' : *in;
    }
    *out = '\0';
}

static int write_file(const char *path, const char *text)
{
    FILE *fp = utf8_fopen(path, "wb");
    int ok = fp && fputs(text, fp) >= 0;

    if (fp && fclose(fp) != 0)
        ok = 0;
    return ok ? 0 : -1;
}

static int copy_file(const char *from, FILE *to)
{
    char buf[65536];
    FILE *fp = utf8_fopen(from, "rb");
    size_t n;

    if (!fp)
        return -1;
    while ((n = fread(buf, 1, sizeof buf, fp)) > 0)
        fwrite(buf, 1, n, to);
    fclose(fp);
    return 0;
}

static int copy_to(const char *from, const char *path)
{
    FILE *to = utf8_fopen(path, "wb");
    int ret = to ? copy_file(from, to) : -1;

    if (to && fclose(to) != 0)
        ret = -1;
    return ret;
}

static int copy_beside(const char *from, const char *argument, const char *ending)
{
    char target[MAX_LINE];
    const char *base = argument;
    const char *dot;
    size_t stem;

    for (const char *p = argument; *p; ++p)
        if (*p == '/' || *p == '\\')
            base = p + 1;
    dot = strrchr(base, '.');
    stem = dot ? (size_t)(dot - argument) : strlen(argument);
    if (stem + strlen(ending) >= sizeof target)
        return -1;
    memcpy(target, argument, stem);
    strcpy(target + stem, ending);
    return copy_to(from, target);
}

static int exists(const char *path)
{
    FILE *fp = utf8_fopen(path, "rb");

    if (fp)
        fclose(fp);
    return fp != NULL;
}

/* "Asked to stop": SIGTERM on Unix, Ctrl+Break (or Ctrl+C) on Windows. */
static void note_term(void)
{
    if (term_file) {
#ifdef _WIN32
        FILE *fp = utf8_fopen(term_file, "wb");
        if (fp)
            fclose(fp);
#else
        /* open(), not stdio: this runs inside a signal handler. */
        int fd = open(term_file, O_WRONLY | O_CREAT, 0644);
        if (fd >= 0)
            close(fd);
#endif
    }
    if (!term_goes_on)
        _exit(143);
}

#ifdef _WIN32
/* Runs on a thread the system starts for the event. */
static BOOL WINAPI on_console_event(DWORD event)
{
    if (event != CTRL_BREAK_EVENT && event != CTRL_C_EVENT)
        return FALSE;
    note_term();
    return TRUE;
}

static BOOL WINAPI ignore_console_event(DWORD event)
{
    return event == CTRL_BREAK_EVENT || event == CTRL_C_EVENT;
}

static int ignore_term(void)
{
    return SetConsoleCtrlHandler(ignore_console_event, TRUE) ? 0 : -1;
}

static int catch_term(void)
{
    return SetConsoleCtrlHandler(on_console_event, TRUE) ? 0 : -1;
}
#else
static void on_term(int sig)
{
    (void)sig;
    note_term();
}

static int ignore_term(void)
{
    return signal(SIGTERM, SIG_IGN) == SIG_ERR ? -1 : 0;
}

/* Kept for every SIGTERM, not reset after the first as signal() may do. */
static int catch_term(void)
{
    struct sigaction action;

    memset(&action, 0, sizeof action);
    action.sa_handler = on_term;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGTERM, &action, NULL);
}
#endif

static int set_on_term(const char *how)
{
    if (strcmp(how, "ignore") == 0)
        return ignore_term();
    term_goes_on = strncmp(how, "note ", 5) == 0;
    if (strncmp(how, "touch ", 6) != 0 && !term_goes_on)
        return -1;
    if (!(term_file = strdup(strchr(how, ' ') + 1)))
        return -1;
    return catch_term();
}

/* The new fake tool is this one's child: in its job, process group and
 * console on Windows, its process group and session on Unix. */
static int spawn(const char *plan)
{
#ifdef _WIN32
    wchar_t *self = wide_from_utf8(self_path), *wide_plan = wide_from_utf8(plan);
    wchar_t command[MAX_LINE + 2];
    STARTUPINFOW startup;
    PROCESS_INFORMATION created;
    int ok = self && wide_plan && SetEnvironmentVariableW(L"FAKETOOL_PLAN", wide_plan);

    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    if (ok)
        _snwprintf(command, MAX_LINE + 2, L"\"%ls\"", self);
    /* It writes where this one does, as a wrapper's encoder would. */
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    ok = ok && CreateProcessW(self, command, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &created);
    free(self);
    free(wide_plan);
    if (!ok)
        return -1;
    CloseHandle(created.hThread);
    CloseHandle(created.hProcess);
    return 0;
#else
    pid_t pid;

    if (setenv("FAKETOOL_PLAN", plan, 1) != 0)
        return -1;
    pid = fork();
    if (pid == 0) {
        execl(self_path, self_path, (char *)NULL);
        _exit(127);
    }
    return pid < 0 ? -1 : 0;
#endif
}

/* Out of reach of a polite stop: on Unix out of the process group and
 * session, on Windows off the console, which no Ctrl+Break then reaches
 * (a process without a console is off it already). */
static int leave_session(void)
{
#ifdef _WIN32
    FreeConsole();
    return 0;
#else
    return setsid() < 0 ? -1 : 0;
#endif
}

#ifdef _WIN32
/* Ends the process with the fault's code, as Windows ends a crashed one, at
 * once: no debugger comes in between (Wine's would write on standard output). */
static LONG WINAPI end_with_fault(EXCEPTION_POINTERS *fault)
{
    TerminateProcess(GetCurrentProcess(), fault->ExceptionRecord->ExceptionCode);
    return EXCEPTION_CONTINUE_SEARCH;
}
#endif

/* What a hostile tool may do to what supervises it. */
static int signal_parent(const char *name)
{
#ifdef _WIN32
    (void)name;
    errno = ENOSYS;
    return -1;
#else
    const int sig = strcmp(name, "KILL") == 0 ? SIGKILL : strcmp(name, "STOP") == 0 ? SIGSTOP
                  : strcmp(name, "HUP") == 0  ? SIGHUP
                                              : 0;

    return sig && kill(getppid(), sig) == 0 ? 0 : -1;
#endif
}

static void crash(void)
{
    fflush(NULL);
#ifdef _WIN32
    SetUnhandledExceptionFilter(end_with_fault);
#endif
    /* A real fault, so every system reports the end as a crash. */
    *(volatile int *)(uintptr_t)0 = 0;
    abort();
}

/* Runs one step; 1 when the plan is over, -1 on a step it cannot do. */
static int step(char *line, int argc, char **argv)
{
    char *arg = strchr(line, ' ');
    long n;

    if (arg)
        *arg++ = '\0';
    else
        arg = line + strlen(line);
    if (strcmp(line, "out") == 0 || strcmp(line, "err") == 0) {
        unescape(arg);
        fputs(arg, line[0] == 'o' ? stdout : stderr);
        fflush(line[0] == 'o' ? stdout : stderr);
    } else if (strcmp(line, "repeat") == 0) {
        char *text;
        n = strtol(arg, &text, 10);
        unescape(++text);
        while (n-- > 0)
            fputs(text, stdout);
        fflush(stdout);
    } else if (strcmp(line, "cat") == 0) {
        return copy_file(arg, stdout) == 0 ? (fflush(stdout), 0) : -1;
    } else if (strcmp(line, "args") == 0) {
        char text[MAX_LINE];
        snprintf(text, sizeof text, "%d|%s", argc - 1, argc > 1 ? argv[1] : "");
        return write_file(arg, text);
    } else if (strcmp(line, "copyarg") == 0) {
        return argc > 1 ? copy_to(argv[1], arg) : -1;
    } else if (strcmp(line, "copybeside") == 0) {
        char *ending = strchr(arg, ' ');
        if (!ending || argc < 2)
            return -1;
        *ending++ = '\0';
        return copy_beside(arg, argv[1], ending);
    } else if (strcmp(line, "pid") == 0) {
        char text[32];
        snprintf(text, sizeof text, "%ld", own_pid());
        return write_file(arg, text);
    } else if (strcmp(line, "touch") == 0) {
        return write_file(arg, "");
    } else if (strcmp(line, "write") == 0) {
        char *text = strchr(arg, ' ');
        if (!text)
            return -1;
        *text++ = '\0';
        unescape(text);
        return write_file(arg, text);
    } else if (strcmp(line, "wait") == 0) {
        while (!exists(arg))
            pause_ms(10);
    } else if (strcmp(line, "sleep") == 0) {
        pause_ms(strtol(arg, NULL, 10));
    } else if (strcmp(line, "onterm") == 0) {
        return set_on_term(arg);
    } else if (strcmp(line, "spawn") == 0) {
        return spawn(arg);
    } else if (strcmp(line, "setsid") == 0) {
        return leave_session();
    } else if (strcmp(line, "parent") == 0) {
        return signal_parent(arg);
    } else if (strcmp(line, "exit") == 0) {
        fflush(NULL);
        exit((int)strtol(arg, NULL, 10));
    } else if (strcmp(line, "crash") == 0) {
        crash();
    } else {
        return -1;
    }
    return 0;
}

static FILE *open_plan(void)
{
    char path[MAX_LINE + 8];
#ifdef _WIN32
    const wchar_t *wide = _wgetenv(L"FAKETOOL_PLAN");
    char *named = wide ? utf8_from_wide(wide) : NULL;
    FILE *fp = named ? utf8_fopen(named, "rb") : NULL;

    free(named);
    if (wide)
        return fp;
#else
    const char *named = getenv("FAKETOOL_PLAN");

    if (named)
        return utf8_fopen(named, "rb");
#endif
    snprintf(path, sizeof path, "%s.plan", self_path);
    return utf8_fopen(path, "rb");
}

int main(int argc, char **argv)
{
    char line[MAX_LINE];
    char **args = tool_start(&argc, argv);
    FILE *plan;
    int ret = 0;

    if (find_self() < 0 || !(plan = open_plan())) {
        fprintf(stderr, "faketool: no plan: %s\n", strerror(errno));
        return 100;
    }
    while (ret == 0 && fgets(line, sizeof line, plan)) {
        line[strcspn(line, "\r\n")] = '\0';
        if (line[0] && (ret = step(line, argc, args)) < 0)
            fprintf(stderr, "faketool: cannot do '%s': %s\n", line, strerror(errno));
    }
    fclose(plan);
    tool_finish(args, argv);
    return ret < 0 ? 101 : 0;
}
