#include "mainwindow/chartcolumns.h"

#include <QTest>

#include <limits>

// How the chart spreads a series over its pixel columns, without a window.
class tst_ChartColumns : public QObject
{
    Q_OBJECT

private slots:
    void framesReduceToColumns_data();
    void framesReduceToColumns();
    void frameFindsItsColumn_data();
    void frameFindsItsColumn();
};

// Frames from "TYPE:PSNR_Y:BYTES" words; "-" for a PSNR not measured, "inf" for an unchanged plane.
static QVector<FrameQuality> framesOf(const QString &words)
{
    QVector<FrameQuality> frames;
    for (const QString &word : words.split(' ', Qt::SkipEmptyParts)) {
        const QStringList parts = word.split(':');
        FrameQuality frame;
        frame.frame = int(frames.size());
        frame.type = parts[0].at(0).toLatin1();
        frame.psnrY = parts[1] == "-" ? -1
            : parts[1] == "inf"      ? std::numeric_limits<float>::infinity()
                                     : parts[1].toFloat();
        frame.psnrU = frame.psnrV = frame.psnrY;
        frame.bytes = parts[2].toLongLong();
        frames.append(frame);
    }
    return frames;
}

// Each column as "first-end worst Ylow..high bytes low..high types", joined by " | ".
static QString columnsText(const QVector<ChartColumn> &columns)
{
    QStringList texts;
    for (const ChartColumn &c : columns) {
        texts << QStringLiteral("%1-%2 w%3 Y%4..%5 b%6..%7 t%8")
                     .arg(c.first)
                     .arg(c.end)
                     .arg(c.worst)
                     .arg(c.psnrY.isEmpty() ? QStringLiteral("none") : QString::number(double(c.psnrY.low)))
                     .arg(c.psnrY.isEmpty() ? QStringLiteral("none") : QString::number(double(c.psnrY.high)))
                     .arg(double(c.bytes.low))
                     .arg(double(c.bytes.high))
                     .arg(c.types);
    }
    return texts.join(QStringLiteral(" | "));
}

void tst_ChartColumns::framesReduceToColumns_data()
{
    QTest::addColumn<QString>("frames");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no frames: no column") << "" << 100 << "";
    QTest::newRow("no room: no column") << "I:40:900" << 0 << "";
    QTest::newRow("one frame a column") << "I:40:900 P:35:200" << 2
                                        << "0-1 w0 Y40..40 b900..900 t1 | 1-2 w1 Y35..35 b200..200 t2";
    QTest::newRow("fewer frames than columns: each spans several")
        << "I:40:900 B:30:100" << 5
        << "0-1 w0 Y40..40 b900..900 t1 | 0-1 w0 Y40..40 b900..900 t1 | 0-1 w0 Y40..40 b900..900 t1 | "
           "1-2 w1 Y30..30 b100..100 t4 | 1-2 w1 Y30..30 b100..100 t4";
    QTest::newRow("more frames than columns: spans and types together")
        << "I:40:900 P:36:300 B:33:50 P:37:250 B:34:60" << 2
        << "0-2 w1 Y36..40 b300..900 t3 | 2-5 w2 Y33..37 b50..250 t6";
    QTest::newRow("the worst frame stays in its column")
        << "P:38:100 P:37:100 P:20:100 P:39:100 P:36:100 P:35:100" << 3
        << "0-2 w1 Y37..38 b100..100 t2 | 2-4 w2 Y20..39 b100..100 t2 | 4-6 w5 Y35..36 b100..100 t2";
    QTest::newRow("PSNR not measured: no worst, no span")
        << "P:-:100 P:-:120" << 1 << "0-2 w-1 Ynone..none b100..120 t2";
    QTest::newRow("an unchanged plane is never the worst")
        << "I:inf:900 P:31:100" << 1 << "0-2 w1 Y31..inf b100..900 t3";
}

void tst_ChartColumns::framesReduceToColumns()
{
    QFETCH(QString, frames);
    QFETCH(int, columns);
    QFETCH(QString, expected);

    QCOMPARE(columnsText(chartColumns(framesOf(frames), columns)), expected);
}

void tst_ChartColumns::frameFindsItsColumn_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("columns");

    QTest::newRow("as many frames as columns") << 7 << 7;
    QTest::newRow("fewer frames than columns") << 3 << 10;
    QTest::newRow("more frames than columns") << 10 << 3;
    QTest::newRow("100,000 frames in 997 columns") << 100000 << 997;
}

// The marker of a frame lands on a column that holds it.
void tst_ChartColumns::frameFindsItsColumn()
{
    QFETCH(int, count);
    QFETCH(int, columns);

    const QVector<ChartColumn> spread = chartColumns(QVector<FrameQuality>(count), columns);
    qint32 misplaced = -1;
    for (qint32 place = 0; place < count && misplaced < 0; ++place) {
        const ChartColumn &column = spread.at(columnOf(place, count, columns));
        if (place < column.first || place >= column.end)
            misplaced = place;
    }
    QCOMPARE(misplaced, -1);
}

QTEST_GUILESS_MAIN(tst_ChartColumns)
#include "tst_chartcolumns.moc"
