#include "settings/settingsstore.h"
#include "faketools.h"
#include "mainwindow/mainwindow.h"
#include "modaldriver.h"
#include "testsettings.h"

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

private:
    QString path(const QString &name) const { return workDir.filePath(name); }
    QByteArray readFile(const QString &name) const;
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
    QFile clip(inputPath);
    QVERIFY(clip.open(QIODevice::WriteOnly));
    SettingsStore().clear();
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
             "file_in " + inputPath.toUtf8() + "\nwidth 1920\nheight 1080\nnframes 32\n"
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

QTEST_MAIN(TestEncodeRoad)
#include "tst_encoderoad.moc"
