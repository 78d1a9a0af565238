#include "queue/SpeedMeter.h"

#include "queue/FormatSpeed.h"

#include <chrono>

namespace {

constexpr auto Cycle = std::chrono::milliseconds(10);

struct Unit {
    QLatin1String suffix;
    double factor;
};

} // namespace

SpeedMeter::SpeedMeter(const TransferQueue& queue, Display display)
    : queue_(queue), display_(std::move(display))
{
}

SpeedMeter::~SpeedMeter()
{
    stop();
}

void SpeedMeter::start()
{
    if (thread_.joinable())
        return;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        stopping_ = false;
    }
    thread_ = std::thread([this] { run(); });
}

void SpeedMeter::stop()
{
    {
        std::lock_guard<std::mutex> hold(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

QString SpeedMeter::rateText(const QList<TransferQueue::Row>& rows)
{
    double up = 0;
    double down = 0;
    for (const TransferQueue::Row& row : rows) {
        const QString& speed = row.text(TransferQueue::SpeedColumn);
        if (speed.isEmpty())
            continue;
        const QString& action = row.text(TransferQueue::ActionColumn);
        if (isDownloadAction(action))
            down += bytesPerSecond(speed);
        else if (action == QueueAction::Upload)
            up += bytesPerSecond(speed);
    }
    return QStringLiteral("上行：") + FormatSpeed(up) + QStringLiteral("  下行：") +
           FormatSpeed(down);
}

double SpeedMeter::bytesPerSecond(const QString& speedText)
{
    static const Unit units[] = {{QLatin1String("mb/s"), 1024.0 * 1024.0},
                                 {QLatin1String("kb/s"), 1024.0},
                                 {QLatin1String("b/s"), 1.0}};
    for (const Unit& unit : units) {
        if (speedText.endsWith(unit.suffix))
            return QStringView(speedText).chopped(unit.suffix.size()).toDouble() * unit.factor;
    }
    return 0;
}

void SpeedMeter::run()
{
    QString shown;
    quint64 seenRevision = 0;
    bool first = true;
    do {
        const quint64 revision = queue_.revision();
        if (!first && revision == seenRevision)
            continue;
        first = false;
        seenRevision = revision;
        const QString text = rateText(queue_.rowsWithSpeed());
        if (text != shown) {
            shown = text;
            display_(text);
        }
    } while (sleepUnlessStopped());
}

// Waits one cycle; false once stop() was called.
bool SpeedMeter::sleepUnlessStopped()
{
    std::unique_lock<std::mutex> hold(mutex_);
    return !wake_.wait_for(hold, Cycle, [this] { return stopping_; });
}
