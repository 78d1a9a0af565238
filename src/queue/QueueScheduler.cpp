#include "queue/QueueScheduler.h"

#include "queue/TransferQueue.h"

QueueScheduler::QueueScheduler(TransferQueue& queue, StartRequest requestStart)
    : queue_(queue), requestStart_(std::move(requestStart))
{
}

QueueScheduler::~QueueScheduler()
{
    stop();
}

void QueueScheduler::start()
{
    if (thread_.joinable())
        return;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        stopping_ = false;
    }
    thread_ = std::thread([this] { run(); });
}

void QueueScheduler::stop()
{
    {
        std::lock_guard<std::mutex> hold(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void QueueScheduler::run()
{
    for (;;) {
        const int row = firstWaitingRow();
        if (row >= 0)
            requestStart_(row);
        if (!pause(row >= 0 ? afterRequestPause : idlePause))
            return;
    }
}

int QueueScheduler::firstWaitingRow() const
{
    const QList<TransferQueue::Row> rows = queue_.snapshot();
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.at(i).text(TransferQueue::StateColumn) == QueueState::Waiting)
            return i;
    }
    return -1;
}

bool QueueScheduler::pause(std::chrono::milliseconds length)
{
    std::unique_lock<std::mutex> hold(mutex_);
    return !wake_.wait_for(hold, length, [this] { return stopping_; });
}
