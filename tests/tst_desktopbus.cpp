#include "answeredchoices.h"
#include "faketools.h"
#include "jobs/toolprogress.h"
#include "mainwindow/desktopnotification.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/sessionbus.h"
#include "mainwindow/taskbarprogress.h"
#include "modaldriver.h"
#include "testsettings.h"

#include <QDBusAbstractInterface>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QLocalServer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

Q_DECLARE_METATYPE(SessionBus::Reach)

// The launcher entry's Update signals, from whoever sends them.
class LauncherEntry : public QDBusAbstractInterface
{
    Q_OBJECT

public:
    explicit LauncherEntry(const QDBusConnection &bus)
        : QDBusAbstractInterface(QString(), "/com/norvake/TuvR", "com.canonical.Unity.LauncherEntry", bus,
                                 nullptr)
    {
    }

signals:
    void Update(const QString &appUri, const QVariantMap &properties);
};

struct Notification
{
    QString appName;
    uint replacesId;
    QString icon;
    QString title;
    QString body;
    QStringList actions;
    QVariantMap hints;
    int timeout;
};

// A desktop's notification service that keeps what it is asked to show.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QList<Notification> shown;

public slots:
    uint Notify(const QString &appName, uint replacesId, const QString &icon, const QString &title,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int timeout)
    {
        shown.append({appName, replacesId, icon, title, body, actions, hints, timeout});
        return uint(shown.size());
    }
    QStringList GetCapabilities() { return {"body", "body-markup"}; }
};

// What the desktop hears of the program's jobs, on a private session bus
// where a fake desktop records the launcher entry and the notifications.
class TestDesktopBus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void taskbarFollowsThePercent_data();
    void taskbarFollowsThePercent();
    void notificationSaysWhatEnded();
    void windowTellsTheDesktop_data();
    void windowTellsTheDesktop();
    void nothingWaitsWithoutABus_data();
    void nothingWaitsWithoutABus();
    void busIsProbedWithoutQt_data();
    void busIsProbedWithoutQt();

private:
    QString path(const QString &name) const { return tempDir.filePath(name); }
    bool roundTrip();
    QStringList taskbarSeen() const;

    QTemporaryDir tempDir;
    QProcess bus;
    QString busAddress;
    // Takes connections and never says a word.
    QLocalServer silentBus;
    FakeNotifications notifications;
    QList<QVariantMap> updates;
    QStringList appUris;
};

void TestDesktopBus::initTestCase()
{
    QVERIFY(tempDir.isValid());
    isolateSettings(path("settings"));
    QVERIFY(QDir().mkpath(path("bin")));
    putFirstOnPath(path("bin"));
    QVERIFY(QDir::setCurrent(tempDir.path()));
    QFile stream(path("stream.dat"));
    QVERIFY(stream.open(QIODevice::WriteOnly));

    bus.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address",
                              "--address=unix:tmpdir=" + tempDir.path()});
    while (!bus.canReadLine())
        QVERIFY2(bus.waitForReadyRead(10000), "dbus-daemon did not start: scripts/deps.sh installs it");
    busAddress = QString::fromUtf8(bus.readLine()).trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", busAddress.toUtf8());
    QVERIFY2(silentBus.listen(path("silent-bus")), qPrintable(silentBus.errorString()));

    QDBusConnection desktop = QDBusConnection::connectToBus(busAddress, "fake desktop");
    QVERIFY2(desktop.isConnected(), qPrintable(desktop.lastError().message()));
    QVERIFY(desktop.registerObject("/org/freedesktop/Notifications", &notifications,
                                   QDBusConnection::ExportAllSlots));
    QVERIFY(desktop.registerService("org.freedesktop.Notifications"));
    auto *entry = new LauncherEntry(desktop);
    entry->setParent(this);
    connect(entry, &LauncherEntry::Update, this, [this](const QString &appUri, const QVariantMap &properties) {
        appUris << appUri;
        updates << properties;
    });
    // The bus has taken the recorder's match rule once it answers the next call.
    QVERIFY(desktop.interface()->isServiceRegistered("org.freedesktop.Notifications").value());
}

void TestDesktopBus::cleanupTestCase()
{
    bus.terminate();
    bus.waitForFinished();
}

void TestDesktopBus::init()
{
    updates.clear();
    appUris.clear();
    notifications.shown.clear();
}

