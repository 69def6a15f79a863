#ifndef FAKETOOLS_H
#define FAKETOOLS_H

#include <QDir>
#include <QFile>

#include <cstdlib>

// Makes folder the first place the system looks for programs, so the fake
// codec tools put there stand in for the real ones.
inline void putFirstOnPath(const QString &folder)
{
    const QString path = QDir::toNativeSeparators(folder) + QDir::listSeparator() + qEnvironmentVariable("PATH");
#ifdef Q_OS_WIN
    // qputenv() goes through the ANSI code page, which may lack the folder's letters.
    _wputenv_s(L"PATH", reinterpret_cast<const wchar_t *>(path.utf16()));
#else
    qputenv("PATH", QFile::encodeName(path));
#endif
}

// Puts the fake tool (tests/faketool.c) into folder as name, doing what plan
// says, one step a line. False when it cannot be written.
inline bool installFakeTool(const QString &folder, const QString &name, const QByteArray &plan)
{
    const QString tool = QDir(folder).filePath(name);
    QFile planFile(tool + QStringLiteral(".plan"));
    if (!planFile.open(QIODevice::WriteOnly | QIODevice::Truncate) || planFile.write(plan) != plan.size())
        return false;
    // A copy still running from an earlier case keeps its own file.
    QFile::remove(tool);
    return QFile::copy(QStringLiteral(FAKETOOL), tool);
}

#endif
