#include "faketools.h"
#include "jobs/decodejob.h"
#include "jobs/encodejob.h"
#include "jobs/encoderconfig.h"
#include "jobs/encoderoptions.h"
#include "outcometable.h"

#include <QDateTime>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// The encode and decode jobs with the fake tool, without a window: config.txt
// and its lock, the tool's start, and the outcome the user is told.
class TestCodecJobs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void encodeWritesConfigAndStartsEncoder();
    void outcomeIsTold_data();
    void outcomeIsTold();
    void lockRefusalSaysWhy_data();
    void lockRefusalSaysWhy();
    void lockIsTakenOverWhenItsHolderIsGone_data();
    void lockIsTakenOverWhenItsHolderIsGone();
    void unwritableConfigStartsNothing();
    void cancelReleasesTheLockAndTellsCancelled();

private:
    QString path(const QString &name) const { return caseDir.filePath(name); }
    QByteArray readFile(const QString &name) const;
    bool tool(const QString &name, const QByteArray &plan) const;
    QString startEncode(EncodeJob &job) const;
    QString blockLock(const QString &inTheWay, QLockFile &liveLock) const;
    static std::optional<JobOutcome> waitForEnd(QSignalSpy &ended);
    std::optional<JobOutcome> encodeWith(const QByteArray &plan) const;

    QTemporaryDir tempDir;
    QString binDir;
    QDir caseDir;
    int caseCount = 0;
};

void TestCodecJobs::initTestCase()
{
    QVERIFY(tempDir.isValid());
    qRegisterMetaType<JobOutcome>();
    binDir = tempDir.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(binDir));
    putFirstOnPath(binDir);
}

// Every case gets a folder of its own, the tools' working folder too.
void TestCodecJobs::init()
{
    caseDir.setPath(tempDir.filePath(QString::number(++caseCount)));
    QVERIFY(caseDir.mkpath(QStringLiteral("out")));
    QVERIFY(QDir::setCurrent(caseDir.path()));
    QFile::remove(QDir(binDir).filePath(QStringLiteral("encoder.exe")));
    QFile::remove(QDir(binDir).filePath(QStringLiteral("decoder.exe")));
}

