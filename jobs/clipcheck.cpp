#include "clipcheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QFileInfo>
#include <QRegularExpression>

ClipFacts ClipFacts::of(const QString &path)
{
    const QFileInfo info(path);
    ClipFacts facts;
    facts.path = path;
    facts.exists = info.exists();
    facts.readable = info.isReadable();
    facts.isFolder = info.isDir();
    facts.regular = info.isFile();
    facts.size = facts.regular ? info.size() : 0;
    return facts;
}

namespace {
// The check's texts have a translation context of their own.
class ClipCheck
{
    Q_DECLARE_TR_FUNCTIONS(ClipCheck)
};
}

static QString sizeText(const Resolution &resolution)
{
    return QStringLiteral("%1x%2").arg(resolution.width).arg(resolution.height);
}

struct NamedSize
{
    const char *word;
    Resolution resolution;
};

// The usual names of frame sizes in clip names.
static const NamedSize namedSizes[] = {
    {"2160p", {3840, 2160}}, {"1440p", {2560, 1440}}, {"1080p", {1920, 1080}},
    {"1080i", {1920, 1080}}, {"720p", {1280, 720}},   {"576p", {720, 576}},
    {"576i", {720, 576}},    {"480p", {720, 480}},    {"480i", {720, 480}},
    {"16cif", {1408, 1152}}, {"4cif", {704, 576}},    {"cif", {352, 288}},
    {"qcif", {176, 144}},    {"sqcif", {128, 96}},    {"sif", {352, 240}},
};

// No clip is smaller than 16 pixels a side: "16x9", "4x3" and "0x10" in a
// name are an aspect ratio or a number, not a frame size.
static bool couldBeFrameSize(const Resolution &resolution)
{
    return resolution.width >= 16 && resolution.height >= 16;
}

static std::optional<Resolution> resolutionInPart(const QString &name)
{
    static const QRegularExpression sizePattern(
        QStringLiteral(R"((?:^|[-_.])(\d{1,5})[x*](\d{1,5})(?=$|[-_.]))"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression wordPattern(
        QStringLiteral(R"((?:^|[-_.])([0-9a-z]+)(?=$|[-_.]))"),
        QRegularExpression::CaseInsensitiveOption);
    for (auto it = sizePattern.globalMatch(name); it.hasNext();) {
        const QRegularExpressionMatch size = it.next();
        const Resolution stated{size.captured(1).toInt(), size.captured(2).toInt()};
        if (couldBeFrameSize(stated))
            return stated;
    }
    for (auto it = wordPattern.globalMatch(name); it.hasNext();) {
        const QString word = it.next().captured(1).toLower();
        for (const NamedSize &named : namedSizes) {
            if (word == QLatin1String(named.word))
                return named.resolution;
        }
    }
    return std::nullopt;
}

std::optional<Resolution> resolutionInName(const QString &path)
{
    const QFileInfo info(path);
    if (auto inFileName = resolutionInPart(info.fileName()))
        return inFileName;
    return resolutionInPart(QFileInfo(info.path()).fileName());
}

static QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Grouped as the user's locale groups digits: "414 720 000" in Russian.
static QString bytesText(qint64 bytes)
{
    return QLocale().toString(bytes);
}

static std::optional<ClipFinding> refusal(const ClipFacts &clip, const EncoderOptions &options)
{
    QString why;
    if (!clip.exists)
        why = ClipCheck::tr("The clip %1 does not exist.").arg(native(clip.path));
    else if (clip.isFolder)
        why = ClipCheck::tr("%1 is a folder, not a clip.").arg(native(clip.path));
    else if (!clip.readable)
        why = ClipCheck::tr("The clip %1 cannot be read: you have no permission to read it.").arg(native(clip.path));
    else if (clip.regular && clip.size == 0)
        why = ClipCheck::tr("The clip %1 is empty.").arg(native(clip.path));
    else if (clip.regular && clip.size < options.frameBytes())
        why = ClipCheck::tr("The clip %1 holds %2 bytes, less than one frame of %3 (%4 bytes).")
                  .arg(native(clip.path), bytesText(clip.size), sizeText(options.resolution()),
                       bytesText(options.frameBytes()));
    if (why.isEmpty())
        return std::nullopt;
    return ClipFinding{ClipFinding::Kind::Refusal, why};
}

static QList<ClipFinding> sizeWarnings(const ClipFacts &clip, const EncoderOptions &options)
{
    QList<ClipFinding> warnings;
    const qint64 frameSize = options.frameBytes();
    const qint64 wholeFrames = clip.size / frameSize;
    if (const qint64 partial = clip.size % frameSize; partial != 0) {
        warnings << ClipFinding{ClipFinding::Kind::Warning,
                                ClipCheck::tr("The clip holds %1 bytes: %2 whole frames of %3 and a partial frame "
                                              "of %4 bytes (a frame is %5 bytes). The partial frame will be left out.")
                                    .arg(bytesText(clip.size), QString::number(wholeFrames),
                                         sizeText(options.resolution()), bytesText(partial),
                                         bytesText(frameSize))};
    }
    if (wholeFrames < options.frames) {
        warnings << ClipFinding{ClipFinding::Kind::Warning,
                                ClipCheck::tr("The clip holds %1 whole frames of %2, fewer than the %3 frames "
                                              "asked for.")
                                    .arg(QString::number(wholeFrames), sizeText(options.resolution()),
                                         QString::number(options.frames))};
    }
    return warnings;
}

static QString offeredSizes()
{
    QStringList sizes;
    for (const EncoderOptions::Entry &entry : EncoderOptions::entries())
        sizes << sizeText(entry.resolution);
    return sizes.join(QStringLiteral(", "));
}

// What the clip is at the size its name states, so the user knows what to choose.
static QString namedSizeNote(const ClipFacts &clip, const Resolution &named)
{
    QStringList notes;
    if (clip.regular) {
        notes << ClipCheck::tr("At %1 the clip holds %2 whole frames.")
                     .arg(sizeText(named), QString::number(clip.size / named.frameBytes()));
    }
    if (!EncoderOptions::offers(named)) {
        notes << ClipCheck::tr("%1 is not one of the sizes the encoder is offered (%2): no choice in the "
                               "options fits this clip.")
                     .arg(sizeText(named), offeredSizes());
    }
    return notes.join(QLatin1Char(' '));
}

static QString withNote(const QString &message, const QString &note)
{
    return note.isEmpty() ? message : message + QLatin1Char(' ') + note;
}

QList<ClipFinding> checkClip(const ClipFacts &clip, const EncoderOptions &options)
{
    // A name that states the size is the surer guide: one 1080p frame is exactly five 720x576 ones.
    const std::optional<Resolution> named = resolutionInName(clip.path);
    const bool namedOther = named && !(*named == options.resolution());
    const QString note = namedOther ? namedSizeNote(clip, *named) : QString();
    if (const auto refused = refusal(clip, options))
        return {ClipFinding{refused->kind, withNote(refused->message, note)}};
    QList<ClipFinding> findings;
    if (namedOther) {
        findings << ClipFinding{ClipFinding::Kind::Warning,
                                withNote(ClipCheck::tr("The name %1 states %2, but %3 is chosen.")
                                             .arg(QFileInfo(clip.path).fileName(), sizeText(*named),
                                                  sizeText(options.resolution())),
                                         note)};
    }
    if (clip.regular)
        findings << sizeWarnings(clip, options);
    return findings;
}
