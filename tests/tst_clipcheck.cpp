#include "jobs/clipcheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

Q_DECLARE_METATYPE(Resolution)

// The clip check before an encode: the clip's size and name against the options.
class TestClipCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readsResolutionInName_data();
    void readsResolutionInName();
    void checksClip_data();
    void checksClip();
    void factsComeFromTheFileSystem();
    void pipeHasNoSize();
};

Q_DECLARE_METATYPE(ClipFacts)
Q_DECLARE_METATYPE(EncoderOptions)

static const Resolution noResolution{0, 0};

namespace QTest {
template<>
char *toString(const Resolution &resolution)
{
    return qstrdup(QByteArray::number(resolution.width) + 'x' + QByteArray::number(resolution.height));
}
}

void TestClipCheck::readsResolutionInName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<Resolution>("stated");

    QTest::newRow("WIDTHxHEIGHT between underscores")
        << "/clips/BasketballDrive_1920x1080_50.yuv" << Resolution{1920, 1080};
    QTest::newRow("capital X between a dash and the extension")
        << "/clips/clip-1280X720.yuv" << Resolution{1280, 720};
    QTest::newRow("a star") << "/clips/take.352*288.yuv" << Resolution{352, 288};
    QTest::newRow("the word cif") << "/clips/foreman_cif.yuv" << Resolution{352, 288};
    QTest::newRow("qcif is not cif") << "/clips/akiyo_qcif.yuv" << Resolution{176, 144};
    QTest::newRow("the word 1080p, any case") << "/clips/park_1080P.yuv" << Resolution{1920, 1080};
    QTest::newRow("the word 720p") << "/clips/720p-city.yuv" << Resolution{1280, 720};
    QTest::newRow("only the folder states it") << "/clips/720x576/clip.yuv" << Resolution{720, 576};
    QTest::newRow("the file's name before its folder's")
        << "/clips/720x576/clip_1280x720.yuv" << Resolution{1280, 720};
    QTest::newRow("digits inside a word state nothing") << "/clips/take1920x1080b.yuv" << noResolution;
    QTest::newRow("cif inside a word states nothing") << "/clips/specific.yuv" << noResolution;
    QTest::newRow("no size anywhere") << "/clips/clip.yuv" << noResolution;
    QTest::newRow("an aspect ratio is no size") << "/clips/trailer_16x9.yuv" << noResolution;
    QTest::newRow("4x3 is no size either") << "/clips/old_4x3.yuv" << noResolution;
    QTest::newRow("a zero side is no size") << "/clips/dump_0x10.yuv" << noResolution;
    QTest::newRow("nor are two zeros") << "/clips/clip_0x0.yuv" << noResolution;
    QTest::newRow("an aspect ratio, then the size") << "/clips/trailer_16x9_1280x720.yuv" << Resolution{1280, 720};
    QTest::newRow("the smallest size a clip has") << "/clips/tiny_16x16.yuv" << Resolution{16, 16};
}

void TestClipCheck::readsResolutionInName()
{
    QFETCH(QString, path);
    QFETCH(Resolution, stated);
    const std::optional<Resolution> found = resolutionInName(path);
    QCOMPARE(found.value_or(noResolution), stated);
}

static ClipFacts regularClip(const QString &path, qint64 size)
{
    ClipFacts clip;
    clip.path = path;
    clip.exists = clip.readable = clip.regular = true;
    clip.size = size;
    return clip;
}

static EncoderOptions options(int width, int height, int frames)
{
    EncoderOptions chosen;
    chosen.width = width;
    chosen.height = height;
    chosen.frames = frames;
    return chosen;
}

// Each finding as "refuse: ..." or "warn: ...".
static QStringList described(const QList<ClipFinding> &findings)
{
    QStringList lines;
    for (const ClipFinding &finding : findings)
        lines << (finding.kind == ClipFinding::Kind::Refusal ? "refuse: " : "warn: ") + finding.message;
    return lines;
}

// The clips in the table lie in /c/; messages show paths as the system writes them.
static QStringList withNativePaths(QStringList findings)
{
    for (QString &finding : findings)
        finding.replace(QStringLiteral("/c/"), QDir::toNativeSeparators(QStringLiteral("/c/")));
    return findings;
}

