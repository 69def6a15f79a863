#include "joboutcome.h"

#include <QCoreApplication>
#include <QDir>

namespace {
// The user reads these in the window's boxes: they keep its translation context.
class Texts
{
    Q_DECLARE_TR_FUNCTIONS(MainWindow)
};
}

QString JobOutcome::title() const
{
    if (kind == JobKind::Encode)
        return succeeded() ? Texts::tr("Encode complete") : Texts::tr("Encode failed");
    return succeeded() ? Texts::tr("Decode complete") : Texts::tr("Decode failed");
}

QString JobOutcome::summary() const
{
    switch (status) {
    case Status::Succeeded:
        return kind == JobKind::Decode ? Texts::tr("Decode complete") : QString();
    case Status::Failed:
        return Texts::tr("%1 stopped with exit code %2.").arg(program, QString::number(exitCode));
    case Status::Crashed:
        return Texts::tr("%1 crashed.").arg(program);
    case Status::NotStarted:
        return Texts::tr("%1 could not be started. Make sure it is installed and its folder is on the "
                  "PATH, or that the stand-in tools are in %2.\n%3")
            .arg(program, QDir::toNativeSeparators(CodecTools::privateToolsFolder()), startError);
    case Status::Cancelled:
        break;
    }
    return QString();
}
