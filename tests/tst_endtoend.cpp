#include "answeredchoices.h"
#include "faketools.h"
#include "mainwindow/mainwindow.h"
#include "settings/settingsstore.h"
#include "modaldriver.h"
#include "testsettings.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// Both roads with the real stand-in codec tools: a small clip goes through
// "Encoder" into stream.dat, and "Decoder" turns that back into a clip.
class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void encodeThenDecode();
    void cleanupTestCase();

private:
    static QByteArray makeClip(int width, int height, int frames);

    QTemporaryDir tempDir;
};

void TestEndToEnd::initTestCase()
{
    QVERIFY(tempDir.isValid());
    isolateSettings(tempDir.filePath("settings"));
    putFirstOnPath(QStringLiteral(TOOLS_DIR));
    QVERIFY(QDir::setCurrent(tempDir.path()));
}

// A moving gradient, so the encoder has something to predict.
QByteArray TestEndToEnd::makeClip(int width, int height, int frames)
{
    QByteArray clip;
    for (int f = 0; f < frames; ++f) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                clip.append(char((x + y + 4 * f) & 0xff));
        clip.append(QByteArray(width * height / 2, char(128 + f)));
    }
    return clip;
}

void TestEndToEnd::encodeThenDecode()
{
    const int frames = 3;
    const QByteArray clip = makeClip(720, 576, frames);
    QVERIFY(QDir().mkpath(tempDir.filePath("out")));
    QFile clipFile(tempDir.filePath("clip.yuv"));
    QVERIFY(clipFile.open(QIODevice::WriteOnly) && clipFile.write(clip) == clip.size());
    clipFile.close();
    SettingsStore store;
    store.setValue(SettingsKeys::width, 720);
    store.setValue(SettingsKeys::height, 576);
    store.setValue(SettingsKeys::nFrames, QString::number(frames));

    auto answered = std::make_unique<AnsweredChoices>();
    AnsweredChoices *choices = answered.get();
    MainWindow window(QString(), std::move(answered));
    window.show();
    ModalDriver driver;
    QSignalSpy ended(&window, &MainWindow::jobEnded);
    choices->answers << clipFile.fileName() << tempDir.filePath("out");
    driver.expect("optDialog", "Dialog", acceptDialog());
    driver.expectBox("Encode complete");
    window.findChild<QPushButton *>("pushButtonEnc")->click();
    QVERIFY2(ended.wait(60000), "the encode never ended");
    QVERIFY2(driver.allAnswered(), qPrintable(driver.state() + "\n" + driver.boxes.value(0).text));
    const QString report = driver.boxes[0].text;
    QVERIFY2(report.startsWith("Compression rate"), qPrintable(report));
    for (const char *figure : {"PSNR Mean Y:", "SSIM Mean Y:", "kbit/s at 25 frames per second"})
        QVERIFY2(report.contains(QLatin1String(figure)), qPrintable(figure + (" missing in:\n" + report)));
    const QString stream = tempDir.filePath("out/stream.dat");
    QVERIFY2(QFileInfo(stream).size() > 0, "no stream.dat in the output folder");

    // A clip already there keeps its name and its bytes; the decoder picks the next free name.
    QFile earlier(tempDir.filePath("out/stream.yuv"));
    QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
    earlier.close();
    choices->answers << stream;
    driver.expectBox("Decode complete");
    window.findChild<QPushButton *>("pushButtonDec")->click();
    QVERIFY2(ended.wait(60000), "the decode never ended");
    QVERIFY2(driver.allAnswered(), qPrintable(driver.state() + "\n" + driver.boxes.value(1).text));
    const QString written = tempDir.filePath("out/stream-1.yuv");
    QVERIFY2(driver.boxes[1].text.startsWith("Decode complete\n\n"), qPrintable(driver.boxes[1].text));
    QVERIFY2(driver.boxes[1].text.contains(QDir::toNativeSeparators(written)), qPrintable(driver.boxes[1].text));
    QCOMPARE(QFileInfo(written).size(), qint64(clip.size()));
    QCOMPARE(QFileInfo(earlier.fileName()).size(), qint64(7));
}

// Out of the temporary folder, which Windows cannot remove while it is a
// working folder.
void TestEndToEnd::cleanupTestCase()
{
    QDir::setCurrent(QDir::tempPath());
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
