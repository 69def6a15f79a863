#include "annexb.h"
#include "clipmaker.h"
#include "jobs/encoderreport.h"
#include "jobs/toolprogress.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>
#include <QtTest>

#include <array>
#include <climits>
#include <cmath>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

extern "C" {
#include <libavcodec/avcodec.h>
}

// The stand-in encoder.exe and decoder.exe, run by absolute path on tiny clips.
class TestCodecTools : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void roundTrip_data();
    void roundTrip();
    void toolsAnswerHelpAndVersion_data();
    void toolsAnswerHelpAndVersion();
    void encoderRejectsBadConfig_data();
    void encoderRejectsBadConfig();
    void encoderRefusesToWriteOverItsInput_data();
    void encoderRefusesToWriteOverItsInput();
    void encoderRejectsInputWithoutFrames_data();
    void encoderRejectsInputWithoutFrames();
    void encoderStopsAtEndOfShortClip();
    void encoderIgnoresPartialLastFrame();
    void encoderReportStartsWithCompressionRate();
    void encoderReportsQuality_data();
    void encoderReportsQuality();
    void encoderSaysEachFrame();
#ifdef Q_OS_WIN
    // TerminateProcess and Ctrl+Break.
    void encoderLeavesNoFileWhenStoppedOnWindows_data();
    void encoderLeavesNoFileWhenStoppedOnWindows();
#else
    // Signals, a FIFO, /proc and the LD_PRELOAD shim.
    void encoderLeavesNoFileWhenStopped_data();
    void encoderLeavesNoFileWhenStopped();
#endif
    void encoderReplacesOlderStream_data();
    void encoderReplacesOlderStream();
    void toolsWriteIntoLongFolderPath();
    void toolsPrintProgress_data();
    void toolsPrintProgress();
#ifndef Q_OS_WIN
    // With a locale of the test's own, on Linux; the installed check sees the
    // Windows tools speak Russian under a Russian Wine.
    void toolsSpeakTheUsersLanguage_data();
    void toolsSpeakTheUsersLanguage();
    void encoderReportIsRussianThroughout_data();
    void encoderReportIsRussianThroughout();
#endif
    void pictureSizeLimit_data();
    void pictureSizeLimit();
    void largestPictureRoundTrip();
    void decoderNeverOverwrites_data();
    void decoderNeverOverwrites();
    void decoderKeepsFramesBeforeCut_data();
    void decoderKeepsFramesBeforeCut();
    void decoderRejectsBadStream_data();
    void decoderRejectsBadStream();
    void decoderStopsAtResolutionChange();
    void decoderKeepsEveryFrameWithoutReorderDepth_data();
    void decoderKeepsEveryFrameWithoutReorderDepth();
    void decoderIsDeterministicOnDamage_data();
    void decoderIsDeterministicOnDamage();
    void decoderGivesUpOnInputWithoutPictures_data();
    void decoderGivesUpOnInputWithoutPictures();
    void checksumsAreValidH264();
#ifndef Q_OS_WIN
    // A full disk stands in by RLIMIT_FSIZE.
    void decoderNamesTheFileItFailsToWrite_data();
    void decoderNamesTheFileItFailsToWrite();
    // Only Linux names partial files a killed tool can leave: Windows deletes them.
    void nextJobRemovesStalePartials_data();
    void nextJobRemovesStalePartials();
#endif
    void decoderDecodesStreamsWithoutChecksums_data();
    void decoderDecodesStreamsWithoutChecksums();

private:
    struct Result {
        bool finished = false;
        QProcess::ExitStatus status = QProcess::CrashExit;
        int exitCode = -1;
        QString out;
        QString err;
        // What the program shows of it: its errors and warnings from standard
        // error, without the progress, then its report.
        QString said;
    };

    static Result run(const QString &program, const QStringList &args, const QStringList &env = {},
                      const QString &workDir = {});
    QString freshDir();
    static bool writeFile(const QString &path, const QByteArray &data);
    static QByteArray readFile(const QString &path);
    static QByteArray config(const QString &in, int width, int height, int nframes, const QString &dat, int qp);
    Result encodeClip(const QString &dir, const QByteArray &clip, int width, int height, int nframes, int qp,
                      const QStringList &env = {});
#ifndef Q_OS_WIN
    static Result runWithFileSizeLimit(const QString &program, const QStringList &args, qint64 bytes);
#endif
    static QByteArray unseenFlip(const QString &dir, const QByteArray &stream, const QByteArray &clean,
                                 int fromPicture);

    QTemporaryDir tempDir;
    int dirCount = 0;
};

static const int W = 128;
static const int H = 96;
static const int frameBytes = W * H * 3 / 2;

void TestCodecTools::initTestCase()
{
    QVERIFY2(tempDir.isValid(), qPrintable(tempDir.errorString()));
    QVERIFY2(QFileInfo(ENCODER_EXE).isExecutable(), ENCODER_EXE);
    QVERIFY2(QFileInfo(DECODER_EXE).isExecutable(), DECODER_EXE);
}

// The test's environment in the C locale, with NAME=value pairs added: the
// tools speak English unless a test gives them a locale.
static QProcessEnvironment environmentWith(const QStringList &pairs)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LC_NUMERIC", "LANG"})
        environment.remove(name);
    for (const QString &pair : pairs)
        environment.insert(pair.section('=', 0, 0), pair.section('=', 1));
    return environment;
}

// Makes the tool write its output under a hidden name: as on a file system
// without unnamed files on Linux, on a drive that refuses delete
// dispositions on Windows.
#ifdef Q_OS_WIN
static const QString namedPartial = "TUVR_OUTFILE_NAMED_PARTIAL=1";
#else
static const QString namedPartial = QString("LD_PRELOAD=") + NO_TMPFILE_SHIM;
#endif

TestCodecTools::Result TestCodecTools::run(const QString &program, const QStringList &args, const QStringList &env,
                                           const QString &workDir)
{
    Result r;
    QProcess p;
    p.setProcessEnvironment(environmentWith(env));
    p.setWorkingDirectory(workDir);
    p.start(program, args);
    r.finished = p.waitForFinished(30000);
    if (!r.finished)
        p.kill();
    r.status = p.exitStatus();
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    ToolProgressParser diagnostics;
    r.said = QString::fromUtf8(diagnostics.feed(r.err.toUtf8()).otherText + diagnostics.finish().otherText).trimmed();
    r.said += (r.said.isEmpty() ? "" : "\n") + r.out;
    return r;
}

QString TestCodecTools::freshDir()
{
    const QString dir = tempDir.filePath(QString("case%1").arg(++dirCount));
    return QDir().mkpath(dir) ? dir : QString();
}

bool TestCodecTools::writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size() && f.flush();
}

QByteArray TestCodecTools::readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

#ifdef Q_OS_WIN
static const wchar_t *wide(const QString &text)
{
    return reinterpret_cast<const wchar_t *>(text.utf16());
}

// A named pipe the encoder reads its clip from, as it reads a FIFO on Linux:
// what it is fed it reads, and then it waits for more.
class ClipPipe
{
public:
    explicit ClipPipe(const QString &name);
    ~ClipPipe();
    // Hands data to the reader once it has opened the pipe; false when it
    // does not within msecs or the write fails.
    bool feed(const QByteArray &data, DWORD msecs);

    const QString path;

private:
    bool finish(OVERLAPPED &overlapped, bool done, DWORD msecs);

    const HANDLE pipe;
    const HANDLE event;
};

ClipPipe::ClipPipe(const QString &name)
    : path("\\\\.\\pipe\\" + name),
      pipe(CreateNamedPipeW(wide(path), PIPE_ACCESS_OUTBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                            PIPE_TYPE_BYTE | PIPE_WAIT, 1, 1 << 20, 0, 0, nullptr)),
      event(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

ClipPipe::~ClipPipe()
{
    if (pipe != INVALID_HANDLE_VALUE)
        CloseHandle(pipe);
    if (event)
        CloseHandle(event);
}

// Waits for an overlapped call that returned done, cancelling it after msecs.
bool ClipPipe::finish(OVERLAPPED &overlapped, bool done, DWORD msecs)
{
    DWORD bytes = 0;
    if (done || GetLastError() == ERROR_PIPE_CONNECTED)
        return true;
    if (GetLastError() != ERROR_IO_PENDING)
        return false;
    if (WaitForSingleObject(event, msecs) != WAIT_OBJECT_0)
        CancelIoEx(pipe, &overlapped);
    return GetOverlappedResult(pipe, &overlapped, &bytes, TRUE);
}

bool ClipPipe::feed(const QByteArray &data, DWORD msecs)
{
    OVERLAPPED connect = {}, write = {};
    DWORD written = 0;
    connect.hEvent = write.hEvent = event;
    if (pipe == INVALID_HANDLE_VALUE || !event || !finish(connect, ConnectNamedPipe(pipe, &connect), msecs))
        return false;
    return finish(write, WriteFile(pipe, data.constData(), DWORD(data.size()), nullptr, &write), msecs)
        && GetOverlappedResult(pipe, &write, &written, FALSE) && written == DWORD(data.size());
}
#endif

QByteArray TestCodecTools::config(const QString &in, int width, int height, int nframes, const QString &dat, int qp)
{
    return QString("file_in %1\nwidth %2\nheight %3\nnframes %4\nfile_dat %5\nquality_param %6\n")
        .arg(in)
        .arg(width)
        .arg(height)
        .arg(nframes)
        .arg(dat)
        .arg(qp)
        .toUtf8();
}

// Writes clip and config.txt into dir and encodes to dir/stream.dat.
TestCodecTools::Result TestCodecTools::encodeClip(const QString &dir, const QByteArray &clip, int width, int height,
                                                  int nframes, int qp, const QStringList &env)
{
    const QString cfg = dir + "/config.txt";
    if (!writeFile(dir + "/in.yuv", clip)
        || !writeFile(cfg, config(dir + "/in.yuv", width, height, nframes, dir + "/stream.dat", qp)))
        return Result();
    return run(ENCODER_EXE, {cfg}, env);
}

static double psnr(const QByteArray &a, const QByteArray &b, int planeBytes, int frameSize)
{
    double sse = 0;
    qint64 count = 0;
    for (int start = 0; start + frameSize <= a.size(); start += frameSize) {
        for (int i = start; i < start + planeBytes; ++i) {
            const double d = double(uchar(a[i])) - double(uchar(b[i]));
            sse += d * d;
        }
        count += planeBytes;
    }
    return sse == 0 ? INFINITY : 10.0 * std::log10(255.0 * 255.0 / (sse / double(count)));
}

void TestCodecTools::roundTrip_data()
{
    QTest::addColumn<int>("qp");
    QTest::addColumn<double>("minPsnr");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("native");
    const QString spaced = QString::fromUtf8("out dir \xc3\xbc");
    QTest::newRow("lossless at QP 0 is byte-exact") << 0 << double(INFINITY) << spaced << false;
    QTest::newRow("QP 22 stays above 35 dB") << 22 << 35.0 << spaced << false;
    // On Windows: backslashes after the drive letter, and letters no ANSI code page holds with these.
    QTest::newRow("Cyrillic and Greek letters, native separators")
        << 0 << double(INFINITY) << QString::fromUtf8("\xd0\xba\xd0\xbb\xd0\xb8\xd0\xbf\xd1\x8b \xce\xb1") << true;
}

// The clip, config.txt and the outputs all in the row's folder; the stream
// named with a doubled separator before it.
void TestCodecTools::roundTrip()
{
    QFETCH(int, qp);
    QFETCH(double, minPsnr);
    QFETCH(QString, folder);
    QFETCH(bool, native);
    const int frames = 6;
    const QByteArray clip = makeClip(W, H, frames);
    const QString outDir = freshDir() + "/" + folder;
    const auto spelt = [native](const QString &path) { return native ? QDir::toNativeSeparators(path) : path; };
    QVERIFY(QDir().mkpath(outDir));
    QVERIFY(writeFile(outDir + "/in.yuv", clip));
    QVERIFY(writeFile(outDir + "/config.txt",
                      config(spelt(outDir + "/in.yuv"), W, H, frames, spelt(outDir + "//stream.dat"), qp)));

    const Result enc = run(ENCODER_EXE, {spelt(outDir + "/config.txt")});
    QVERIFY2(enc.finished && enc.exitCode == 0, qPrintable(enc.out + enc.err));
    const QString stream = outDir + "/stream.dat";
    QVERIFY2(QFileInfo(stream).size() > 0, qPrintable(enc.out));

    const Result dec = run(DECODER_EXE, {spelt(stream)});
    // However it was given the path, the tool names the file in the system's own spelling.
    QVERIFY2(dec.out.contains("-> " + QDir::toNativeSeparators(outDir + "/stream.yuv") + "\n"), qPrintable(dec.out));
    QVERIFY2(dec.finished && dec.exitCode == 0, qPrintable(dec.out + dec.err));
    const QByteArray decoded = readFile(outDir + "/stream.yuv");
    QVERIFY2(decoded.size() == clip.size(),
             qPrintable(QString("decoded %1 bytes of %2").arg(decoded.size()).arg(clip.size())));
    if (std::isinf(minPsnr)) {
        QVERIFY2(decoded == clip, "lossless round trip changed the pictures");
        return;
    }
    const double lumaPsnr = psnr(clip, decoded, W * H, frameBytes);
    const double allPsnr = psnr(clip, decoded, frameBytes, frameBytes);
    QVERIFY2(lumaPsnr > minPsnr, qPrintable(QString("Y PSNR %1 dB").arg(lumaPsnr)));
    QVERIFY2(allPsnr > minPsnr, qPrintable(QString("overall PSNR %1 dB").arg(allPsnr)));
    QVERIFY2(!std::isinf(lumaPsnr), "QP 22 should not be lossless");
}

static QByteArray goodConfig()
{
    return "file_in @IN@\nwidth 128\nheight 96\nnframes 2\nfile_dat @DAT@\nquality_param 22\n";
}

static QByteArray changed(const QByteArray &from, const QByteArray &to)
{
    QByteArray c = goodConfig();
    return c.replace(from, to);
}

void TestCodecTools::toolsAnswerHelpAndVersion_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("answer");
    QTest::newRow("encoder's help") << ENCODER_EXE << "--help" << "usage: encoder.exe CONFIG  (CONFIG holds";
    QTest::newRow("decoder's help, short") << DECODER_EXE << "-h" << "usage: decoder.exe STREAM.dat  (writes";
    QTest::newRow("decoder's version") << DECODER_EXE << "--version" << "decoder.exe (Tuv-R) " TUVR_VERSION "\n";
}

