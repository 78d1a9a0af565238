#include "app/gui/StatusTipRouter.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QStatusTipEvent>

StatusTipRouter::StatusTipRouter(QMainWindow& frame) : QObject(&frame), frame_(&frame)
{
    qApp->installEventFilter(this);
}

bool StatusTipRouter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::StatusTip || frame_ == nullptr || !qobject_cast<QMenu*>(watched))
        return false;
    QStatusTipEvent forwarded(static_cast<QStatusTipEvent*>(event)->tip());
    QCoreApplication::sendEvent(frame_, &forwarded);
    return true;
}
