#ifndef DECODEJOB_H
#define DECODEJOB_H

#include "codecjob.h"

// The decoder run on a stream; it writes the frames beside it.
class DecodeJob : public CodecJob
{
    Q_OBJECT

public:
    explicit DecodeJob(QObject *parent = nullptr);

    // Starts the decoder on streamPath, as the user picked it.
    void start(const QString &streamPath);
};

#endif