// Answered on standard output, with nothing on standard error, and success.
void TestCodecTools::toolsAnswerHelpAndVersion()
{
    QFETCH(QString, program);
    QFETCH(QString, option);
    QFETCH(QString, answer);
    const Result r = run(program, {option});
    QVERIFY2(r.finished && r.status == QProcess::NormalExit && r.exitCode == 0, qPrintable(r.said));
    QVERIFY2(r.out.startsWith(answer) && r.err.isEmpty(), qPrintable(r.out + "|" + r.err));
}

void TestCodecTools::encoderRejectsBadConfig_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("configText");
    QTest::addColumn<QString>("needle");
    const QStringList cfg{"@CONFIG@"};
    QTest::newRow("missing key nframes") << cfg << changed("nframes 2\n", "") << "nframes";
    QTest::newRow("repeated key width") << cfg << changed("height 96\n", "width 128\n") << "width";
    QTest::newRow("unknown key") << cfg << changed("nframes 2\n", "nframes 2\nframerate 25\n") << "framerate";
    QTest::newRow("width not a number") << cfg << changed("width 128", "width 12a") << "12a";
    QTest::newRow("width with a trailing space") << cfg << changed("width 128", "width 128 ") << "width";
    QTest::newRow("odd width") << cfg << changed("width 128", "width 127") << "127";
    QTest::newRow("zero height") << cfg << changed("height 96", "height 0") << "height";
    QTest::newRow("negative height") << cfg << changed("height 96", "height -96") << "-96";
    QTest::newRow("nframes zero") << cfg << changed("nframes 2", "nframes 0") << "nframes";
    QTest::newRow("nframes empty") << cfg << changed("nframes 2", "nframes ") << "nframes";
    QTest::newRow("nframes overflows") << cfg << changed("nframes 2", "nframes 99999999999999999999") << "2147483647";
    QTest::newRow("nframes one above the largest") << cfg << changed("nframes 2", "nframes 2147483648") << "2147483647";
    QTest::newRow("nframes far above the largest") << cfg << changed("nframes 2", "nframes 99999999999") << "2147483647";
    QTest::newRow("quality_param 52") << cfg << changed("quality_param 22", "quality_param 52") << "quality_param";
    QTest::newRow("quality_param -1") << cfg << changed("quality_param 22", "quality_param -1") << "quality_param";
    QTest::newRow("CRLF line ends") << cfg << changed("\n", "\r\n") << "CR";
    QTest::newRow("empty line") << cfg << changed("height 96\n", "height 96\n\n") << "empty";
    QTest::newRow("empty config") << cfg << QByteArray() << "empty";
    QTest::newRow("missing input file") << cfg << changed("@IN@", "@DIR@/absent.yuv") << "absent.yuv";
    QTest::newRow("output folder missing") << cfg << changed("@DAT@", "@DIR@/nowhere/stream.dat") << "nowhere";
    QTest::newRow("missing config file") << QStringList{"@DIR@/absent.txt"} << goodConfig() << "absent.txt";
    QTest::newRow("no argument") << QStringList() << goodConfig() << "usage";
    QTest::newRow("two arguments") << QStringList{"@CONFIG@", "extra"} << goodConfig() << "usage";
}

static QStringList entriesOf(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

void TestCodecTools::encoderRejectsBadConfig()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, configText);
    QFETCH(QString, needle);
    const QString dir = freshDir();
    const QString outDir = dir + "/out";
    QVERIFY(QDir().mkpath(outDir));
    QVERIFY(writeFile(dir + "/in.yuv", makeClip(W, H, 2)));
    configText.replace("@IN@", (dir + "/in.yuv").toUtf8());
    configText.replace("@DAT@", (outDir + "/stream.dat").toUtf8());
    configText.replace("@DIR@", dir.toUtf8());
    QVERIFY(writeFile(dir + "/config.txt", configText));
    args.replaceInStrings("@CONFIG@", dir + "/config.txt");
    args.replaceInStrings("@DIR@", dir);

    const Result r = run(ENCODER_EXE, args);
    QVERIFY2(r.finished && r.status == QProcess::NormalExit, "encoder.exe crashed or hung");
    QVERIFY2(r.exitCode != 0, qPrintable(r.said));
    QVERIFY2(r.said.startsWith("Error") && r.said.trimmed().count('\n') == 0,
             qPrintable("want one error line, got: " + r.said));
    QVERIFY2(r.said.contains(needle), qPrintable(QString("'%1' not named in: %2").arg(needle, r.said)));
    QVERIFY2(entriesOf(outDir).isEmpty(), qPrintable("left behind: " + entriesOf(outDir).join(", ")));
    QCOMPARE(entriesOf(dir), QStringList({"config.txt", "in.yuv", "out"}));
    QVERIFY2(readFile(dir + "/in.yuv") == makeClip(W, H, 2), "the input changed");
}

// Another name of the input file, as the test makes it: false when it cannot.
static bool makeHardLink(const QString &target, const QString &link)
{
#ifdef Q_OS_WIN
    return CreateHardLinkW(wide(QDir::toNativeSeparators(link)), wide(QDir::toNativeSeparators(target)), nullptr);
#else
    return ::link(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) == 0;
#endif
}

void TestCodecTools::encoderRefusesToWriteOverItsInput_data()
{
    QTest::addColumn<QString>("dat");
    QTest::newRow("the input's own path") << "@DIR@/in.yuv";
    QTest::newRow("the input's path through its folder's '.'") << "@DIR@/./in.yuv";
    QTest::newRow("a hard link to the input") << "@DIR@/link.yuv";
#ifdef Q_OS_WIN
    // Windows tells the file by its index: any spelling that reaches it is the input.
    QTest::newRow("native separators, other letter case") << "@NATIVE_UPPER@";
#endif
}

// However file_dat names the input, the clip is left as it was.
void TestCodecTools::encoderRefusesToWriteOverItsInput()
{
    QFETCH(QString, dat);
    const QString dir = freshDir();
    const QByteArray clip = makeClip(W, H, 2);
    QVERIFY(writeFile(dir + "/in.yuv", clip));
    QVERIFY(makeHardLink(dir + "/in.yuv", dir + "/link.yuv"));
    dat.replace("@DIR@", dir);
    dat.replace("@NATIVE_UPPER@", QDir::toNativeSeparators(dir + "/in.yuv").toUpper());
    QVERIFY(writeFile(dir + "/config.txt", config(dir + "/in.yuv", W, H, 2, dat, 22)));

    const Result r = run(ENCODER_EXE, {dir + "/config.txt"});
    QVERIFY2(r.finished && r.status == QProcess::NormalExit, "encoder.exe crashed or hung");
    QVERIFY2(r.exitCode != 0 && r.said.startsWith("Error") && r.said.contains("is the input file"),
             qPrintable(r.said));
    QCOMPARE(entriesOf(dir), QStringList({"config.txt", "in.yuv", "link.yuv"}));
    QVERIFY2(readFile(dir + "/in.yuv") == clip, "the input changed");
}

void TestCodecTools::encoderRejectsInputWithoutFrames_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("env");
    QTest::newRow("empty input file") << QByteArray() << QStringList();
    QTest::newRow("only a partial frame") << makeClip(W, H, 1).left(frameBytes / 2) << QStringList();
    QTest::newRow("only a partial frame, named partial: the name goes")
        << makeClip(W, H, 1).left(frameBytes / 2) << QStringList{namedPartial};
}

// The output is open by then; it goes again.
void TestCodecTools::encoderRejectsInputWithoutFrames()
{
    QFETCH(QByteArray, input);
    QFETCH(QStringList, env);
    const QString dir = freshDir();
    const Result r = encodeClip(dir, input, W, H, 4, 22, env);
    QVERIFY2(r.finished && r.status == QProcess::NormalExit, "encoder.exe crashed or hung");
    QVERIFY2(r.exitCode != 0, qPrintable(r.said));
    QVERIFY2(r.said.startsWith("Error") && r.said.contains("in.yuv"), qPrintable(r.said));
    QCOMPARE(entriesOf(dir), QStringList({"config.txt", "in.yuv"}));
}

