#include "toolprocess.h"

ToolProcess::ToolProcess(QObject *parent)
    : QProcess(parent),
      control(*this)
{
}

void ToolProcess::deleteWhenJobGone()
{
    if (control.isGone())
        deleteLater();
    else
        connect(&control, &JobControl::gone, this, &QObject::deleteLater);
}

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0) && defined(Q_OS_UNIX)
void ToolProcess::setupChildProcess()
{
    control.setUpChildProcess();
}
#endif
