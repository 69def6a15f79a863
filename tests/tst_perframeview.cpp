#include "answeredchoices.h"
#include "clipmaker.h"
#include "faketools.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/perframeview.h"
#include "mainwindow/qualitychart.h"
#include "modaldriver.h"
#include "settings/settingsstore.h"
#include "testsettings.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

// An encode's figures frame by frame, from the busy dialog's live chart to
// the view the report box opens: its CSV, and a frame seen beside its source
// once the stream is decoded. The fake encoder prints two frames' figures
// and waits for "go"; the fake decoder writes a known clip beside the stream.
class TestPerFrameView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void liveChartShowsOnlyWithFrames_data();
    void liveChartShowsOnlyWithFrames();
    void csvSavedAsTheSeries_data();
    void csvSavedAsTheSeries();
    void pickedFrameShowsSourceAndDecoded_data();
    void pickedFrameShowsSourceAndDecoded();

private:
    QString path(const QString &name) const { return tempDir.filePath(name); }
    bool installEncoder(bool withFrames);
    void startEncode();
    PerFrameView *encodeToView();

    QTemporaryDir tempDir;
    MainWindow *window = nullptr;
    AnsweredChoices *choices = nullptr;
    ModalDriver *driver = nullptr;
};

static const QByteArray frameLines[] = {"frame 0 I 5000 41.50 43.00 44.00 0.9800",
                                        "frame 1 P 700 30.25 40.00 41.00 0.9100"};

// The source's frames have Y 100 and 110; the decoded ones 104 and 110.
static const int sourceY[] = {100, 110};
static const int decodedY[] = {104, 110};

static QByteArray clipOf(const int (&luma)[2])
{
    return solidFrame(720, 576, quint8(luma[0]), 128, 128) + solidFrame(720, 576, quint8(luma[1]), 128, 128);
}

void TestPerFrameView::initTestCase()
{
    QVERIFY(tempDir.isValid());
    isolateSettings(path("settings"));
    QVERIFY(QDir().mkpath(path("bin")) && QDir().mkpath(path("out")));
    putFirstOnPath(path("bin"));
    QVERIFY(QDir::setCurrent(tempDir.path()));
    QVERIFY(writeClip(path("clip.yuv"), clipOf(sourceY)));
    QVERIFY(writeClip(path("decoded.yuv"), clipOf(decodedY)));
    // The fake tools' steps end a path at a space, which the temporary folder
    // may hold on Windows: they name their files from the working folder, the test's.
    QVERIFY(installFakeTool(path("bin"), "decoder.exe", "copybeside decoded.yuv .yuv\n"));
}

bool TestPerFrameView::installEncoder(bool withFrames)
{
    QByteArray plan;
    for (const QByteArray &line : frameLines)
        plan += withFrames ? "err " + line + "\\n\n" : QByteArray();
    plan += "err [50.0%] 1/2 frames, 10.00 fps, eta 0:00:01\\r\nwait go\n";
    plan += "write out/stream.dat stream\nout Compression rate: 3\\n\n";
    return installFakeTool(path("bin"), "encoder.exe", plan);
}

void TestPerFrameView::init()
{
    QFile::remove(path("go"));
    QFile::remove(path("out/stream.dat"));
    QVERIFY(installEncoder(true));
    SettingsStore().clear();
    storeSmallClipOptions(2);
    auto answered = std::make_unique<AnsweredChoices>();
    choices = answered.get();
    window = new MainWindow(QString(), std::move(answered));
    window->show();
    driver = new ModalDriver;
}

void TestPerFrameView::cleanup()
{
    delete driver;
    delete window;
}

// Through the questions to the encoder, whose report box opens the view.
void TestPerFrameView::startEncode()
{
    choices->answers << path("clip.yuv") << path("out");
    driver->expect("optDialog", "Dialog", acceptDialog());
    driver->expectBox("Encode complete", "Per-frame quality…");
    window->findChild<QPushButton *>("pushButtonEnc")->click();
}

// Encodes the clip, lets the encoder finish and opens the view from the
// report box; null when the road went otherwise.
PerFrameView *TestPerFrameView::encodeToView()
{
    QSignalSpy ended(window, &MainWindow::jobEnded);
    QFile go(path("go"));
    if (!go.open(QIODevice::WriteOnly))
        return nullptr;
    startEncode();
    if (!ended.wait(20000) || !driver->allAnswered())
        return nullptr;
    return window->findChild<PerFrameView *>();
}

void TestPerFrameView::liveChartShowsOnlyWithFrames_data()
{
    QTest::addColumn<bool>("withFrames");

    QTest::newRow("per-frame lines: chart, and the view offered") << true;
    QTest::newRow("no per-frame lines: the dialog and the box as before") << false;
}

