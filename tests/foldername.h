#ifndef FOLDERNAME_H
#define FOLDERNAME_H

#include <QRegularExpression>
#include <QString>

// text, such as a test row's name, as a folder name that every system takes:
// without the characters Windows keeps out of file names.
inline QString folderNameFrom(QString text)
{
    static const QRegularExpression notInNames(QStringLiteral(R"([<>:"\\|?*])"));
    return text.replace(notInNames, QStringLiteral("_"));
}

#endif
