#ifndef CLIPCHECK_H
#define CLIPCHECK_H

#include "encoderoptions.h"

#include <QList>
#include <QString>

#include <optional>

// What the file system says of the clip: enough to check it against the
// options without reading a byte of it, however large it is.
struct ClipFacts
{
    QString path;
    bool exists = false;
    bool readable = false;
    bool isFolder = false;
    // A pipe or a device has no size that says anything.
    bool regular = false;
    qint64 size = 0;

    static ClipFacts of(const QString &path);
};

struct ClipFinding
{
    // Refused: nothing starts. A warning lets the user encode anyway.
    enum class Kind { Refusal, Warning };

    Kind kind;
    QString message;
};

// The frame size a clip's name states, as raw-video viewers read it: a
// "WIDTHxHEIGHT" (or "*", any case) or a word such as "1080p" or "cif",
// bounded by "_", "-", "." or the name's ends; the file's name first, then
// its folder's.
std::optional<Resolution> resolutionInName(const QString &path);

// Refusals first, then warnings; none when the clip fits the options.
QList<ClipFinding> checkClip(const ClipFacts &clip, const EncoderOptions &options);

#endif