// The frames come before the progress line, so the label's text says they have been shown.
void TestPerFrameView::liveChartShowsOnlyWithFrames()
{
    QFETCH(bool, withFrames);
    QVERIFY(installEncoder(withFrames));
    QSignalSpy ended(window, &MainWindow::jobEnded);
    startEncode();

    QTRY_VERIFY(busyDialog());
    auto *label = busyDialog()->findChild<QLabel *>();
    QTRY_VERIFY2(label->text().startsWith("Frame 1 of 2"), qPrintable(label->text()));
    QCOMPARE(busyDialog()->findChild<QualityChart *>()->isVisible(), withFrames);
    QFile go(path("go"));
    QVERIFY(go.open(QIODevice::WriteOnly));
    QVERIFY2(ended.wait(20000), "the encode never ended");
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
    QCOMPARE(window->findChild<PerFrameView *>() != nullptr, withFrames);
}

void TestPerFrameView::csvSavedAsTheSeries_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("box");

    QTest::newRow("a name given: the series' CSV") << "frames.csv" << "";
    QTest::newRow("cancelled: nothing written") << "" << "";
    QTest::newRow("a folder that is not there: said in a box") << "gone/frames.csv" << "Cannot save";
}

void TestPerFrameView::csvSavedAsTheSeries()
{
    QFETCH(QString, answer);
    QFETCH(QString, box);
    PerFrameView *view = encodeToView();
    QVERIFY2(view, qPrintable(driver->state()));
    const QString target = answer.isEmpty() ? QString() : path(answer);
    if (!target.isEmpty())
        QFile::remove(target);
    choices->answers << target;
    if (!box.isEmpty())
        driver->expectBox(box);
    view->findChild<QPushButton *>("pushButtonSave")->click();
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));

    QCOMPARE(choices->asked.last().kind, QStringLiteral("save"));
    QCOMPARE(choices->asked.last().folder, path("out/stream.csv"));
    FrameSeries expected;
    for (const QByteArray &line : frameLines)
        QVERIFY(expected.append(*parseFrameLine(line)));
    QFile saved(target);
    const bool written = !target.isEmpty() && box.isEmpty();
    QCOMPARE(saved.open(QIODevice::ReadOnly), written);
    if (written)
        QCOMPARE(saved.readAll(), frameSeriesCsv(expected));
}

void TestPerFrameView::pickedFrameShowsSourceAndDecoded_data()
{
    QTest::addColumn<bool>("inChart");
    QTest::addColumn<int>("frame");
    QTest::addColumn<int>("differenceGrey");

    QTest::newRow("frame 0 picked in the chart: 4 levels apart") << true << 0 << 32;
    QTest::newRow("frame 1 picked in the table: the same") << false << 1 << 0;
}

// Grey of the middle of a picture as the screen shows it, for limited-range luma.
static int greyShown(QLabel *label)
{
    return qGray(label->grab().toImage().pixel(label->width() / 2, label->height() / 2));
}

static int greyOfLuma(int luma)
{
    return qRound((luma - 16) * 255 / 219.0);
}

void TestPerFrameView::pickedFrameShowsSourceAndDecoded()
{
    QFETCH(bool, inChart);
    QFETCH(int, frame);
    QFETCH(int, differenceGrey);
    PerFrameView *view = encodeToView();
    QVERIFY2(view, qPrintable(driver->state()));
    QVERIFY(QTest::qWaitForWindowExposed(view));
    auto *chart = view->findChild<QualityChart *>();
    if (inChart)
        QTest::mouseClick(chart, Qt::LeftButton, {}, QPoint(chart->width() / 4, chart->height() / 2));
    else
        view->findChild<QTableView *>()->selectRow(frame);
    QVERIFY(qAbs(greyShown(view->findChild<QLabel *>("labelSource")) - greyOfLuma(sourceY[frame])) <= 3);

    QSignalSpy decoded(view, &PerFrameView::decodeEnded);
    view->findChild<QPushButton *>("pushButtonDecode")->click();
    QVERIFY2(decoded.wait(20000), qPrintable("the decode never ended: " + driver->state()));
    QVERIFY2(driver->allAnswered(), qPrintable(driver->state()));
    QVERIFY(qAbs(greyShown(view->findChild<QLabel *>("labelDecoded")) - greyOfLuma(decodedY[frame])) <= 3);
    QCOMPARE(greyShown(view->findChild<QLabel *>("labelDifference")), differenceGrey);

    const QString decodeFolder = QFileInfo(view->decodedClipPath()).path();
    QVERIFY2(QFileInfo::exists(view->decodedClipPath()), qPrintable(view->decodedClipPath()));
    QVERIFY(decodeFolder != path("out"));
    view->close();
    QTRY_VERIFY2(!QFileInfo::exists(decodeFolder), qPrintable(decodeFolder));
}

QTEST_MAIN(TestPerFrameView)
#include "tst_perframeview.moc"
