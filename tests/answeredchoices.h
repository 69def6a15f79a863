#ifndef ANSWEREDCHOICES_H
#define ANSWEREDCHOICES_H

#include "mainwindow/choices.h"

#include <QQueue>
#include <QStringList>

// What the window asked: "file", "save" or "folder", with the dialog's caption,
// start folder, filter and options.
struct Question
{
    QString kind;
    QString caption;
    QString folder;
    QString filter;
    int options = 0;

    friend bool operator==(const Question &a, const Question &b)
    {
        return a.kind == b.kind && a.caption == b.caption && a.folder == b.folder && a.filter == b.filter
            && a.options == b.options;
    }
};

// Answers the window's file questions from a queue (an empty text is the
// user cancelling) and keeps what was asked.
class AnsweredChoices : public Choices
{
public:
    QString openFileName(QWidget *, const QString &caption, const QString &folder, const QString &filter) override
    {
        asked.append({QStringLiteral("file"), caption, folder, filter, 0});
        return nextAnswer();
    }

    QString saveFileName(QWidget *, const QString &caption, const QString &path, const QString &filter) override
    {
        asked.append({QStringLiteral("save"), caption, path, filter, 0});
        return nextAnswer();
    }

    QString existingDirectory(QWidget *, const QString &caption, const QString &folder,
                              QFileDialog::Options options) override
    {
        asked.append({QStringLiteral("folder"), caption, folder, QString(), int(options)});
        return nextAnswer();
    }

    QQueue<QString> answers;
    QList<Question> asked;

private:
    QString nextAnswer() { return answers.isEmpty() ? QString() : answers.dequeue(); }
};

#endif
