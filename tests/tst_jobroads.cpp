#include "answeredchoices.h"
#include "faketools.h"
#include "mainwindow/mainwindow.h"
#include "modaldriver.h"
#include "settings/settingsstore.h"
#include "smallclip.h"
#include "testsettings.h"

#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

Q_DECLARE_METATYPE(QMessageBox::Icon)

// The "Decoder" road, the roads a dropped file starts, and how the window
// shows a job's end, its progress and its Cancel, with the fake codec tool.
class TestJobRoads : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void decodeRoadAsksAndRemembersTheFolder();
    void cancelledFileDialogChangesNothing();
    void endIsShown_data();
    void endIsShown();
    void reportPhraseIsTranslated();
    void hugeReportStaysReadable();
    void cancelClosesTheBusyDialogAndStopsTheTool();
    void busyDialogShowsToolProgress_data();
    void busyDialogShowsToolProgress();
    void missingToolIsShownAndNextJobRuns();
    void dropStartsItsRoad_data();
    void dropStartsItsRoad();
    void dragIsRefusedWhileAJobRuns();

private:
    QString path(const QString &name) const { return tempDir.filePath(name); }
    bool tool(const QString &name, const QByteArray &plan) const { return installFakeTool(binDir, name, plan); }
    void clickDecoder(const QString &streamPath);
    void answerEncodeChoices();
    void clickEncoder();
    bool drop(const QStringList &files);

    QTemporaryDir tempDir;
    QString binDir;
    MainWindow *window = nullptr;
    AnsweredChoices *choices = nullptr;
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
    QFile notes(path("notes.txt"));
    QVERIFY(notes.open(QIODevice::WriteOnly));
#ifdef Q_OS_UNIX
    QVERIFY(QFile::link(path("gone.yuv"), path("dangling.yuv")));
    QCOMPARE(mkfifo(QFile::encodeName(path("pipe.yuv")).constData(), 0600), 0);
#endif
}

void TestJobRoads::init()
{
    SettingsStore().clear();
    storeSmallClipOptions();
    QFile::remove(QDir(binDir).filePath("decoder.exe"));
    QFile::remove(QDir(binDir).filePath("encoder.exe"));
    for (const char *name : {"go", "told", "pid", "args"})
        QFile::remove(path(name));
    auto answered = std::make_unique<AnsweredChoices>();
    choices = answered.get();
    window = new MainWindow(QString(), std::move(answered));
    window->show();
    driver = new ModalDriver;
}

void TestJobRoads::cleanup()
{
    delete driver;
    delete window;
}

void TestJobRoads::clickDecoder(const QString &streamPath)
{
    choices->answers << streamPath;
    window->findChild<QPushButton *>("pushButtonDec")->click();
}

// The clip, the output folder and "Ok" in the options.
void TestJobRoads::answerEncodeChoices()
{
    choices->answers << path("in.yuv") << path("out");
    driver->expect("optDialog", "Dialog", acceptDialog());
}

void TestJobRoads::clickEncoder()
{
    window->findChild<QPushButton *>("pushButtonEnc")->click();
}

void TestJobRoads::decodeRoadAsksAndRemembersTheFolder()
{
    QVERIFY(tool("decoder.exe", "args args\n"));
    const QString otherFolder = path("other folder");
    QVERIFY(QDir().mkpath(otherFolder));
    SettingsStore().setValue(SettingsKeys::decPath, path("earlier"));
    driver->expectBox("Decode complete");
    QSignalSpy ended(window, &MainWindow::jobEnded);

    clickDecoder(otherFolder + "/clip.dat");
    QVERIFY2(ended.wait(20000), "the decode never ended");
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
    const Question asked{"file", "Open Media File", path("earlier"), "DAT files (*.dat);;All files (*.*)", 0};
    QVERIFY(choices->asked == QList<Question>{asked});
    QFile args(path("args"));
    QVERIFY(args.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(args.readAll()), "1|" + otherFolder + "/clip.dat");

    // The next decode starts where the last stream was.
    choices->answers << QString();
    window->findChild<QPushButton *>("pushButtonDec")->click();
    QCOMPARE(choices->asked.last().folder, otherFolder);
}

void TestJobRoads::cancelledFileDialogChangesNothing()
{
    QVERIFY(tool("decoder.exe", "touch told\n"));
    SettingsStore().setValue(SettingsKeys::decPath, tempDir.path());

    clickDecoder(QString());
    QCOMPARE(busyDialogCount(), 0);
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
    QCOMPARE(SettingsStore().value(SettingsKeys::decPath).toString(), tempDir.path());
}

