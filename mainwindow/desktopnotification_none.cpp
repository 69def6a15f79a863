#include "desktopnotification.h"

// This build has no way to the desktop's notifications (Qt without D-Bus).
void showDesktopNotification(const QString &, const QString &)
{
}
