#include "mainwindow/jobnotice.h"

#include <QtTest>

Q_DECLARE_METATYPE(JobKind)
Q_DECLARE_METATYPE(JobOutcome::Status)

// When a job's end is announced beyond the window, and in what words.
class TestJobNotice : public QObject
{
    Q_OBJECT

private slots:
    void onlyALongJobLeftBehindIsNoticed_data();
    void onlyALongJobLeftBehindIsNoticed();
    void bodyIsTheOutcomesFirstLine_data();
    void bodyIsTheOutcomesFirstLine();
};

void TestJobNotice::onlyALongJobLeftBehindIsNoticed_data()
{
    QTest::addColumn<JobOutcome::Status>("status");
    QTest::addColumn<qint64>("runMs");
    QTest::addColumn<bool>("programActive");
    QTest::addColumn<bool>("noticed");

    using Status = JobOutcome::Status;
    QTest::newRow("a minute's encode, user elsewhere") << Status::Succeeded << qint64(60000) << false << true;
    QTest::newRow("six seconds, user elsewhere") << Status::Succeeded << qint64(6000) << false << true;
    QTest::newRow("a failure after a minute, user elsewhere") << Status::Failed << qint64(60000) << false << true;
    QTest::newRow("a crash after a minute, user elsewhere") << Status::Crashed << qint64(60000) << false << true;
    QTest::newRow("a minute, user watching the program") << Status::Succeeded << qint64(60000) << true << false;
    QTest::newRow("a second, user elsewhere") << Status::Succeeded << qint64(1000) << false << false;
    QTest::newRow("a tool that failed to start after a minute, user elsewhere")
        << Status::NotStarted << qint64(60000) << false << false;
    QTest::newRow("cancelled after a minute") << Status::Cancelled << qint64(60000) << false << false;
}

void TestJobNotice::onlyALongJobLeftBehindIsNoticed()
{
    QFETCH(JobOutcome::Status, status);
    QFETCH(qint64, runMs);
    QFETCH(bool, programActive);
    QFETCH(bool, noticed);
    QCOMPARE(endDeservesNotice(status, runMs, programActive), noticed);
}

void TestJobNotice::bodyIsTheOutcomesFirstLine_data()
{
    QTest::addColumn<JobKind>("kind");
    QTest::addColumn<JobOutcome::Status>("status");
    QTest::addColumn<QString>("report");
    QTest::addColumn<QString>("body");

    const JobKind encode = JobKind::Encode;
    const JobKind decode = JobKind::Decode;
    using Status = JobOutcome::Status;
    QTest::newRow("encode: its compression rate")
        << encode << Status::Succeeded << "Compression rate: 5.1\r\nframes 366\n" << "Compression rate: 5.1";
    QTest::newRow("decode: the decoder's first line")
        << decode << Status::Succeeded << "\nDecoded 3 frames of 128x96\nOutput: 55296 bytes\n"
        << "Decoded 3 frames of 128x96";
    QTest::newRow("decode that said nothing: no body") << decode << Status::Succeeded << "" << "";
    QTest::newRow("failed encode: why, not its report")
        << encode << Status::Failed << "Compression rate: n/a\n" << "encoder.exe stopped with exit code 2.";
    QTest::newRow("crashed decode") << decode << Status::Crashed << "" << "decoder.exe crashed.";
}

void TestJobNotice::bodyIsTheOutcomesFirstLine()
{
    QFETCH(JobKind, kind);
    QFETCH(JobOutcome::Status, status);
    QFETCH(QString, report);
    QFETCH(QString, body);
    JobOutcome outcome;
    outcome.kind = kind;
    outcome.status = status;
    outcome.program = outcome.kind == JobKind::Encode ? "encoder.exe" : "decoder.exe";
    outcome.exitCode = 2;
    outcome.report = report;
    QCOMPARE(noticeBody(outcome), body);
}

QTEST_GUILESS_MAIN(TestJobNotice)
#include "tst_jobnotice.moc"