void TestJobRoads::endIsShown_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QByteArray>("plan");
    QTest::addColumn<QMessageBox::Icon>("icon");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    QTest::newRow("decode: complete") << "decoder.exe" << QByteArray("exit 0\n") << QMessageBox::NoIcon
                                      << "Decode complete" << "Decode complete";
    QTest::newRow("decode with a report: the decoder's lines follow")
        << "decoder.exe" << QByteArray("out Decoded 3 frames of 128x96\\nOutput: 55296 bytes -> /v/s-1.yuv\\n\n")
        << QMessageBox::NoIcon << "Decode complete"
        << "Decode complete\n\nDecoded 3 frames of 128x96\nOutput: 55296 bytes -> /v/s-1.yuv\n";
    QTest::newRow("decoder crash: failed, said to have crashed")
        << "decoder.exe" << QByteArray("crash\n") << QMessageBox::Warning << "Decode failed" << "decoder.exe crashed.";
    QTest::newRow("encode: the report cut at the phrase")
        << "encoder.exe" << QByteArray("out frame 1\\nCompression rate: 5.1\\n\n") << QMessageBox::NoIcon
        << "Encode complete" << "Compression rate: 5.1\n";
    QTest::newRow("encode that said nothing: no box at all")
        << "encoder.exe" << QByteArray("exit 0\n") << QMessageBox::NoIcon << "" << "";
    QTest::newRow("markup stays plain text")
        << "encoder.exe" << QByteArray("out <b>Compression rate</b> 4\n") << QMessageBox::NoIcon
        << "Encode complete" << "Compression rate</b> 4";
    QTest::newRow("failing encoder: a warning, its report kept")
        << "encoder.exe" << QByteArray("out bad input\\nCompression rate: n/a\\n\nexit 2\n")
        << QMessageBox::Warning << "Encode failed"
        << "encoder.exe stopped with exit code 2.\n\nCompression rate: n/a\n";
}

void TestJobRoads::endIsShown()
{
    QFETCH(QString, program);
    QFETCH(QByteArray, plan);
    QFETCH(QMessageBox::Icon, icon);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QVERIFY(tool(program, plan));
    if (program == "encoder.exe")
        answerEncodeChoices();
    if (!title.isEmpty())
        driver->expectBox(title);
    QSignalSpy ended(window, &MainWindow::jobEnded);

    if (program == "decoder.exe")
        clickDecoder(path("stream.dat"));
    else
        clickEncoder();
    QVERIFY2(ended.wait(20000), qPrintable("the job never ended; " + driver->state()));
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
    QCOMPARE(busyDialogCount(), 0);
    if (title.isEmpty())
        return;
    QCOMPARE(driver->boxes.last().icon, icon);
    QCOMPARE(driver->boxes.last().text, text);
}

void TestJobRoads::reportPhraseIsTranslated()
{
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(APP_CATALOGUE)));
    QCoreApplication::installTranslator(&translator);
    QVERIFY(tool("encoder.exe", "out log\\nCompression rate: 7\\n\n"));
    QSignalSpy ended(window, &MainWindow::jobEnded);
    choices->answers << path("in.yuv") << path("out");
    driver->expect("optDialog", QString::fromUtf8("Параметры кодирования"), acceptDialog());
    driver->expectBox(QString::fromUtf8("Кодирование завершено"));
    clickEncoder();

    const bool endedInTime = ended.wait(20000);
    QCoreApplication::removeTranslator(&translator);
    QVERIFY2(endedInTime, "the encode never ended");
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
    QCOMPARE(driver->boxes[0].text, QString::fromUtf8("Степень сжатия: 7\n"));
}

// A report far longer than a box can show: its first lines, the rest under "Show Details...".
void TestJobRoads::hugeReportStaysReadable()
{
    QVERIFY(tool("encoder.exe", "out Compression rate: 2\\n\nrepeat 5000 frame statistics line\\n\n"));
    answerEncodeChoices();
    driver->expectBox("Encode complete");
    QSignalSpy ended(window, &MainWindow::jobEnded);

    clickEncoder();
    QVERIFY2(ended.wait(20000), "the encode never ended");
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
    const SeenBox &box = driver->boxes[0];
    QVERIFY2(box.text.size() < 3000, qPrintable(QString::number(box.text.size())));
    QVERIFY(box.text.startsWith("Compression rate: 2\n"));
    QVERIFY(box.text.endsWith("The full report is under \"Show Details...\"."));
    QCOMPARE(box.detailedText.count("frame statistics line\n"), 5000);
}

