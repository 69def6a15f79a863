#include "settings/settingsstore.h"
#include "faketools.h"
#include "mainwindow/mainwindow.h"
#include "modaldriver.h"
#include "smallclip.h"
#include "testsettings.h"

#include <QLineEdit>
#include <QLockFile>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

// The "Encoder" road from the button to the encoder's start, with a fake
// encoder that records its arguments and keeps a copy of its configuration.
class TestEncodeRoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void encoderGetsTheConfigurationOfTheChoices();
    void cancellingAChoiceStartsNothing_data();
    void cancellingAChoiceStartsNothing();
    void optionsChangedThenCancelledAreKept();
    void unwritableConfigurationIsReported();
    void lineBreakInAPathIsRefused_data();
    void lineBreakInAPathIsRefused();
    void clipWarningAnswers_data();
    void clipWarningAnswers();
    void refusedClipStartsNothing();
    void existingStreamIsReplacedOnlyWhenAsked_data();
    void existingStreamIsReplacedOnlyWhenAsked();
    void secondWindowIsBlockedByTheLock();
    void staleLockDoesNotBlock();

private:
    QString path(const QString &name) const { return workDir.filePath(name); }
    QByteArray readFile(const QString &name) const;
    void answerChoices();
    void clickEncoder();

    QTemporaryDir tempDir;
    QDir workDir;
    QString inputPath;
    QString outputDir;
    MainWindow *window = nullptr;
    ModalDriver *driver = nullptr;
};

void TestEncodeRoad::initTestCase()
{
    QVERIFY(tempDir.isValid());
    isolateSettings(tempDir.filePath("settings"));
    const QString binDir = tempDir.filePath("bin");
    QVERIFY(QDir().mkpath(binDir));
    putFirstOnPath(binDir);
    writeFakeTool(binDir, "encoder.exe",
                  "printf '%s|%s' \"$#\" \"$1\" > args\ncp \"$1\" config.copy\n"
                  "while [ -e hold ]; do sleep 0.02; done\n"
                  "echo 'Compression rate: 3'\n");
}

// Each test starts in a fresh working folder holding one clip and an output folder.
void TestEncodeRoad::init()
{
    const QString folder = tempDir.filePath(QTest::currentTestFunction()
                                            + QString(QTest::currentDataTag()).remove(' '));
    QVERIFY(QDir().mkpath(folder + "/clips/out put"));
    QVERIFY(QDir::setCurrent(folder));
    workDir.setPath(folder);
    inputPath = path("clips/in clip.yuv");
    outputDir = path("clips/out put");
    QVERIFY(writeSmallClip(inputPath));
    SettingsStore().clear();
    storeSmallClipOptions();
    window = new MainWindow;
    window->show();
    driver = new ModalDriver;
}

void TestEncodeRoad::cleanup()
{
    delete driver;
    delete window;
}

QByteArray TestEncodeRoad::readFile(const QString &name) const
{
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The clip, the output folder, and "Ok" in the options.
void TestEncodeRoad::answerChoices()
{
    driver->answer(choosePath(inputPath));
    driver->answer(choosePath(outputDir));
    driver->answer(acceptDialog());
}

void TestEncodeRoad::clickEncoder()
{
    window->findChild<QPushButton *>("pushButtonEnc")->click();
    QVERIFY2(driver->allAnswered(), "a dialog the test expected did not come up");
}

void TestEncodeRoad::encoderGetsTheConfigurationOfTheChoices()
{
    SettingsStore().setValue(SettingsKeys::quality, 30);
    QString folderDialogStart;
    driver->answer(choosePath(inputPath));
    driver->answer(choosePath(outputDir, &folderDialogStart));
    driver->answer(acceptDialog());
    clickEncoder();

    QCOMPARE(folderDialogStart, path("clips"));
    QTRY_COMPARE_WITH_TIMEOUT(driver->boxes.size(), 1, 10000);
    QCOMPARE(driver->boxes[0].text, QStringLiteral("Compression rate: 3\n"));
    QCOMPARE(readFile("args"), "1|" + path("config.txt").toUtf8());
    QCOMPARE(readFile("config.copy"),
             "file_in " + inputPath.toUtf8() + "\nwidth 720\nheight 576\nnframes 1\n"
             "file_dat " + outputDir.toUtf8() + "/stream.dat\nquality_param 30\n");
    QCOMPARE(SettingsStore().value(SettingsKeys::pathOpen).toString(), path("clips"));
}

void TestEncodeRoad::cancellingAChoiceStartsNothing_data()
{
    QTest::addColumn<int>("answeredBeforeCancel");
    QTest::addColumn<QString>("pathOpenAfter");

    QTest::newRow("file dialog cancelled: pathOpen unchanged") << 0 << "/nowhere";
    QTest::newRow("folder dialog cancelled: pathOpen already moved") << 1 << "clips";
    QTest::newRow("options cancelled: pathOpen moved") << 2 << "clips";
}

void TestEncodeRoad::cancellingAChoiceStartsNothing()
{
    QFETCH(int, answeredBeforeCancel);
    QFETCH(QString, pathOpenAfter);
    SettingsStore().setValue(SettingsKeys::pathOpen, "/nowhere");
    const QList<ModalDriver::Answer> answers{choosePath(inputPath), choosePath(outputDir)};
    for (int i = 0; i < answeredBeforeCancel; ++i)
        driver->answer(answers[i]);
    driver->answer(rejectDialog());
    clickEncoder();

    QTest::qWait(200);
    QCOMPARE(busyDialogCount(), 0);
    QVERIFY(driver->boxes.isEmpty());
    QVERIFY2(!QFile::exists(path("config.txt")), "config.txt written for an abandoned encode");
    QVERIFY(!QFile::exists(path("args")));
    const QString expected = pathOpenAfter.startsWith('/') ? pathOpenAfter : path(pathOpenAfter);
    QCOMPARE(SettingsStore().value(SettingsKeys::pathOpen).toString(), expected);
}

void TestEncodeRoad::optionsChangedThenCancelledAreKept()
{
    driver->answer(choosePath(inputPath));
    driver->answer(choosePath(outputDir));
    driver->answer([](QDialog *options) {
        options->findChild<QSpinBox *>("spinBoxQuality")->setValue(40);
        options->reject();
    });
    clickEncoder();
    QTest::qWait(200);
    QVERIFY(!QFile::exists(path("args")));

    int qualityShown = -1;
    driver->answer(choosePath(inputPath));
    driver->answer(choosePath(outputDir));
    driver->answer([&qualityShown](QDialog *options) {
        qualityShown = options->findChild<QSpinBox *>("spinBoxQuality")->value();
        options->accept();
    });
    clickEncoder();
    QCOMPARE(qualityShown, 40);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path("config.copy")), 10000);
    QVERIFY(readFile("config.copy").endsWith("\nquality_param 40\n"));
}

