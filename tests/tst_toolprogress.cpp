#include "jobs/boundedoutput.h"
#include "jobs/framequality.h"
#include "jobs/toolprogress.h"
#include "mainwindow/busydialog.h"

#include <QtTest>

// Reading a tool's progress and per-frame lines out of its standard error,
// what the busy dialog says of them, and the cap on a tool's standard output.
class TestToolProgress : public QObject
{
    Q_OBJECT

private slots:
    void parsesLine_data();
    void parsesLine();
    void splitsPieces_data();
    void splitsPieces();
    void keepsFrameSeries_data();
    void keepsFrameSeries();
    void labelSaysFiguresKnown_data();
    void labelSaysFiguresKnown();
    void outputKeepsHeadAndTail_data();
    void outputKeepsHeadAndTail();
};

// percent, frames, total, fps, eta; -1 where the line gives none.
using Figures = QList<double>;

static Figures figuresOf(const ToolProgress &p)
{
    return {p.percent, double(p.frames), double(p.totalFrames), p.fps, double(p.etaSeconds)};
}

void TestToolProgress::parsesLine_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("isProgress");
    QTest::addColumn<Figures>("figures");

    QTest::newRow("encoder's form") << QByteArray("[12.3%] 45/366 frames, 23.10 fps, eta 0:00:14")
                                    << true << Figures{12.3, 45, 366, 23.1, 14};
    QTest::newRow("x264's own form with bit rate and size")
        << QByteArray("[ 1.5%] 3/200 frames, 2.50 fps, 1234.56 kb/s, eta 1:02:03, est.size 4.2 MB")
        << true << Figures{1.5, 3, 200, 2.5, 3723};
    QTest::newRow("decoder's form: frames without a total")
        << QByteArray("[40.0%] 120 frames, 230.10 fps, eta 0:00:02") << true
        << Figures{40, 120, -1, 230.1, 2};
    QTest::newRow("a percent with no frame counts") << QByteArray("[7%]") << true
                                                    << Figures{7, -1, -1, -1, -1};
    QTest::newRow("frames and speed with no percent") << QByteArray("45 frames, 230.10 fps") << true
                                                      << Figures{-1, 45, -1, 230.1, -1};
    QTest::newRow("eta in minutes only") << QByteArray("[50.0%] 1/2 frames, eta 12:34") << true
                                         << Figures{50, 1, 2, -1, 754};
    QTest::newRow("done above total: the total is dropped")
        << QByteArray("[99.0%] 370/366 frames") << true << Figures{99, 370, -1, -1, -1};
    QTest::newRow("zero total: the total is dropped") << QByteArray("[0.0%] 0/0 frames") << true
                                                      << Figures{0, 0, -1, -1, -1};
    QTest::newRow("over 100 percent reads as 100") << QByteArray("[130.0%] 5/5 frames") << true
                                                   << Figures{100, 5, 5, -1, -1};
    QTest::newRow("an eta no clock shows is dropped")
        << QByteArray("[5.0%] 2/40 frames, 3.00 fps, eta 99999999999:99:99") << true << Figures{5, 2, 40, 3, -1};
    QTest::newRow("seconds past 59 are no time") << QByteArray("[5.0%] 2/40 frames, eta 0:00:75") << true
                                                 << Figures{5, 2, 40, -1, -1};
    QTest::newRow("a count too long for a number is dropped")
        << QByteArray("[5.0%] 99999999999999999999999/40 frames") << true << Figures{5, -1, 40, -1, -1};
    QTest::newRow("an error line") << QByteArray("Error: cannot open input file 'a.yuv'") << false
                                   << Figures();
    QTest::newRow("a bracketed percent then prose")
        << QByteArray("[50%] of the disk is full") << false << Figures();
    QTest::newRow("a number that is no frame count") << QByteArray("42 apples") << false
                                                     << Figures();
    QTest::newRow("garbage bytes") << QByteArray("\xff\xfe[%]/,,eta") << false << Figures();
    QTest::newRow("empty") << QByteArray() << false << Figures();
}