void TestJobRoads::cancelClosesTheBusyDialogAndStopsTheTool()
{
    QVERIFY(tool("decoder.exe", "pid pid\nwait never\n"));
    QSignalSpy ended(window, &MainWindow::jobEnded);
    clickDecoder(path("stream.dat"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path("pid")), 20000);
    QProgressDialog *busy = busyDialog();
    QVERIFY2(busy, "no busy dialog while the decoder runs");

    busy->findChild<QPushButton *>()->click();
    QCOMPARE(busyDialogCount(), 0);
    QVERIFY2(ended.wait(20000), "the cancelled job never ended");
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));

    // The next job runs, and only its end is shown.
    QVERIFY(tool("decoder.exe", "exit 0\n"));
    driver->expectBox("Decode complete");
    clickDecoder(path("stream.dat"));
    QVERIFY2(ended.wait(20000), "the next decode never ended");
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
}

void TestJobRoads::busyDialogShowsToolProgress_data()
{
    QTest::addColumn<QByteArray>("progressLines");
    QTest::addColumn<int>("barMaximum");
    QTest::addColumn<int>("barValue");
    QTest::addColumn<QString>("label");

    QTest::newRow("encoder's form, cut into pieces: a bar and frames, speed, time left")
        << QByteArray("err [5.0%] 2/40 fra\nerr mes, 3.00 fps, eta 0:00:13\\r\n"
                      "err [12.3%] 45/366 frames, 23.10 fps, eta 0:00:14\\r\n")
        << 1000 << 123 << QString::fromUtf8("Frame 45 of 366 \u00b7 23 fps \u00b7 about 0:14 left");
    QTest::newRow("no progress lines: a busy indicator and no label")
        << QByteArray("err decoding\\n\n") << 0 << -1 << QString();
}

