#include "answeredchoices.h"
#include "clipmaker.h"
#include "faketools.h"
#include "mainwindow/mainwindow.h"
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
    QTemporaryDir tempDir;
};

void TestEndToEnd::initTestCase()
{
    QVERIFY(tempDir.isValid());
    isolateSettings(tempDir.filePath("settings"));
    putFirstOnPath(QStringLiteral(TOOLS_DIR));
    QVERIFY(QDir::setCurrent(tempDir.path()));
}

void TestEndToEnd::encodeThenDecode()
{
    const int frames = 3;
    const QString clip = tempDir.filePath("clip.yuv");
    QVERIFY(writeSmallClip(clip, frames));
    QVERIFY(QDir().mkpath(tempDir.filePath("out")));
    storeSmallClipOptions(frames);

    auto answered = std::make_unique<AnsweredChoices>();
    AnsweredChoices *choices = answered.get();
    MainWindow window(QString(), std::move(answered));
    window.show();
    ModalDriver driver;
    QSignalSpy ended(&window, &MainWindow::jobEnded);
    choices->answers << clip << tempDir.filePath("out");
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
    QCOMPARE(QFileInfo(written).size(), qint64(frames) * smallFrameBytes);
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
