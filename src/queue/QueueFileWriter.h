#pragma once

#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class NamedMutex;
class TransferQueue;

// The one writer of the queue file: every save goes through it and runs on its own thread, so
// that the window never waits for the disk (a save ends with fsync, which takes hundreds of
// milliseconds while transfers fill the page cache). Requests that arrive while a save runs are
// folded into one more save, which reads the rows as they are by then.
class QueueFileWriter {
public:
    // Told, on the writer's thread, the path of a file that could not be stored.
    using FailureHandler = std::function<void(const QString& filePath)>;

    QueueFileWriter(const TransferQueue& queue, NamedMutex& writeLock,
                    FailureHandler onFailure = {});
    // Carries out a requested save that has not run yet, then stops.
    ~QueueFileWriter();
    QueueFileWriter(const QueueFileWriter&) = delete;
    QueueFileWriter& operator=(const QueueFileWriter&) = delete;

    // Any thread: the queue is to be stored in "WFL.dat" in this work path.
    void requestSave(const QString& workPath);
    // Waits until every save requested so far has run; true when the last one stored the file.
    bool waitUntilStored();

private:
    void run();

    const TransferQueue& queue_;
    NamedMutex& writeLock_;
    const FailureHandler onFailure_;
    std::mutex mutex_; // guards pendingPath_, pending_, saving_, lastSaved_ and stopping_
    std::condition_variable wake_;
    std::condition_variable idle_;
    QString pendingPath_;
    bool pending_ = false;
    bool saving_ = false;
    bool lastSaved_ = true;
    bool stopping_ = false;
    std::thread thread_;
};