QByteArray TestCodecJobs::readFile(const QString &name) const
{
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TestCodecJobs::tool(const QString &name, const QByteArray &plan) const
{
    return installFakeTool(binDir, name, plan);
}

QString TestCodecJobs::startEncode(EncodeJob &job) const
{
    EncoderOptions options;
    options.width = 720;
    options.height = 576;
    options.frames = 3;
    return job.start(path(QStringLiteral("in clip.yuv")), path(QStringLiteral("out")), options);
}

// The job's outcome, or nothing when it told none in time.
std::optional<JobOutcome> TestCodecJobs::waitForEnd(QSignalSpy &ended)
{
    if (ended.isEmpty() && !ended.wait(20000))
        return std::nullopt;
    return ended.first().first().value<JobOutcome>();
}

// An encode with the fake encoder doing plan: its outcome, or nothing when
// it was refused or told no end.
std::optional<JobOutcome> TestCodecJobs::encodeWith(const QByteArray &plan) const
{
    if (!tool("encoder.exe", plan))
        return std::nullopt;
    EncodeJob job(path("config.txt"));
    QSignalSpy ended(&job, &CodecJob::ended);
    if (!startEncode(job).isEmpty())
        return std::nullopt;
    return waitForEnd(ended);
}

// The outcome keeps the per-frame figures of the frames asked for.
void TestCodecJobs::encodeWritesConfigAndStartsEncoder()
{
    const auto outcome = encodeWith("args args\ncopyarg config.copy\nout Compression rate: 3\\n\n"
                                    "err frame 2 I 9 40 40 40 -\\nframe 3 I 9 40 40 40 -\\n\n");
    QVERIFY2(outcome, "the encode was refused or told no end");
    QCOMPARE(outcome->status, JobOutcome::Status::Succeeded);
    QCOMPARE(frameSeriesCsv(outcome->frames),
             QByteArray("frame,type,bytes,psnr_y,psnr_u,psnr_v,ssim\n2,I,9,40.000,40.000,40.000,\n"));
    QCOMPARE(readFile("args"), "1|" + path("config.txt").toUtf8());
    QCOMPARE(readFile("config.copy"), "file_in " + path("in clip.yuv").toUtf8()
                                          + "\nwidth 720\nheight 576\nnframes 3\nfile_dat "
                                          + path("out").toUtf8() + "/stream.dat\nquality_param 22\n");
}

void TestCodecJobs::outcomeIsTold_data()
{
    QTest::addColumn<OutcomeRow>("row");
    for (const OutcomeRow &row : outcomeRows())
        QTest::newRow(row.tag) << row;
}

void TestCodecJobs::outcomeIsTold()
{
    QFETCH(OutcomeRow, row);
    if (!row.plan.isEmpty())
        QVERIFY(tool(row.program(), row.plan));
    EncodeJob encodeJob(path("config.txt"));
    DecodeJob decodeJob;
    CodecJob &job = row.kind == JobKind::Encode ? static_cast<CodecJob &>(encodeJob) : decodeJob;
    QSignalSpy ended(&job, &CodecJob::ended);

    if (row.kind == JobKind::Encode)
        QCOMPARE(startEncode(encodeJob), QString());
    else
        decodeJob.start(path("stream.dat"));
    const auto outcome = waitForEnd(ended);
    QVERIFY2(outcome, "the job told no end");
    QCOMPARE(outcome->status, row.status);
    QCOMPARE(outcome->kind, row.kind);
    QCOMPARE(outcome->program, row.program());
    QCOMPARE(outcome->title(), row.title);
    QVERIFY2(row.says(outcome->summary(), row.summary), qPrintable(outcome->summary()));
    QCOMPARE(outcome->report, row.report);
    QCOMPARE(ended.size(), 1);
}

void TestCodecJobs::lockRefusalSaysWhy_data()
{
    QTest::addColumn<QString>("inTheWay");
    QTest::addColumn<QString>("refusal");

    QTest::newRow("a live encode holds it") << "live lock" << "Another encode started from this folder is still running";
    QTest::newRow("a folder in the lock's place") << "folder" << "config.txt.lock is a folder";
    QTest::newRow("a link to nothing in the lock's place")
        << "dangling link" << "config.txt.lock is a link to a file that does not exist";
    QTest::newRow("no folder to create it in") << "file as folder" << "config.txt.lock cannot be created in";
}

// Puts what the row names in the lock's way; returns the config.txt to lock, or nothing.
QString TestCodecJobs::blockLock(const QString &inTheWay, QLockFile &liveLock) const
{
    const QString lockPath = encoderConfigLockPath(path("config.txt"));
    if (inTheWay == "live lock")
        return liveLock.tryLock(0) ? path("config.txt") : QString();
    if (inTheWay == "folder")
        return caseDir.mkdir("config.txt.lock") ? path("config.txt") : QString();
    if (inTheWay == "dangling link")
        return QFile::link(path("gone"), lockPath) ? path("config.txt") : QString();
    QFile plainFile(path("plain"));
    return plainFile.open(QIODevice::WriteOnly) ? path("plain/config.txt") : QString();
}

// Each reason names the lock, and the encoder never starts.
void TestCodecJobs::lockRefusalSaysWhy()
{
    QFETCH(QString, inTheWay);
    QFETCH(QString, refusal);
#ifdef Q_OS_WIN
    if (inTheWay == "dangling link")
        QSKIP("QFile::link() makes a shortcut on Windows: a file of its own, which no program follows");
#endif
    QLockFile liveLock(encoderConfigLockPath(path("config.txt")));
    const QString configPath = blockLock(inTheWay, liveLock);
    QVERIFY2(!configPath.isEmpty(), "cannot put anything in the lock's way");
    EncodeJob job(configPath);

    const QString said = startEncode(job);
    QVERIFY2(said.contains(refusal), qPrintable(said));
    QVERIFY2(!job.isRunning(), "the encoder starts without its lock");
    QVERIFY2(!QFile::exists(path("config.txt")), "config.txt written without its lock");
}

void TestCodecJobs::lockIsTakenOverWhenItsHolderIsGone_data()
{
    QTest::addColumn<QByteArray>("lockText");
    QTest::addColumn<int>("ageSeconds");

    // Qt's lock names the holder's process id on its first line.
    QTest::newRow("a lock left by a program that is gone") << QByteArray("gone pid") << 0;
    QTest::newRow("a lock file without a holder, left long ago") << QByteArray("not a lock\n") << 60;
}

void TestCodecJobs::lockIsTakenOverWhenItsHolderIsGone()
{
    QFETCH(QByteArray, lockText);
    QFETCH(int, ageSeconds);
    const QString lockPath = encoderConfigLockPath(path("config.txt"));
    if (lockText == "gone pid") {
        {
            QLockFile lock(lockPath);
            QVERIFY(lock.tryLock(0));
            lockText = readFile("config.txt.lock");
        }
        QProcess gone;
        gone.start(QStringLiteral(FAKETOOL), QStringList());
        QVERIFY(gone.waitForStarted());
        const qint64 gonePid = gone.processId();
        QVERIFY(gone.waitForFinished());
        lockText.replace(0, lockText.indexOf('\n'), QByteArray::number(gonePid));
    }
    QFile lock(lockPath);
    QVERIFY(lock.open(QIODevice::WriteOnly) && lock.write(lockText) == lockText.size());
    lock.close();
    if (ageSeconds > 0) {
        QVERIFY(lock.open(QIODevice::ReadWrite));
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds), QFileDevice::FileModificationTime));
        lock.close();
    }
    const auto outcome = encodeWith("out Compression rate: 3\\n\n");
    QVERIFY2(outcome, "the encode was refused or told no end");
    QCOMPARE(outcome->status, JobOutcome::Status::Succeeded);
}

void TestCodecJobs::unwritableConfigStartsNothing()
{
    QVERIFY(caseDir.mkdir("config.txt"));
    EncodeJob job(path("config.txt"));

    const QString said = startEncode(job);
    QVERIFY2(said.startsWith("Cannot write the encoder configuration " + QDir::toNativeSeparators(path("config.txt"))),
             qPrintable(said));
    QVERIFY2(!job.isRunning(), "the encoder starts without its configuration");
    // The lock went with the refusal.
    QVERIFY(QLockFile(encoderConfigLockPath(path("config.txt"))).tryLock(0));
}

// The next encode from the folder can start at once, while the first stops.
void TestCodecJobs::cancelReleasesTheLockAndTellsCancelled()
{
    QVERIFY(tool("encoder.exe", "touch running\nwait never\n"));
    EncodeJob job(path("config.txt"));
    QSignalSpy ended(&job, &CodecJob::ended);
    QCOMPARE(startEncode(job), QString());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path("running")), 10000);

    job.cancel();
    QVERIFY2(QLockFile(encoderConfigLockPath(path("config.txt"))).tryLock(0), "the lock outlived Cancel");
    const auto outcome = waitForEnd(ended);
    QVERIFY2(outcome, "the cancelled encode told no end");
    QCOMPARE(outcome->status, JobOutcome::Status::Cancelled);
    QCOMPARE(outcome->report, QString());
}

QTEST_GUILESS_MAIN(TestCodecJobs)
#include "tst_codecjobs.moc"
