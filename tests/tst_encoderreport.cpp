#include "jobs/encoderreport.h"

#include <QtTest>

class TestEncoderReport : public QObject
{
    Q_OBJECT

private slots:
    void cutsAtThePhrase_data();
    void cutsAtThePhrase();
    void previewKeepsBoxesSmall_data();
    void previewKeepsBoxesSmall();
};

void TestEncoderReport::cutsAtThePhrase_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QString>("report");

    QTest::newRow("phrase after other lines: from the phrase to the end, line end kept")
        << QByteArray("Encoding...\nframe 1\nCompression rate: 12.5\n")
        << "Rate of compression: 12.5\n";
    QTest::newRow("phrase at the start: nothing removed")
        << QByteArray("Compression rate: 3\nbye\n") << "Rate of compression: 3\nbye\n";
    QTest::newRow("phrase twice: cut at the first, only it replaced")
        << QByteArray("x\nCompression rate 1\nCompression rate 2")
        << "Rate of compression 1\nCompression rate 2";
    QTest::newRow("phrase in the output's path: the path kept as it is")
        << QByteArray("Compression rate: 3\nOutput file: 900 -> /home/u/Compression rate/stream.dat\n")
        << "Rate of compression: 3\nOutput file: 900 -> /home/u/Compression rate/stream.dat\n";
    QTest::newRow("no phrase: the whole output") << QByteArray("all good\n") << "all good\n";
    QTest::newRow("phrase in another case is not the phrase")
        << QByteArray("a\ncompression rate 5") << "a\ncompression rate 5";
    QTest::newRow("empty output") << QByteArray() << "";
    QTest::newRow("zero byte ends the text")
        << QByteArray("ok\0Compression rate 9\n", 22) << "ok";
    QTest::newRow("phrase only after a zero byte is never seen")
        << QByteArray("head\0tail", 9) << "head";
    QTest::newRow("non-ASCII UTF-8 before and after the phrase")
        << QByteArray("Кодирование…\nCompression rate: 2× (видео)\n")
        << QString::fromUtf8("Rate of compression: 2× (видео)\n");
    // The tools leave the phrase English in every language, for this cut.
    QTest::newRow("Russian encoder's report: only the phrase replaced")
        << QByteArray("Ошибок нет\nCompression rate: 4,51 (55296 / 12261 байт), 3 кадра, 30,2 кадр/с\n"
                      "Входной файл закончился: прочитано кадров 3 из 8 запрошенных\n")
        << QString::fromUtf8("Rate of compression: 4,51 (55296 / 12261 байт), 3 кадра, 30,2 кадр/с\n"
                             "Входной файл закончился: прочитано кадров 3 из 8 запрошенных\n");
}

void TestEncoderReport::cutsAtThePhrase()
{
    QFETCH(QByteArray, output);
    QFETCH(QString, report);
    QCOMPARE(encoderReport(output, QStringLiteral("Rate of compression")), report);
}

void TestEncoderReport::previewKeepsBoxesSmall_data()
{
    QTest::addColumn<QString>("report");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<bool>("cut");

    QTest::newRow("short report unchanged") << QStringLiteral("a\nb\nc") << 3 << false;
    QTest::newRow("one line too many") << QStringLiteral("a\nb\nc\nd") << 3 << true;
    QTest::newRow("one huge line") << QString(100000, QLatin1Char('x')) << 3 << true;
    QTest::newRow("a million lines") << QStringLiteral("line\n").repeated(1000000) << 20 << true;
}

void TestEncoderReport::previewKeepsBoxesSmall()
{
    QFETCH(QString, report);
    QFETCH(int, maxLines);
    QFETCH(bool, cut);
    const int maxChars = 500;
    const QString preview = reportPreview(report, maxLines, maxChars);
    if (!cut) {
        QCOMPARE(preview, report);
        return;
    }
    QVERIFY2(preview.size() <= maxChars + 1, qPrintable(QString::number(preview.size())));
    QVERIFY(preview.count(QLatin1Char('\n')) < maxLines);
    QVERIFY2(preview.endsWith(QChar(0x2026)), "a cut preview must say it was cut");
    QVERIFY(report.startsWith(preview.chopped(1)));
}

QTEST_GUILESS_MAIN(TestEncoderReport)
#include "tst_encoderreport.moc"
