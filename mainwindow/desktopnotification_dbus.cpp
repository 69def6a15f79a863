#include "desktopnotification.h"

#include "desktopbus.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

void showDesktopNotification(const QString &title, const QString &body)
{
    const QString appId = QStringLiteral(TUVR_APP_ID);
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // No notification replaced, no actions, the server's own time on screen.
    // The body may be read as markup: a tool's text must stay text.
    notify << QStringLiteral("Tuv-R") << 0u << appId << title << body.toHtmlEscaped() << QStringList()
           << QVariantMap{{QStringLiteral("desktop-entry"), appId}} << -1;
    // Sent without waiting for the reply: the notification's id is of no use here.
    DesktopBus::send(notify);
}