void TestEncodeRoad::unwritableConfigurationIsReported()
{
    QVERIFY2(workDir.mkdir("config.txt"), "cannot put a folder in config.txt's way");
    driver->answer(choosePath(inputPath));
    driver->answer(choosePath(outputDir));
    driver->answer(acceptDialog());
    clickEncoder();

    QTRY_COMPARE_WITH_TIMEOUT(driver->boxes.size(), 1, 5000);
    QCOMPARE(driver->boxes[0].icon, QMessageBox::Warning);
    QVERIFY2(driver->boxes[0].text.contains(path("config.txt")), qPrintable(driver->boxes[0].text));
    QTest::qWait(200);
    QCOMPARE(busyDialogCount(), 0);
    QVERIFY2(!QFile::exists(path("args")), "the encoder ran without its configuration");
}

void TestEncodeRoad::lineBreakInAPathIsRefused_data()
{
    QTest::addColumn<QString>("badName");
    QTest::addColumn<bool>("isFolder");

    QTest::newRow("line feed in the clip's name") << "in\nclip.yuv" << false;
    QTest::newRow("carriage return in the clip's name") << "in\rclip.yuv" << false;
    QTest::newRow("line feed in the output folder") << "out\nput" << true;
}

void TestEncodeRoad::lineBreakInAPathIsRefused()
{
    QFETCH(QString, badName);
    QFETCH(bool, isFolder);
    const QString badPath = path("clips/" + badName);
    if (isFolder) {
        QVERIFY(QDir().mkpath(badPath));
        driver->answer(choosePath(inputPath));
    } else {
        QFile clip(badPath);
        QVERIFY(clip.open(QIODevice::WriteOnly));
    }
    driver->answer(choosePath(badPath));
    clickEncoder();

    QTRY_COMPARE_WITH_TIMEOUT(driver->boxes.size(), 1, 5000);
    QCOMPARE(driver->boxes[0].icon, QMessageBox::Warning);
    QVERIFY2(driver->boxes[0].text.contains("line break"), qPrintable(driver->boxes[0].text));
    QTest::qWait(200);
    QVERIFY(!QFile::exists(path("config.txt")));
    QVERIFY(!QFile::exists(path("args")));
}

void TestEncodeRoad::clipWarningAnswers_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QByteArray>("framesLine");

    QTest::newRow("encode anyway: the options as they were") << "Encode anyway" << QByteArray("nframes 3\n");
    QTest::newRow("back to the options: the corrected ones") << "Back to options"
                                                             << QByteArray("nframes 1\n");
    QTest::newRow("stop: nothing starts") << "Stop" << QByteArray();
}

