#ifndef JOBNOTICE_H
#define JOBNOTICE_H

#include "jobs/joboutcome.h"

class QWidget;

// A job that runs this long may have been left to run while the user works
// elsewhere; a shorter one ends while the user still waits for it.
inline constexpr qint64 noticeAfterMs = 5000;

// Whether a job's end is to be announced beyond the window: its tool ran and
// ended by itself (a cancelled job was stopped by the user, a tool that never
// started ran nothing), after noticeAfterMs or longer, while none of the
// program's windows was active.
bool endDeservesNotice(JobOutcome::Status status, qint64 runMs, bool programActive);

// The notification's text under the outcome's title: for a job that
// succeeded the first line of its report ("Compression rate: 5.1"), for one
// that failed the first line of its summary.
QString noticeBody(const JobOutcome &outcome);

// Marks window on the taskbar and tells the desktop how the job ended.
void announceEnd(QWidget *window, const JobOutcome &outcome);

#endif
