#ifndef DESKTOPNOTIFICATION_H
#define DESKTOPNOTIFICATION_H

class QString;

// Shows title and body as the desktop's notification from Tuv-R, where the
// desktop has notifications; never waits for the desktop to answer.
void showDesktopNotification(const QString &title, const QString &body);

#endif
