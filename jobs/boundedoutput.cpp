#include "boundedoutput.h"

BoundedOutput::BoundedOutput(qsizetype headLimit, qsizetype tailLimit)
    : headLimit(headLimit), tailLimit(tailLimit)
{
}

void BoundedOutput::append(const QByteArray &chunk)
{
    total += chunk.size();
    const qsizetype toHead = qMin<qsizetype>(chunk.size(), headLimit - headBytes.size());
    headBytes += chunk.left(toHead);
    tailBytes += chunk.mid(toHead);
    // Dropping the front only once the tail has doubled keeps appends cheap.
    if (tailBytes.size() > 2 * tailLimit)
        tailBytes.remove(0, tailBytes.size() - tailLimit);
}

QByteArray BoundedOutput::tail() const
{
    return tailBytes.right(tailLimit);
}

qint64 BoundedOutput::omitted() const
{
    return total - headBytes.size() - tail().size();
}