void TestCodecTools::encoderStopsAtEndOfShortClip()
{
    const QString dir = freshDir();
    const QByteArray clip = makeClip(W, H, 3);
    const Result r = encodeClip(dir, clip, W, H, 8, 0);
    QVERIFY2(r.finished && r.exitCode == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains("Input ended after 3 of the 8 frames"), qPrintable(r.out));
    QVERIFY2(r.out.contains("Encoded 3 frames"), qPrintable(r.out));

    const Result dec = run(DECODER_EXE, {dir + "/stream.dat"});
    QVERIFY2(dec.exitCode == 0, qPrintable(dec.out));
    QVERIFY2(readFile(dir + "/stream.yuv") == clip, "the three frames did not come back as they were");
}

// A byte count as a tool given no locale writes it: in C's digits on Linux,
// grouped as the Windows user's own locale groups them on Windows.
static QString toolDigits(qint64 n)
{
#ifdef Q_OS_WIN
    return QLocale::system().toString(n);
#else
    return QString::number(n);
#endif
}

void TestCodecTools::encoderIgnoresPartialLastFrame()
{
    const QString dir = freshDir();
    const QByteArray clip = makeClip(W, H, 4);
    const Result r = encodeClip(dir, clip.left(3 * frameBytes + 1000), W, H, 8, 0);
    QVERIFY2(r.finished && r.exitCode == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains("partial last frame of " + toolDigits(1000) + " bytes"), qPrintable(r.out));
    QVERIFY2(r.out.contains("Encoded 3 frames"), qPrintable(r.out));

    const Result dec = run(DECODER_EXE, {dir + "/stream.dat"});
    QVERIFY2(dec.exitCode == 0, qPrintable(dec.out));
    QVERIFY2(readFile(dir + "/stream.yuv") == clip.left(3 * frameBytes), "the whole frames did not come back");
}

void TestCodecTools::encoderReportStartsWithCompressionRate()
{
    const QString dir = freshDir();
    const Result r = encodeClip(dir, makeClip(W, H, 6), W, H, 4, 22);
    QVERIFY2(r.finished && r.exitCode == 0, qPrintable(r.out + r.err));

    // The program shows the report from the phrase on, so all of it follows.
    const QString phrase = "Compression rate";
    const QStringList lines = r.out.trimmed().split('\n');
    QVERIFY2(lines.first().startsWith(phrase), qPrintable(r.out));
    QVERIFY2(r.out.indexOf(phrase) == r.out.lastIndexOf(phrase), qPrintable("phrase repeated in: " + r.out));

    const QRegularExpression numbers(R"(^Compression rate: ([0-9.]+) \((\S+) / (\S+) bytes\), (\d+) frames, ([0-9.]+) fps$)");
    const QRegularExpressionMatch m = numbers.match(lines.first());
    QVERIFY2(m.hasMatch(), qPrintable(lines.first()));
    QVERIFY2(m.captured(2) == toolDigits(qint64(4) * frameBytes), qPrintable(lines.first()));
    const qint64 in = QString(m.captured(2)).remove(QRegularExpression("\\D")).toLongLong();
    const qint64 out = QString(m.captured(3)).remove(QRegularExpression("\\D")).toLongLong();
    QCOMPARE(in, qint64(4) * frameBytes);
    QCOMPARE(out, QFileInfo(dir + "/stream.dat").size());
    QVERIFY2(std::fabs(m.captured(1).toDouble() - double(in) / double(out)) < 0.01, qPrintable(lines.first()));
    QCOMPARE(m.captured(4), QString("4"));
    QVERIFY2(m.captured(5).toDouble() > 0, qPrintable(lines.first()));
}

void TestCodecTools::encoderReportsQuality_data()
{
    QTest::addColumn<int>("qp");
    QTest::addColumn<int>("flatFrames");
    QTest::newRow("QP 22 gives finite figures") << 22 << 0;
    // x264 gives such frames 100 dB, which a mean of decibels would count.
    QTest::newRow("QP 22 with grey frames that come through unchanged") << 22 << 4;
    QTest::newRow("QP 0 is marked lossless") << 0 << 0;
}

// Each plane's mean squared error over all frames, and that of the three
// planes weighed by their samples.
static std::array<double, 4> meanSquaredErrors(const QByteArray &a, const QByteArray &b)
{
    const int luma = W * H, chroma = luma / 4, frames = a.size() / frameBytes;
    auto sse = [&](int from, int count) {
        double sum = 0;
        for (int i = from; i < from + count; ++i)
            sum += std::pow(double(uchar(a[i])) - double(uchar(b[i])), 2);
        return sum;
    };
    std::array<double, 4> mse{};
    for (int start = 0; start < frames * frameBytes; start += frameBytes) {
        mse[0] += sse(start, luma) / luma / frames;
        mse[1] += sse(start + luma, chroma) / chroma / frames;
        mse[2] += sse(start + luma + chroma, chroma) / chroma / frames;
    }
    mse[3] = (luma * mse[0] + chroma * (mse[1] + mse[2])) / frameBytes;
    return mse;
}

// The report's figures measured on the written stream as ffmpeg's psnr
// filter sums them up: the PSNR of the mean squared errors, Y, U, V and
// their average; and Global, the PSNR of all frames together.
static std::array<double, 5> measuredPsnr(const QByteArray &clip, const QByteArray &decoded)
{
    const std::array<double, 4> mse = meanSquaredErrors(clip, decoded);
    std::array<double, 5> figures{};
    for (int i = 0; i < 4; ++i)
        figures[i] = 10.0 * std::log10(255.0 * 255.0 / mse[i]);
    figures[4] = psnr(clip, decoded, frameBytes, frameBytes);
    return figures;
}

// The figures are those of the written stream, non-reference B-frames included.
void TestCodecTools::encoderReportsQuality()
{
    QFETCH(int, qp);
    QFETCH(int, flatFrames);
    const int frames = 12;
    const QString dir = freshDir();
    const QByteArray clip = solidFrame(W, H, 128, 128, 128).repeated(flatFrames) + makeClip(W, H, frames - flatFrames);
    const Result r = encodeClip(dir, clip, W, H, frames, qp);
    QVERIFY2(r.finished && r.exitCode == 0, qPrintable(r.out + r.err));
    QVERIFY(run(DECODER_EXE, {dir + "/stream.dat"}).exitCode == 0);
    const QByteArray decoded = readFile(dir + "/stream.yuv");
    QCOMPARE(decoded.size(), clip.size());

    const QRegularExpression psnrLine(
        R"(^PSNR Mean Y:(\S+) U:(\S+) V:(\S+) Avg:(\S+) Global:(\S+)( \(lossless\))?$)",
        QRegularExpression::MultilineOption);
    const QRegularExpression ssimLine(R"(^SSIM Mean Y:([0-9.]+) \((\S+) ?db)", QRegularExpression::MultilineOption);
    const QRegularExpression rateLine(
        R"(^Bit rate: ([0-9.]+) bits per pixel, ([0-9.]+) kbit/s at 25 frames per second$)",
        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch p = psnrLine.match(r.out), s = ssimLine.match(r.out), b = rateLine.match(r.out);
    QVERIFY2(p.hasMatch() && s.hasMatch() && b.hasMatch(), qPrintable(r.out));
    QVERIFY2(r.out.indexOf("Compression rate") < p.capturedStart(), qPrintable(r.out));

    const double bits = 8.0 * double(QFileInfo(dir + "/stream.dat").size());
    QVERIFY2(std::fabs(b.captured(1).toDouble() - bits / (double(frames) * W * H)) < 0.001, qPrintable(r.out));
    QVERIFY2(std::fabs(b.captured(2).toDouble() - bits * 25 / frames / 1000) < 0.01, qPrintable(r.out));
    if (qp == 0) {
        for (int i = 1; i <= 5; ++i)
            QCOMPARE(p.captured(i), QString("inf"));
        QVERIFY2(!p.captured(6).isEmpty() && s.captured(1).toDouble() == 1.0, qPrintable(r.out));
        return;
    }
    QVERIFY2(p.captured(6).isEmpty(), qPrintable(r.out));
    const QVector<annexb::Nal> nals = annexb::split(readFile(dir + "/stream.dat"));
    QVERIFY2(std::any_of(nals.begin(), nals.end(), [](const annexb::Nal &n) { return n.type() == 1 && !n.refIdc(); }),
             "the stream has no non-reference B-frame");
    QVERIFY2(decoded.left(frameBytes) == clip.left(frameBytes) || !flatFrames, "the grey frames did not come through");
    const std::array<double, 5> measured = measuredPsnr(clip, decoded);
    for (int i = 0; i < 5; ++i)
        QVERIFY2(std::fabs(p.captured(i + 1).toDouble() - measured[i]) < 0.01,
                 qPrintable(QString("figure %1 measured %2 dB in: %3").arg(i + 1).arg(measured[i]).arg(r.out)));
    const double ssim = s.captured(1).toDouble();
    QVERIFY2(ssim > 0.8 && ssim < 1.0, qPrintable(r.out));
    QVERIFY2(std::fabs(s.captured(2).toDouble() + 10 * std::log10(1 - ssim)) < 0.01, qPrintable(r.out));
}

// The encoder's per-frame line, with C's decimal point in every language.
static const QString frameLinePattern =
    R"(frame (\d+) ([IPB]) (\d+) (inf|\d+\.\d{3}) (inf|\d+\.\d{3}) (inf|\d+\.\d{3}) (-|[01]\.\d{6})\n)";

// Each frame in display order, against ffmpeg's psnr filter on the decoded stream.
void TestCodecTools::encoderSaysEachFrame()
{
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    if (ffmpeg.isEmpty())
        QSKIP("ffmpeg is not installed (scripts/deps.sh installs it): its psnr filter measures the frames");
    const int frames = 40;
    const QString dir = freshDir();
    const Result r = encodeClip(dir, makeClip(W, H, frames), W, H, frames, 30);
    QVERIFY2(r.exitCode == 0 && run(DECODER_EXE, {dir + "/stream.dat"}).exitCode == 0, qPrintable(r.out + r.err));
    const QStringList raw{"-s", QString("%1x%2").arg(W).arg(H), "-pix_fmt", "yuv420p", "-f", "rawvideo", "-i"};
    const Result f = run(ffmpeg, QStringList{"-v", "error"} + raw + QStringList{"stream.yuv"} + raw
                                     + QStringList{"in.yuv", "-lavfi", "psnr=stats_file=stats.log", "-f", "null", "-"},
                         {}, dir);
    const QStringList stats = QString::fromLatin1(readFile(dir + "/stats.log")).split('\n', Qt::SkipEmptyParts);
    QVERIFY2(f.exitCode == 0 && stats.size() == frames, qPrintable(f.err));

    const QRegularExpression statsLine(R"(psnr_y:(\S+) psnr_u:(\S+) psnr_v:(\S+))");
    QRegularExpressionMatchIterator line =
        QRegularExpression("^" + frameLinePattern, QRegularExpression::MultilineOption).globalMatch(r.err);
    QString types;
    qint64 bytes = 0;
    for (int n = 0; n < frames && line.hasNext(); ++n) {
        const QRegularExpressionMatch m = line.next(), psnr = statsLine.match(stats[n]);
        const auto agrees = [&](int plane) {
            return std::fabs(m.captured(3 + plane).toDouble() - psnr.captured(plane).toDouble()) < 0.01;
        };
        QVERIFY2(m.captured(1).toInt() == n && agrees(1) && agrees(2) && agrees(3), qPrintable(m.captured(0) + stats[n]));
        types += m.captured(2);
        bytes += m.captured(3).toLongLong();
    }
    QVERIFY2(!line.hasNext() && types.size() == frames && types.contains('B'), qPrintable(r.err));
    const qint64 streamBytes = QFileInfo(dir + "/stream.dat").size();
    QVERIFY2(std::abs(bytes - streamBytes) <= streamBytes / 50,
             qPrintable(QString("%1 bytes in the lines, %2 in the stream").arg(bytes).arg(streamBytes)));
}

#ifndef Q_OS_WIN
// Mid-stream the encoder holds its output open; /proc shows it.
static bool holdsFileIn(qint64 pid, const QString &dir)
{
    const QString fds = QString("/proc/%1/fd").arg(pid);
    for (const QString &fd : QDir(fds).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const QString target = QFile::symLinkTarget(fds + "/" + fd);
        if (target.startsWith(dir + "/") && !target.endsWith("/in.yuv") && !target.endsWith("/config.txt"))
            return true;
    }
    return false;
}

void TestCodecTools::encoderLeavesNoFileWhenStopped_data()
{
    QTest::addColumn<int>("sig");
    QTest::addColumn<bool>("older");
    QTest::addColumn<QStringList>("env");
    QTest::newRow("SIGTERM, no older stream") << int(SIGTERM) << false << QStringList();
    QTest::newRow("SIGKILL, no older stream") << int(SIGKILL) << false << QStringList();
    QTest::newRow("SIGKILL keeps the older stream") << int(SIGKILL) << true << QStringList();
    QTest::newRow("SIGTERM, no unnamed files") << int(SIGTERM) << true << QStringList{namedPartial};
    QTest::newRow("SIGKILL, no unnamed files: the next job tidies up")
        << int(SIGKILL) << true << QStringList{namedPartial};
}

// The input is a FIFO that gets one frame, so the encoder is caught mid-stream.
void TestCodecTools::encoderLeavesNoFileWhenStopped()
{
    QFETCH(int, sig);
    QFETCH(bool, older);
    QFETCH(QStringList, env);
    const QString dir = freshDir();
    const QString fifo = dir + "/in.yuv";
    QVERIFY2(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0, "mkfifo failed");
    QVERIFY(writeFile(dir + "/config.txt", config(fifo, W, H, 8, dir + "/stream.dat", 22)));
    if (older)
        QVERIFY(writeFile(dir + "/stream.dat", "older stream"));
    QStringList before = entriesOf(dir);

    QProcess p;
    p.setProcessEnvironment(environmentWith(env));
    p.start(ENCODER_EXE, {dir + "/config.txt"});
    QVERIFY(p.waitForStarted());
    int fd = -1;
    QTRY_VERIFY_WITH_TIMEOUT((fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK)) >= 0, 10000);
    const QByteArray frame = makeClip(W, H, 1);
    QCOMPARE(::write(fd, frame.constData(), size_t(frame.size())), ssize_t(frame.size()));
    QTRY_VERIFY_WITH_TIMEOUT(holdsFileIn(p.processId(), dir), 10000);

    ::kill(pid_t(p.processId()), sig);
    const bool finished = p.waitForFinished(10000);
    ::close(fd);
    QVERIFY2(finished, "encoder.exe did not stop on the signal");
    QVERIFY2(p.exitStatus() == QProcess::CrashExit, "encoder.exe should end by the signal");
    if (sig == SIGKILL && env.contains(namedPartial)) {
        // Nothing could remove the named partial file then; the next output in the folder does.
        const QStringList left = entriesOf(dir);
        QVERIFY2(left.filter(QRegularExpression("^\\.tuvr-")).size() == 1, qPrintable(left.join(", ")));
        QVERIFY(writeFile(dir + "/next.yuv", makeClip(W, H, 1)));
        QVERIFY(writeFile(dir + "/next.txt", config(dir + "/next.yuv", W, H, 1, dir + "/next.dat", 22)));
        QVERIFY(run(ENCODER_EXE, {dir + "/next.txt"}, env).exitCode == 0);
        before << "next.dat" << "next.txt" << "next.yuv";
        before.sort();
    }
    QCOMPARE(entriesOf(dir), before);
    if (older)
        QCOMPARE(readFile(dir + "/stream.dat"), QByteArray("older stream"));
}
#endif

