#pragma once

#include "ftp/SpeedLimits.h"
#include "queue/TransferQueue.h"

#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Adds up the speed texts of the queue's rows into the rate line "上行：… 下行：…" (uploads,
// then downloads) on a thread of its own, every 10 ms while it runs. The display is called
// from that thread, and only when the line differs from the last one shown.
class SpeedMeter {
public:
    using Display = std::function<void(const QString& rateText)>;

    // With limits, the rate line names each limit that is set.
    SpeedMeter(const TransferQueue& queue, Display display, const SpeedLimits* limits = nullptr);
    ~SpeedMeter();
    SpeedMeter(const SpeedMeter&) = delete;
    SpeedMeter& operator=(const SpeedMeter&) = delete;

    void start();
    // Returns once the thread has ended; safe to call when it never started.
    void stop();

    // The rate line for these rows: rows without a speed text add nothing, "Down…" actions
    // count as downloads and "UP" as uploads. A limit (bytes per second, 0: none) follows its
    // direction's rate as " (限速 500kB/s)".
    static QString rateText(const QList<TransferQueue::Row>& rows, quint64 uploadLimit = 0,
                            quint64 downloadLimit = 0);
    // Bytes per second of a speed text such as "1.50kb/s"; 0 when it has no known unit.
    static double bytesPerSecond(const QString& speedText);

private:
    void run();
    bool sleepUnlessStopped();

    const TransferQueue& queue_;
    const Display display_;
    const SpeedLimits* limits_;
    std::mutex mutex_; // guards stopping_
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};
