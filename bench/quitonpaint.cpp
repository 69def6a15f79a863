// Preloaded into a Qt program by startupbench: ends the program once its
// first window has painted, so its time to show that window can be taken
// from outside, the program's own code unchanged.
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace {
class QuitOnFirstPaint : public QObject
{
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType() && static_cast<QWidget *>(watched)->isWindow()) {
            QCoreApplication::instance()->removeEventFilter(this);
            QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return false;
    }
};
}

static void quitOnFirstPaint()
{
    QCoreApplication::instance()->installEventFilter(new QuitOnFirstPaint);
}

Q_COREAPP_STARTUP_FUNCTION(quitOnFirstPaint)
