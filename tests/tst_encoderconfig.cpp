#include "jobs/encoderconfig.h"
#include "jobs/encoderoptions.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(EncoderOptions)

class tst_EncoderConfig : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void configPathLiesInFolder_data();
    void configPathLiesInFolder();
    void writesValuesAsGiven_data();
    void writesValuesAsGiven();
    void replacesStaleLongerFile();
    void failsWithoutTouchingFolder_data();
    void failsWithoutTouchingFolder();

private:
    std::unique_ptr<QTemporaryDir> workDir;
    QString startDir;
};

static QByteArray readConfig()
{
    QFile file(QStringLiteral("config.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable: ") + file.errorString().toUtf8() + '>';
    return file.readAll();
}

static bool writeFile(const QString &name, const QByteArray &content)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

static QString failureText(const QByteArray &actual, const QByteArray &expected)
{
    return QStringLiteral("got\n%1\nexpected\n%2")
        .arg(QString::fromUtf8(actual.toPercentEncoding(" /:")),
             QString::fromUtf8(expected.toPercentEncoding(" /:")));
}

// Every path below the folder, relative to it, so any stray file shows.
static QStringList folderListing(const QString &path)
{
    QStringList listing;
    const QDir root(path);
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        listing << root.relativeFilePath(it.next());
    listing.sort();
    return listing;
}

void tst_EncoderConfig::initTestCase()
{
    startDir = QDir::currentPath();
}

void tst_EncoderConfig::init()
{
    workDir = std::make_unique<QTemporaryDir>();
    QVERIFY2(workDir->isValid(), qPrintable(workDir->errorString()));
    QVERIFY2(QDir::setCurrent(workDir->path()), qPrintable(workDir->path()));
}

void tst_EncoderConfig::cleanup()
{
    QDir::setCurrent(startDir);
    QFile::setPermissions(workDir->path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    workDir.reset();
}

// The encoder gets the path as its only argument, whatever folder it starts in.
void tst_EncoderConfig::configPathLiesInFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("inWorkDir");
    QTest::newRow("no folder given: the working folder") << QString() << "config.txt";
    QTest::newRow("a folder relative to the working folder") << "data" << "data/config.txt";
    QTest::newRow("a folder ending in a separator") << "data/" << "data/config.txt";
}

void tst_EncoderConfig::configPathLiesInFolder()
{
    QFETCH(QString, folder);
    QFETCH(QString, inWorkDir);
    const QString expected = QDir(workDir->path()).filePath(inWorkDir);
    QCOMPARE(encoderConfigPath(folder), expected);
    QCOMPARE(encoderConfigPath(QDir(workDir->path()).filePath(folder)), expected);
}

void tst_EncoderConfig::writesValuesAsGiven_data()
{
    QTest::addColumn<QString>("inputPath");
    QTest::addColumn<QString>("outputDir");
    QTest::addColumn<EncoderOptions>("options");
    QTest::addColumn<QByteArray>("expected");

    EncoderOptions chosen;
    chosen.width = 720;
    chosen.height = 576;
    chosen.frames = 100;
    chosen.quality = 0;
    QTest::newRow("the defaults")
        << QStringLiteral("C:/video/in.yuv") << QStringLiteral("C:/video/out") << EncoderOptions()
        << QByteArray("file_in C:/video/in.yuv\nwidth 1920\nheight 1080\nnframes 32\n"
                      "file_dat C:/video/out/stream.dat\nquality_param 22\n");
    QTest::newRow("paths with spaces")
        << QStringLiteral("/my videos/clip one.yuv") << QStringLiteral("/my videos/out dir")
        << EncoderOptions()
        << QByteArray("file_in /my videos/clip one.yuv\nwidth 1920\nheight 1080\nnframes 32\n"
                      "file_dat /my videos/out dir/stream.dat\nquality_param 22\n");
    QTest::newRow("Cyrillic paths as UTF-8")
        << QStringLiteral("/видео/вход.yuv") << QStringLiteral("/видео/выход")
        << EncoderOptions()
        << QByteArray("file_in /видео/вход.yuv\nwidth 1920\nheight 1080\nnframes 32\n"
                      "file_dat /видео/выход/stream.dat\nquality_param 22\n");
    QTest::newRow("output folder ending in a separator")
        << QStringLiteral("/in.yuv") << QStringLiteral("/out/")
        << EncoderOptions()
        << QByteArray("file_in /in.yuv\nwidth 1920\nheight 1080\nnframes 32\n"
                      "file_dat /out//stream.dat\nquality_param 22\n");
    QTest::newRow("zero char ends the value")
        << QStringLiteral("/in.yuv") + QChar(0) + QStringLiteral("tail") << QStringLiteral("/out")
        << EncoderOptions()
        << QByteArray("file_in /in.yuv\nwidth 1920\nheight 1080\nnframes 32\n"
                      "file_dat /out/stream.dat\nquality_param 22\n");
    QTest::newRow("options chosen in the dialog")
        << QStringLiteral("/in.yuv") << QStringLiteral("/out") << chosen
        << QByteArray("file_in /in.yuv\nwidth 720\nheight 576\nnframes 100\n"
                      "file_dat /out/stream.dat\nquality_param 0\n");
}

void tst_EncoderConfig::writesValuesAsGiven()
{
    QFETCH(QString, inputPath);
    QFETCH(QString, outputDir);
    QFETCH(EncoderOptions, options);
    QFETCH(QByteArray, expected);

    QString error;
    QVERIFY2(writeEncoderConfig(QStringLiteral("config.txt"), inputPath, outputDir, options, &error), qPrintable(error));
    const QByteArray actual = readConfig();
    QVERIFY2(actual == expected, qPrintable(failureText(actual, expected)));
}

void tst_EncoderConfig::replacesStaleLongerFile()
{
    QVERIFY(writeFile(QStringLiteral("config.txt"),
                      "file_in /old/long/path/to/an/earlier/input.yuv\n"
                      + QByteArray(4096, 'x') + "\nextra_key stale\n"));
    QString error;
    QVERIFY2(writeEncoderConfig(QStringLiteral("config.txt"), QStringLiteral("/in.yuv"), QStringLiteral("/out"),
                                EncoderOptions(), &error),
             qPrintable(error));
    const QByteArray expected = "file_in /in.yuv\nwidth 1920\nheight 1080\nnframes 32\n"
                                "file_dat /out/stream.dat\nquality_param 22\n";
    const QByteArray actual = readConfig();
    QVERIFY2(actual == expected, qPrintable(failureText(actual, expected)));
}

void tst_EncoderConfig::failsWithoutTouchingFolder_data()
{
    QTest::addColumn<bool>("readOnlyFolder");

    QTest::newRow("directory named config.txt in the way") << false;
    QTest::newRow("read-only working folder with an earlier file") << true;
}

void tst_EncoderConfig::failsWithoutTouchingFolder()
{
    QFETCH(bool, readOnlyFolder);

    if (readOnlyFolder) {
        QVERIFY(writeFile(QStringLiteral("config.txt"), "file_in /earlier.yuv\n"));
        QVERIFY(QFile::setPermissions(workDir->path(), QFile::ReadOwner | QFile::ExeOwner));
        if (writeFile(QStringLiteral("probe"), "x"))
            QSKIP("Folder permissions do not stop this user's writes (running as root?)");
    } else {
        QVERIFY(QDir().mkdir(QStringLiteral("config.txt")));
    }
    const QStringList before = folderListing(workDir->path());
    QString error;
    const bool written = writeEncoderConfig(QStringLiteral("config.txt"), QStringLiteral("/in.yuv"), QStringLiteral("/out"),
                                            EncoderOptions(), &error);
    QVERIFY2(!written, "writing into an unwritable place reported success");
    QVERIFY2(!error.isEmpty(), "the failure came without a reason");
    const QStringList after = folderListing(workDir->path());
    QVERIFY2(after == before, qPrintable(after.join(QLatin1String(", "))));
    if (readOnlyFolder)
        QCOMPARE(readConfig(), QByteArray("file_in /earlier.yuv\n"));
}

QTEST_GUILESS_MAIN(tst_EncoderConfig)
#include "tst_encoderconfig.moc"
