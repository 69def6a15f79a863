#ifndef MODALDRIVER_H
#define MODALDRIVER_H

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QQueue>
#include <QTimer>
#include <QtTest>

#include <functional>

// What a message box showed before the driver closed it.
struct SeenBox
{
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QString detailedText;
};

// Answers the application's modal dialogs as they come up, the usual Qt way:
// a short timer looks at QApplication::activeModalWidget(). File and option
// dialogs get the queued answers in turn; message boxes are recorded and
// closed with the next queued button text, or with OK; the busy dialog is
// cancelled once cancelBusyWhen's condition holds.
class ModalDriver : public QObject
{
public:
    using Answer = std::function<void(QDialog *)>;

    ModalDriver()
    {
        connect(&timer, &QTimer::timeout, this, &ModalDriver::poll);
        timer.start(5);
    }

    void answer(const Answer &next) { answers.enqueue(next); }
    void answerBox(const QString &buttonText) { boxAnswers.enqueue(buttonText); }
    void cancelBusyWhen(const std::function<bool()> &condition) { cancelCondition = condition; }
    bool allAnswered() const { return answers.isEmpty(); }

    QList<SeenBox> boxes;

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            boxes.append({box->icon(), box->windowTitle(), box->text(), box->detailedText()});
            closeBox(box);
        } else if (auto *busy = qobject_cast<QProgressDialog *>(modal)) {
            if (cancelCondition && cancelCondition()) {
                cancelCondition = nullptr;
                busy->findChild<QPushButton *>()->click();
            }
        } else if (auto *dialog = qobject_cast<QDialog *>(modal); dialog && !answers.isEmpty()) {
            answers.dequeue()(dialog);
        }
    }

    void closeBox(QMessageBox *box)
    {
        const QString buttonText = boxAnswers.isEmpty() ? QString() : boxAnswers.dequeue();
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == buttonText) {
                button->click();
                return;
            }
        }
        box->done(QMessageBox::Ok);
    }

    QTimer timer;
    QQueue<Answer> answers;
    QQueue<QString> boxAnswers;
    std::function<bool()> cancelCondition;
};

// Picks path in a file or directory dialog, noting the folder it opened in.
inline ModalDriver::Answer choosePath(const QString &path, QString *startFolder = nullptr)
{
    return [=](QDialog *dialog) {
        auto *fileDialog = qobject_cast<QFileDialog *>(dialog);
        QVERIFY2(fileDialog, qPrintable(dialog->metaObject()->className()));
        if (startFolder)
            *startFolder = fileDialog->directory().absolutePath();
        fileDialog->selectFile(path);
        dialog->accept();
    };
}

inline ModalDriver::Answer rejectDialog(QString *startFolder = nullptr)
{
    return [=](QDialog *dialog) {
        if (auto *fileDialog = qobject_cast<QFileDialog *>(dialog); fileDialog && startFolder)
            *startFolder = fileDialog->directory().absolutePath();
        dialog->reject();
    };
}

inline ModalDriver::Answer acceptDialog()
{
    return [](QDialog *dialog) { dialog->accept(); };
}

// The busy dialogs still alive, deferred deletions done.
inline int busyDialogCount()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        count += qobject_cast<QProgressDialog *>(widget) != nullptr;
    return count;
}

#endif
