// How long the encoder's report takes from its raw bytes to a shown message
// box, for outputs of growing size. Prints figures; it passes or fails nothing.
#include "jobs/encoderreport.h"
#include "mainwindow/reportbox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>

#include <cstdio>

// Frame statistics, with the compression rate before them (the whole output is
// the report) or after them (the report is one line).
static QByteArray encoderOutput(int megabytes, bool rateFirst)
{
    const QByteArray line = "frame   42 QP 22 size  1234 bytes PSNR 41.2 dB\n";
    const QByteArray rate = "Compression rate: 42.0 (1000 / 24 bytes)\n";
    const QByteArray statistics = line.repeated(megabytes * 1024 * 1024 / line.size());
    return rateFirst ? rate + statistics : statistics + rate;
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    for (bool rateFirst : {false, true})
    for (int megabytes : {1, 5, 20, 50}) {
        const QByteArray output = encoderOutput(megabytes, rateFirst);
        QElapsedTimer timer;
        timer.start();
        const QString report = encoderReport(output, QStringLiteral("Compression rate"));
        const qint64 cut = timer.elapsed();
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Encode complete"), QString(),
                        QMessageBox::Ok);
        setReportText(box, QString(), report);
        box.show();
        QCoreApplication::processEvents();
        std::printf("%3d MB of output, rate %s: report cut in %lld ms, box shown after "
                    "%lld ms, box text %d characters, details %d characters\n",
                    megabytes, rateFirst ? "first" : "last ", cut, timer.elapsed(),
                    int(box.text().size()), int(box.detailedText().size()));
    }
    return 0;
}
