#ifndef CHOICES_H
#define CHOICES_H

#include <QFileDialog>
#include <QString>

class QWidget;

// The file and folder questions the window asks, answered by default
// through the system's file dialogs. Tests answer them instead.
class Choices
{
public:
    virtual ~Choices() = default;

    // A file to open, or an empty text when the user cancelled.
    virtual QString openFileName(QWidget *parent, const QString &caption, const QString &folder,
                                 const QString &filter);
    // A file to write, or an empty text when the user cancelled; the system's
    // dialog has asked whether to replace one that exists.
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &path,
                                 const QString &filter);
    // A folder, or an empty text when the user cancelled.
    virtual QString existingDirectory(QWidget *parent, const QString &caption, const QString &folder,
                                      QFileDialog::Options options);
};

#endif
