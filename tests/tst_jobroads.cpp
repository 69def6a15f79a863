#include "settings/settingsstore.h"
#include "faketools.h"
#include "mainwindow/mainwindow.h"
#include "modaldriver.h"
#include "smallclip.h"
#include "testsettings.h"

#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <csignal>

Q_DECLARE_METATYPE(QMessageBox::Icon)

// The decode and encode roads with fake codec tools, from the button to the
// report: how a job's end is told, cancelled, or fails to begin.
class TestJobRoads : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void decodeEndIsReported_data();
    void decodeEndIsReported();
    void encodeReportIsShown_data();
    void encodeReportIsShown();
    void reportPhraseIsTranslated();
    void hugeReportStaysReadable();
    void cancelStopsDecodeSilently();
    void busyDialogShowsToolProgress_data();
    void busyDialogShowsToolProgress();
    void missingToolIsReportedAndNextJobRuns();
    void decodeFolderIsRememberedForNextTime();
    void cancelledFileDialogChangesNothing();

private:
    QString path(const QString &name) const { return tempDir.filePath(name); }
    void decode(const QString &streamPath);
    void encode(const QString &inputPath);
    void waitForJobEnd();

    QTemporaryDir tempDir;
    QString binDir;
    MainWindow *window = nullptr;
    ModalDriver *driver = nullptr;
};

void TestJobRoads::initTestCase()
{
    QVERIFY(tempDir.isValid());
    isolateSettings(path("settings"));
    binDir = path("bin");
    QVERIFY(QDir().mkpath(binDir));
    putFirstOnPath(binDir);
    QVERIFY(QDir::setCurrent(tempDir.path()));
    QVERIFY(QDir().mkpath(path("out")));
    QFile stream(path("stream.dat"));
    QVERIFY(stream.open(QIODevice::WriteOnly));
    QVERIFY(writeSmallClip(path("in.yuv")));
}

void TestJobRoads::init()
{
    SettingsStore().clear();
    storeSmallClipOptions();
    QFile::remove(path("started"));
    window = new MainWindow;
    window->show();
    driver = new ModalDriver;
}

void TestJobRoads::cleanup()
{
    delete driver;
    delete window;
}

void TestJobRoads::decode(const QString &streamPath)
{
    driver->answer(choosePath(streamPath));
    window->findChild<QPushButton *>("pushButtonDec")->click();
}

void TestJobRoads::encode(const QString &inputPath)
{
    driver->answer(choosePath(inputPath));
    driver->answer(choosePath(path("out")));
    driver->answer(acceptDialog());
    window->findChild<QPushButton *>("pushButtonEnc")->click();
    QVERIFY2(driver->allAnswered(), "the encode road did not ask for file, folder and options");
}

// The busy dialog goes when the job's end has been handled, before any report.
void TestJobRoads::waitForJobEnd()
{
    QTRY_COMPARE_WITH_TIMEOUT(busyDialogCount(), 0, 10000);
}

void TestJobRoads::decodeEndIsReported_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QMessageBox::Icon>("icon");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    const QByteArray recordArguments = "printf '%s|%s' \"$#\" \"$1\" > args\n";
    QTest::newRow("normal end: complete")
        << recordArguments + "exit 0\n" << QMessageBox::NoIcon << "Decode complete"
        << "Decode complete";
    QTest::newRow("normal end with a report: the decoder's lines follow")
        << recordArguments + "echo 'Decoded 3 frames of 128x96'\necho 'Output: 55296 bytes -> /v/stream-1.yuv'\n"
        << QMessageBox::NoIcon << "Decode complete"
        << "Decode complete\n\nDecoded 3 frames of 128x96\nOutput: 55296 bytes -> /v/stream-1.yuv\n";
    QTest::newRow("non-zero exit: failed, with the code and what the decoder said")
        << recordArguments + "echo 'Error: not an H.264 stream'\nexit 3\n" << QMessageBox::Warning
        << "Decode failed" << "decoder.exe stopped with exit code 3.\n\nError: not an H.264 stream\n";
    QTest::newRow("crash: failed, said to have crashed")
        << recordArguments + "kill -SEGV $$\n" << QMessageBox::Warning << "Decode failed"
        << "decoder.exe crashed.";
}

void TestJobRoads::decodeEndIsReported()
{
    QFETCH(QByteArray, script);
    QFETCH(QMessageBox::Icon, icon);
    QFETCH(QString, title);
    QFETCH(QString, text);
    writeFakeTool(binDir, "decoder.exe", script);

    decode(path("stream.dat"));
    QTRY_COMPARE_WITH_TIMEOUT(driver->boxes.size(), 1, 10000);
    QCOMPARE(driver->boxes[0].icon, icon);
    QCOMPARE(driver->boxes[0].title, title);
    QCOMPARE(driver->boxes[0].text, text);
    QCOMPARE(busyDialogCount(), 0);

    QFile args(path("args"));
    QVERIFY(args.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(args.readAll()), "1|" + path("stream.dat"));
}

