#include "jobnotice.h"

#include "desktopnotification.h"

#include <QApplication>

bool endDeservesNotice(JobOutcome::Status status, qint64 runMs, bool programActive)
{
    const bool ranToItsEnd = status != JobOutcome::Status::Cancelled && status != JobOutcome::Status::NotStarted;
    return ranToItsEnd && runMs >= noticeAfterMs && !programActive;
}

static QString firstLine(const QString &text)
{
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty())
            return line.trimmed();
    }
    return QString();
}

QString noticeBody(const JobOutcome &outcome)
{
    return firstLine(outcome.succeeded() ? outcome.report : outcome.summary());
}

void announceEnd(QWidget *window, const JobOutcome &outcome)
{
    QApplication::alert(window);
    showDesktopNotification(outcome.title(), noticeBody(outcome));
}
