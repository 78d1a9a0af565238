#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

class RemoteFileSystem;

// The engine counters the progress of a transfer is computed from.
struct EngineCounters {
    quint64 bytesDone = 0;
    quint64 totalBytes = 0;
    bool transferActive = false;
    quint64 folderTotalBytes = 0;
    quint64 folderDoneBytes = 0;

    static EngineCounters of(RemoteFileSystem& client);
};

// The texts one progress step writes into a row. An empty progress or speed text leaves its
// column as it was.
struct ProgressTexts {
    QString progress;
    QString speed;
    QString elapsed;
    QString remaining;
};

// One monitor's progress accounting: percentage, speed over the last cycle, elapsed and
// remaining time. A folder's percentage never goes down, although the file in progress may be
// one that was already counted.
class TransferProgress {
public:
    explicit TransferProgress(bool folder) : folder_(folder) {}

    // At the hand-over of the job: the elapsed time counts from here.
    void restart(qint64 nowMs);
    // Nothing while the size is not known yet.
    std::optional<ProgressTexts> step(const EngineCounters& counters, qint64 nowMs);

private:
    int percentage(quint64 done, quint64 total, const EngineCounters& counters);

    bool folder_;
    qint64 startMs_ = 0;
    qint64 lastSampleMs_ = 0;
    qint64 lastDone_ = 0;
    double speed_ = 0;
    int highestPercentage_ = 0;
    int remainingSeconds_ = 0;
};
