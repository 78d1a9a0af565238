#pragma once

#include <QString>

#include <condition_variable>
#include <mutex>
#include <thread>

class NamedMutex;
class TransferQueue;

// Stores the queue file on a thread of its own, so that the window never waits for the disk: a
// save ends with fsync, which takes hundreds of milliseconds while transfers fill the page cache.
// Requests that arrive while a save runs are folded into one more save, which reads the rows as
// they are by then.
class QueueFileWriter {
public:
    QueueFileWriter(const TransferQueue& queue, NamedMutex& writeLock);
    // Carries out a requested save that has not run yet, then stops.
    ~QueueFileWriter();
    QueueFileWriter(const QueueFileWriter&) = delete;
    QueueFileWriter& operator=(const QueueFileWriter&) = delete;

    // Any thread: the queue is to be stored in "WFL.dat" in this work path.
    void requestSave(const QString& workPath);

private:
    void run();

    const TransferQueue& queue_;
    NamedMutex& writeLock_;
    std::mutex mutex_; // guards pendingPath_, pending_ and stopping_
    std::condition_variable wake_;
    QString pendingPath_;
    bool pending_ = false;
    bool stopping_ = false;
    std::thread thread_;
};
