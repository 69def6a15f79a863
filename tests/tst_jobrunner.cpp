#include "settings/settingsstore.h"
#include "faketools.h"
#include "mainwindow/mainwindow.h"
#include "modaldriver.h"
#include "testsettings.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <csignal>

Q_DECLARE_METATYPE(QMessageBox::Icon)

// The decode and encode roads with fake codec tools, from the button to the
// report: how a job's end is told, cancelled, or fails to begin.
class TestJobRunner : public QObject
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
    void cancelKillsRunningDecodeSilently();
    void cancelDuringSettleStartsNothing();
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

void TestJobRunner::initTestCase()
{
    QVERIFY(tempDir.isValid());
    isolateSettings(path("settings"));
    binDir = path("bin");
    QVERIFY(QDir().mkpath(binDir));
    putFirstOnPath(binDir);
    QVERIFY(QDir::setCurrent(tempDir.path()));
    for (const char *name : {"stream.dat", "in.yuv"}) {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

void TestJobRunner::init()
{
    SettingsStore().clear();
    QFile::remove(path("started"));
    window = new MainWindow;
    window->show();
    driver = new ModalDriver;
}

void TestJobRunner::cleanup()
{
    delete driver;
    delete window;
}

void TestJobRunner::decode(const QString &streamPath)
{
    driver->answer(choosePath(streamPath));
    window->findChild<QPushButton *>("pushButtonDec")->click();
}

void TestJobRunner::encode(const QString &inputPath)
{
    driver->answer(choosePath(inputPath));
    driver->answer(choosePath(tempDir.path()));
    driver->answer(acceptDialog());
    window->findChild<QPushButton *>("pushButtonEnc")->click();
    QVERIFY2(driver->allAnswered(), "the encode road did not ask for file, folder and options");
}

// The busy dialog goes when the job's end has been handled, before any report.
void TestJobRunner::waitForJobEnd()
{
    QTRY_COMPARE_WITH_TIMEOUT(busyDialogCount(), 0, 10000);
}

void TestJobRunner::decodeEndIsReported_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QMessageBox::Icon>("icon");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    const QByteArray recordArguments = "printf '%s|%s' \"$#\" \"$1\" > args\n";
    QTest::newRow("normal end: complete")
        << recordArguments + "exit 0\n" << QMessageBox::NoIcon << "Decode complete"
        << "Decode complete";
    QTest::newRow("non-zero exit: failed, with the code and what the decoder said")
        << recordArguments + "echo 'Error: not an H.264 stream'\nexit 3\n" << QMessageBox::Warning
        << "Decode failed" << "decoder.exe stopped with exit code 3.\n\nError: not an H.264 stream\n";
    QTest::newRow("crash: failed, said to have crashed")
        << recordArguments + "kill -SEGV $$\n" << QMessageBox::Warning << "Decode failed"
        << "decoder.exe crashed.";
}

void TestJobRunner::decodeEndIsReported()
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

void TestJobRunner::encodeReportIsShown_data()
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

void TestJobRunner::encodeReportIsShown()
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

void TestJobRunner::reportPhraseIsTranslated()
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

void TestJobRunner::hugeReportStaysReadable()
{
    // Far more than a pipe holds: the encoder must never block on a full pipe.
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
    QCOMPARE(box.detailedText.size(), 20 + lines * (line.size() + 1));
    QVERIFY(box.detailedText.endsWith(line + '\n'));
}

void TestJobRunner::cancelKillsRunningDecodeSilently()
{
    writeFakeTool(binDir, "decoder.exe", "echo $$ > started\nexec sleep 30\n");
    driver->cancelBusyWhen([this] { return QFile::exists(path("started")); });

    decode(path("stream.dat"));
    waitForJobEnd();
    QFile pidFile(path("started"));
    QVERIFY(pidFile.open(QIODevice::ReadOnly));
    const pid_t pid = pidFile.readAll().trimmed().toInt();
    QTRY_VERIFY2_WITH_TIMEOUT(::kill(pid, 0) != 0, "the decoder still runs after Cancel", 5000);
    QTest::qWait(200);
    QVERIFY2(driver->boxes.isEmpty(), qPrintable(driver->boxes.value(0).title));
}

void TestJobRunner::cancelDuringSettleStartsNothing()
{
    writeFakeTool(binDir, "decoder.exe", "echo $$ > started\n");
    driver->cancelBusyWhen([] { return true; });

    decode(path("stream.dat"));
    waitForJobEnd();
    QTest::qWait(300);
    QVERIFY2(!QFile::exists(path("started")), "the decoder started after Cancel");
    QVERIFY(driver->boxes.isEmpty());
}

void TestJobRunner::missingToolIsReportedAndNextJobRuns()
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

void TestJobRunner::decodeFolderIsRememberedForNextTime()
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

void TestJobRunner::cancelledFileDialogChangesNothing()
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

QTEST_MAIN(TestJobRunner)
#include "tst_jobrunner.moc"
