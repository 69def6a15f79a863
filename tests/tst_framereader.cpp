#include "jobs/frameimage.h"
#include "jobs/framereader.h"
#include "smallclip.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#ifndef _WIN32
#include <sys/stat.h>
#endif

// One frame of the raw clip at a size, read without the rest of the clip,
// and the picture made of it.
class tst_FrameReader : public QObject
{
    Q_OBJECT

private slots:
    void readsOneFrameOrSaysWhy_data();
    void readsOneFrameOrSaysWhy();
    void picturesInPlayersColours_data();
    void picturesInPlayersColours();

private:
    QString makeClip(const QString &kind, int bytes);

    QTemporaryDir tempDir;
};

// Every byte tells where it lies in the clip, so a frame read from the wrong place shows.
static QByteArray clipBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 / 64);
    return bytes;
}

// A clip of the kind asked for; an empty text when it cannot be made.
QString tst_FrameReader::makeClip(const QString &kind, int bytes)
{
    const QString path = tempDir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_'));
    if (kind == "folder")
        return tempDir.path();
    if (kind == "missing")
        return path;
#ifndef _WIN32
    if (kind == "pipe")
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0 ? path : QString();
    if (kind == "device")
        return QStringLiteral("/dev/zero");
#endif
    QFile clip(path);
    if (!clip.open(QIODevice::WriteOnly) || clip.write(clipBytes(bytes)) != bytes)
        return QString();
    clip.close();
    if (kind == "unreadable" && !clip.setPermissions(QFileDevice::WriteOwner))
        return QString();
    return path;
}

void tst_FrameReader::readsOneFrameOrSaysWhy_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("clipSize");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<qint64>("wanted");
    QTest::addColumn<qint64>("index");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QString>("failure");

    const int frame = 64 * 48 * 3 / 2;
    QTest::newRow("right size: the frame asked for") << "file" << 3 * frame << 64 << 48 << 1LL << 1LL << 3LL << "";
    QTest::newRow("right size: the first frame") << "file" << 3 * frame << 64 << 48 << 0LL << 0LL << 3LL << "";
    QTest::newRow("beyond the end: the last frame") << "file" << 3 * frame << 64 << 48 << 9LL << 2LL << 3LL << "";
    QTest::newRow("a partial frame at the end is no frame")
        << "file" << 2 * frame + 100 << 64 << 48 << 5LL << 1LL << 2LL << "";
    QTest::newRow("wrong size: the bytes where that size puts the frame")
        << "file" << 3 * frame << 32 << 24 << 5LL << 5LL << 12LL << "";
    QTest::newRow("shorter than one frame at this size")
        << "file" << 3 * frame << 128 << 96 << 0LL << 0LL << 0LL
        << "the clip holds 13824 bytes, less than one frame of 128x96 (18432 bytes)";
    QTest::newRow("empty") << "file" << 0 << 64 << 48 << 0LL << 0LL << 0LL << "the clip holds 0 bytes";
    QTest::newRow("a pipe is never opened") << "pipe" << 0 << 64 << 48 << 0LL << 0LL << 0LL << "a pipe or a device";
    QTest::newRow("a device") << "device" << 0 << 64 << 48 << 0LL << 0LL << 0LL << "a pipe or a device";
    QTest::newRow("missing") << "missing" << 0 << 64 << 48 << 0LL << 0LL << 0LL << "the clip cannot be read";
    QTest::newRow("a folder") << "folder" << 0 << 64 << 48 << 0LL << 0LL << 0LL << "the clip cannot be read";
    QTest::newRow("no permission to read it")
        << "unreadable" << frame << 64 << 48 << 0LL << 0LL << 0LL << "the clip cannot be read";
}

void tst_FrameReader::readsOneFrameOrSaysWhy()
{
    QFETCH(QString, kind);
    QFETCH(int, clipSize);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(qint64, wanted);
    QFETCH(qint64, index);
    QFETCH(qint64, count);
    QFETCH(QString, failure);

#ifdef _WIN32
    if (kind == "pipe" || kind == "device")
        QSKIP("Windows has no pipe or device among its files");
#endif
    const QString path = makeClip(kind, clipSize);
    QVERIFY2(!path.isEmpty(), "cannot make the clip");
    if (kind == "unreadable" && QFile(path).open(QIODevice::ReadOnly))
        QSKIP("this user reads any file, whatever its permissions");
    const Resolution resolution{width, height};
    const ClipFrame frame = readClipFrame(path, resolution, wanted);

    QVERIFY2(frame.failure.contains(failure), qPrintable(frame.failure));
    QVERIFY2(failure.isEmpty() == frame.failure.isEmpty(), qPrintable(frame.failure));
    QCOMPARE(frame.count, count);
    QCOMPARE(frame.index, index);
    const QByteArray expected = failure.isEmpty()
        ? clipBytes(clipSize).mid(int(index * resolution.frameBytes()), int(resolution.frameBytes()))
        : QByteArray();
    QVERIFY2(frame.bytes == expected, "not the bytes of the frame asked for");
}

void tst_FrameReader::picturesInPlayersColours_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("u");
    QTest::addColumn<int>("v");
    QTest::addColumn<QColor>("expected");

    // Limited range: 16 is black and 235 white, not a dark and a light grey.
    QTest::newRow("black") << 720 << 576 << 16 << 128 << 128 << QColor(0, 0, 0);
    QTest::newRow("white") << 720 << 576 << 235 << 128 << 128 << QColor(255, 255, 255);
    QTest::newRow("red at an SD size, in BT.601") << 720 << 576 << 81 << 90 << 240 << QColor(254, 0, 0);
    QTest::newRow("the same bytes at an HD size, in BT.709") << 1280 << 720 << 81 << 90 << 240 << QColor(255, 24, 0);
}

void tst_FrameReader::picturesInPlayersColours()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, y);
    QFETCH(int, u);
    QFETCH(int, v);
    QFETCH(QColor, expected);

    const QSize size(width / 8, height / 8);
    const QImage picture = frameImage(solidFrame(width, height, y, u, v), {width, height}, size);
    QCOMPARE(picture.size(), size);
    const QColor seen = picture.pixelColor(size.width() / 2, size.height() / 2);
    const bool near = qAbs(seen.red() - expected.red()) <= 3 && qAbs(seen.green() - expected.green()) <= 3
        && qAbs(seen.blue() - expected.blue()) <= 3;
    QVERIFY2(near, qPrintable(seen.name()));
}

QTEST_GUILESS_MAIN(tst_FrameReader)
#include "tst_framereader.moc"