// The clip holds one frame; three are asked for.
void TestEncodeRoad::clipWarningAnswers()
{
    QFETCH(QString, answer);
    QFETCH(QByteArray, framesLine);
    SettingsStore().setValue(SettingsKeys::nFrames, 3);
    answerChoices();
    driver->answerBox(answer);
    if (answer == QLatin1String("Back to options")) {
        driver->answer([](QDialog *options) {
            options->findChild<QLineEdit *>("lineEditFrames")->setText("1");
            options->accept();
        });
    }
    clickEncoder();

    QVERIFY(!driver->boxes.isEmpty());
    QCOMPARE(driver->boxes[0].title, QStringLiteral("Check the clip"));
    QVERIFY2(driver->boxes[0].text.contains("1 whole frames of 720x576, fewer than the 3 frames"),
             qPrintable(driver->boxes[0].text));
    if (framesLine.isEmpty()) {
        QCOMPARE(busyDialogCount(), 0);
        QVERIFY2(!QFile::exists(path("config.txt")), "config.txt written for a stopped encode");
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(driver->boxes.size(), 2, 10000);
    QCOMPARE(driver->boxes[1].title, QStringLiteral("Encode complete"));
    QVERIFY2(readFile("config.copy").contains(framesLine), readFile("config.copy").constData());
}

void TestEncodeRoad::refusedClipStartsNothing()
{
    QVERIFY(QFile::resize(inputPath, 0));
    answerChoices();
    clickEncoder();

    QCOMPARE(driver->boxes.size(), 1);
    QCOMPARE(driver->boxes[0].title, QStringLiteral("Cannot encode"));
    QVERIFY2(driver->boxes[0].text.contains("is empty"), qPrintable(driver->boxes[0].text));
    QCOMPARE(busyDialogCount(), 0);
    QVERIFY(!QFile::exists(path("config.txt")));
}

void TestEncodeRoad::existingStreamIsReplacedOnlyWhenAsked_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("encoded");

    QTest::newRow("replace: the encoder runs") << "Replace" << true;
    QTest::newRow("cancel: nothing starts, nothing changes") << "Cancel" << false;
}

void TestEncodeRoad::existingStreamIsReplacedOnlyWhenAsked()
{
    QFETCH(QString, answer);
    QFETCH(bool, encoded);
    QFile stream(outputDir + "/stream.dat");
    QVERIFY(stream.open(QIODevice::WriteOnly) && stream.write("an earlier stream") > 0);
    stream.close();
    answerChoices();
    driver->answerBox(answer);
    clickEncoder();

    QCOMPARE(driver->boxes[0].title, QStringLiteral("Replace stream.dat?"));
    if (encoded) {
        QTRY_COMPARE_WITH_TIMEOUT(driver->boxes.size(), 2, 10000);
        QCOMPARE(driver->boxes[1].title, QStringLiteral("Encode complete"));
        return;
    }
    QCOMPARE(busyDialogCount(), 0);
    QVERIFY(!QFile::exists(path("config.txt")));
    QVERIFY(stream.open(QIODevice::ReadOnly));
    QCOMPARE(stream.readAll(), QByteArray("an earlier stream"));
}

// The first window's encoder holds on until the file "hold" goes.
void TestEncodeRoad::secondWindowIsBlockedByTheLock()
{
    QFile hold(path("hold"));
    QVERIFY(hold.open(QIODevice::WriteOnly));
    answerChoices();
    clickEncoder();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path("config.copy")), 10000);
    const QByteArray firstConfig = readFile("config.txt");

    MainWindow second;
    second.show();
    answerChoices();
    second.findChild<QPushButton *>("pushButtonEnc")->click();
    QTRY_COMPARE_WITH_TIMEOUT(driver->boxes.size(), 1, 10000);
    QCOMPARE(driver->boxes[0].title, QStringLiteral("Encode failed"));
    QVERIFY2(driver->boxes[0].text.contains("Another encode"), qPrintable(driver->boxes[0].text));
    QCOMPARE(readFile("config.txt"), firstConfig);

    QVERIFY(hold.remove());
    QTRY_COMPARE_WITH_TIMEOUT(driver->boxes.size(), 2, 10000);
    QCOMPARE(driver->boxes[1].title, QStringLiteral("Encode complete"));
    answerChoices();
    second.findChild<QPushButton *>("pushButtonEnc")->click();
    QTRY_COMPARE_WITH_TIMEOUT(driver->boxes.size(), 3, 10000);
    QCOMPARE(driver->boxes[2].title, QStringLiteral("Encode complete"));
}

// A lock left by a program that is gone, as after a crash: Qt's own lock
// with the id of a process that has ended.
void TestEncodeRoad::staleLockDoesNotBlock()
{
    QByteArray lockText;
    {
        QLockFile lock(path("config.txt.lock"));
        QVERIFY(lock.tryLock(0));
        lockText = readFile("config.txt.lock");
    }
    QProcess gone;
    gone.start("true", QStringList());
    QVERIFY(gone.waitForStarted());
    const qint64 gonePid = gone.processId();
    QVERIFY(gone.waitForFinished());
    lockText.replace(0, lockText.indexOf('\n'), QByteArray::number(gonePid));
    QFile lock(path("config.txt.lock"));
    QVERIFY(lock.open(QIODevice::WriteOnly) && lock.write(lockText) == lockText.size());
    lock.close();
    answerChoices();
    clickEncoder();

    QTRY_COMPARE_WITH_TIMEOUT(driver->boxes.size(), 1, 10000);
    QCOMPARE(driver->boxes[0].title, QStringLiteral("Encode complete"));
}

QTEST_MAIN(TestEncodeRoad)
#include "tst_encoderoad.moc"
