#include "sessionbus.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStringList>

#include <optional>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using SessionBus::Reach;

static const char addressVariable[] = "DBUS_SESSION_BUS_ADDRESS";

QString SessionBus::address()
{
    if (qEnvironmentVariableIsSet(addressVariable))
        return qEnvironmentVariable(addressVariable);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        return QString();
    return QStringLiteral("unix:path=")
        + QString::fromLatin1(QFile::encodeName(runtime + QStringLiteral("/bus")).toPercentEncoding("/", "~"));
}

// The socket an entry such as "unix:path=/run/user/1000/bus,guid=..." names;
// an abstract one's name begins with a zero byte.
static std::optional<QByteArray> socketName(const QString &entry)
{
    if (!entry.startsWith(QLatin1String("unix:")))
        return std::nullopt;
    for (const QString &pair : entry.mid(5).split(QLatin1Char(','))) {
        const int equals = pair.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QString key = pair.left(equals);
        const QByteArray value = QByteArray::fromPercentEncoding(pair.mid(equals + 1).toUtf8());
        if (key == QLatin1String("path"))
            return value;
        if (key == QLatin1String("abstract"))
            return QByteArray(1, '\0') + value;
        if (key == QLatin1String("runtime") && value == "yes")
            return QFile::encodeName(qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/bus"));
    }
    return std::nullopt;
}

// A D-Bus server answers a bare AUTH with the ways it takes; any answer will do.
static Reach answerTo(int fd, const QDeadlineTimer &deadline)
{
    static const char request[] = "\0AUTH\r\n";
    const ssize_t requestSize = sizeof request - 1;
    if (send(fd, request, requestSize, MSG_NOSIGNAL) != requestSize)
        return Reach::Absent;
    pollfd readable = {fd, POLLIN, 0};
    int ready = 0;
    do
        ready = poll(&readable, 1, int(deadline.remainingTime()));
    while (ready < 0 && errno == EINTR);
    if (ready == 0)
        return Reach::Silent;
    char reply = 0;
    return ready > 0 && recv(fd, &reply, 1, 0) == 1 ? Reach::Answers : Reach::Absent;
}

static Reach reachOf(const QByteArray &name, int timeoutMs)
{
    sockaddr_un where = {};
    where.sun_family = AF_UNIX;
    if (name.isEmpty() || size_t(name.size()) >= sizeof where.sun_path)
        return Reach::Absent;
    memcpy(where.sun_path, name.constData(), size_t(name.size()));
    // A path's length counts its terminating zero, an abstract name's only its bytes.
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(name.size()) + (name[0] ? 1 : 0));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return Reach::Absent;
    Reach reach = Reach::Absent;
    if (connect(fd, reinterpret_cast<const sockaddr *>(&where), length) == 0)
        reach = answerTo(fd, QDeadlineTimer(timeoutMs));
    else if (errno == EAGAIN || errno == EINPROGRESS)
        reach = Reach::Silent; // its queue of connections is full: nobody takes them
    close(fd);
    return reach;
}

SessionBus::Probe SessionBus::probe(const QString &address, int timeoutMs)
{
    Probe found;
    for (const QString &entry : address.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const std::optional<QByteArray> name = socketName(entry);
        if (!name)
            continue;
        const Reach reach = reachOf(*name, timeoutMs);
        if (reach == Reach::Answers)
            return {reach, entry};
        if (reach == Reach::Silent)
            found.reach = reach;
    }
    return found;
}

// libdbus takes the first entry it can connect to, and then waits for its
// answer for ever. "disabled:" is no transport: refused at once.
void SessionBus::keepQtOffSilentBuses()
{
    const QString listed = address();
    const Probe found = probe(listed);
    if (found.reach == Reach::Silent)
        qputenv(addressVariable, "disabled:");
    else if (found.reach == Reach::Answers && found.address != listed)
        qputenv(addressVariable, found.address.toUtf8());
}
