#ifndef SESSIONBUS_H
#define SESSIONBUS_H

#include <QString>

// The desktop's session bus as libdbus finds it, checked without Qt: Qt's
// D-Bus waits for ever on a bus that takes connections and never answers,
// and so does every thread that touches it then, the program's exit included.
namespace SessionBus {

// A bus on this computer answers within milliseconds.
inline constexpr int answerTimeoutMs = 500;

enum class Reach { Answers, Absent, Silent };

struct Probe
{
    Reach reach = Reach::Absent;
    // The entry of the address list that answered.
    QString address;
};

// Where libdbus looks: DBUS_SESSION_BUS_ADDRESS, else the runtime folder's "bus".
QString address();

// Tries the address list's unix sockets in turn, each for timeoutMs at most,
// until one answers; other transports are left untried.
Probe probe(const QString &address, int timeoutMs = answerTimeoutMs);

// Before Qt starts, for Qt's own users of the bus (the accessibility bridge
// and the platform theme, on the GUI thread): the address is cut to the
// entry that answers, or to none when the bus is silent.
void keepQtOffSilentBuses();

}

#endif
