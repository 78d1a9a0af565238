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
        if (!(row >= 0 ? pauseAfterRequest(row) : pause(idlePause)))
            return;
    }
}

// The start handler needs a moment to take the row; a row it took ends the pause early, so five
// rows start in quick succession, while a row it could not start yet is asked for again only
// after the whole pause.
bool QueueScheduler::pauseAfterRequest(int row)
{
    const auto steps = afterRequestPause / idlePause;
    for (auto step = 0; step < steps; ++step) {
        if (!pause(idlePause))
            return false;
        if (queue_.text(row, TransferQueue::StateColumn) != QueueState::Waiting)
            return true;
    }
    return true;
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
