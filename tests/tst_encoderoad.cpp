#include "answeredchoices.h"
#include "clipmaker.h"
#include "faketools.h"
#include "foldername.h"
#include "mainwindow/mainwindow.h"
#include "modaldriver.h"
#include "settings/settingsstore.h"
#include "testsettings.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

// The "Encoder" road from the button to the encoder's start: what the window
// asks, what each answer leads to, and what it shows when an encode cannot
// begin. The fake encoder keeps a copy of its configuration.
class TestEncodeRoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void asksForClipThenFolder();
    void cancellingAChoiceStartsNothing_data();
    void cancellingAChoiceStartsNothing();
    void optionsChangedThenCancelledAreKept();
    void previewRedrawsAtTheChosenSize();
    void lineBreakInAPathIsRefused_data();
    void lineBreakInAPathIsRefused();
    void clipWarningAnswers_data();
    void clipWarningAnswers();
    void refusedClipStartsNothing();
    void existingStreamIsReplacedOnlyWhenAsked_data();
    void existingStreamIsReplacedOnlyWhenAsked();
    void encodeThatCannotBeginIsShown_data();
    void encodeThatCannotBeginIsShown();

private:
    QString path(const QString &name) const { return workDir.filePath(name); }
    QByteArray readFile(const QString &name) const;
    void answerClipAndFolder();
    void expectOptions(const ModalDriver::Answer &answer = acceptDialog());
    void clickEncoder();

    QTemporaryDir tempDir;
    QDir workDir;
    QString inputPath;
    QString outputDir;
    MainWindow *window = nullptr;
    AnsweredChoices *choices = nullptr;
    ModalDriver *driver = nullptr;
};

void TestEncodeRoad::initTestCase()
{
    QVERIFY(tempDir.isValid());
    isolateSettings(tempDir.filePath("settings"));
    const QString binDir = tempDir.filePath("bin");
    QVERIFY(QDir().mkpath(binDir));
    putFirstOnPath(binDir);
    QVERIFY(installFakeTool(binDir, "encoder.exe",
                            "copyarg config.copy\nwait go\nout Compression rate: 3\\n\n"));
}

// Each test starts in a fresh working folder holding one clip and an output
// folder; its encoder finishes once the file "go" is there.
void TestEncodeRoad::init()
{
    const QString folder = tempDir.filePath(
        folderNameFrom(QTest::currentTestFunction() + QString(QTest::currentDataTag()).remove(' ')));
    QVERIFY(QDir().mkpath(folder + "/clips/out put"));
    QVERIFY(QDir::setCurrent(folder));
    workDir.setPath(folder);
    QFile go(path("go"));
    QVERIFY(go.open(QIODevice::WriteOnly));
    inputPath = path("clips/in clip.yuv");
    outputDir = path("clips/out put");
    QVERIFY(writeSmallClip(inputPath));
    SettingsStore().clear();
    storeSmallClipOptions();
    auto answered = std::make_unique<AnsweredChoices>();
    choices = answered.get();
    window = new MainWindow(QString(), std::move(answered));
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

void TestEncodeRoad::answerClipAndFolder()
{
    choices->answers << inputPath << outputDir;
}

void TestEncodeRoad::expectOptions(const ModalDriver::Answer &answer)
{
    driver->expect("optDialog", "Dialog", answer);
}

void TestEncodeRoad::clickEncoder()
{
    window->findChild<QPushButton *>("pushButtonEnc")->click();
}

void TestEncodeRoad::asksForClipThenFolder()
{
    SettingsStore().setValue(SettingsKeys::pathOpen, path("earlier"));
    answerClipAndFolder();
    expectOptions();
    QSignalSpy ended(window, &MainWindow::jobEnded);
    driver->expectBox("Encode complete");
    clickEncoder();

    const QList<Question> asked{
        {"file", "Open Media File", path("earlier"), "YUV files (*.yuv);;All files (*.*)", 0},
        {"folder", "Open directory for save", path("clips"), "",
         int(QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks)}};
    QVERIFY(choices->asked == asked);
    QVERIFY2(ended.wait(20000), "the encode never ended");
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
    QCOMPARE(driver->boxes[0].text, QStringLiteral("Compression rate: 3\n"));
    QVERIFY(readFile("config.copy").startsWith("file_in " + inputPath.toUtf8() + "\n"));
    QCOMPARE(SettingsStore().value(SettingsKeys::pathOpen).toString(), path("clips"));
}

void TestEncodeRoad::cancellingAChoiceStartsNothing_data()
{
    QTest::addColumn<int>("answered");
    QTest::addColumn<QString>("pathOpenAfter");

    QTest::newRow("file dialog cancelled: pathOpen unchanged") << 0 << "/nowhere";
    QTest::newRow("folder dialog cancelled: pathOpen already moved") << 1 << "clips";
    QTest::newRow("options cancelled: pathOpen moved") << 2 << "clips";
}

void TestEncodeRoad::cancellingAChoiceStartsNothing()
{
    QFETCH(int, answered);
    QFETCH(QString, pathOpenAfter);
    SettingsStore().setValue(SettingsKeys::pathOpen, "/nowhere");
    choices->answers << QStringList{inputPath, outputDir}.mid(0, answered) << QString();
    if (answered == 2)
        expectOptions(rejectDialog());
    clickEncoder();
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));

    QCOMPARE(choices->asked.size(), qMin(answered + 1, 2));
    QCOMPARE(busyDialogCount(), 0);
    QVERIFY2(!QFile::exists(path("config.txt")), "config.txt written for an abandoned encode");
    const QString expected = pathOpenAfter.startsWith('/') ? pathOpenAfter : path(pathOpenAfter);
    QCOMPARE(SettingsStore().value(SettingsKeys::pathOpen).toString(), expected);
}