#ifdef Q_OS_WIN
// Wine hands no console control event to another process, in any
// arrangement of consoles and process groups.
static bool underWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

void TestCodecTools::encoderLeavesNoFileWhenStoppedOnWindows_data()
{
    QTest::addColumn<bool>("ctrlBreak");
    QTest::addColumn<bool>("older");
    QTest::addColumn<QStringList>("env");
    QTest::newRow("TerminateProcess, no older stream") << false << false << QStringList();
    QTest::newRow("TerminateProcess keeps the older stream") << false << true << QStringList();
    QTest::newRow("Ctrl+Break, no older stream") << true << false << QStringList();
    QTest::newRow("Ctrl+Break removes a named partial, keeps the older stream")
        << true << true << QStringList{namedPartial};
}

// The input is a named pipe that gets one frame, so the encoder is caught mid-stream.
void TestCodecTools::encoderLeavesNoFileWhenStoppedOnWindows()
{
    QFETCH(bool, ctrlBreak);
    QFETCH(bool, older);
    QFETCH(QStringList, env);
    if (ctrlBreak && underWine())
        QSKIP("Wine delivers no GenerateConsoleCtrlEvent() to another process");
    const QString dir = freshDir();
    ClipPipe pipe(QString("tuvr-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(dirCount));
    QVERIFY(writeFile(dir + "/config.txt", config(pipe.path, W, H, 8, dir + "/stream.dat", 22)));
    if (older)
        QVERIFY(writeFile(dir + "/stream.dat", "older stream"));
    const QStringList before = entriesOf(dir);

    QProcess p;
    p.setProcessEnvironment(environmentWith(env));
    // A process group of its own: Ctrl+Break goes to the tool alone.
    p.setCreateProcessArgumentsModifier(
        [](QProcess::CreateProcessArguments *args) { args->flags |= CREATE_NEW_PROCESS_GROUP; });
    p.start(ENCODER_EXE, {dir + "/config.txt"});
    QVERIFY(p.waitForStarted());
    QVERIFY2(pipe.feed(makeClip(W, H, 1), 10000), "encoder.exe did not read its clip");
    // Mid-stream the output is a hidden file in its folder.
    QTRY_VERIFY_WITH_TIMEOUT(!entriesOf(dir).filter(QRegularExpression("^\\.tuvr-")).isEmpty(), 10000);

    if (!ctrlBreak) {
        p.kill();
    } else if (!GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, DWORD(p.processId()))) {
        p.kill();
        p.waitForFinished();
        QSKIP("The test shares no console with the tool to send Ctrl+Break through");
    }
    QVERIFY2(p.waitForFinished(10000), "encoder.exe did not stop");
    QVERIFY2(p.exitStatus() == QProcess::CrashExit, "encoder.exe should end as stopped");
    if (ctrlBreak)
        QCOMPARE(quint32(p.exitCode()), quint32(STATUS_CONTROL_C_EXIT));
    QCOMPARE(entriesOf(dir), before);
    if (older)
        QCOMPARE(readFile(dir + "/stream.dat"), QByteArray("older stream"));
}
#endif
void TestCodecTools::encoderReplacesOlderStream_data()
{
    QTest::addColumn<bool>("symlink");
    QTest::addColumn<QStringList>("env");
    QTest::newRow("an older stream.dat") << false << QStringList();
#ifdef Q_OS_WIN
    QTest::newRow("an older stream.dat, named partial") << false << QStringList{namedPartial};
#else
    QTest::newRow("a planted symlink") << true << QStringList();
    QTest::newRow("a planted symlink, no unnamed files") << true << QStringList{namedPartial};
#endif
}

// The older stream goes in one step at the end; a symlink's target is left alone.
void TestCodecTools::encoderReplacesOlderStream()
{
    QFETCH(bool, symlink);
    QFETCH(QStringList, env);
    const QString dir = freshDir();
    const QString stream = dir + "/stream.dat";
    const QString victim = dir + "/victim.txt";
    QVERIFY(writeFile(victim, "not yours"));
    if (symlink)
        QVERIFY(QFile::link(victim, stream));
    else
        QVERIFY(writeFile(stream, "older stream"));

    QVERIFY(writeFile(dir + "/in.yuv", makeClip(W, H, 2)));
    QVERIFY(writeFile(dir + "/config.txt", config(dir + "/in.yuv", W, H, 2, stream, 22)));
    const Result r = run(ENCODER_EXE, {dir + "/config.txt"}, env);
    QVERIFY2(r.finished && r.exitCode == 0, qPrintable(r.out + r.err));
    const QFileInfo info(stream);
    QVERIFY2(!info.isSymLink() && info.size() > 100, "stream.dat is not the new stream");
    // Written under a hidden name, it is not hidden under its own.
    QVERIFY2(!info.isHidden(), "stream.dat is hidden");
    QCOMPARE(readFile(victim), QByteArray("not yours"));
    QCOMPARE(entriesOf(dir), QStringList({"config.txt", "in.yuv", "stream.dat", "victim.txt"}));
}

#ifdef Q_OS_WIN
// Past MAX_PATH: the tools give such paths the \\?\ prefix.
static const int longestPath = 400;
#else
// Just fits: no temporary name may push it over.
static const int longestPath = PATH_MAX - 1;
#endif

// The output's final path is longestPath long.
void TestCodecTools::toolsWriteIntoLongFolderPath()
{
    QString outDir = freshDir();
    const int room = longestPath - int(QString("/stream.dat").size());
    while (outDir.size() < room)
        outDir += "/" + QString(qMin(200, room - outDir.size() - 1), QChar('d'));
    QCOMPARE(outDir.size(), room);
    QVERIFY(QDir().mkpath(outDir));
    const QString dir = freshDir();
    const QByteArray clip = makeClip(W, H, 2);
    QVERIFY(writeFile(dir + "/in.yuv", clip));
    QVERIFY(writeFile(dir + "/config.txt", config(dir + "/in.yuv", W, H, 2, outDir + "/stream.dat", 0)));

    const Result enc = run(ENCODER_EXE, {dir + "/config.txt"});
    QVERIFY2(enc.finished && enc.exitCode == 0, qPrintable(enc.out + enc.err));
    const Result dec = run(DECODER_EXE, {outDir + "/stream.dat"});
    QVERIFY2(dec.finished && dec.exitCode == 0, qPrintable(dec.out + dec.err));
    QVERIFY2(readFile(outDir + "/stream.yuv") == clip, "the clip did not come back");
    QCOMPARE(entriesOf(outDir), QStringList({"stream.dat", "stream.yuv"}));
}

// The decoder's summary as it begins for n frames, in English.
static QString decodedFrames(int n)
{
    return QString(n == 1 ? "Decoded %1 frame " : "Decoded %1 frames ").arg(n);
}

// Only the last update, once all is done, may say 100%; the program parses
// these lines. The per-frame lines between them go with the "\n" that ends
// the progress line before them.
static QString checkProgress(QString err, const QRegularExpression &line, const QString &last)
{
    err.remove(QRegularExpression("\n?(" + frameLinePattern + ")+"));
    if (!err.endsWith("\r\n"))
        return "progress does not end its last line: " + err;
    const QStringList updates = err.left(err.size() - 2).split('\r');
    for (const QString &update : updates) {
        if (!line.match(update).hasMatch())
            return "not a progress line: " + update;
        if (update.startsWith("[100.0%]") && update != updates.last())
            return "100% before the end: " + err;
    }
    return updates.last().startsWith(last) ? QString() : "last update is " + updates.last();
}

#ifndef Q_OS_WIN
// The locale the build tree generates, as the user's language sets it.
static const QStringList russian{QString("LOCPATH=") + TEST_LOCPATH, "LANG=ru_RU.UTF-8"};
#endif

void TestCodecTools::toolsPrintProgress_data()
{
    QTest::addColumn<QStringList>("env");
    QTest::newRow("C locale") << QStringList();
#ifndef Q_OS_WIN
    // The program parses these lines: they keep their form and C's decimal point.
    QTest::newRow("Russian locale") << russian;
#endif
}

void TestCodecTools::toolsPrintProgress()
{
    QFETCH(QStringList, env);
    const QString dir = freshDir();
    const Result enc = encodeClip(dir, makeClip(W, H, 5), W, H, 8, 22, env);
    QVERIFY2(enc.finished && enc.exitCode == 0, qPrintable(enc.out + enc.err));
    const QRegularExpression encLine(R"(^\[\d+\.\d%\] \d+/5 frames, \d+\.\d\d fps, eta \d+:\d\d:\d\d$)");
    const QString encProblem = checkProgress(enc.err, encLine, "[100.0%] 5/5 frames");
    QVERIFY2(encProblem.isEmpty(), qPrintable(encProblem));

    const Result dec = run(DECODER_EXE, {dir + "/stream.dat"}, env);
    QVERIFY2(dec.finished && dec.exitCode == 0, qPrintable(dec.out + dec.err));
    const QRegularExpression decLine(R"(^\[\d+\.\d%\] \d+ frames, \d+\.\d\d fps, eta \d+:\d\d:\d\d$)");
    const QString decProblem = checkProgress(dec.err, decLine, "[100.0%] 5 frames");
    QVERIFY2(decProblem.isEmpty(), qPrintable(decProblem));
}

#ifndef Q_OS_WIN
void TestCodecTools::toolsSpeakTheUsersLanguage_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("env");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("exitCode");

    const QString dir = freshDir();
    QVERIFY(!encodeClip(dir, makeClip(W, H, 6), W, H, 6, 22).out.isEmpty());
    const QByteArray stream = readFile(dir + "/stream.dat");
    QVERIFY(!stream.isEmpty());
    const QStringList input{"@INPUT@"};
    const QStringList messagesOnly{QString("LOCPATH=") + TEST_LOCPATH, "LC_MESSAGES=ru_RU.UTF-8"};

    QTest::newRow("encoder's usage")
        << ENCODER_EXE << QStringList() << QByteArray() << russian
        << "^Ошибка: использование: .+ НАСТРОЙКИ  \\(в файле НАСТРОЙКИ строки file_in, " << 2;
    QTest::newRow("encoder refuses an unknown key")
        << ENCODER_EXE << input << changed("nframes 2\n", "nframes 2\nframerate 25\n") << russian
        << "^Ошибка: файл настроек «.+/input», строка 5: неизвестный ключ «framerate»\n$" << 1;
    QTest::newRow("encoder refuses an odd width")
        << ENCODER_EXE << input << changed("width 128", "width 127") << russian
        << "^Ошибка: файл настроек «.+»: недопустимое значение width 127: нужно чётное число от 2 до 4096\n$" << 1;
    QTest::newRow("decoder refuses an empty stream") << DECODER_EXE << input << QByteArray("") << russian
                                                     << "^Ошибка: файл потока «.+/input» пуст\n$" << 1;
    QTest::newRow("decoder's summary, with decimal commas")
        << DECODER_EXE << input << stream << russian
        << "^Декодировано 6 кадров 128x96 за \\d+,\\d\\d с \\(\\d+,\\d кадр/с\\)\n"
           "Выходной файл: 110\u202F592 байта -> .+/input\\.yuv\n$" << 0;
    QTest::newRow("decoder's warning on a cut stream")
        << DECODER_EXE << input << stream.left(stream.size() * 2 / 3) << russian
        << "^Предупреждение: поток повреждён или обрезан \\(.+\\): кадр \\d+ и следующие за ним зависят от "
           "повреждённых данных; сохранены первые кадры: \\d+ из \\d+\nДекодирован" << 1;
    QTest::newRow("words by LC_MESSAGES, numbers by LC_NUMERIC")
        << DECODER_EXE << input << stream << messagesOnly
        << "^Декодировано 6 кадров 128x96 за \\d+\\.\\d\\d с \\(\\d+\\.\\d кадр/с\\)\n" << 0;
    // glibc gives its error texts in the locale's encoding unless asked for UTF-8.
    QTest::newRow("system error text in a KOI8-R locale")
        << DECODER_EXE << QStringList{"@INPUT@.absent"} << QByteArray()
        << QStringList{QString("LOCPATH=") + TEST_LOCPATH, "LANG=ru_RU.KOI8-R"}
        << "^Ошибка: не удаётся открыть файл потока «.+/input\\.absent»: Нет такого файла или каталога\n$" << 1;
    QTest::newRow("no locale: English") << DECODER_EXE << input << stream << QStringList()
                                        << "^Decoded 6 frames of 128x96 in \\d+\\.\\d\\d s \\(\\d+\\.\\d fps\\)\n" << 0;
}