void TestToolProgress::parsesLine()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, isProgress);
    QFETCH(Figures, figures);

    const std::optional<ToolProgress> progress = parseProgressLine(line);
    QCOMPARE(progress.has_value(), isProgress);
    if (progress)
        QCOMPARE(figuresOf(*progress), figures);
}

void TestToolProgress::splitsPieces_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QList<qint64>>("framesSeen");
    QTest::addColumn<QByteArray>("otherText");

    QTest::newRow("an update cut mid-line")
        << QList<QByteArray>{"[10.0%] 1/1", "0 frames, 5.00 fps\r"} << QList<qint64>{1} << QByteArray();
    QTest::newRow("several updates joined by \\r in one read")
        << QList<QByteArray>{"1 frames\r2 frames\r3 frames\r"} << QList<qint64>{1, 2, 3}
        << QByteArray();
    QTest::newRow("diagnostics pass through with their line ends")
        << QList<QByteArray>{"warning: odd\n1 frames\rErr", "or: x\r\n"} << QList<qint64>{1}
        << QByteArray("warning: odd\nError: x\r\n");
    QTest::newRow("progress ended by \\n as well")
        << QList<QByteArray>{"7 frames\n"} << QList<qint64>{7} << QByteArray();
    QTest::newRow("a last line without its end, at the tool's end")
        << QList<QByteArray>{"2 frames\rbye"} << QList<qint64>{2} << QByteArray("bye");
}

void TestToolProgress::splitsPieces()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QList<qint64>, framesSeen);
    QFETCH(QByteArray, otherText);

    ToolProgressParser parser;
    QList<qint64> frames;
    QByteArray other;
    auto take = [&](const ToolProgressParser::Lines &lines) {
        for (const ToolProgress &update : lines.updates)
            frames << update.frames;
        other += lines.otherText;
    };
    for (const QByteArray &piece : pieces)
        take(parser.feed(piece));
    take(parser.finish());
    QCOMPARE(frames, framesSeen);
    QCOMPARE(other, otherText);
}

void TestToolProgress::keepsFrameSeries_data()
{
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<QByteArray>("csvRows");
    QTest::addColumn<QByteArray>("otherText");

    const QByteArray line = "frame 0 I 1197 42.839 48.628 47.757 0.993631\n";
    const QByteArray row = "0,I,1197,42.839,48.628,47.757,0.993631\n";
    QTest::newRow("the encoder's lines, unchanged planes inf") << line + "frame 1 B 16 inf 43 inf 1.000000\n"
                                                               << row + "1,B,16,inf,43.000,inf,1.000000\n" << QByteArray();
    QTest::newRow("SSIM not measured, blanks and CRLF") << QByteArray("frame 5  P\t12 30.5 31 32.25 -\r\n")
                                                        << QByteArray("5,P,12,30.500,31.000,32.250,\n") << QByteArray();
    QTest::newRow("between progress lines, out of the diagnostics")
        << "[10.0%] 1/2 frames\r\n" + line + "x264: warning\n[100.0%] 2/2 frames\r\n" << row
        << QByteArray("x264: warning\n");
    QTest::newRow("a tool that prints none") << QByteArray("[50.0%] 1/2 frames\rframe rate 25\n") << QByteArray()
                                             << QByteArray("frame rate 25\n");
    QTest::newRow("torn lines and absurd numbers, shown nowhere")
        << QByteArray("frame 3000000000 P 5 40 40 40 0.9\nframe 1 P 34\nframe 2 P 5 40 40 40 0.9 x\nframe 3 P 5 40 40 40 0.9frame 4 P\n"
                      "frame 5 P -5 40 40 40 0.9\nframe 6 P 5 nan 40 40 0.9\nframe 7 P 5 40,5 40 40 0.9\n"
                      "frame 8 X 5 40 40 40 0.9\nframe 9 P 5 1000 40 40 0.9\nframe 10 P 5 40 40 40 1.5\nframe 11 P 5 4")
        << QByteArray() << QByteArray();
    QTest::newRow("frames going backwards, repeated or beyond the total")
        << QByteArray("frame 5 P 9 40 40 40 0.9\nframe 3 P 9 40 40 40 0.9\nframe 5 P 9 40 40 40 0.9\n"
                      "frame 100 P 9 40 40 40 0.9\nframe 99 P 9 40 40 40 0.9\n")
        << QByteArray("5,P,9,40.000,40.000,40.000,0.900000\n99,P,9,40.000,40.000,40.000,0.900000\n") << QByteArray();
}

