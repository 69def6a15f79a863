#include "toolgroups.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <sys/wait.h>

namespace {
// One job runs at a time, plus a few cancelled ones still stopping.
constexpr int maxGroups = 16;
std::atomic<pid_t> groups[maxGroups];

void pause10ms()
{
    const timespec step{0, 10 * 1000 * 1000};
    nanosleep(&step, nullptr);
}

// Waits until every listed group is gone or the time is up, collecting
// leaders that have ended: at exit nobody else does.
bool waitAllGone(std::chrono::milliseconds limit)
{
    for (auto left = limit; left.count() > 0; left -= std::chrono::milliseconds(10)) {
        bool allGone = true;
        for (auto &slot : groups) {
            const pid_t group = slot.load();
            if (group > 0)
                waitpid(group, nullptr, WNOHANG);
            allGone = allGone && (group <= 0 || ToolGroups::isGone(group));
        }
        if (allGone)
            return true;
        pause10ms();
    }
    return false;
}

void signalAll(int sig)
{
    for (auto &slot : groups) {
        if (const pid_t group = slot.load(); group > 0)
            ToolGroups::signal(group, sig);
    }
}

void stopAllAtExit()
{
    signalAll(SIGTERM);
    if (!waitAllGone(ToolGroups::grace)) {
        signalAll(SIGKILL);
        waitAllGone(std::chrono::milliseconds(1000));
    }
}
}

void ToolGroups::remember(pid_t group)
{
    [[maybe_unused]] static const bool hooked = std::atexit(stopAllAtExit) == 0;
    for (auto &slot : groups) {
        pid_t empty = 0;
        if (slot.compare_exchange_strong(empty, group))
            return;
    }
}

void ToolGroups::forget(pid_t group)
{
    for (auto &slot : groups) {
        pid_t listed = group;
        slot.compare_exchange_strong(listed, 0);
    }
}

void ToolGroups::signal(pid_t group, int sig)
{
    ::kill(-group, sig);
}

// Field 3 of /proc/PID/stat is the state, field 5 the process group; the
// name before them is in parentheses and may hold anything.
static bool livesInGroup(const char *statPath, pid_t group)
{
    char text[512];
    const int fd = open(statPath, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const ssize_t size = read(fd, text, sizeof text - 1);
    close(fd);
    if (size <= 0)
        return false;
    text[size] = '\0';
    const char *afterName = strrchr(text, ')');
    char state = 0;
    long ppid = 0, pgrp = 0;
    return afterName && sscanf(afterName + 1, " %c %ld %ld", &state, &ppid, &pgrp) == 3
        && pgrp == group && state != 'Z';
}

// A process that has ended but waits to be collected by a parent that never
// does (a poor init in a container) is no longer there for us.
static bool onlyZombiesLeft(pid_t group)
{
    DIR *proc = opendir("/proc");
    if (!proc)
        return false;
    bool alive = false;
    while (const dirent *entry = readdir(proc)) {
        char statPath[sizeof entry->d_name + 16];
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        snprintf(statPath, sizeof statPath, "/proc/%s/stat", entry->d_name);
        if ((alive = livesInGroup(statPath, group)))
            break;
    }
    closedir(proc);
    return !alive;
}

bool ToolGroups::isGone(pid_t group)
{
    if (::kill(-group, 0) < 0 && errno == ESRCH)
        return true;
    return onlyZombiesLeft(group);
}
