#include "taskbarprogress.h"

// This build has no way to the desktop's taskbar (Qt without D-Bus).
void TaskbarProgress::send(State, double)
{
}
