#ifndef REPORTBOX_H
#define REPORTBOX_H

class QMessageBox;
class QString;

// Puts text and a tool's report into box as plain text. A long report would
// make the box taller than the screen: the box then shows its first lines, and
// the whole of it stays reachable under "Show Details...".
void setReportText(QMessageBox &box, const QString &text, const QString &report);

#endif
