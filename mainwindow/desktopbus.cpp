#include "desktopbus.h"

#include "sessionbus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QThread>

static const int flushTimeoutMs = 1000;

namespace {
// Lives on the bus's thread; all it does is done there.
class Sender : public QObject
{
public:
    void send(const QDBusMessage &message);
    void finish();

private:
    bool connected();

    enum class State { Untried, Connected, Unreachable };
    State state = State::Untried;
    const QString name = QStringLiteral("tuvr-desktop");
};
}

// Qt connects only to the entry that answered the probe, so it never meets a silent bus.
bool Sender::connected()
{
    if (state == State::Untried) {
        const SessionBus::Probe found = SessionBus::probe(SessionBus::address());
        const bool answers = found.reach == SessionBus::Reach::Answers
            && QDBusConnection::connectToBus(found.address, name).isConnected();
        state = answers ? State::Connected : State::Unreachable;
    }
    return state == State::Connected;
}

void Sender::send(const QDBusMessage &message)
{
    if (connected())
        QDBusConnection(name).send(message);
}

// Once the bus has answered a round trip, all that was sent before has left.
void Sender::finish()
{
    if (state == State::Connected) {
        QDBusConnection(name).call(QDBusMessage::createMethodCall(
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")),
                                   QDBus::Block, flushTimeoutMs);
        QDBusConnection::disconnectFromBus(name);
    }
    QThread::currentThread()->quit();
}

static Sender *sender = nullptr;

// As the application object goes, the thread gets the time its probe and
// last round trip take at most. Only a bus that stops answering between
// the probe and Qt's connect can hold it longer (Qt's own D-Bus thread then
// holds the exit too); it is left to the process's end rather than deleted
// while it runs, which would abort the program.
static void stopSender()
{
    QThread *thread = sender->thread();
    QMetaObject::invokeMethod(sender, [] { sender->finish(); }, Qt::QueuedConnection);
    if (!thread->wait(QDeadlineTimer(SessionBus::answerTimeoutMs + flushTimeoutMs + 500)))
        return;
    delete sender;
    sender = nullptr;
    delete thread;
}

static Sender *startedSender()
{
    if (!sender) {
        auto *thread = new QThread;
        thread->setObjectName(QStringLiteral("desktop bus"));
        sender = new Sender;
        sender->moveToThread(thread);
        thread->start();
        qAddPostRoutine(stopSender);
    }
    return sender;
}

void DesktopBus::send(const QDBusMessage &message)
{
    Sender *to = startedSender();
    QMetaObject::invokeMethod(to, [to, message] { to->send(message); }, Qt::QueuedConnection);
}
