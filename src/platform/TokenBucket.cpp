#include "platform/TokenBucket.h"

#include <algorithm>

namespace {

// Small slices keep the shares even; large enough ones keep the lock quiet at high rates.
constexpr qint64 smallestSlice = 512;
constexpr qint64 largestSlice = 16 * 1024;
constexpr qint64 slicesPerSecond = 200;
// What a quiet moment may save up: a transfer busy with its disk between two slices loses
// nothing of its share, and a pause does not turn into a burst.
constexpr double burstSeconds = 0.05;

} // namespace

TokenBucket::TokenBucket(quint64 bytesPerSecond) : rate_(bytesPerSecond), lastRefill_(Clock::now())
{
}

void TokenBucket::setRate(quint64 bytesPerSecond)
{
    {
        std::lock_guard<std::mutex> hold(mutex_);
        refill(Clock::now());
        rate_ = bytesPerSecond;
        available_ = std::min(available_, static_cast<double>(sliceSize()));
    }
    turn_.notify_all();
}

quint64 TokenBucket::rate() const
{
    std::lock_guard<std::mutex> hold(mutex_);
    return rate_;
}

qint64 TokenBucket::take(qint64 wanted, const std::function<bool()>& stopped)
{
    if (wanted <= 0)
        return 0;
    std::unique_lock<std::mutex> hold(mutex_);
    if (rate_ == 0)
        return wanted;
    const quint64 ticket = nextTicket_++;
    for (;;) {
        if (stopped() || rate_ == 0) {
            const bool unlimited = rate_ == 0 && !stopped();
            leaveQueue(ticket);
            return unlimited ? wanted : 0;
        }
        auto wait = std::chrono::duration<double>(pollInterval);
        if (serving_ == ticket) {
            refill(Clock::now());
            const qint64 slice = std::min(wanted, sliceSize());
            if (available_ >= static_cast<double>(slice)) {
                available_ -= static_cast<double>(slice);
                leaveQueue(ticket);
                return slice;
            }
            wait = std::min(wait, std::chrono::duration<double>(
                                      (static_cast<double>(slice) - available_) / rate_));
        }
        turn_.wait_for(hold, wait);
    }
}

void TokenBucket::giveBack(qint64 unused)
{
    if (unused <= 0)
        return;
    std::lock_guard<std::mutex> hold(mutex_);
    if (rate_ != 0)
        available_ += static_cast<double>(unused);
}

qint64 TokenBucket::sliceSize() const
{
    return std::clamp(static_cast<qint64>(rate_) / slicesPerSecond, smallestSlice, largestSlice);
}

void TokenBucket::refill(Clock::time_point now)
{
    const double seconds = std::chrono::duration<double>(now - lastRefill_).count();
    lastRefill_ = now;
    const double burst =
        std::max(2.0 * static_cast<double>(sliceSize()), static_cast<double>(rate_) * burstSeconds);
    available_ = std::min(available_ + seconds * static_cast<double>(rate_), burst);
}

// The next ticket's holder is woken; a ticket given up out of turn is passed over later.
void TokenBucket::leaveQueue(quint64 ticket)
{
    if (ticket != serving_) {
        abandoned_.insert(ticket);
        return;
    }
    ++serving_;
    skipAbandoned();
    turn_.notify_all();
}

void TokenBucket::skipAbandoned()
{
    while (abandoned_.erase(serving_) > 0)
        ++serving_;
}