void TestCodecTools::toolsSpeakTheUsersLanguage()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(QStringList, env);
    QFETCH(QString, pattern);
    QFETCH(int, exitCode);
    const QString dir = freshDir();
    QVERIFY(writeFile(dir + "/input", input));
    args.replaceInStrings("@INPUT@", dir + "/input");

    const Result r = run(program, args, env);
    QVERIFY2(r.finished && r.status == QProcess::NormalExit, qPrintable(r.out + r.err));
    QVERIFY2(r.exitCode == exitCode, qPrintable(QString("exit code %1: %2").arg(r.exitCode).arg(r.err)));
    const QRegularExpression expected(pattern);
    QVERIFY2(expected.isValid(), qPrintable(expected.errorString()));
    QVERIFY2(expected.match(r.said).hasMatch(), qPrintable("want /" + pattern + "/, got: " + r.said));
}

// As glibc's Russian locale groups digits: by threes, with a narrow no-break space.
static QString russianDigits(qint64 n)
{
    QString digits = QString::number(n);
    for (auto at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QChar(0x202F));
    return digits;
}

// Words of Latin letters but those Russian writes so too, the ones that
// name the options of config.txt and the figures' names.
static QStringList englishWords(const QString &text)
{
    static const QRegularExpression word("[A-Za-z]{2,}");
    static const QStringList kept{"PSNR", "SSIM", "QP"};
    QStringList found;
    for (auto it = word.globalMatch(text); it.hasNext();) {
        const QString w = it.next().captured();
        if (!kept.contains(w))
            found << w;
    }
    return found;
}

void TestCodecTools::encoderReportIsRussianThroughout_data()
{
    QTest::addColumn<QByteArray>("clip");
    QTest::addColumn<int>("nframes");
    QTest::addColumn<int>("qp");
    QTest::addColumn<QString>("firstLine");

    QTest::newRow("short clip with a partial frame") << makeClip(W, H, 3) + QByteArray(100, 'x') << 8 << 30
                                                     << "^Степень сжатия: \\d+,\\d\\d \\(55\u202F296 / [\\d\u202F]+ байт[а]?\\), "
                                                        "3 кадра, \\d+,\\d кадр/с\n";
    QTest::newRow("lossless") << makeClip(W, H, 2) << 2 << 0
                              << "^Степень сжатия: \\d+,\\d\\d \\(36\u202F864 / [\\d\u202F]+ байт[а]?\\), 2 кадра, \\d+,\\d кадр/с\n"
                                 "PSNR, среднее: Y: ∞, U: ∞, V: ∞, по плоскостям: ∞, общее: ∞ \\(без потерь\\)\n"
                                 "SSIM, среднее: Y: 1,0000000 \\(∞ дБ, без потерь\\)\n";
}

// What the report box shows: the program's cut, with its own Russian for the phrase.
void TestCodecTools::encoderReportIsRussianThroughout()
{
    QFETCH(QByteArray, clip);
    QFETCH(int, nframes);
    QFETCH(int, qp);
    QFETCH(QString, firstLine);
    const QString dir = freshDir();
    const Result r = encodeClip(dir, clip, W, H, nframes, qp, russian);
    QVERIFY2(r.finished && r.exitCode == 0, qPrintable(r.out + r.err));

    const QString report = encoderReport(r.out.toUtf8(), QStringLiteral("Степень сжатия"));
    QVERIFY2(QRegularExpression(firstLine).match(report).hasMatch(), qPrintable(report));
    const QString path = dir + "/stream.dat";
    const QString lastLine = QString("\nВыходной файл: %1 ").arg(russianDigits(QFileInfo(path).size()));
    QVERIFY2(report.contains(lastLine) && report.endsWith(" -> " + path + "\n"), qPrintable(report));
    const QString text = QString(report).remove(path);
    const QStringList english = englishWords(text);
    QVERIFY2(english.isEmpty(), qPrintable(english.join(' ') + " in: " + report));
    QVERIFY2(!text.contains(QRegularExpression("\\d\\.\\d")), qPrintable("a decimal point in: " + report));
}
#endif

enum class Spelling { Absolute, Relative, Native };
Q_DECLARE_METATYPE(Spelling)

void TestCodecTools::decoderNeverOverwrites_data()
{
    QTest::addColumn<QString>("streamName");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<Spelling>("spelling");
    const Spelling absolute = Spelling::Absolute;
    QTest::newRow("no clip there yet") << "stream.dat" << QStringList() << "stream.yuv" << absolute;
    QTest::newRow("stream.yuv exists") << "stream.dat" << QStringList{"stream.yuv"} << "stream-1.yuv" << absolute;
    QTest::newRow("stream.yuv and stream-1.yuv exist")
        << "stream.dat" << QStringList{"stream.yuv", "stream-1.yuv"} << "stream-2.yuv" << absolute;
    QTest::newRow("dots in folder and name") << "v1.0/take.2.dat" << QStringList() << "v1.0/take.2.yuv" << absolute;
    QTest::newRow("no extension") << "stream" << QStringList() << "stream.yuv" << absolute;
    QTest::newRow("the input itself ends in .yuv") << "clip.yuv" << QStringList() << "clip-1.yuv" << absolute;
    QTest::newRow("relative path, stream.yuv exists")
        << "sub/stream.dat" << QStringList{"sub/stream.yuv"} << "sub/stream-1.yuv" << Spelling::Relative;
    QTest::newRow("native separators, stream.yuv exists")
        << "sub/stream.dat" << QStringList{"sub/stream.yuv"} << "sub/stream-1.yuv" << Spelling::Native;
    // Windows names files without regard to letter case.
#ifdef Q_OS_WIN
    const QString caseFolded = "stream-1.yuv";
#else
    const QString caseFolded = "stream.yuv";
#endif
    QTest::newRow("STREAM.yuv exists") << "stream.dat" << QStringList{"STREAM.yuv"} << caseFolded << absolute;
}

