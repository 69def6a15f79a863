#include "decodejob.h"

DecodeJob::DecodeJob(QObject *parent)
    : CodecJob(JobKind::Decode, parent)
{
}

void DecodeJob::start(const QString &streamPath)
{
    run(CodecTools::decoderProgram, CodecTools::decoderArguments(streamPath));
}