void TestJobRoads::encodeReportIsShown_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("boxTitleAndText");

    QTest::newRow("report after log lines: cut at the phrase")
        << QByteArray("frame 1\nframe 2\nCompression rate: 5.1\n") << 0
        << QStringList{"Encode complete", "Compression rate: 5.1\n"};
    QTest::newRow("empty output: no box at all") << QByteArray() << 0 << QStringList();
    QTest::newRow("markup stays plain text")
        << QByteArray("<b>Compression rate</b> 4") << 0
        << QStringList{"Encode complete", "Compression rate</b> 4"};
    QTest::newRow("failing encoder: its report is kept in the warning")
        << QByteArray("bad input\nCompression rate: n/a\n") << 2
        << QStringList{"Encode failed",
                       "encoder.exe stopped with exit code 2.\n\nCompression rate: n/a\n"};
    QTest::newRow("failing encoder that said nothing")
        << QByteArray() << 1
        << QStringList{"Encode failed", "encoder.exe stopped with exit code 1."};
}

void TestJobRoads::encodeReportIsShown()
{
    QFETCH(QByteArray, output);
    QFETCH(int, exitCode);
    QFETCH(QStringList, boxTitleAndText);
    QFile outputFile(path("output.bin"));
    QVERIFY(outputFile.open(QIODevice::WriteOnly));
    outputFile.write(output);
    outputFile.close();
    writeFakeTool(binDir, "encoder.exe",
                  "cat '" + QFile::encodeName(outputFile.fileName()) + "'\nexit "
                      + QByteArray::number(exitCode) + "\n");

    encode(path("in.yuv"));
    waitForJobEnd();
    QTest::qWait(100);
    if (boxTitleAndText.isEmpty()) {
        QVERIFY2(driver->boxes.isEmpty(), qPrintable(driver->boxes.value(0).text));
        return;
    }
    QCOMPARE(driver->boxes.size(), 1);
    QCOMPARE(driver->boxes[0].title, boxTitleAndText[0]);
    QCOMPARE(driver->boxes[0].text, boxTitleAndText[1]);
}

void TestJobRoads::reportPhraseIsTranslated()
{
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(APP_CATALOGUE)));
    QCoreApplication::installTranslator(&translator);
    writeFakeTool(binDir, "encoder.exe", "echo 'log'; echo 'Compression rate: 7'\n");

    encode(path("in.yuv"));
    QTRY_COMPARE_WITH_TIMEOUT(driver->boxes.size(), 1, 10000);
    QCoreApplication::removeTranslator(&translator);
    QCOMPARE(driver->boxes[0].text, QString::fromUtf8("Степень сжатия: 7\n"));
    QCOMPARE(driver->boxes[0].title, QString::fromUtf8("Кодирование завершено"));
}

void TestJobRoads::hugeReportStaysReadable()
{
    // Far more than a pipe holds, and more than the runner keeps.
    const int lines = 200000;
    const QByteArray line = "frame statistics line";
    writeFakeTool(binDir, "encoder.exe",
                  "echo 'Compression rate: 2'\nyes '" + line + "' | head -n "
                      + QByteArray::number(lines) + "\n");

    encode(path("in.yuv"));
    QTRY_COMPARE_WITH_TIMEOUT(driver->boxes.size(), 1, 20000);
    const SeenBox &box = driver->boxes[0];
    QCOMPARE(box.title, QStringLiteral("Encode complete"));
    QVERIFY2(box.text.size() < 3000, qPrintable(QString::number(box.text.size())));
    QVERIFY(box.text.startsWith("Compression rate: 2\n"));
    const int printed = 20 + lines * (line.size() + 1);
    QVERIFY2(box.detailedText.size() < 2 * 1024 * 1024 + 100,
             qPrintable(QString::number(box.detailedText.size())));
    const QRegularExpression gap(QStringLiteral("\\n\\[\\.\\.\\. (\\d+) bytes of output left out \\.\\.\\.\\]\\n"));
    const QRegularExpressionMatch match = gap.match(box.detailedText);
    QVERIFY2(match.hasMatch(), "no line tells what was left out");
    QCOMPARE(match.captured(1).toInt(), printed - 2 * 1024 * 1024);
    QVERIFY(box.detailedText.endsWith(line + '\n'));
}

void TestJobRoads::cancelStopsDecodeSilently()
{
    writeFakeTool(binDir, "decoder.exe", "echo $$ > started\nexec sleep 30\n");
    driver->cancelBusyWhen([this] { return QFile::exists(path("started")); });

    decode(path("stream.dat"));
    waitForJobEnd();
    QFile pidFile(path("started"));
    QVERIFY(pidFile.open(QIODevice::ReadOnly));
    const pid_t pid = pidFile.readAll().trimmed().toInt();
    QTRY_VERIFY2_WITH_TIMEOUT(::kill(pid, 0) != 0, "the decoder still runs after Cancel", 5000);
    // The next job's report comes after anything the cancelled one could have shown.
    writeFakeTool(binDir, "decoder.exe", "exit 0\n");
    decode(path("stream.dat"));
    QTRY_COMPARE_WITH_TIMEOUT(driver->boxes.size(), 1, 10000);
    QCOMPARE(driver->boxes[0].title, QStringLiteral("Decode complete"));
}

