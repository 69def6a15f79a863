#include "toolprogress.h"

#include <QRegularExpression>

#include <cmath>

// Longer than any progress line: text without a line end is passed on in pieces of this size.
static const qsizetype longestLine = 64 * 1024;

// A line that starts with a percentage in brackets or a frame count, then
// comma-separated fields; fields other tools add (kb/s, est.size) are skipped.
static const QRegularExpression leadPattern(
    QStringLiteral(R"(^\s*(?:\[\s*(\d+(?:\.\d+)?)%\]\s*)?(?:(\d+)(?:/(\d+))?\s+frames\b)?)"));
static const QRegularExpression fpsPattern(QStringLiteral(R"(^\s*(\d+(?:\.\d+)?)\s*fps\s*$)"));
static const QRegularExpression etaPattern(
    QStringLiteral(R"(^\s*eta\s+(?:(\d+):)?(\d{1,2}):(\d{2})\s*$)"));

// No job runs for six weeks: a time left beyond that is a tool's garbage.
static const qint64 longestEtaHours = 999;

// The seconds of "H:MM:SS" or "M:SS", or -1 when no clock shows that time.
static qint64 etaSeconds(const QRegularExpressionMatch &eta)
{
    bool hoursOk = true;
    const qint64 hours = eta.captured(1).isEmpty() ? 0 : eta.captured(1).toLongLong(&hoursOk);
    const qint64 minutes = eta.captured(2).toLongLong();
    const qint64 seconds = eta.captured(3).toLongLong();
    const bool minutesFit = eta.captured(1).isEmpty() || minutes < 60;
    if (!hoursOk || hours > longestEtaHours || !minutesFit || seconds >= 60)
        return -1;
    return hours * 3600 + minutes * 60 + seconds;
}

static void takeFields(const QString &rest, ToolProgress &progress)
{
    for (const QString &field : rest.split(QLatin1Char(','))) {
        if (const auto fps = fpsPattern.match(field); fps.hasMatch()) {
            const double speed = fps.captured(1).toDouble();
            progress.fps = std::isfinite(speed) ? speed : -1;
        } else if (const auto eta = etaPattern.match(field); eta.hasMatch()) {
            progress.etaSeconds = etaSeconds(eta);
        }
    }
}

// A frame count beyond the total, or a total of none, tells nothing about the whole.
static void dropImpossibleTotal(ToolProgress &progress)
{
    if (progress.totalFrames <= 0 || progress.frames > progress.totalFrames)
        progress.totalFrames = -1;
}

std::optional<ToolProgress> parseProgressLine(const QByteArray &line)
{
    const QString text = QString::fromUtf8(line);
    const QRegularExpressionMatch lead = leadPattern.match(text);
    const bool hasPercent = !lead.captured(1).isEmpty();
    const bool hasFrames = !lead.captured(2).isEmpty();
    const QString rest = text.mid(lead.capturedEnd());
    if (!hasPercent && !hasFrames)
        return std::nullopt;
    if (!rest.trimmed().isEmpty() && !rest.trimmed().startsWith(QLatin1Char(',')))
        return std::nullopt;

    ToolProgress progress;
    if (hasPercent)
        progress.percent = qMin(lead.captured(1).toDouble(), 100.0);
    if (hasFrames) {
        // A count too long for any number tells nothing.
        bool ok = false;
        progress.frames = lead.captured(2).toLongLong(&ok);
        if (!ok)
            progress.frames = -1;
        progress.totalFrames = lead.captured(3).isEmpty() ? -1 : lead.captured(3).toLongLong(&ok);
        if (!ok)
            progress.totalFrames = -1;
        dropImpossibleTotal(progress);
    }
    takeFields(rest, progress);
    return progress;
}

ToolProgressParser::Lines ToolProgressParser::feed(const QByteArray &chunk)
{
    pending += chunk;
    Lines lines;
    const char *lineStart = pending.constData();
    const char *end = lineStart + pending.size();
    for (const char *c = lineStart; c != end; ++c) {
        if (*c == '\r' || *c == '\n') {
            take(QByteArray(lineStart, int(c + 1 - lineStart)), lines);
            lineStart = c + 1;
        }
    }
    pending.remove(0, int(lineStart - pending.constData()));
    if (pending.size() > longestLine) {
        lines.otherText += pending;
        pending.clear();
    }
    return lines;
}

ToolProgressParser::Lines ToolProgressParser::finish()
{
    Lines lines;
    if (!pending.isEmpty())
        take(pending, lines);
    pending.clear();
    return lines;
}

void ToolProgressParser::take(const QByteArray &line, Lines &lines)
{
    // A tool ends its progress line with "\n" before it prints another line,
    // and a Windows tool may end every line with "\r\n": after a line taken
    // here, that "\n" is no line of its own.
    const bool endsTakenLine = takenLineEndsInCr && line == "\n";
    takenLineEndsInCr = false;
    if (endsTakenLine)
        return;
    const QByteArray text = line.trimmed();
    if (isFrameLine(text)) {
        if (const auto frame = parseFrameLine(text))
            lines.frames << *frame;
        takenLineEndsInCr = line.endsWith('\r');
    } else if (const auto update = parseProgressLine(text); update && !text.isEmpty()) {
        lines.updates << *update;
        takenLineEndsInCr = line.endsWith('\r');
    } else if (!text.isEmpty() || line.contains('\n')) {
        lines.otherText += line;
    }
}
