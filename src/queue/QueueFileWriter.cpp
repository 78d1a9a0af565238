#include "queue/QueueFileWriter.h"

#include "queue/QueueFile.h"

QueueFileWriter::QueueFileWriter(const TransferQueue& queue, NamedMutex& writeLock)
    : queue_(queue), writeLock_(writeLock), thread_([this] { run(); })
{
}

QueueFileWriter::~QueueFileWriter()
{
    {
        std::lock_guard<std::mutex> hold(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void QueueFileWriter::requestSave(const QString& workPath)
{
    {
        std::lock_guard<std::mutex> hold(mutex_);
        pendingPath_ = workPath;
        pending_ = true;
    }
    wake_.notify_all();
}

void QueueFileWriter::run()
{
    std::unique_lock<std::mutex> hold(mutex_);
    for (;;) {
        wake_.wait(hold, [this] { return pending_ || stopping_; });
        if (!pending_)
            return;
        const QString workPath = pendingPath_;
        pending_ = false;
        hold.unlock();
        QueueFile(workPath, writeLock_).SaveQueue(queue_);
        hold.lock();
    }
}