void TestJobRoads::busyDialogShowsToolProgress_data()
{
    QTest::addColumn<QByteArray>("progressLines");
    QTest::addColumn<int>("barMaximum");
    QTest::addColumn<int>("barValue");
    QTest::addColumn<QString>("label");

    QTest::newRow("encoder's form, cut into pieces: a bar and frames, speed, time left")
        << QByteArray("printf '[5.0%%] 2/40 fra' >&2; printf 'mes, 3.00 fps, eta 0:00:13\\r' >&2\n"
                      "printf '[12.3%%] 45/366 frames, 23.10 fps, eta 0:00:14\\r' >&2\n")
        << 1000 << 123 << QString::fromUtf8("Frame 45 of 366 \u00b7 23 fps \u00b7 about 0:14 left");
    QTest::newRow("no progress lines: a busy indicator and no label")
        << QByteArray("echo 'decoding' >&2\n") << 0 << -1 << QString();
}

// The tool tells its progress, then waits for the test to let it end.
void TestJobRoads::busyDialogShowsToolProgress()
{
    QFETCH(QByteArray, progressLines);
    QFETCH(int, barMaximum);
    QFETCH(int, barValue);
    QFETCH(QString, label);
    QFile::remove(path("go"));
    writeFakeTool(binDir, "decoder.exe",
                  progressLines + "touch told\nwhile [ ! -e go ]; do sleep 0.02; done\n");

    decode(path("stream.dat"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path("told")), 10000);
    QProgressDialog *busy = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(busy = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget()),
                             5000);
    auto *bar = busy->findChild<QProgressBar *>();
    QTRY_COMPARE_WITH_TIMEOUT(bar->maximum(), barMaximum, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(bar->value(), barValue, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(busy->labelText(), label, 5000);
    QFile go(path("go"));
    QVERIFY(go.open(QIODevice::WriteOnly));
    go.close();
    QTRY_COMPARE_WITH_TIMEOUT(driver->boxes.size(), 1, 10000);
}

void TestJobRoads::missingToolIsReportedAndNextJobRuns()
{
    QFile::remove(QDir(binDir).filePath("decoder.exe"));

    decode(path("stream.dat"));
    QTRY_COMPARE_WITH_TIMEOUT(driver->boxes.size(), 1, 10000);
    QCOMPARE(driver->boxes[0].icon, QMessageBox::Warning);
    QCOMPARE(driver->boxes[0].title, QStringLiteral("Decode failed"));
    QVERIFY2(driver->boxes[0].text.startsWith("decoder.exe could not be started."),
             qPrintable(driver->boxes[0].text));
    QCOMPARE(busyDialogCount(), 0);

    writeFakeTool(binDir, "decoder.exe", "exit 0\n");
    decode(path("stream.dat"));
    QTRY_COMPARE_WITH_TIMEOUT(driver->boxes.size(), 2, 10000);
    QCOMPARE(driver->boxes[1].title, QStringLiteral("Decode complete"));
    QCOMPARE(busyDialogCount(), 0);
}

void TestJobRoads::decodeFolderIsRememberedForNextTime()
{
    writeFakeTool(binDir, "decoder.exe", "exit 0\n");
    const QString otherFolder = path("other folder");
    QVERIFY(QDir().mkpath(otherFolder));
    QFile stream(otherFolder + "/clip.dat");
    QVERIFY(stream.open(QIODevice::WriteOnly));

    decode(stream.fileName());
    QTRY_COMPARE_WITH_TIMEOUT(driver->boxes.size(), 1, 10000);
    QCOMPARE(SettingsStore().value(SettingsKeys::decPath).toString(), otherFolder);

    QString startFolder;
    driver->answer(rejectDialog(&startFolder));
    window->findChild<QPushButton *>("pushButtonDec")->click();
    QCOMPARE(startFolder, otherFolder);
}

void TestJobRoads::cancelledFileDialogChangesNothing()
{
    writeFakeTool(binDir, "decoder.exe", "echo $$ > started\n");
    SettingsStore().setValue(SettingsKeys::decPath, tempDir.path());

    driver->answer(rejectDialog());
    window->findChild<QPushButton *>("pushButtonDec")->click();
    QTest::qWait(300);
    QCOMPARE(busyDialogCount(), 0);
    QVERIFY(!QFile::exists(path("started")));
    QVERIFY(driver->boxes.isEmpty());
    QCOMPARE(SettingsStore().value(SettingsKeys::decPath).toString(), tempDir.path());
}

QTEST_MAIN(TestJobRoads)
#include "tst_jobroads.moc"
