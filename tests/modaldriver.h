#ifndef MODALDRIVER_H
#define MODALDRIVER_H

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QQueue>
#include <QTimer>

#include <functional>

// What a message box showed before the driver closed it.
struct SeenBox
{
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QString detailedText;
    Qt::TextFormat textFormat;
};

// Answers the application's modal dialogs the usual Qt way: when one shows,
// a zero-delay timer finds QApplication::activeModalWidget() once its event
// loop runs. Each dialog must be the next one expected, by class and title;
// any other is noted in unexpected and rejected, so the road ends and the
// test can say what came. Message boxes are recorded in boxes. The busy
// dialog is the test's own business.
class ModalDriver : public QObject
{
public:
    using Answer = std::function<void(QDialog *)>;

    ModalDriver() { qApp->installEventFilter(this); }

    // The next dialog is a className titled title; answer acts on it.
    void expect(const char *className, const QString &title, const Answer &answer)
    {
        expected.enqueue({className, title, answer});
    }
    // The next dialog is a message box titled title, closed with the button
    // whose text is buttonText, or with its default answer.
    void expectBox(const QString &title, const QString &buttonText = QString())
    {
        expect("QMessageBox", title, [this, buttonText](QDialog *dialog) {
            closeBox(static_cast<QMessageBox *>(dialog), buttonText);
        });
    }
    // Every expected dialog came, and nothing else.
    bool allAnswered() const { return expected.isEmpty() && unexpected.isEmpty(); }
    // What is still expected and what came instead, for a failure message.
    QString state() const
    {
        QStringList waiting;
        for (const Expected &next : expected)
            waiting << QStringLiteral("%1 \"%2\"").arg(QLatin1String(next.className), next.title);
        return QStringLiteral("still expected: [%1]; came unexpected: [%2]")
            .arg(waiting.join(QStringLiteral(", ")), unexpected.join(QStringLiteral(", ")));
    }

    QList<SeenBox> boxes;
    QStringList unexpected;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *dialog = qobject_cast<QDialog *>(watched);
        if (event->type() == QEvent::Show && dialog && dialog->isWindow() && !qobject_cast<QProgressDialog *>(dialog))
            QTimer::singleShot(0, this, [this, shown = QPointer<QDialog>(dialog)] { answer(shown); });
        return false;
    }

private:
    struct Expected
    {
        const char *className;
        QString title;
        Answer answer;
    };

    void answer(QDialog *dialog)
    {
        if (!dialog || QApplication::activeModalWidget() != dialog)
            return;
        if (auto *box = qobject_cast<QMessageBox *>(dialog))
            boxes.append({box->icon(), box->windowTitle(), box->text(), box->detailedText(), box->textFormat()});
        if (expected.isEmpty() || !dialog->inherits(expected.head().className)
            || dialog->windowTitle() != expected.head().title) {
            const auto *box = qobject_cast<QMessageBox *>(dialog);
            unexpected << QStringLiteral("%1 \"%2\" %3")
                              .arg(QLatin1String(dialog->metaObject()->className()), dialog->windowTitle(),
                                   box ? box->text() : QString());
            dialog->reject();
            return;
        }
        expected.dequeue().answer(dialog);
    }

    static void closeBox(QMessageBox *box, const QString &buttonText)
    {
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == buttonText) {
                button->click();
                return;
            }
        }
        box->done(QMessageBox::Ok);
    }

    QQueue<Expected> expected;
};

inline ModalDriver::Answer acceptDialog()
{
    return [](QDialog *dialog) { dialog->accept(); };
}

inline ModalDriver::Answer rejectDialog()
{
    return [](QDialog *dialog) { dialog->reject(); };
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

// The busy dialog shown now, or null.
inline QProgressDialog *busyDialog()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *busy = qobject_cast<QProgressDialog *>(widget);
        if (busy && busy->isVisible())
            return busy;
    }
    return nullptr;
}

#endif
