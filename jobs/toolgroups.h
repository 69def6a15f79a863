#ifndef TOOLGROUPS_H
#define TOOLGROUPS_H

#include <chrono>

#include <sys/types.h>

// The process groups of the codec tools this program started. Whatever way
// the program ends, even through exit() when the display goes away, every
// group still listed is asked to stop and, after the grace, killed.
namespace ToolGroups {
// How long a tool may take to stop after SIGTERM before it is killed.
constexpr std::chrono::milliseconds grace{2000};

void remember(pid_t group);
void forget(pid_t group);

// Sends sig to every process of group.
void signal(pid_t group, int sig);
// No process of group is left (a leader that has ended but is not yet
// collected still counts as there).
bool isGone(pid_t group);
}

#endif
