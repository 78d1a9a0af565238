#include "queue/gui/QueueStore.h"

#include "queue/QueueFile.h"
#include "queue/TransferQueue.h"
#include "view/gui/CftpView.h"

#include <QThread>

QueueStore::QueueStore(CftpView& view, TransferQueue& queue, NamedMutex& writeLock, QObject* parent)
    : QObject(parent), view_(view), queue_(queue), writeLock_(writeLock),
      writer_(queue, writeLock, [this](const QString& filePath) { reportFailure(filePath); })
{
}

void QueueStore::SaveQueue()
{
    // The work path belongs to the GUI thread.
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, &QueueStore::SaveQueue, Qt::QueuedConnection);
        return;
    }
    writer_.requestSave(view_.configuration().workPath);
}

void QueueStore::reportFailure(const QString& filePath)
{
    const QString line = QStringLiteral("队列文件保存失败：") + filePath + QStringLiteral("\r\n");
    QMetaObject::invokeMethod(
        &view_, [this, line] { view_.AppendLog(line); }, Qt::QueuedConnection);
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
