#include "encodejob.h"

#include "encoderconfig.h"
#include "encoderoptions.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

namespace {
// The user reads these in the window's boxes: they keep its translation context.
class Texts
{
    Q_DECLARE_TR_FUNCTIONS(MainWindow)
};
}

// A lock file without the holder's name in it is never one a running Tuv-R
// holds for longer than it takes to write it.
static const qint64 unreadableLockAgeMs = 10 * 1000;

EncodeJob::EncodeJob(const QString &configPath, QObject *parent)
    : CodecJob(JobKind::Encode, parent),
      configPath(configPath)
{
}

EncodeJob::~EncodeJob() = default;

QString EncodeJob::start(const QString &inputPath, const QString &outputDir, const EncoderOptions &options)
{
    if (const QString refusal = lock(); !refusal.isEmpty())
        return refusal;
    QString error;
    if (!writeEncoderConfig(configPath, inputPath, outputDir, options, &error)) {
        release();
        return Texts::tr("Cannot write the encoder configuration %1:\n%2.")
            .arg(QDir::toNativeSeparators(configPath), error);
    }
    run(CodecTools::encoderProgram, CodecTools::encoderArguments(configPath), options.frames);
    return QString();
}

static bool holdsNoLockInfo(QLockFile &lock, const QFileInfo &info)
{
    qint64 pid = 0;
    QString host, application;
    return info.isFile() && info.isReadable() && !lock.getLockInfo(&pid, &host, &application)
        && info.lastModified().msecsTo(QDateTime::currentDateTime()) > unreadableLockAgeMs;
}

QString EncodeJob::lock()
{
    configLock = std::make_unique<QLockFile>(encoderConfigLockPath(configPath));
    // Only a lock whose program is gone is stale, however long an encode takes.
    configLock->setStaleLockTime(0);
    if (configLock->tryLock(0))
        return QString();
    const QFileInfo info(encoderConfigLockPath(configPath));
    if (holdsNoLockInfo(*configLock, info) && configLock->removeStaleLockFile() && configLock->tryLock(0))
        return QString();
    const QString refusal = lockRefusal();
    configLock.reset();
    return refusal;
}

// Why config.txt could not be locked, in words that tell the user what to do.
QString EncodeJob::lockRefusal() const
{
    const QString lockPath = QDir::toNativeSeparators(encoderConfigLockPath(configPath));
    const QFileInfo info(encoderConfigLockPath(configPath));
    if (info.isSymLink() && !info.exists())
        return Texts::tr("Cannot lock the encoder configuration: %1 is a link to a file that does not exist. "
                         "Remove it, or start Tuv-R from another folder.").arg(lockPath);
    if (info.isDir())
        return Texts::tr("Cannot lock the encoder configuration: %1 is a folder. "
                         "Remove it, or start Tuv-R from another folder.").arg(lockPath);
    if (info.exists() && !info.isReadable())
        return Texts::tr("Cannot lock the encoder configuration: %1 cannot be read. "
                         "Remove it, or start Tuv-R from another folder.").arg(lockPath);
    if (configLock->error() == QLockFile::LockFailedError)
        return Texts::tr("Another encode started from this folder is still running on %1. "
                         "Wait for it to end, or start Tuv-R from another folder.")
            .arg(QDir::toNativeSeparators(configPath));
    return Texts::tr("Cannot lock the encoder configuration: %1 cannot be created in %2. "
                     "Start Tuv-R from a folder you can write to.")
        .arg(lockPath, QDir::toNativeSeparators(info.absolutePath()));
}

void EncodeJob::release()
{
    configLock.reset();
}