// The program's messages leave in order: everything it sent before reaches
// the fake desktop before this notification, which is then forgotten.
bool TestDesktopBus::roundTrip()
{
    showDesktopNotification("round trip", QString());
    const bool arrived = QTest::qWaitFor(
        [this] { return !notifications.shown.isEmpty() && notifications.shown.last().title == "round trip"; },
        10000);
    if (arrived)
        notifications.shown.removeLast();
    return arrived;
}

// "0.4" for a bar at 40%, "hidden" for none.
QStringList TestDesktopBus::taskbarSeen() const
{
    QStringList seen;
    for (const QVariantMap &update : updates) {
        seen << (update.value("progress-visible").toBool() ? QString::number(update.value("progress").toDouble())
                                                            : QString("hidden"));
    }
    return seen;
}

void TestDesktopBus::taskbarFollowsThePercent_data()
{
    QTest::addColumn<QList<double>>("percents");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QStringList>("seen");

    QTest::newRow("one update: sent at once") << QList<double>{12.3} << "" << QStringList{"0.123"};
    QTest::newRow("a burst: the first at once, the latest after a pause")
        << QList<double>{1, 2, 3, 50} << "" << QStringList{"0.01", "0.5"};
    QTest::newRow("beyond the end: a full bar") << QList<double>{130} << "" << QStringList{"1"};
    QTest::newRow("no percent told: nothing, not even a clear") << QList<double>{-1, -1} << "clear" << QStringList{};
    QTest::newRow("cleared with an update held back: the clear is the last word")
        << QList<double>{1, 50} << "clear" << QStringList{"0.01", "hidden"};
    QTest::newRow("failure: the bar stays until cleared")
        << QList<double>{40} << "failure" << QStringList{"0.4"};
    QTest::newRow("failure, then cleared") << QList<double>{40} << "failure clear" << QStringList{"0.4", "hidden"};
}

void TestDesktopBus::taskbarFollowsThePercent()
{
    QFETCH(QList<double>, percents);
    QFETCH(QString, end);
    QFETCH(QStringList, seen);
    QWidget window;
    TaskbarProgress taskbar(&window);
    for (double percent : percents) {
        ToolProgress progress;
        progress.percent = percent;
        taskbar.showProgress(progress);
    }
    if (end.startsWith("failure"))
        taskbar.showFailure();
    if (end.endsWith("clear"))
        taskbar.clear();

    QVERIFY(roundTrip());
    QCOMPARE(taskbarSeen().value(0), seen.value(0));
    QTRY_COMPARE(taskbarSeen(), seen);
    QCOMPARE(appUris.count("application://com.norvake.TuvR.desktop"), seen.size());
}

void TestDesktopBus::notificationSaysWhatEnded()
{
    showDesktopNotification("Encode complete", "Compression rate: <5> & more");
    QVERIFY(roundTrip());
    QCOMPARE(notifications.shown.size(), 1);
    const Notification &shown = notifications.shown[0];
    QCOMPARE(shown.appName, "Tuv-R");
    QCOMPARE(shown.replacesId, 0u);
    QCOMPARE(shown.icon, "com.norvake.TuvR");
    QCOMPARE(shown.title, "Encode complete");
    QCOMPARE(shown.body, "Compression rate: &lt;5&gt; &amp; more");
    QCOMPARE(shown.actions, QStringList());
    QCOMPARE(shown.hints, (QVariantMap{{"desktop-entry", "com.norvake.TuvR"}}));
    QCOMPARE(shown.timeout, -1);
}

void TestDesktopBus::windowTellsTheDesktop_data()
{
    QTest::addColumn<QByteArray>("ending");
    QTest::addColumn<bool>("elsewhere");
    QTest::addColumn<QStringList>("notified");

    QTest::newRow("six seconds while the user is elsewhere: announced")
        << QByteArray("sleep 5200\n") << true << QStringList{"Decode complete", "Decoded 5 frames"};
    QTest::newRow("over at once while the user is elsewhere: not announced")
        << QByteArray() << true << QStringList{};
    QTest::newRow("six seconds while the user watches: not announced")
        << QByteArray("sleep 5200\n") << false << QStringList{};
}

