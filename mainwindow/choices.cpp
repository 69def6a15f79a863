#include "choices.h"

QString Choices::openFileName(QWidget *parent, const QString &caption, const QString &folder,
                              const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, folder, filter);
}

QString Choices::saveFileName(QWidget *parent, const QString &caption, const QString &path,
                              const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, caption, path, filter);
}

QString Choices::existingDirectory(QWidget *parent, const QString &caption, const QString &folder,
                                   QFileDialog::Options options)
{
    return QFileDialog::getExistingDirectory(parent, caption, folder, options);
}
