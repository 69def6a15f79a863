#include "clipmaker.h"
#include "jobs/frameimage.h"
#include "jobs/framereader.h"

#include <QColor>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#ifndef _WIN32
#include <sys/stat.h>
#endif

// One frame of a raw clip at a size, read without the rest of it, and its picture.
class tst_FrameReader : public QObject
{
    Q_OBJECT

private slots:
    void readsOneFrameOrSaysWhy_data();
    void readsOneFrameOrSaysWhy();
    void picturesInPlayersColours_data();
    void picturesInPlayersColours();
    void differenceAmplifiesLuma_data();
    void differenceAmplifiesLuma();

private:
    QTemporaryDir tempDir;
};

// The first size bytes of three 64x48 frames, in which a frame read from the
// wrong place shows.
static QByteArray clipBytes(int size)
{
    return makeClip(64, 48, 3).left(size);
}

// The clip a row names: a regular file of that many bytes, or another kind of file.
static QString clipFile(const QString &clip, const QString &path)
{
    if (clip == "folder" || clip == "missing")
        return clip == "folder" ? QFileInfo(path).path() : path;
#ifndef _WIN32
    if (clip == "pipe")
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0 ? path : QString();
    if (clip == "device")
        return QStringLiteral("/dev/zero");
#endif
    const bool unreadable = clip == "unreadable";
    const bool made = writeClip(path, clipBytes(unreadable ? 4608 : clip.toInt()))
        && (!unreadable || QFile::setPermissions(path, QFileDevice::WriteOwner));
    return made ? path : QString();
}

void tst_FrameReader::readsOneFrameOrSaysWhy_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("wanted");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("failure");

    // 13824 bytes are three frames of 64x48.
    QTest::newRow("right size: the frame asked for") << "13824" << QSize(64, 48) << 1 << 1 << 3 << "";
    QTest::newRow("beyond the end: the last frame") << "13824" << QSize(64, 48) << 9 << 2 << 3 << "";
    QTest::newRow("a partial frame at the end is none") << "9316" << QSize(64, 48) << 5 << 1 << 2 << "";
    QTest::newRow("wrong size: where that size puts the frame") << "13824" << QSize(32, 24) << 5 << 5 << 12 << "";
    QTest::newRow("shorter than one frame") << "13824" << QSize(128, 96) << 0 << 0 << 0
                                            << "holds 13824 bytes, less than one frame of 128x96 (18432 bytes)";
    QTest::newRow("empty") << "0" << QSize(64, 48) << 0 << 0 << 0 << "holds 0 bytes";
    QTest::newRow("a pipe, never opened") << "pipe" << QSize(64, 48) << 0 << 0 << 0 << "a pipe or a device";
    QTest::newRow("a device") << "device" << QSize(64, 48) << 0 << 0 << 0 << "a pipe or a device";
    QTest::newRow("missing") << "missing" << QSize(64, 48) << 0 << 0 << 0 << "cannot be read";
    QTest::newRow("a folder") << "folder" << QSize(64, 48) << 0 << 0 << 0 << "cannot be read";
    QTest::newRow("no permission to read") << "unreadable" << QSize(64, 48) << 0 << 0 << 0 << "cannot be read";
}

void tst_FrameReader::readsOneFrameOrSaysWhy()
{
    QFETCH(QString, clip);
    QFETCH(QSize, size);
    QFETCH(int, wanted);
    QFETCH(int, index);
    QFETCH(int, count);
    QFETCH(QString, failure);
#ifdef _WIN32
    if (clip == "pipe" || clip == "device")
        QSKIP("Windows has no pipe or device among its files");
#endif
    const QString path = clipFile(clip, tempDir.filePath(QString::number(qHash(QTest::currentDataTag()))));
    QVERIFY2(!path.isEmpty(), "cannot make the clip");
    if (clip == "unreadable" && QFile(path).open(QIODevice::ReadOnly))
        QSKIP("the system lets this user read the file whatever its permissions say");
    const Resolution resolution{size.width(), size.height()};
    const ClipFrame frame = readClipFrame(path, resolution, wanted);

    QVERIFY2(failure.isEmpty() ? frame.failure.isEmpty() : frame.failure.contains(failure), qPrintable(frame.failure));
    QCOMPARE(frame.count, qint64(count));
    QCOMPARE(frame.index, qint64(index));
    const int bytes = failure.isEmpty() ? int(resolution.frameBytes()) : 0;
    QVERIFY2(frame.bytes == clipBytes(clip.toInt()).mid(index * bytes, bytes), "not the bytes of that frame");
}

void tst_FrameReader::picturesInPlayersColours_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QColor>("yuv");
    QTest::addColumn<QColor>("rgb");

    // Limited range: Y 16 is black, not a dark grey. The red is BT.601's.
    QTest::newRow("black") << QSize(720, 576) << QColor(16, 128, 128) << QColor(0, 0, 0);
    QTest::newRow("red at an SD size, in BT.601") << QSize(720, 576) << QColor(81, 90, 240) << QColor(254, 0, 0);
    QTest::newRow("the same at an HD size, in BT.709") << QSize(1280, 720) << QColor(81, 90, 240) << QColor(255, 24, 0);
}

void tst_FrameReader::picturesInPlayersColours()
{
    QFETCH(QSize, size);
    QFETCH(QColor, yuv);
    QFETCH(QColor, rgb);
    const QByteArray frame = solidFrame(size.width(), size.height(), yuv.red(), yuv.green(), yuv.blue());
    const QImage picture = frameImage(frame, {size.width(), size.height()}, size / 8);
    QCOMPARE(picture.size(), size / 8);
    const QColor seen = picture.pixelColor(size.width() / 16, size.height() / 16);
    const int off = qMax(qAbs(seen.red() - rgb.red()),
                         qMax(qAbs(seen.green() - rgb.green()), qAbs(seen.blue() - rgb.blue())));
    QVERIFY2(off <= 3, qPrintable(seen.name()));
}

void tst_FrameReader::differenceAmplifiesLuma_data()
{
    QTest::addColumn<int>("sourceY");
    QTest::addColumn<int>("decodedY");
    QTest::addColumn<int>("decodedBytes");
    QTest::addColumn<int>("grey");

    const int frame = 64 * 48 * 3 / 2;
    QTest::newRow("same frame: black") << 90 << 90 << frame << 0;
    QTest::newRow("3 levels darker: 24") << 90 << 87 << frame << 24;
    QTest::newRow("3 levels lighter: 24") << 87 << 90 << frame << 24;
    QTest::newRow("far apart: white, not wrapped") << 200 << 10 << frame << 255;
    QTest::newRow("decoded short of a frame: no picture") << 90 << 90 << frame - 1 << -1;
}

// Only the luma counts: the chroma planes differ in every row.
void tst_FrameReader::differenceAmplifiesLuma()
{
    QFETCH(int, sourceY);
    QFETCH(int, decodedY);
    QFETCH(int, decodedBytes);
    QFETCH(int, grey);
    const QByteArray source = solidFrame(64, 48, quint8(sourceY), 100, 100);
    const QByteArray decoded = solidFrame(64, 48, quint8(decodedY), 160, 60).left(decodedBytes);
    const QImage difference = lumaDifferenceImage(source, decoded, {64, 48}, 8);
    QCOMPARE(difference.isNull() ? -1 : qGray(difference.pixel(63, 47)), grey);
    if (!difference.isNull())
        QCOMPARE(difference.size(), QSize(64, 48));
}

QTEST_GUILESS_MAIN(tst_FrameReader)
#include "tst_framereader.moc"
