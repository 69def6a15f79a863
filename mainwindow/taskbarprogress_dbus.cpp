#include "taskbarprogress.h"

#include "desktopbus.h"

#include <QDBusMessage>
#include <QVariantMap>

// Docks and task managers read the launcher entry: Update signals that name
// the application by its desktop file.
static QDBusMessage launcherEntryUpdate(const QVariantMap &properties)
{
    const QString appId = QStringLiteral(TUVR_APP_ID);
    const QString path = QLatin1Char('/') + QString(appId).replace(QLatin1Char('.'), QLatin1Char('/'));
    QDBusMessage update = QDBusMessage::createSignal(path, QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                     QStringLiteral("Update"));
    update << QStringLiteral("application://%1.desktop").arg(appId) << properties;
    return update;
}

void TaskbarProgress::send(State state, double fraction)
{
    // The launcher entry has no look for a failure: the bar stays where the
    // job stopped until the failure has been read.
    if (state == State::Failed)
        return;
    QVariantMap properties{{QStringLiteral("progress-visible"), state == State::Running}};
    if (state == State::Running)
        properties.insert(QStringLiteral("progress"), fraction);
    DesktopBus::send(launcherEntryUpdate(properties));
}
