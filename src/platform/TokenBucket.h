#pragma once

#include <QtGlobal>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>

// A speed limit shared by every transfer of one direction. Transfers ask for a slice before
// each block and are served in the order they asked, one slice at a time, so that transfers
// running side by side get equal shares. Bytes accrue at the rate; a quiet moment saves up no
// more than a short burst. A rate of 0 lets everything through at once. The rate may change
// while transfers wait: it applies from the next slice.
class TokenBucket {
public:
    using Clock = std::chrono::steady_clock;

    explicit TokenBucket(quint64 bytesPerSecond = 0);

    void setRate(quint64 bytesPerSecond);
    quint64 rate() const;

    // Waits until up to wanted bytes may pass and returns how many (at least 1 while wanted is
    // at least 1), or 0 once stopped() says so; stopped is asked at least every pollInterval.
    qint64 take(qint64 wanted, const std::function<bool()>& stopped);
    // Bytes taken but not moved (a receive that brought fewer than asked for).
    void giveBack(qint64 unused);

    static constexpr std::chrono::milliseconds pollInterval{20};

private:
    qint64 sliceSize() const;
    void refill(Clock::time_point now);
    void leaveQueue(quint64 ticket);
    void skipAbandoned();

    mutable std::mutex mutex_; // guards every field below
    std::condition_variable turn_;
    quint64 rate_ = 0;
    double available_ = 0;
    Clock::time_point lastRefill_;
    quint64 nextTicket_ = 0;      // given to the next transfer that asks
    quint64 serving_ = 0;         // the ticket whose turn it is
    std::set<quint64> abandoned_; // tickets whose holders stopped waiting
};
