#include "reportbox.h"

#include "jobs/encoderreport.h"

#include <QCoreApplication>
#include <QMessageBox>

void setReportText(QMessageBox &box, const QString &text, const QString &report)
{
    // The tool's output is plain text, even where it looks like markup.
    box.setTextFormat(Qt::PlainText);
    const QString preview = reportPreview(report);
    QStringList parts{text, preview};
    parts.removeAll(QString());
    if (preview != report) {
        parts << QCoreApplication::translate("MainWindow",
                                             "The full report is under \"Show Details...\".");
        box.setDetailedText(report);
    }
    box.setText(parts.join(QStringLiteral("\n\n")));
}