// The tool's standard error arrives a byte at a time; the series is of 100 frames.
void TestToolProgress::keepsFrameSeries()
{
    QFETCH(QByteArray, err);
    QFETCH(QByteArray, csvRows);
    QFETCH(QByteArray, otherText);

    ToolProgressParser parser;
    FrameSeries series(100);
    QByteArray other;
    auto take = [&](const ToolProgressParser::Lines &lines) {
        for (const FrameQuality &frame : lines.frames)
            series.append(frame);
        other += lines.otherText;
    };
    for (const char c : err)
        take(parser.feed(QByteArray(1, c)));
    take(parser.finish());
    QCOMPARE(frameSeriesCsv(series), "frame,type,bytes,psnr_y,psnr_u,psnr_v,ssim\n" + csvRows);
    QCOMPARE(other, otherText);
}

void TestToolProgress::labelSaysFiguresKnown_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("label");

    const QString dot = QStringLiteral(" \u00b7 ");
    QTest::newRow("all figures") << QByteArray("[12.3%] 45/366 frames, 23.10 fps, eta 0:00:14")
                                 << "Frame 45 of 366" + dot + "23 fps" + dot + "about 0:14 left";
    QTest::newRow("hours left, slow speed with a decimal")
        << QByteArray("[1.0%] 3/300 frames, 0.52 fps, eta 1:05:09")
        << "Frame 3 of 300" + dot + "0.5 fps" + dot + "about 1:05:09 left";
    QTest::newRow("no total") << QByteArray("120 frames, 230.10 fps")
                              << "Frame 120" + dot + "230 fps";
    QTest::newRow("a percent only: the bar says it all") << QByteArray("[7%]") << QString();
}

void TestToolProgress::labelSaysFiguresKnown()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, label);
    const std::optional<ToolProgress> progress = parseProgressLine(line);
    QVERIFY(progress);
    QCOMPARE(progressLabel(*progress), label);
}

void TestToolProgress::outputKeepsHeadAndTail_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<qint64>("omitted");

    QTest::newRow("fits the head") << QList<QByteArray>{"abc", "d"} << QByteArray("abcd")
                                   << QByteArray() << qint64(0);
    QTest::newRow("head then tail, nothing left out")
        << QList<QByteArray>{"abcdef", "gh"} << QByteArray("abcd") << QByteArray("efgh") << qint64(0);
    QTest::newRow("the middle left out, across chunks")
        << QList<QByteArray>{"abc", "defgh", "ijklmnop", "qr"} << QByteArray("abcd")
        << QByteArray("opqr") << qint64(10);
    QTest::newRow("one huge chunk") << QList<QByteArray>{QByteArray("0123456789abcdefghij")}
                                    << QByteArray("0123") << QByteArray("ghij") << qint64(12);
}

void TestToolProgress::outputKeepsHeadAndTail()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, tail);
    QFETCH(qint64, omitted);

    BoundedOutput output(4, 4);
    for (const QByteArray &chunk : chunks)
        output.append(chunk);
    QCOMPARE(output.head(), head);
    QCOMPARE(output.tail(), tail);
    QCOMPARE(output.omitted(), omitted);
}

QTEST_GUILESS_MAIN(TestToolProgress)
#include "tst_toolprogress.moc"