void TestCodecTools::decoderNeverOverwrites()
{
    QFETCH(QString, streamName);
    QFETCH(QStringList, existing);
    QFETCH(QString, expected);
    QFETCH(Spelling, spelling);
    const QString dir = freshDir();
    const QByteArray clip = makeClip(W, H, 3);
    QVERIFY(encodeClip(dir, clip, W, H, 3, 0).exitCode == 0);
    const QString stream = dir + "/" + streamName;
    QVERIFY(QDir().mkpath(QFileInfo(stream).path()));
    if (stream != dir + "/stream.dat")
        QVERIFY(QFile::rename(dir + "/stream.dat", stream));
    const QByteArray streamBytes = readFile(stream);
    for (const QString &name : existing)
        QVERIFY(writeFile(dir + "/" + name, "keep " + name.toUtf8()));

    const Result r = spelling == Spelling::Relative ? run(DECODER_EXE, {streamName}, {}, dir)
        : spelling == Spelling::Native             ? run(DECODER_EXE, {QDir::toNativeSeparators(stream)})
                                                   : run(DECODER_EXE, {stream});
    QVERIFY2(r.finished && r.exitCode == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains("Decoded 3 frames of 128x96"), qPrintable(r.out));
    // The program shows this line: the path must hold wherever the decoder
    // ran. A relative one is made absolute, and all in the system's own spelling.
    const QString said = QDir::toNativeSeparators(dir + "/" + expected);
    QVERIFY2(r.out.contains("-> " + said + "\n"), qPrintable(r.out));
    QVERIFY2(readFile(dir + "/" + expected) == clip, qPrintable(expected + " is not the clip"));
    QVERIFY2(!QFileInfo(dir + "/" + expected).isHidden(), qPrintable(expected + " is hidden"));
    for (const QString &name : existing)
        QVERIFY2(readFile(dir + "/" + name) == "keep " + name.toUtf8(), qPrintable(name + " was overwritten"));
    QVERIFY2(readFile(stream) == streamBytes, "the stream itself changed");
    QVERIFY2(entriesOf(QFileInfo(stream).path()).filter(QRegularExpression("^\\.")).isEmpty(),
             "a temporary file was left");
}

void TestCodecTools::decoderKeepsFramesBeforeCut_data()
{
    QTest::addColumn<double>("keptShare");
    QTest::newRow("cut in the middle") << 0.6;
    QTest::newRow("cut just before the end") << 0.98;
}

// Lossless, so every frame kept must equal the source frame exactly.
void TestCodecTools::decoderKeepsFramesBeforeCut()
{
    QFETCH(double, keptShare);
    const int frames = 8;
    const QString dir = freshDir();
    const QByteArray clip = makeClip(W, H, frames);
    QVERIFY(encodeClip(dir, clip, W, H, frames, 0).exitCode == 0);
    const QByteArray stream = readFile(dir + "/stream.dat");
    QVERIFY(writeFile(dir + "/cut.dat", stream.left(int(stream.size() * keptShare))));

    const Result r = run(DECODER_EXE, {dir + "/cut.dat"});
    QVERIFY2(r.finished && r.status == QProcess::NormalExit, "decoder.exe crashed or hung");
    QVERIFY2(r.exitCode == 1, qPrintable(r.said));
    QVERIFY2(r.said.contains("Warning") && r.said.contains("cut short"), qPrintable(r.said));
    const QByteArray decoded = readFile(dir + "/cut.yuv");
    QVERIFY2(decoded.size() > 0 && decoded.size() < clip.size() && decoded.size() % frameBytes == 0,
             qPrintable(QString("%1 bytes decoded").arg(decoded.size())));
    QVERIFY2(decoded == clip.left(decoded.size()), "a kept frame differs from the source");
    QVERIFY2(r.out.contains(decodedFrames(decoded.size() / frameBytes)), qPrintable(r.out));
}

void TestCodecTools::decoderRejectsBadStream_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("content");
    QByteArray noise;
    quint32 state = 7;
    for (int i = 0; i < 65536; ++i) {
        state = state * 1103515245u + 12345u;
        noise.append(char(state >> 24));
    }
    QTest::newRow("random bytes") << "noise.dat" << "file" << noise;
    QTest::newRow("plain text") << "notes.dat" << "file" << QByteArray("file_in clip.yuv\nwidth 128\n").repeated(50);
    QTest::newRow("empty file") << "empty.dat" << "file" << QByteArray();
    QTest::newRow("missing file") << "absent.dat" << "none" << QByteArray();
    QTest::newRow("a folder") << "folder.dat" << "folder" << QByteArray();
}

void TestCodecTools::decoderRejectsBadStream()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QByteArray, content);
    const QString dir = freshDir();
    const QString path = dir + "/" + name;
    if (kind == "folder")
        QVERIFY(QDir().mkpath(path));
    else if (kind == "file")
        QVERIFY(writeFile(path, content));
    const QStringList before = entriesOf(dir);

    const Result r = run(DECODER_EXE, {path});
    QVERIFY2(r.finished && r.status == QProcess::NormalExit, "decoder.exe crashed or hung");
    QVERIFY2(r.exitCode != 0, qPrintable(r.said));
    QVERIFY2(r.said.startsWith("Error") && r.said.contains(name), qPrintable(r.said));
    QCOMPARE(entriesOf(dir), before);
}

// What came before the change is kept, but the run is still a failure.
void TestCodecTools::decoderStopsAtResolutionChange()
{
    const QString dir = freshDir();
    const QByteArray clip = makeClip(W, H, 3);
    QVERIFY(encodeClip(dir, clip, W, H, 3, 0).exitCode == 0);
    const QByteArray first = readFile(dir + "/stream.dat");
    const QString small = freshDir();
    QVERIFY(encodeClip(small, makeClip(64, 48, 2), 64, 48, 2, 0).exitCode == 0);
    QVERIFY(writeFile(dir + "/joined.dat", first + readFile(small + "/stream.dat")));

    const Result r = run(DECODER_EXE, {dir + "/joined.dat"});
    QVERIFY2(r.finished && r.status == QProcess::NormalExit, "decoder.exe crashed or hung");
    QVERIFY2(r.exitCode != 0, qPrintable(r.said));
    QVERIFY2(r.said.contains("changes from 128x96"), qPrintable(r.said));
    QVERIFY2(readFile(dir + "/joined.yuv") == clip, "the frames before the change were not kept");
}

void TestCodecTools::pictureSizeLimit_data()
{
    QTest::addColumn<bool>("encoder");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("needle");
    QTest::newRow("encoder refuses a side above 4096") << true << 4098 << 96 << "from 2 to 4096";
    QTest::newRow("encoder refuses more pixels than 4096x2304") << true << 4096 << 2320 << "4096x2304";
    QTest::newRow("decoder refuses a stream 4112 wide") << false << 4112 << 96 << "4112x96";
    QTest::newRow("decoder refuses a 4096x2320 stream") << false << 4096 << 2320 << "4096x2320";
}