// The tool tells its progress, then waits for the test to let it end.
void TestJobRoads::busyDialogShowsToolProgress()
{
    QFETCH(QByteArray, progressLines);
    QFETCH(int, barMaximum);
    QFETCH(int, barValue);
    QFETCH(QString, label);
    QVERIFY(tool("decoder.exe", progressLines + "touch told\nwait go\n"));
    driver->expectBox("Decode complete");
    QSignalSpy ended(window, &MainWindow::jobEnded);

    clickDecoder(path("stream.dat"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path("told")), 20000);
    QProgressDialog *busy = busyDialog();
    QVERIFY2(busy, "no busy dialog while the decoder runs");
    auto *bar = busy->findChild<QProgressBar *>();
    QTRY_COMPARE_WITH_TIMEOUT(bar->maximum(), barMaximum, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(bar->value(), barValue, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(busy->labelText(), label, 10000);
    QFile go(path("go"));
    QVERIFY(go.open(QIODevice::WriteOnly));
    QVERIFY2(ended.wait(20000), "the decode never ended");
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
}

void TestJobRoads::missingToolIsShownAndNextJobRuns()
{
    driver->expectBox("Decode failed");
    QSignalSpy ended(window, &MainWindow::jobEnded);
    clickDecoder(path("stream.dat"));
    QVERIFY2(ended.wait(20000), "the failed start was never shown");
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
    QCOMPARE(driver->boxes[0].icon, QMessageBox::Warning);
    QVERIFY2(driver->boxes[0].text.startsWith("decoder.exe could not be started."),
             qPrintable(driver->boxes[0].text));
    QCOMPARE(busyDialogCount(), 0);

    QVERIFY(tool("decoder.exe", "exit 0\n"));
    driver->expectBox("Decode complete");
    clickDecoder(path("stream.dat"));
    QVERIFY2(ended.wait(20000), "the next decode never ended");
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
    QCOMPARE(busyDialogCount(), 0);
}

// Drags files, named in the test's folder or by URL, onto the window and
// drops them with Shift held, which asks for a move; true when the window
// took both the drag and the drop, as a copy: the program the files came
// from must not delete them.
bool TestJobRoads::drop(const QStringList &files)
{
    QList<QUrl> urls;
    for (const QString &file : files)
        urls << (file.contains("://") ? QUrl(file) : QUrl::fromLocalFile(path(file)));
    QMimeData mime;
    mime.setUrls(urls);
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(QPoint(10, 10), actions, &mime, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(window, &enter);
    QDropEvent dropped(QPointF(10, 10), actions, &mime, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(window, &dropped);
    return enter.isAccepted() && enter.dropAction() == Qt::CopyAction && dropped.isAccepted()
        && dropped.dropAction() == Qt::CopyAction;
}

void TestJobRoads::dropStartsItsRoad_data()
{
    QTest::addColumn<QStringList>("files");
    // "Encoder", "Decoder", or the words of the refusal.
    QTest::addColumn<QString>("road");

    QTest::newRow("a clip: the encoder's road, from the folder question on") << QStringList{"in.yuv"} << "Encoder";
    QTest::newRow("a stream: the decoder at once") << QStringList{"stream.dat"} << "Decoder";
    // Paths are shown as the system writes them.
    QTest::newRow("a text file: refused") << QStringList{"notes.txt"}
                                          << QDir::toNativeSeparators("/notes.txt is neither a .yuv clip nor a .dat stream.");
    QTest::newRow("a folder: refused as a folder") << QStringList{"out"} << QDir::toNativeSeparators("/out is a folder.");
    QTest::newRow("a clip that is not there: refused as missing")
        << QStringList{"missing.yuv"} << QDir::toNativeSeparators("/missing.yuv does not exist.");
    const QString inHere = QUrl::fromLocalFile(path("in.yuv")).path();
    QTest::newRow("a clip on localhost: the encoder's road") << QStringList{"file://localhost" + inHere} << "Encoder";
    QTest::newRow("a clip on this computer by its name: the encoder's road")
        << QStringList{"file://" + QSysInfo::machineHostName() + inHere} << "Encoder";
#ifdef Q_OS_UNIX
    QTest::newRow("a clip on another computer: refused, naming it")
        << QStringList{"file://elsewhere.example/in.yuv"}
        << "file://elsewhere.example/in.yuv is on the computer elsewhere.example, not on this one.";
    QTest::newRow("a link to nothing: refused as such")
        << QStringList{"dangling.yuv"} << "/dangling.yuv is a link to " + path("gone.yuv") + ", which does not exist.";
    // The file dialog takes it too; the clip check knows a pipe has no size.
    QTest::newRow("a pipe named as a clip: the encoder's road") << QStringList{"pipe.yuv"} << "Encoder";
#endif
    QTest::newRow("a clip and a stream: refused") << QStringList{"in.yuv", "stream.dat"}
                                                  << "Drop one file at a time.";
    QTest::newRow("a clip on the web: refused") << QStringList{"https://example.com/in.yuv"}
                                                << "https://example.com/in.yuv is not a file on this computer.";
}

void TestJobRoads::dropStartsItsRoad()
{
    QFETCH(QStringList, files);
    QFETCH(QString, road);
    QVERIFY(tool("encoder.exe", "out Compression rate: 3\\n\n"));
    QVERIFY(tool("decoder.exe", "args args\n"));
    SettingsStore().setValue(SettingsKeys::pathOpen, path("earlier"));
    SettingsStore().setValue(SettingsKeys::decPath, path("earlier"));
    if (road == "Encoder") {
        choices->answers << path("out");
        driver->expect("optDialog", "Dialog", acceptDialog());
    }
    driver->expectBox(road == "Encoder" ? "Encode complete" : road == "Decoder" ? "Decode complete"
                                                                                : "Cannot start a job");
    QSignalSpy ended(window, &MainWindow::jobEnded);

    QVERIFY2(drop(files), "the window refused the drop, or took it for a move");
    // The program the files came from waits for the drop's end: the road begins after it.
    QVERIFY2(choices->asked.isEmpty() && driver->boxes.isEmpty() && busyDialogCount() == 0,
             "the road began within the drop");
    QTRY_VERIFY2_WITH_TIMEOUT(driver->allAnswered(), qPrintable(driver->state()), 20000);
    QCOMPARE(driver->boxes.size(), 1);
    const bool started = road == "Encoder" || road == "Decoder";
    QCOMPARE(ended.size(), started ? 1 : 0);
    QCOMPARE(SettingsStore().value(SettingsKeys::pathOpen).toString(),
             road == "Encoder" ? tempDir.path() : path("earlier"));
    QCOMPARE(SettingsStore().value(SettingsKeys::decPath).toString(),
             road == "Decoder" ? tempDir.path() : path("earlier"));
    if (road == "Encoder") {
        const Question asked{"folder", "Open directory for save", tempDir.path(), "",
                             int(QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks)};
        QVERIFY(choices->asked == QList<Question>{asked});
        return;
    }
    QVERIFY(choices->asked.isEmpty());
    if (!started) {
        QVERIFY2(driver->boxes[0].text.contains(road), qPrintable(driver->boxes[0].text));
        QVERIFY(!QFile::exists(path("args")));
        return;
    }
    QFile args(path("args"));
    QVERIFY(args.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(args.readAll()), "1|" + path("stream.dat"));
}

void TestJobRoads::dragIsRefusedWhileAJobRuns()
{
    QVERIFY(tool("decoder.exe", "touch told\nwait go\n"));
    driver->expectBox("Decode complete");
    QSignalSpy ended(window, &MainWindow::jobEnded);
    clickDecoder(path("stream.dat"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path("told")), 20000);

    QVERIFY2(!drop({"in.yuv"}), "the window took a drop while its job ran");
    QFile go(path("go"));
    QVERIFY(go.open(QIODevice::WriteOnly));
    QVERIFY2(ended.wait(20000), "the decode never ended");
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
    QCOMPARE(choices->asked.size(), 1);
}

QTEST_MAIN(TestJobRoads)
#include "tst_jobroads.moc"
