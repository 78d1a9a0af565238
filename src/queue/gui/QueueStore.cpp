#include "queue/gui/QueueStore.h"

#include "queue/QueueFile.h"
#include "queue/TransferQueue.h"
#include "view/gui/CftpView.h"

#include <QThread>

QueueStore::QueueStore(CftpView& view, TransferQueue& queue, NamedMutex& writeLock, QObject* parent)
    : QObject(parent), view_(view), queue_(queue), writeLock_(writeLock)
{
}

bool QueueStore::SaveQueue()
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, &QueueStore::SaveQueue, Qt::QueuedConnection);
        return true;
    }
    QueueFile file(view_.configuration().workPath, writeLock_);
    if (file.SaveQueue(queue_))
        return true;
    view_.AppendLog(QStringLiteral("队列文件保存失败：") + file.path() + QStringLiteral("\r\n"));
    return false;
}

int QueueStore::LoadQueue()
{
    const QueueFile file(view_.configuration().workPath, writeLock_);
    int dropped = 0;
    const int loaded = file.LoadQueue(queue_, view_.host(), &dropped);
    if (dropped > 0) {
        const QString notice = QStringLiteral("队列文件已损坏，%1 条记录未能载入：").arg(dropped) +
                               file.path() + QStringLiteral("\r\n");
        // Queued: the start-up empties the log after loading the queue.
        QMetaObject::invokeMethod(
            &view_, [this, notice] { view_.AppendLog(notice); }, Qt::QueuedConnection);
    }
    return loaded;
}