// The decoder tells its progress, the user may go to another program, and the decoder ends.
void TestDesktopBus::windowTellsTheDesktop()
{
    QFETCH(QByteArray, ending);
    QFETCH(bool, elsewhere);
    QFETCH(QStringList, notified);
    QVERIFY(installFakeTool(path("bin"), "decoder.exe",
                            "err [40.0%] 2/5 frames\\r\ntouch told\nwait go\n" + ending
                                + "out Decoded 5 frames\\n\n"));
    QFile::remove(path("told"));
    QFile::remove(path("go"));
    auto answered = std::make_unique<AnsweredChoices>();
    answered->answers << path("stream.dat");
    MainWindow window(QString(), std::move(answered));
    window.show();
    ModalDriver driver;
    driver.expectBox("Decode complete");
    QSignalSpy ended(&window, &MainWindow::jobEnded);
    window.findChild<QPushButton *>("pushButtonDec")->click();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path("told")), 20000);

    QWindow otherProgram;
    if (elsewhere) {
        otherProgram.show();
        otherProgram.requestActivate();
        QTRY_VERIFY(!QApplication::activeWindow());
    }
    QFile go(path("go"));
    QVERIFY(go.open(QIODevice::WriteOnly));
    QVERIFY2(ended.wait(20000), qPrintable("the decode never ended; " + driver.state()));
    QVERIFY2(driver.allAnswered(), qPrintable(driver.state()));
    QVERIFY(roundTrip());
    QCOMPARE(taskbarSeen(), (QStringList{"0.4", "hidden"}));
    QStringList seen;
    for (const Notification &shown : notifications.shown)
        seen << shown.title << shown.body;
    QCOMPARE(seen, notified);
}

void TestDesktopBus::nothingWaitsWithoutABus_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("heard");

    QTest::newRow("no address, no bus in the runtime folder") << QString() << false;
    QTest::newRow("the address of a socket that is gone") << "unix:path=" + path("gone") << false;
    QTest::newRow("not an address") << "nonsense" << false;
    QTest::newRow("a bus that takes the connection and never answers")
        << "unix:path=" + path("silent-bus") << false;
    QTest::newRow("the private bus: the desktop hears it all") << busAddress << true;
}

// The helper program sends what a job sends, on whatever bus its environment names.
void TestDesktopBus::nothingWaitsWithoutABus()
{
    QFETCH(QString, address);
    QFETCH(bool, heard);
    QVERIFY(QDir().mkpath(path("empty runtime")));
    QVERIFY(QFile::setPermissions(path("empty runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.insert("XDG_RUNTIME_DIR", path("empty runtime"));
    if (address.isEmpty())
        environment.remove("DBUS_SESSION_BUS_ADDRESS");
    else
        environment.insert("DBUS_SESSION_BUS_ADDRESS", address);
    QProcess host;
    host.setProcessEnvironment(environment);
    QSignalSpy finished(&host, qOverload<int, QProcess::ExitStatus>(&QProcess::finished));
    host.start(DESKHOST, QStringList());

    // Whatever the bus: a silent one would otherwise hold it for good.
    QTRY_VERIFY2_WITH_TIMEOUT(finished.size() == 1, "the program waited for a bus", 5000);
    QCOMPARE(host.exitStatus(), QProcess::NormalExit);
    QCOMPARE(host.exitCode(), 0);
    QCOMPARE(host.readAllStandardError(), QByteArray());
    if (heard) {
        QTRY_COMPARE(taskbarSeen(), (QStringList{"0.4", "hidden"}));
        QTRY_COMPARE(notifications.shown.size(), 1);
    }
}

void TestDesktopBus::busIsProbedWithoutQt_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<SessionBus::Reach>("reach");
    QTest::addColumn<QString>("answered");

    using SessionBus::Reach;
    const QString silent = "unix:path=" + path("silent-bus");
    QTest::newRow("the private bus answers") << busAddress << Reach::Answers << busAddress;
    QTest::newRow("a listener that never answers is silent") << silent << Reach::Silent << "";
    QTest::newRow("a silent entry, then the bus: the bus") << silent + ";" + busAddress << Reach::Answers
                                                            << busAddress;
    QTest::newRow("a percent-escaped path") << QString(busAddress).replace("/", "%2f") << Reach::Answers
                                            << QString(busAddress).replace("/", "%2f");
    QTest::newRow("a socket that is gone") << "unix:path=" + path("gone") << Reach::Absent << "";
    QTest::newRow("not an address") << "nonsense" << Reach::Absent << "";
    QTest::newRow("another transport is left untried") << "tcp:host=localhost,port=1" << Reach::Absent << "";
}

void TestDesktopBus::busIsProbedWithoutQt()
{
    QFETCH(QString, address);
    QFETCH(SessionBus::Reach, reach);
    QFETCH(QString, answered);
    const SessionBus::Probe found = SessionBus::probe(address);
    QCOMPARE(found.reach, reach);
    QCOMPARE(found.address, answered);
}

QTEST_MAIN(TestDesktopBus)
#include "tst_desktopbus.moc"
