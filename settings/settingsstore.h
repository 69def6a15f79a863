#ifndef SETTINGSSTORE_H
#define SETTINGSSTORE_H

#include <QSettings>
#include <QString>

// The keys of the user's settings; each reader gives its own default.
namespace SettingsKeys {
inline const QString pathOpen = QStringLiteral("pathOpen");
inline const QString decPath = QStringLiteral("decPath");
inline const QString width = QStringLiteral("width");
inline const QString height = QStringLiteral("height");
inline const QString nFrames = QStringLiteral("nFrames");
inline const QString quality = QStringLiteral("quality");
}

// Every handle opens the same per-user store, so a value written through
// one handle is seen through any other at once. It is the system's native
// store (the registry on Windows) unless the default format says otherwise,
// as the tests make it, to keep clear of the user's own settings.
class SettingsStore : public QSettings
{
public:
    // The maker's name, which the store and the per-user data folder are kept under.
    static QString organization() { return QStringLiteral(TUVR_ORGANIZATION); }

    SettingsStore()
        : QSettings(QSettings::defaultFormat(), QSettings::UserScope, organization(),
                    QStringLiteral(TUVR_SETTINGS_NAME))
    {
    }
};

#endif
