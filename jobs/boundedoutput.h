#ifndef BOUNDEDOUTPUT_H
#define BOUNDEDOUTPUT_H

#include <QByteArray>

// A tool's standard output kept to its first and its last few megabytes, so a
// tool that prints gigabytes costs no more memory than one that prints a page.
class BoundedOutput
{
public:
    explicit BoundedOutput(qsizetype headLimit = 1 << 20, qsizetype tailLimit = 1 << 20);

    void append(const QByteArray &chunk);

    QByteArray head() const { return headBytes; }
    QByteArray tail() const;
    // The bytes between head and tail that were not kept.
    qint64 omitted() const;

private:
    qsizetype headLimit;
    qsizetype tailLimit;
    QByteArray headBytes;
    QByteArray tailBytes;
    qint64 total = 0;
};

#endif