void TestEncodeRoad::optionsChangedThenCancelledAreKept()
{
    answerClipAndFolder();
    expectOptions([](QDialog *options) {
        options->findChild<QSpinBox *>("spinBoxQuality")->setValue(40);
        options->reject();
    });
    clickEncoder();
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
    QVERIFY(!QFile::exists(path("config.txt")));

    int qualityShown = -1;
    answerClipAndFolder();
    expectOptions([&qualityShown](QDialog *options) {
        qualityShown = options->findChild<QSpinBox *>("spinBoxQuality")->value();
        options->accept();
    });
    driver->expectBox("Encode complete");
    QSignalSpy ended(window, &MainWindow::jobEnded);
    clickEncoder();
    QCOMPARE(qualityShown, 40);
    QVERIFY2(ended.wait(20000), "the encode never ended");
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
    QVERIFY(readFile("config.copy").endsWith("\nquality_param 40\n"));
}

// Whether the preview's picture is red at its centre, and its frame counter.
static QString previewSeen(QDialog *options)
{
    auto *picture = options->findChild<QLabel *>("labelPicture");
    auto *counter = options->findChild<QLabel *>("labelFrame");
    if (!picture || !counter)
        return QStringLiteral("no preview");
    const QImage shown = picture->grab().toImage();
    const QColor centre = shown.pixelColor(shown.rect().center());
    const bool red = centre.red() > 200 && centre.green() < 60 && centre.blue() < 60;
    return (red ? QStringLiteral("red, ") : QStringLiteral("not red, ")) + counter->text();
}

// Three 1280x720 frames, the first red (limited range): at 1920x1080 they
// make one frame, the red one's bytes smeared across the top of it.
void TestEncodeRoad::previewRedrawsAtTheChosenSize()
{
    const QByteArray grey = solidFrame(1280, 720, 128, 128, 128);
    QVERIFY(writeClip(inputPath, solidFrame(1280, 720, 81, 90, 240) + grey + grey));
    SettingsStore().setValue(SettingsKeys::width, 1280);
    SettingsStore().setValue(SettingsKeys::height, 720);
    SettingsStore().setValue(SettingsKeys::nFrames, 32);
    answerClipAndFolder();
    QStringList seen;
    expectOptions([&seen](QDialog *options) {
        seen << previewSeen(options);
        auto *resolution = options->findChild<QComboBox *>("comboBoxResolution");
        resolution->setCurrentIndex(resolution->findText("1920x1080"));
        seen << previewSeen(options);
        options->reject();
    });
    clickEncoder();
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
    QCOMPARE(seen, QStringList({"red, frame 1 of 3", "not red, frame 1 of 1"}));
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
    if (isFolder)
        choices->answers << inputPath;
    choices->answers << badPath;
    driver->expectBox("Encode failed");
    clickEncoder();
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));

    QCOMPARE(driver->boxes[0].icon, QMessageBox::Warning);
    QVERIFY2(driver->boxes[0].text.contains("line break"), qPrintable(driver->boxes[0].text));
    QCOMPARE(choices->asked.size(), isFolder ? 2 : 1);
    QVERIFY(!QFile::exists(path("config.txt")));
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
    answerClipAndFolder();
    expectOptions();
    driver->expectBox("Check the clip", answer);
    if (answer == QLatin1String("Back to options")) {
        expectOptions([](QDialog *options) {
            options->findChild<QLineEdit *>("lineEditFrames")->setText("1");
            options->accept();
        });
    }
    if (!framesLine.isEmpty())
        driver->expectBox("Encode complete");
    QSignalSpy ended(window, &MainWindow::jobEnded);
    window->findChild<QPushButton *>("pushButtonEnc")->click();

    QVERIFY2(driver->boxes[0].text.contains("1 whole frames of 720x576, fewer than the 3 frames"),
             qPrintable(driver->boxes[0].text));
    if (framesLine.isEmpty()) {
        QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
        QVERIFY2(!QFile::exists(path("config.txt")), "config.txt written for a stopped encode");
        return;
    }
    QVERIFY2(ended.wait(20000), "the encode never ended");
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
    QVERIFY2(readFile("config.copy").contains(framesLine), readFile("config.copy").constData());
}

