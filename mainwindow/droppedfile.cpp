#include "droppedfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <QUrl>

namespace {
// The user reads these in the window's box: they keep its translation context.
class Texts
{
    Q_DECLARE_TR_FUNCTIONS(MainWindow)
};
}

static DroppedFile refused(const QString &reason)
{
    DroppedFile dropped;
    dropped.refusal =
        reason + QStringLiteral("\n\n") + Texts::tr("Drop a .yuv clip to encode it, or a .dat stream to decode it.");
    return dropped;
}

static QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// A file URL names its computer, if at all, as "localhost" or by its name.
static bool namesThisComputer(const QString &host)
{
    return host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0
        || host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) == 0;
}

// Empty for another computer's file, which only Windows opens as its own,
// by the share's path.
static QString pathHere(QUrl url)
{
    if (namesThisComputer(url.host())) {
        url.setHost(QString());
        return url.toLocalFile();
    }
#ifdef Q_OS_WIN
    return url.toLocalFile();
#else
    return QString();
#endif
}

// Names as the file dialogs' filters take them, whatever their case.
static DroppedFile::Use useOf(const QFileInfo &file)
{
    if (file.suffix().compare(QLatin1String("yuv"), Qt::CaseInsensitive) == 0)
        return DroppedFile::Use::Encode;
    if (file.suffix().compare(QLatin1String("dat"), Qt::CaseInsensitive) == 0)
        return DroppedFile::Use::Decode;
    return DroppedFile::Use::Refused;
}

// What the buttons' file dialogs take: anything there but a folder. A pipe
// or a device is the clip check's to judge, as one picked in the dialog.
static QString refusalOf(const QFileInfo &file)
{
    const QString path = native(file.filePath());
    if (file.isSymLink() && !file.exists())
        return Texts::tr("%1 is a link to %2, which does not exist.").arg(path, native(file.symLinkTarget()));
    if (!file.exists())
        return Texts::tr("%1 does not exist.").arg(path);
    if (file.isDir())
        return Texts::tr("%1 is a folder.").arg(path);
    if (useOf(file) == DroppedFile::Use::Refused)
        return Texts::tr("%1 is neither a .yuv clip nor a .dat stream.").arg(path);
    return QString();
}

DroppedFile DroppedFile::read(const QList<QUrl> &urls)
{
    if (urls.size() != 1)
        return refused(Texts::tr("Drop one file at a time."));
    const QUrl &url = urls.first();
    if (!url.isLocalFile())
        return refused(Texts::tr("%1 is not a file on this computer.").arg(url.toDisplayString()));
    DroppedFile dropped;
    dropped.path = pathHere(url);
    if (dropped.path.isEmpty())
        return refused(Texts::tr("%1 is on the computer %2, not on this one.").arg(url.toDisplayString(), url.host()));
    const QFileInfo file(dropped.path);
    if (const QString refusal = refusalOf(file); !refusal.isEmpty())
        return refused(refusal);
    dropped.use = useOf(file);
    return dropped;
}
