#ifndef ENCODEJOB_H
#define ENCODEJOB_H

#include "codecjob.h"

#include <memory>

class QLockFile;
struct EncoderOptions;

// The encoder run on a config.txt written for the user's choices. While it
// runs, config.txt is locked: two windows started from one folder share it,
// and the second must not rewrite it under the first one's encoder.
class EncodeJob : public CodecJob
{
    Q_OBJECT

public:
    explicit EncodeJob(const QString &configPath, QObject *parent = nullptr);
    ~EncodeJob() override;

    // Locks and writes config.txt and starts the encoder on it. Returns why
    // it could not, or an empty text once the encoder is on its way.
    QString start(const QString &inputPath, const QString &outputDir, const EncoderOptions &options);

private:
    QString lock();
    QString lockRefusal() const;
    void release() override;

    const QString configPath;
    std::unique_ptr<QLockFile> configLock;
};

#endif
