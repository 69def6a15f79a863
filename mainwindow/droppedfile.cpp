#include "droppedfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
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

// Names as the file dialogs' filters take them, whatever their case.
static DroppedFile::Use useOf(const QFileInfo &file)
{
    if (!file.isFile())
        return DroppedFile::Use::Refused;
    if (file.suffix().compare(QLatin1String("yuv"), Qt::CaseInsensitive) == 0)
        return DroppedFile::Use::Encode;
    if (file.suffix().compare(QLatin1String("dat"), Qt::CaseInsensitive) == 0)
        return DroppedFile::Use::Decode;
    return DroppedFile::Use::Refused;
}

DroppedFile DroppedFile::read(const QList<QUrl> &urls)
{
    if (urls.size() != 1)
        return refused(Texts::tr("Drop one file at a time."));
    if (!urls.first().isLocalFile())
        return refused(Texts::tr("%1 is not a file on this computer.").arg(urls.first().toDisplayString()));
    DroppedFile dropped;
    dropped.path = urls.first().toLocalFile();
    dropped.use = useOf(QFileInfo(dropped.path));
    if (dropped.use == Use::Refused)
        return refused(Texts::tr("%1 is neither a .yuv clip nor a .dat stream.")
                           .arg(QDir::toNativeSeparators(dropped.path)));
    return dropped;
}
