#ifndef DESKTOPBUS_H
#define DESKTOPBUS_H

class QDBusMessage;

// The launcher entry's and the notifications' way to the session bus. The
// GUI thread only hands the message over: a thread of its own connects, the
// first time, to a bus that answers at once, and sends without waiting for
// any reply. Without such a bus, what the desktop would have heard is
// dropped. What was handed over leaves before the program ends.
namespace DesktopBus {

// From the GUI thread.
void send(const QDBusMessage &message);

}

#endif