// Both tools agree on the largest picture, so the encoder never writes a
// stream the decoder refuses.
void TestCodecTools::pictureSizeLimit()
{
    QFETCH(bool, encoder);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, needle);
    const QString dir = freshDir();
    Result r;
    if (encoder) {
        // A FIFO nobody writes to: reading a frame would hang the encoder.
#ifdef Q_OS_WIN
        const ClipPipe pipe(QString("tuvr-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(dirCount));
        const QString input = pipe.path;
#else
        const QString input = dir + "/in.yuv";
        QVERIFY(::mkfifo(QFile::encodeName(input).constData(), 0600) == 0);
#endif
        QVERIFY(writeFile(dir + "/config.txt", config(input, width, height, 2, dir + "/stream.dat", 22)));
        r = run(ENCODER_EXE, {dir + "/config.txt"});
    } else {
        QVERIFY(encodeClip(dir, makeClip(W, H, 2), W, H, 2, 22).exitCode == 0);
        const QByteArray big = annexb::rewriteAllSps(readFile(dir + "/stream.dat"), {width / 16, height / 16, false});
        QVERIFY2(!big.isEmpty(), "cannot rewrite x264's sequence parameter set");
        QVERIFY(writeFile(dir + "/big.dat", big));
        r = run(DECODER_EXE, {dir + "/big.dat"});
    }
    QVERIFY2(r.finished && r.status == QProcess::NormalExit, "the tool crashed or hung");
    QVERIFY2(r.exitCode != 0, qPrintable(r.said));
    QVERIFY2(r.said.startsWith("Error") && r.said.contains(needle) && r.said.contains("4096"), qPrintable(r.said));
    QVERIFY2(!QFile::exists(dir + "/stream.yuv") && !QFile::exists(dir + "/big.yuv"), "frames were written");
}

void TestCodecTools::largestPictureRoundTrip()
{
    const int w = 4096, h = 2304;
    const QString dir = freshDir();
    const QByteArray clip = solidFrame(w, h, 128, 128, 128);
    const Result enc = encodeClip(dir, clip, w, h, 1, 22);
    QVERIFY2(enc.finished && enc.exitCode == 0, qPrintable(enc.out + enc.err));
    const Result dec = run(DECODER_EXE, {dir + "/stream.dat"});
    QVERIFY2(dec.finished && dec.exitCode == 0, qPrintable(dec.out + dec.err));
    QVERIFY2(dec.out.contains("Decoded 1 frame of 4096x2304"), qPrintable(dec.out));
}

void TestCodecTools::decoderKeepsEveryFrameWithoutReorderDepth_data()
{
    QTest::addColumn<int>("frames");
    QTest::newRow("9 frames") << 9;
    QTest::newRow("24 frames") << 24;
}

// x264 states how deep the B-frames reorder; other encoders' streams often do
// not. Only that header differs, so every conforming decoder, the ffmpeg
// command line's included, gives the frames of the original stream.
void TestCodecTools::decoderKeepsEveryFrameWithoutReorderDepth()
{
    QFETCH(int, frames);
    const QString dir = freshDir();
    QVERIFY(encodeClip(dir, makeClip(W, H, frames), W, H, frames, 22).exitCode == 0);
    QVERIFY(run(DECODER_EXE, {dir + "/stream.dat"}).exitCode == 0);
    const QByteArray original = readFile(dir + "/stream.yuv");
    QCOMPARE(original.size(), frames * frameBytes);
    const QByteArray stream = readFile(dir + "/stream.dat");
    const QVector<annexb::Nal> nals = annexb::split(stream);
    QVERIFY2(std::any_of(nals.begin(), nals.end(), [](const annexb::Nal &n) { return n.type() == 1 && !n.refIdc(); }),
             "the stream has no B-frame to reorder");
    const QByteArray bare = annexb::rewriteAllSps(stream, {0, 0, true});
    QVERIFY2(!bare.isEmpty() && bare.size() < stream.size(), "cannot rewrite x264's sequence parameter set");
    QVERIFY(writeFile(dir + "/bare.dat", bare));

    const Result r = run(DECODER_EXE, {dir + "/bare.dat"});
    QVERIFY2(r.finished && r.exitCode == 0, qPrintable(r.out + r.err));
    QVERIFY2(!r.said.contains("Warning"), qPrintable(r.said));
    QVERIFY2(r.said.contains(decodedFrames(frames)), qPrintable(r.said));
    QVERIFY2(readFile(dir + "/bare.yuv") == original, "the frames did not come back in display order");
}

static QVector<annexb::Nal> slicesOf(const QByteArray &stream)
{
    QVector<annexb::Nal> slices;
    for (const annexb::Nal &nal : annexb::split(stream)) {
        if (annexb::isSlice(nal))
            slices.append(nal);
    }
    return slices;
}

// The checksum SEI the encoder writes just before each picture's slice, in decode order.
static QVector<annexb::Nal> checksumsOf(const QByteArray &stream)
{
    const QVector<annexb::Nal> nals = annexb::split(stream);
    QVector<annexb::Nal> checksums;
    for (int i = 1; i < nals.size(); ++i) {
        if (annexb::isSlice(nals[i]) && nals[i - 1].type() == 6)
            checksums.append(nals[i - 1]);
    }
    return checksums;
}

static QByteArray withoutSei(const QByteArray &stream)
{
    return annexb::filter(stream, [](const annexb::Nal &nal) { return nal.type() != 6; });
}

static QByteArray flipped(const QByteArray &stream, const annexb::Nal &nal, double at)
{
    QByteArray out = stream;
    const int i = nal.start + int((nal.end - nal.start) * at);
    out[i] = char(out[i] ^ 0xff);
    return out;
}

// A checksum SEI without its NAL header: payload type and size, UUID, kind,
// flags, display and decode numbers, hashes, trailing bits.
static QByteArray checksumRbsp(const QByteArray &stream, const annexb::Nal &sei)
{
    return annexb::toRbsp(stream.mid(sei.start + 1, sei.end - sei.start - 1));
}

static quint32 displayNumber(const QByteArray &stream, const annexb::Nal &sei)
{
    return qFromBigEndian<quint32>(checksumRbsp(stream, sei).constData() + 20);
}

// Damage to a picture's checksum or place (decode order): a broken kind or
// size, or a non-reference picture lost or swapped with the next, as
// networks lose them, or every picture from it on lost.
static QByteArray placeDamage(const QByteArray &stream, const QString &kind, int which)
{
    const QVector<annexb::Nal> slices = slicesOf(stream), checksums = checksumsOf(stream);
    if (which > checksums.size())
        return {};
    const annexb::Nal &sei = checksums[which - 1], &slice = slices[which - 1];
    const int from = sei.start - 3, to = slice.end;
    QByteArray out = stream;
    if (kind == "checksum kind broken" || kind == "checksum kind broken, slice flipped") {
        out[sei.start + 19] = char(3); // after the NAL header, payload type and size, and the UUID
        return kind.endsWith("flipped") ? flipped(out, slice, 0.8) : out;
    }
    if (kind == "checksum size broken") {
        // Two short: the two bytes left make an empty SEI message of another type, which libavcodec skips.
        out[sei.start + 2] = char(out[sei.start + 2] - 2);
        return out.replace(sei.end - 3, 2, QByteArray("\x64\0", 2));
    }
    if (kind == "lost from")
        return out.left(from);
    if (slice.refIdc())
        return {};
    if (kind == "picture lost")
        return out.remove(from, to - from);
    if (kind == "slice lost")
        return out.remove(slice.start - 3, slice.end - slice.start + 3);
    if (kind == "swapped with the next" && which < checksums.size() && !slices[which].refIdc()) {
        const QByteArray picture = out.mid(from, to - from);
        return out.remove(from, to - from).insert(slices[which].end - (to - from), picture);
    }
    return {};
}

// 4 bytes flipped mid-slice, a cut, a reference picture's slice dropped, the
// checksum of a picture (decode order) changed or dropped, or placeDamage().
static QByteArray damage(const QByteArray &stream, const QString &kind, int which)
{
    if (kind == "cut")
        return stream.left(stream.size() * which / 100);
    const QVector<annexb::Nal> slices = slicesOf(stream), checksums = checksumsOf(stream);
    QVector<annexb::Nal> references;
    std::copy_if(slices.begin(), slices.end(), std::back_inserter(references),
                 [](const annexb::Nal &nal) { return nal.type() == 1 && nal.refIdc(); });
    QByteArray out = stream;
    if (kind == "flip" && which <= slices.size()) {
        const int middle = (slices[which - 1].start + slices[which - 1].end) / 2;
        for (int i = 0; i < 4; ++i)
            out[middle + i] = char(out[middle + i] ^ 0xff);
        return out;
    }
    const QVector<annexb::Nal> &dropped = kind == "drop" ? references : checksums;
    if ((kind == "drop" || kind == "checksum dropped") && which <= dropped.size()) {
        const annexb::Nal &nal = dropped[which - 1];
        return out.remove(nal.start - 3, nal.end - nal.start + 3);
    }
    if (kind == "checksum changed" && which <= checksums.size()) {
        // The hashes' last byte, just before the trailing bits: the new value makes no start code.
        const int last = checksums[which - 1].end - 2;
        out[last] = out[last] == char(0x55) ? char(0xaa) : char(0x55);
        return out;
    }
    return placeDamage(stream, kind, which);
}

// One byte flipped in a slice, from the given picture on (decode order), that
// the decoder cannot notice once the stream has lost its checksums, like the
// damage users found; empty when there is none.
QByteArray TestCodecTools::unseenFlip(const QString &dir, const QByteArray &stream, const QByteArray &clean,
                                      int fromPicture)
{
    const QByteArray bare = withoutSei(stream);
    const QVector<annexb::Nal> slices = slicesOf(stream), bareSlices = slicesOf(bare);
    for (int i = fromPicture - 1; i < slices.size() && i < bareSlices.size(); ++i) {
        for (const double at : {0.8, 0.5}) {
            QFile::remove(dir + "/probe.yuv");
            if (!writeFile(dir + "/probe.dat", flipped(bare, bareSlices[i], at)))
                return {};
            const Result r = run(DECODER_EXE, {dir + "/probe.dat"});
            if (r.exitCode == 0 && !r.said.contains("Warning") && readFile(dir + "/probe.yuv") != clean)
                return flipped(stream, slices[i], at);
        }
    }
    return {};
}

void TestCodecTools::decoderIsDeterministicOnDamage_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("which");
    QTest::newRow("flip in the 3rd picture") << "flip" << 3;
    QTest::newRow("flip in the 8th picture") << "flip" << 8;
    QTest::newRow("flip in the 18th picture") << "flip" << 18;
    QTest::newRow("cut at 60%") << "cut" << 60;
    QTest::newRow("2nd reference picture dropped") << "drop" << 2;
    QTest::newRow("a flip libavcodec cannot see, from the 6th picture on") << "unseen" << 6;
    QTest::newRow("checksum of the 5th picture changed") << "checksum changed" << 5;
    QTest::newRow("checksum of the 9th picture dropped") << "checksum dropped" << 9;
    // In this clip the 5th picture is a non-reference B picture, as are the 4th and the 13th, and the 22nd a P picture.
    QTest::newRow("the 5th picture lost") << "picture lost" << 5;
    QTest::newRow("the 4th picture swapped with the 5th") << "swapped with the next" << 4;
    QTest::newRow("kind of the 13th picture's checksum broken") << "checksum kind broken" << 13;
    QTest::newRow("size of the 13th picture's checksum broken") << "checksum size broken" << 13;
    // A flip libavcodec does not see in this picture: only the checksum tells.
    QTest::newRow("kind of the 13th picture's checksum broken, its slice flipped")
        << "checksum kind broken, slice flipped" << 13;
    QTest::newRow("the 5th picture's slice lost, its checksum left") << "slice lost" << 5;
    QTest::newRow("the last picture lost") << "lost from" << 24;
    // The frames left are whole and in order: only the missing last picture tells.
    QTest::newRow("the pictures from the 22nd on lost") << "lost from" << 22;
}

// Every run, with any number of threads, keeps the same frames and says the
// same; and no kept frame depends on the damage.
void TestCodecTools::decoderIsDeterministicOnDamage()
{
    QFETCH(QString, kind);
    QFETCH(int, which);
    const int frames = 24;
    const QString dir = freshDir();
    QVERIFY(encodeClip(dir, makeClip(W, H, frames), W, H, frames, 22).exitCode == 0);
    QVERIFY(run(DECODER_EXE, {dir + "/stream.dat"}).exitCode == 0);
    const QByteArray clean = readFile(dir + "/stream.yuv");
    QCOMPARE(clean.size(), frames * frameBytes);
    const QByteArray stream = readFile(dir + "/stream.dat");
    const QByteArray bad = kind == "unseen" ? unseenFlip(dir, stream, clean, which) : damage(stream, kind, which);
    QVERIFY2(!bad.isEmpty(), "the stream has too few pictures for this row");
    QVERIFY(writeFile(dir + "/bad.dat", bad));

    const QRegularExpression timing(" in [0-9.]+ s \\([0-9.]+ fps\\)");
    const QStringList threads{"1", "2", QString::number(qMax(3, QThread::idealThreadCount()))};
    QString firstOut;
    QByteArray firstYuv;
    for (int round = 0; round < 2; ++round) {
        for (const QString &count : threads) {
            QFile::remove(dir + "/bad.yuv");
            const Result r = run(DECODER_EXE, {dir + "/bad.dat"}, {"TUVR_DECODER_THREADS=" + count});
            QVERIFY2(r.finished && r.status == QProcess::NormalExit, "decoder.exe crashed or hung");
            const QString out = QString(r.said).remove(timing) + QString("exit %1").arg(r.exitCode);
            const QByteArray yuv = readFile(dir + "/bad.yuv");
            if (firstOut.isEmpty()) {
                firstOut = out;
                firstYuv = yuv;
            }
            QVERIFY2(out == firstOut, qPrintable(QString("%1 threads said:\n%2\nthe first run said:\n%3")
                                                     .arg(count, out, firstOut)));
            QVERIFY2(yuv == firstYuv, qPrintable(count + " threads wrote other frames than the first run"));
        }
    }
    const int kept = firstYuv.size() / frameBytes;
    QVERIFY2(kept > 0 && kept < frames && firstYuv.size() % frameBytes == 0, qPrintable(firstOut));
    QVERIFY2(firstOut.endsWith("exit 1"), qPrintable("frames were lost, yet " + firstOut));
    QVERIFY2(firstYuv == clean.left(firstYuv.size()), "a kept frame differs from the clean decode");
    // One order, display order, in the message: frame K+1 is where the kept run ends.
    const QRegularExpression said("frame (\\d+) and the frames after it depend on damaged data; "
                                  "kept the first (\\d+) of (?:at least )?(\\d+) frames");
    const QRegularExpressionMatch m = said.match(firstOut);
    QVERIFY2(m.hasMatch() && m.captured(1).toInt() == kept + 1 && m.captured(2).toInt() == kept, qPrintable(firstOut));
    const bool allCounted = kind != "cut" && kind != "drop" && !kind.contains("lost");
    QVERIFY2(m.captured(3).toInt() == (allCounted ? frames : m.captured(3).toInt()) && m.captured(3).toInt() > kept,
             qPrintable(firstOut));
    QVERIFY2(firstOut.contains(decodedFrames(kept)), qPrintable(firstOut));
    // What only the checksums find is named as such, and ends the run as other damage does.
    if (kind == "unseen" || kind.startsWith("checksum"))
        QVERIFY2(firstOut.contains("checksum"), qPrintable(firstOut));
    if (kind.contains("lost") || kind.startsWith("swapped"))
        QVERIFY2(firstOut.contains(QRegularExpression("lost or out of order|out of its place|missing at the end")),
                 qPrintable(firstOut));
    if (kind == "cut" || kind == "drop" || kind == "unseen")
        return;
    // Not the damaged picture's frame, but every frame before it and before those after it in decode order.
    const QVector<annexb::Nal> checksums = checksumsOf(stream);
    quint32 first = UINT_MAX;
    for (int i = which - 1; i < checksums.size(); ++i)
        first = qMin(first, displayNumber(stream, checksums[i]));
    QVERIFY2(quint32(kept) >= first && quint32(kept) <= displayNumber(stream, checksums[which - 1]),
             qPrintable(firstOut));
}

