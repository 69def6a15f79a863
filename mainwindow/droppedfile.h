#ifndef DROPPEDFILE_H
#define DROPPEDFILE_H

#include <QList>
#include <QString>

class QUrl;

// What a drop on the window asks for: one .yuv clip on this computer starts
// the "Encoder" road, one .dat stream the "Decoder" road; anything else
// starts nothing and says why.
struct DroppedFile
{
    enum class Use { Encode, Decode, Refused };

    Use use = Use::Refused;
    QString path;
    // Why nothing starts, for the user.
    QString refusal;

    static DroppedFile read(const QList<QUrl> &urls);
};

#endif
