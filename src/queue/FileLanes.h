#pragma once

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Moves the files of one folder entry over several connections at once. The walk hands each
// file over in its order; lanes (threads with a connection and logon of their own) take them
// from the front, and once every lane has a file waiting the walk's own connection moves the
// oldest one itself, so the backlog stays short and the order of the walk holds as far as the
// lanes' speeds allow. Without lanes every file is moved at once on the walk's connection.
// A file's bytes count as done when it has been dealt with; after a stop nothing more starts
// and whatever waited is dropped.
class FileLanes {
public:
    using FileMover =
        std::function<bool(bool download, const QString& remotePath, const QString& localPath,
                           std::optional<quint64> listedSize)>;
    // Opens one lane's connection, on the lane's own thread; an empty mover means the lane could
    // not log on. The mover is destroyed on that thread too, after the lane's last file.
    using LaneOpener = std::function<FileMover()>;

    struct File {
        bool download = false;
        QString remotePath;
        QString localPath;
        quint64 bytes = 0;
        std::optional<quint64> listedSize; // the exact size the listing gave
    };

    // doneBytes grows by each file's bytes once it has been dealt with (moved, or failed).
    FileLanes(FileMover ownMover, std::function<bool()> stopRequested,
              std::atomic<quint64>& doneBytes);
    // Waits for the lanes: they finish their current file unless stopped.
    ~FileLanes();
    FileLanes(const FileLanes&) = delete;
    FileLanes& operator=(const FileLanes&) = delete;

    // Starts one more lane; onEnd runs on its thread when it is over (to give its slot back).
    void addLane(LaneOpener open, std::function<void()> onEnd);
    int laneCount() const { return static_cast<int>(lanes_.size()); }

    void send(File file);
    // Waits until every file handed over has been dealt with. True when all of them arrived and
    // nothing was stopped.
    bool finish();

private:
    void runLane(const LaneOpener& open, const std::function<void()>& onEnd);
    bool takeNext(File& file);
    void moveHere(const File& file);
    bool moveCounted(const FileMover& mover, const File& file);
    void record(bool moved);
    bool stopNow();

    FileMover ownMover_;
    std::function<bool()> stopRequested_;
    std::atomic<quint64>& doneBytes_;
    std::mutex mutex_; // guards waiting_, busy_, openLanes_, closing_, allMoved_
    std::condition_variable changed_;
    std::deque<File> waiting_;
    int busy_ = 0;      // files a lane is moving right now
    int openLanes_ = 0; // lanes logged on and taking files
    bool closing_ = false;
    bool allMoved_ = true;
    std::vector<std::thread> lanes_;
};