void TestClipCheck::checksClip_data()
{
    QTest::addColumn<ClipFacts>("clip");
    QTest::addColumn<EncoderOptions>("chosen");
    QTest::addColumn<QStringList>("findings");

    const qint64 cifFrame = 352 * 288 * 3 / 2;
    const qint64 hdFrame = 1920 * 1080 * 3 / 2;
    const EncoderOptions defaults;
    QTest::newRow("60 CIF frames taken for 1080p: every warning, and what the clip is")
        << regularClip("/c/foreman_cif.yuv", 60 * cifFrame) << defaults
        << QStringList{"warn: The name foreman_cif.yuv states 352x288, but 1920x1080 is chosen. "
                       "At 352x288 the clip holds 60 whole frames. 352x288 is not one of the sizes the encoder "
                       "is offered (1920x1080, 1280x720, 960x576, 720x576): no choice in the options fits this clip.",
                       "warn: The clip holds 9,123,840 bytes: 2 whole frames of 1920x1080 and a partial frame of "
                       "2,903,040 bytes (a frame is 3,110,400 bytes). The partial frame will be left out.",
                       "warn: The clip holds 2 whole frames of 1920x1080, fewer than the 32 frames asked for."};
    QTest::newRow("a size the encoder offers, not chosen: how many frames it holds at that size")
        << regularClip("/c/clip_1280x720.yuv", 9 * 1280 * 720 * 3 / 2) << options(1920, 1080, 4)
        << QStringList{"warn: The name clip_1280x720.yuv states 1280x720, but 1920x1080 is chosen. "
                       "At 1280x720 the clip holds 9 whole frames."};
    QTest::newRow("a clip that fits: nothing to say")
        << regularClip("/c/BasketballDrive_1920x1080_50.yuv", 32 * hdFrame) << defaults << QStringList();
    QTest::newRow("more frames than asked for: fine")
        << regularClip("/c/clip.yuv", 40 * hdFrame) << defaults << QStringList();
    QTest::newRow("a 1080p-sized file without a name is five 720x576 frames: fine")
        << regularClip("/c/clip.yuv", hdFrame) << options(720, 576, 5) << QStringList();
    QTest::newRow("fewer whole frames only")
        << regularClip("/c/clip.yuv", 3 * hdFrame) << options(1920, 1080, 4)
        << QStringList{"warn: The clip holds 3 whole frames of 1920x1080, fewer than the 4 frames asked for."};
    QTest::newRow("one byte past whole frames: said in frames and bytes")
        << regularClip("/c/clip.yuv", 4 * hdFrame + 1) << options(1920, 1080, 4)
        << QStringList{"warn: The clip holds 12,441,601 bytes: 4 whole frames of 1920x1080 and a partial frame of "
                       "1 bytes (a frame is 3,110,400 bytes). The partial frame will be left out."};
    QTest::newRow("an aspect ratio in the name says nothing")
        << regularClip("/c/trailer_16x9.yuv", hdFrame) << options(1920, 1080, 1) << QStringList();
    QTest::newRow("the folder states another size")
        << regularClip("/c/720x576/clip.yuv", 2 * 1280 * 720 * 3 / 2) << options(1280, 720, 2)
        << QStringList{"warn: The name clip.yuv states 720x576, but 1280x720 is chosen. "
                       "At 720x576 the clip holds 4 whole frames."};
    QTest::newRow("the name agrees with the choice")
        << regularClip("/c/720x576/clip.yuv", 720 * 576 * 3 / 2) << options(720, 576, 1) << QStringList();

    QTest::newRow("missing: refused") << ClipFacts{"/c/gone.yuv", false, false, false, false, 0}
                                      << defaults << QStringList{"refuse: The clip /c/gone.yuv does not exist."};
    QTest::newRow("a folder: refused") << ClipFacts{"/c/dir.yuv", true, true, true, false, 0} << defaults
                                       << QStringList{"refuse: /c/dir.yuv is a folder, not a clip."};
    QTest::newRow("unreadable: refused")
        << ClipFacts{"/c/secret.yuv", true, false, false, true, 99} << defaults
        << QStringList{"refuse: The clip /c/secret.yuv cannot be read: you have no permission to read it."};
    QTest::newRow("empty: refused") << regularClip("/c/clip_1920x1080.yuv", 0) << defaults
                                    << QStringList{"refuse: The clip /c/clip_1920x1080.yuv is empty."};
    QTest::newRow("shorter than one frame: refused, and only that, with what the clip is")
        << regularClip("/c/foreman_cif.yuv", cifFrame) << defaults
        << QStringList{"refuse: The clip /c/foreman_cif.yuv holds 152,064 bytes, less than one frame of "
                       "1920x1080 (3,110,400 bytes). At 352x288 the clip holds 1 whole frames. 352x288 is not one "
                       "of the sizes the encoder is offered (1920x1080, 1280x720, 960x576, 720x576): no choice "
                       "in the options fits this clip."};
    QTest::newRow("a path with place markers is shown as it is")
        << regularClip("/c/take%1%2.yuv", 1000) << options(720, 576, 1)
        << QStringList{"refuse: The clip /c/take%1%2.yuv holds 1,000 bytes, less than one frame of 720x576 "
                       "(622,080 bytes)."};

    ClipFacts pipe{"/c/fifo_352x288.yuv", true, true, false, false, 0};
    QTest::newRow("a pipe: no size findings, the name still counts")
        << pipe << options(720, 576, 1)
        << QStringList{"warn: The name fifo_352x288.yuv states 352x288, but 720x576 is chosen. 352x288 is not "
                       "one of the sizes the encoder is offered (1920x1080, 1280x720, 960x576, 720x576): no "
                       "choice in the options fits this clip."};
}

void TestClipCheck::checksClip()
{
    QFETCH(ClipFacts, clip);
    QFETCH(EncoderOptions, chosen);
    QFETCH(QStringList, findings);
    QCOMPARE(described(checkClip(clip, chosen)), withNativePaths(findings));
}

// A missing file has no facts at all.
void TestClipCheck::factsComeFromTheFileSystem()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("clip.yuv")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(1000, 'y')) == 1000);
    file.close();
    const ClipFacts clip = ClipFacts::of(file.fileName());
    QVERIFY(clip.exists && clip.readable && clip.regular);
    QCOMPARE(clip.size, qint64(1000));

    QVERIFY(!ClipFacts::of(dir.filePath(QStringLiteral("gone.yuv"))).exists);
    QVERIFY(ClipFacts::of(dir.path()).isFolder);
}

// A pipe has no size to check.
void TestClipCheck::pipeHasNoSize()
{
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fifo = dir.filePath(QStringLiteral("fifo.yuv"));
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    const ClipFacts pipe = ClipFacts::of(fifo);
    QVERIFY(pipe.exists && pipe.readable && !pipe.regular && !pipe.isFolder);
#else
    QSKIP("Only Unix keeps named pipes among a folder's files, where the user could pick one as a clip");
#endif
}

// Byte counts are grouped as the user's locale groups digits: here an English one's.
void TestClipCheck::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

QTEST_GUILESS_MAIN(TestClipCheck)
#include "tst_clipcheck.moc"
