#ifndef FAKETOOLS_H
#define FAKETOOLS_H

#include <QDir>
#include <QFile>
#include <QtTest>

// Makes folder the first place the system looks for programs, so the fake
// codec tools written there stand in for the real ones.
inline void putFirstOnPath(const QString &folder)
{
    qputenv("PATH", QFile::encodeName(folder) + ':' + qgetenv("PATH"));
}

// Writes an executable shell script called name into folder.
inline void writeFakeTool(const QString &folder, const QString &name, const QByteArray &script)
{
    QFile file(QDir(folder).filePath(name));
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(file.errorString()));
    file.write("#!/bin/sh\n" + script);
    file.close();
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

#endif
