#include "codectools.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

QString CodecTools::privateToolsFolder()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath()
                           + QLatin1String("/" TUVR_TOOLS_FROM_BIN));
}

QString CodecTools::locate(const QString &name)
{
    QString found = QStandardPaths::findExecutable(name);
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(name, {privateToolsFolder()});
    return found.isEmpty() ? name : found;
}
