#include "queue/SpeedMeter.h"

#include "queue/FormatSpeed.h"

#include <chrono>
#include <utility>

namespace {

constexpr auto Cycle = std::chrono::milliseconds(10);

struct Unit {
    QLatin1String suffix;
    double factor;
};

QString withLimit(const QString& rate, quint64 limit)
{
    if (limit == 0)
        return rate;
    return rate + QStringLiteral(" (限速 %1kB/s)").arg(limit / SpeedLimits::bytesPerKilobyte);
}

} // namespace

SpeedMeter::SpeedMeter(const TransferQueue& queue, Display display, const SpeedLimits* limits)
    : queue_(queue), display_(std::move(display)), limits_(limits)
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

QString SpeedMeter::rateText(const QList<TransferQueue::Row>& rows, quint64 uploadLimit,
                             quint64 downloadLimit)
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
    return QStringLiteral("上行：") + withLimit(FormatSpeed(up), uploadLimit) +
           QStringLiteral("  下行：") + withLimit(FormatSpeed(down), downloadLimit);
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
    std::pair<quint64, quint64> seenLimits;
    bool first = true;
    do {
        const quint64 revision = queue_.revision();
        const std::pair<quint64, quint64> limits =
            limits_ ? std::make_pair(limits_->upload.rate(), limits_->download.rate())
                    : std::make_pair(quint64(0), quint64(0));
        if (!first && revision == seenRevision && limits == seenLimits)
            continue;
        first = false;
        seenRevision = revision;
        seenLimits = limits;
        const QString text = rateText(queue_.rowsWithSpeed(), limits.first, limits.second);
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