void TestEncodeRoad::refusedClipStartsNothing()
{
    QVERIFY(QFile::resize(inputPath, 0));
    answerClipAndFolder();
    expectOptions();
    driver->expectBox("Cannot encode");
    clickEncoder();
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));

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
    answerClipAndFolder();
    expectOptions();
    driver->expectBox("Replace stream.dat?", answer);
    if (encoded)
        driver->expectBox("Encode complete");
    QSignalSpy ended(window, &MainWindow::jobEnded);
    window->findChild<QPushButton *>("pushButtonEnc")->click();

    QVERIFY2(driver->boxes[0].text.contains(QDir::toNativeSeparators(outputDir + "/stream.dat") + " already exists"),
             qPrintable(driver->boxes[0].text));
    if (encoded) {
        QVERIFY2(ended.wait(20000), "the encode never ended");
        QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
        return;
    }
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
    QVERIFY(!QFile::exists(path("config.txt")));
    QVERIFY(stream.open(QIODevice::ReadOnly));
    QCOMPARE(stream.readAll(), QByteArray("an earlier stream"));
}

void TestEncodeRoad::encodeThatCannotBeginIsShown_data()
{
    QTest::addColumn<QString>("inTheWay");
    QTest::addColumn<QString>("text");

    QTest::newRow("config.txt cannot be written")
        << "folder named config.txt" << "Cannot write the encoder configuration";
    QTest::newRow("another window's encoder holds config.txt")
        << "another window" << "Another encode started from this folder is still running";
}

// The job says why it cannot begin; the window shows it and starts nothing.
void TestEncodeRoad::encodeThatCannotBeginIsShown()
{
    QFETCH(QString, inTheWay);
    QFETCH(QString, text);
    if (inTheWay == "another window") {
        // The first window's encoder holds on until "go" is back.
        QVERIFY(QFile::remove(path("go")));
        answerClipAndFolder();
        expectOptions();
        clickEncoder();
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path("config.copy")), 20000);
    } else {
        QVERIFY(workDir.mkdir("config.txt"));
    }
    const QByteArray configBefore = readFile("config.txt");
    MainWindow second(QString(), [this] {
        auto answered = std::make_unique<AnsweredChoices>();
        answered->answers << inputPath << outputDir;
        return answered;
    }());
    expectOptions();
    driver->expectBox("Encode failed");
    second.findChild<QPushButton *>("pushButtonEnc")->click();

    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
    QCOMPARE(driver->boxes.last().icon, QMessageBox::Warning);
    QVERIFY2(driver->boxes.last().text.contains(text), qPrintable(driver->boxes.last().text));
    QCOMPARE(busyDialogCount(), inTheWay == "another window" ? 1 : 0);
    QCOMPARE(readFile("config.txt"), configBefore);
    if (inTheWay == "another window") {
        QSignalSpy ended(window, &MainWindow::jobEnded);
        driver->expectBox("Encode complete");
        QFile go(path("go"));
        QVERIFY(go.open(QIODevice::WriteOnly));
        QVERIFY2(ended.wait(20000), "the first window's encode never ended");
        QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
    }
}

QTEST_MAIN(TestEncodeRoad)
#include "tst_encoderoad.moc"
