#ifndef OUTCOMETABLE_H
#define OUTCOMETABLE_H

#include "jobs/joboutcome.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One way a codec job ends: what the fake tool does, and what the user is
// told of it, in the job's outcome and in the window's box.
struct OutcomeRow
{
    const char *tag;
    JobKind kind;
    // The fake tool's plan; empty when there is no tool at all.
    QByteArray plan;
    JobOutcome::Status status;
    QString title;
    QString summary;
    QString report;
    // The box's text, empty when the window shows none.
    QString shown;

    QString program() const { return kind == JobKind::Encode ? "encoder.exe" : "decoder.exe"; }
    // Whether text is the one expected: a tool that could not start is told
    // with the system's own words after ours.
    bool says(const QString &text, const QString &expected) const
    {
        return status == JobOutcome::Status::NotStarted ? text.startsWith(expected) : text == expected;
    }
};
Q_DECLARE_METATYPE(OutcomeRow)

inline QList<OutcomeRow> outcomeRows()
{
    using Status = JobOutcome::Status;
    const auto encode = JobKind::Encode;
    const auto decode = JobKind::Decode;
    return {
        {"encode: the report from the phrase on", encode, "out frame 1\\nCompression rate: 5.1\\n\n",
         Status::Succeeded, "Encode complete", "", "Compression rate: 5.1\n", "Compression rate: 5.1\n"},
        {"encode that said nothing: no box at all", encode, "exit 0\n", Status::Succeeded, "Encode complete", "",
         "", ""},
        {"markup in the report stays plain text", encode, "out <b>Compression rate</b> 4\n", Status::Succeeded,
         "Encode complete", "", "Compression rate</b> 4", "Compression rate</b> 4"},
        {"encode failing with a code: its report is kept", encode,
         "out bad input\\nCompression rate: n/a\\n\nexit 2\n", Status::Failed, "Encode failed",
         "encoder.exe stopped with exit code 2.", "Compression rate: n/a\n",
         "encoder.exe stopped with exit code 2.\n\nCompression rate: n/a\n"},
        {"encode failing: its error on standard error only", encode,
         "err Error: cannot open input file\\n\nexit 1\n", Status::Failed, "Encode failed",
         "encoder.exe stopped with exit code 1.", "Error: cannot open input file\n",
         "encoder.exe stopped with exit code 1.\n\nError: cannot open input file\n"},
        {"encoder crash: what it said before", encode, "out half\\n\ncrash\n", Status::Crashed, "Encode failed",
         "encoder.exe crashed.", "half\n", "encoder.exe crashed.\n\nhalf\n"},
        {"decode that said nothing: complete all the same", decode, "exit 0\n", Status::Succeeded,
         "Decode complete", "Decode complete", "", "Decode complete"},
        {"decode: complete, with all the decoder said", decode,
         "out Decoded 3 frames of 128x96\\nOutput: 55296 bytes -> /v/s-1.yuv\\n\n", Status::Succeeded,
         "Decode complete", "Decode complete", "Decoded 3 frames of 128x96\nOutput: 55296 bytes -> /v/s-1.yuv\n",
         "Decode complete\n\nDecoded 3 frames of 128x96\nOutput: 55296 bytes -> /v/s-1.yuv\n"},
        {"decode: progress stays out of the report, a warning on standard error comes first", decode,
         "err [50.0%] 1/2 frames\\r\\n\nerr Warning: note\\n\nout done\\n\n", Status::Succeeded, "Decode complete",
         "Decode complete", "Warning: note\ndone\n", "Decode complete\n\nWarning: note\ndone\n"},
        {"decode failing: the code and the error", decode, "out Error: not an H.264 stream\\n\nexit 3\n",
         Status::Failed, "Decode failed", "decoder.exe stopped with exit code 3.", "Error: not an H.264 stream\n",
         "decoder.exe stopped with exit code 3.\n\nError: not an H.264 stream\n"},
        {"decoder crash, silent", decode, "crash\n", Status::Crashed, "Decode failed", "decoder.exe crashed.", "",
         "decoder.exe crashed."},
        {"no tool at all: not started, and where it was looked for", decode, "", Status::NotStarted,
         "Decode failed", "decoder.exe could not be started.", "", "decoder.exe could not be started."},
    };
}

#endif
