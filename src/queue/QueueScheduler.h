#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class TransferQueue;

// The long-lived thread that looks for waiting rows: it asks for the first "等待中" row to be
// started, then gives the start handler up to afterRequestPause to take it before it looks
// again.
class QueueScheduler {
public:
    using StartRequest = std::function<void(int row)>;

    QueueScheduler(TransferQueue& queue, StartRequest requestStart);
    // Stops the thread and waits for it.
    ~QueueScheduler();
    QueueScheduler(const QueueScheduler&) = delete;
    QueueScheduler& operator=(const QueueScheduler&) = delete;

    void start();
    void stop();

    static constexpr std::chrono::milliseconds idlePause{10};
    static constexpr std::chrono::milliseconds afterRequestPause{110};

private:
    void run();
    int firstWaitingRow() const;
    // Both false once the scheduler is to stop.
    bool pause(std::chrono::milliseconds length);
    bool pauseAfterRequest(int row);

    TransferQueue& queue_;
    StartRequest requestStart_;
    std::mutex mutex_; // guards stopping_
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};
