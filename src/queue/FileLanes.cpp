#include "queue/FileLanes.h"

#include <utility>

FileLanes::FileLanes(FileMover ownMover, std::function<bool()> stopRequested,
                     std::atomic<quint64>& doneBytes)
    : ownMover_(std::move(ownMover)), stopRequested_(std::move(stopRequested)),
      doneBytes_(doneBytes)
{
}

FileLanes::~FileLanes()
{
    {
        std::lock_guard<std::mutex> hold(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    for (std::thread& lane : lanes_)
        lane.join();
}

void FileLanes::addLane(LaneOpener open, std::function<void()> onEnd)
{
    lanes_.emplace_back(
        [this, open = std::move(open), onEnd = std::move(onEnd)] { runLane(open, onEnd); });
}

bool FileLanes::stopNow()
{
    if (!stopRequested_())
        return false;
    std::lock_guard<std::mutex> hold(mutex_);
    allMoved_ = false;
    waiting_.clear();
    changed_.notify_all();
    return true;
}

// A lane that cannot log on leaves its share to the others and to the walk's own connection.
void FileLanes::runLane(const LaneOpener& open, const std::function<void()>& onEnd)
{
    {
        FileMover mover = open();
        if (mover) {
            {
                std::lock_guard<std::mutex> hold(mutex_);
                ++openLanes_;
            }
            File file;
            while (takeNext(file))
                record(moveCounted(mover, file));
            std::lock_guard<std::mutex> hold(mutex_);
            --openLanes_;
        }
    }
    if (onEnd)
        onEnd();
    changed_.notify_all();
}

bool FileLanes::takeNext(File& file)
{
    std::unique_lock<std::mutex> hold(mutex_);
    changed_.wait(hold, [this] { return closing_ || !waiting_.empty(); });
    if (waiting_.empty())
        return false;
    file = std::move(waiting_.front());
    waiting_.pop_front();
    ++busy_;
    return true;
}

// A file that failed is dealt with too; one cut short by a stop is not.
bool FileLanes::moveCounted(const FileMover& mover, const File& file)
{
    if (stopNow())
        return false;
    const bool moved = mover(file.download, file.remotePath, file.localPath, file.listedSize);
    if (stopNow())
        return false;
    doneBytes_ += file.bytes;
    return moved;
}

void FileLanes::record(bool moved)
{
    std::lock_guard<std::mutex> hold(mutex_);
    --busy_;
    allMoved_ = allMoved_ && moved;
    changed_.notify_all();
}

void FileLanes::moveHere(const File& file)
{
    const bool moved = moveCounted(ownMover_, file);
    std::lock_guard<std::mutex> hold(mutex_);
    allMoved_ = allMoved_ && moved;
}

void FileLanes::send(File file)
{
    if (stopNow())
        return;
    std::unique_lock<std::mutex> hold(mutex_);
    waiting_.push_back(std::move(file));
    changed_.notify_all();
    while (waiting_.size() > static_cast<size_t>(openLanes_)) {
        File oldest = std::move(waiting_.front());
        waiting_.pop_front();
        hold.unlock();
        moveHere(oldest);
        hold.lock();
    }
}

bool FileLanes::finish()
{
    std::unique_lock<std::mutex> hold(mutex_);
    while (!waiting_.empty()) {
        File oldest = std::move(waiting_.front());
        waiting_.pop_front();
        hold.unlock();
        moveHere(oldest);
        hold.lock();
    }
    changed_.wait(hold, [this] { return busy_ == 0; });
    return allMoved_ && !stopRequested_();
}
