#include "queue/QueueFileWriter.h"

#include "queue/QueueFile.h"

QueueFileWriter::QueueFileWriter(const TransferQueue& queue, NamedMutex& writeLock,
                                 FailureHandler onFailure)
    : queue_(queue), writeLock_(writeLock), onFailure_(std::move(onFailure)),
      thread_([this] { run(); })
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

bool QueueFileWriter::waitUntilStored()
{
    std::unique_lock<std::mutex> hold(mutex_);
    idle_.wait(hold, [this] { return !pending_ && !saving_; });
    return lastSaved_;
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
        saving_ = true;
        hold.unlock();
        QueueFile file(workPath, writeLock_);
        const bool saved = file.SaveQueue(queue_);
        if (!saved && onFailure_)
            onFailure_(file.path());
        hold.lock();
        saving_ = false;
        lastSaved_ = saved;
        idle_.notify_all();
    }
}
