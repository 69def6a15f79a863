#ifndef TESTSETTINGS_H
#define TESTSETTINGS_H

#include <QSettings>
#include <QString>

// Points every settings store of the test process (the program's and the file
// dialog's) at folder, so a test never reads or writes the user's own settings,
// not even the registry on Windows: the program's store takes files then.
// Call it before any store is opened.
inline void isolateSettings(const QString &folder)
{
    QSettings::setDefaultFormat(QSettings::IniFormat);
    for (auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        QSettings::setPath(format, QSettings::UserScope, folder);
        QSettings::setPath(format, QSettings::SystemScope, folder);
    }
}

#endif