void TestCodecTools::decoderGivesUpOnInputWithoutPictures_data()
{
    QTest::addColumn<bool>("streamFirst");
    QTest::newRow("1 GiB of zeros") << false;
    QTest::newRow("a stream, then 1 GiB of zeros") << true;
}

// The zeros are a sparse file: the decoder must stop long before their end.
void TestCodecTools::decoderGivesUpOnInputWithoutPictures()
{
    QFETCH(bool, streamFirst);
    const QString dir = freshDir();
    const QByteArray clip = makeClip(W, H, 4);
    QByteArray stream;
    if (streamFirst) {
        QVERIFY(encodeClip(dir, clip, W, H, 4, 0).exitCode == 0);
        stream = readFile(dir + "/stream.dat");
    }
    QFile zeros(dir + "/zeros.dat");
    QVERIFY(zeros.open(QIODevice::WriteOnly) && zeros.write(stream) == stream.size() && zeros.resize(1 << 30));
    zeros.close();

    const Result r = run(DECODER_EXE, {dir + "/zeros.dat"});
    QVERIFY2(r.finished && r.status == QProcess::NormalExit, "decoder.exe crashed or hung");
    if (!streamFirst) {
        QVERIFY2(r.exitCode != 0, qPrintable(r.said));
        QVERIFY2(r.said.startsWith("Error") && r.said.contains("not an H.264 stream: no H.264 data in its first 4 MiB"),
                 qPrintable(r.said));
        QVERIFY(!QFile::exists(dir + "/zeros.yuv"));
        return;
    }
    QVERIFY2(r.exitCode == 0, qPrintable(r.said));
    QVERIFY2(r.said.contains("after its last picture (no H.264 data in 4 MiB); kept all 4 frames"), qPrintable(r.said));
    QVERIFY2(readFile(dir + "/zeros.yuv") == clip, "the frames before the zeros were not kept");
}

static void appendI420(QByteArray &out, const AVFrame *f)
{
    for (int plane = 0; plane < 3; ++plane) {
        const int width = plane ? (f->width + 1) / 2 : f->width, height = plane ? (f->height + 1) / 2 : f->height;
        for (int y = 0; y < height; ++y)
            out.append(reinterpret_cast<const char *>(f->data[plane] + y * f->linesize[plane]), width);
    }
}

// The frames plain libavcodec makes of a stream, as any decoder built on it
// would, none of the tools' checks included; empty on failure.
static QByteArray decodeWithLibavcodec(const QByteArray &stream)
{
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecParserContext *parser = av_parser_init(AV_CODEC_ID_H264);
    AVCodecContext *ctx = avcodec_alloc_context3(codec);
    AVPacket *pkt = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    const QByteArray input = stream + QByteArray(AV_INPUT_BUFFER_PADDING_SIZE, '\0');
    const auto *data = reinterpret_cast<const uint8_t *>(input.constData());
    QByteArray out;
    bool ok = parser && ctx && pkt && frame && avcodec_open2(ctx, codec, nullptr) == 0;
    auto decode = [&](const AVPacket *packet) {
        ok = ok && avcodec_send_packet(ctx, packet) == 0;
        while (ok && avcodec_receive_frame(ctx, frame) == 0)
            appendI420(out, frame);
    };
    // Once the input is all parsed, empty calls hand out what the parser still holds.
    for (int left = stream.size(); ok;) {
        const bool flushing = left == 0;
        const int used = av_parser_parse2(parser, ctx, &pkt->data, &pkt->size, data, left, AV_NOPTS_VALUE,
                                          AV_NOPTS_VALUE, 0);
        data += used;
        left -= used;
        if (pkt->size)
            decode(pkt);
        else if (flushing)
            break;
    }
    decode(nullptr);
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    av_parser_close(parser);
    return ok ? out : QByteArray();
}

// Each picture's checksum is a well-formed SEI in its own access unit, which
// other decoders pass over.
void TestCodecTools::checksumsAreValidH264()
{
    const int frames = 12;
    const QString dir = freshDir();
    QVERIFY(encodeClip(dir, makeClip(W, H, frames), W, H, frames, 22).exitCode == 0);
    const QByteArray stream = readFile(dir + "/stream.dat");
    // User data unregistered (5) of 50 bytes: our UUID, the kind XXH3-64 with places (2), the flags, the
    // display and decode numbers, three hashes. The decoder's checks of clean streams prove the places.
    const QByteArray head = QByteArray::fromHex("0532b0ff1235854c46e5b6f794e8d7ff482b02");
    const QVector<annexb::Nal> checksums = checksumsOf(stream);
    QCOMPARE(checksums.size(), frames);
    for (const annexb::Nal &nal : checksums) {
        const QByteArray rbsp = checksumRbsp(stream, nal);
        QVERIFY2(rbsp.size() == 2 + 50 + 1 && rbsp.startsWith(head) && rbsp.endsWith(char(0x80)),
                 qPrintable(rbsp.toHex()));
    }
    QVERIFY(run(DECODER_EXE, {dir + "/stream.dat"}).exitCode == 0);
    const QByteArray ours = readFile(dir + "/stream.yuv");
    QCOMPARE(ours.size(), frames * frameBytes);
    QVERIFY2(decodeWithLibavcodec(stream) == ours, "libavcodec alone decodes other frames");
}

// The stream as the encoder wrote it before its checksums gave the places.
static QByteArray withFirstKind(const QByteArray &stream)
{
    QByteArray out;
    int copied = 0;
    for (const annexb::Nal &sei : checksumsOf(stream)) {
        const QByteArray rbsp = checksumRbsp(stream, sei);
        const QByteArray first = QByteArray::fromHex("0529") + rbsp.mid(2, 16) + char(1) + rbsp.mid(28, 24);
        out += stream.mid(copied, sei.start + 1 - copied) + annexb::toEbsp(first + char(0x80));
        copied = sei.end;
    }
    return out + stream.mid(copied);
}

void TestCodecTools::decoderDecodesStreamsWithoutChecksums_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("another encoder's stream, without SEI") << "no SEI";
    QTest::newRow("checksums of the first kind, without places") << "first kind";
}

void TestCodecTools::decoderDecodesStreamsWithoutChecksums()
{
    QFETCH(QString, change);
    const int frames = 12;
    const QString dir = freshDir();
    QVERIFY(encodeClip(dir, makeClip(W, H, frames), W, H, frames, 22).exitCode == 0);
    QVERIFY(run(DECODER_EXE, {dir + "/stream.dat"}).exitCode == 0);
    const QByteArray clean = readFile(dir + "/stream.yuv");
    QByteArray stream = readFile(dir + "/stream.dat");
    if (change == "no SEI")
        stream = withoutSei(stream);
    else
        stream = withFirstKind(stream);
    QVERIFY(writeFile(dir + "/changed.dat", stream));

    const Result r = run(DECODER_EXE, {dir + "/changed.dat"});
    QVERIFY2(r.finished && r.exitCode == 0 && !r.said.contains("Warning"), qPrintable(r.said + r.err));
    QVERIFY2(r.said.contains(decodedFrames(frames)), qPrintable(r.said));
    QVERIFY2(readFile(dir + "/changed.yuv") == clean, "the frames differ from the stream's own");
}

#ifndef Q_OS_WIN
// The tool inherits the limit: past it, a write to a file fails as on a full disk.
TestCodecTools::Result TestCodecTools::runWithFileSizeLimit(const QString &program, const QStringList &args,
                                                            qint64 bytes)
{
    struct rlimit old;
    if (::getrlimit(RLIMIT_FSIZE, &old) < 0)
        return Result();
    const struct rlimit limited = {rlim_t(bytes), old.rlim_max};
    // Ignored, the signal lets the write fail with EFBIG instead of killing the writer.
    ::signal(SIGXFSZ, SIG_IGN);
    if (::setrlimit(RLIMIT_FSIZE, &limited) < 0)
        return Result();
    const Result r = run(program, args);
    ::setrlimit(RLIMIT_FSIZE, &old);
    return r;
}

void TestCodecTools::decoderNamesTheFileItFailsToWrite_data()
{
    QTest::addColumn<int>("frames");
    QTest::newRow("while writing frames (more than its 1 MiB buffer)") << 80;
    QTest::newRow("when writing its last frames out") << 3;
}

// The output is named only when complete, by the first free name; a failure
// names the file that was being written, not one that exists.
void TestCodecTools::decoderNamesTheFileItFailsToWrite()
{
    QFETCH(int, frames);
    const QString dir = freshDir();
    QVERIFY(encodeClip(dir, makeClip(W, H, frames), W, H, frames, 22).exitCode == 0);
    QVERIFY(writeFile(dir + "/stream.yuv", "taken") && writeFile(dir + "/stream-1.yuv", "taken"));
    const QStringList before = entriesOf(dir);

    const Result r = runWithFileSizeLimit(DECODER_EXE, {dir + "/stream.dat"}, 16384);
    QVERIFY2(r.finished && r.status == QProcess::NormalExit && r.exitCode != 0, qPrintable(r.out + r.err));
    QVERIFY2(r.said.startsWith("Error: cannot write output file '" + dir + "/stream-2.yuv': "), qPrintable(r.said));
    QCOMPARE(entriesOf(dir), before);
}

void TestCodecTools::nextJobRemovesStalePartials_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("removed");
    QTest::newRow("partial file of a process that has ended") << ".tuvr-@ENDED@-3" << true;
    QTest::newRow("partial file of a live process") << ".tuvr-@LIVE@-0" << false;
    QTest::newRow("an ended process's name with more after it") << ".tuvr-@ENDED@-3.yuv" << false;
    QTest::newRow("an ended process's name without a counter") << ".tuvr-@ENDED@" << false;
}

void TestCodecTools::nextJobRemovesStalePartials()
{
    QFETCH(QString, name);
    QFETCH(bool, removed);
    QProcess ended;
    ended.start(QStringLiteral(DECODER_EXE), QStringList());
    QVERIFY(ended.waitForStarted());
    const qint64 endedPid = ended.processId();
    QVERIFY(ended.waitForFinished());
    name.replace("@ENDED@", QString::number(endedPid));
    name.replace("@LIVE@", QString::number(QCoreApplication::applicationPid()));
    const QString dir = freshDir();
    QVERIFY(writeFile(dir + "/" + name, "partial"));

    QVERIFY(encodeClip(dir, makeClip(W, H, 2), W, H, 2, 22).exitCode == 0);
    QVERIFY2(QFile::exists(dir + "/" + name) != removed, qPrintable(entriesOf(dir).join(", ")));
}
#endif

QTEST_GUILESS_MAIN(TestCodecTools)
#include "tst_codectools.moc"
