#include "platform/TokenBucket.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(TokenBucket, WithoutALimitEverythingPassesAtOnce)
{
    TokenBucket bucket;
    EXPECT_EQ(bucket.take(1 << 20, [] { return false; }), 1 << 20);
    EXPECT_EQ(bucket.take(0, [] { return false; }), 0);
}

// A limit too small for even one slice in a long while: the wait ends with the stop request.
TEST(TokenBucket, AStopEndsTheWait)
{
    TokenBucket bucket(1);
    std::atomic<bool> stop{false};
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stop = true;
    });
    EXPECT_EQ(bucket.take(4096, [&stop] { return stop.load(); }), 0);
    stopper.join();
}

TEST(TokenBucket, LiftingTheLimitReleasesTheWaiters)
{
    TokenBucket bucket(1);
    std::thread lifter([&bucket] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        bucket.setRate(0);
    });
    EXPECT_EQ(bucket.take(4096, [] { return false; }), 4096);
    lifter.join();
}

// Takers that always want more are served in turn, slice by slice, so their shares stay close
// (a taker the machine keeps off the processor a while falls back a few slices), and a taker
// that stops does not hold up the others.
TEST(TokenBucket, FiveTakersShareEvenly)
{
    TokenBucket bucket(5 * 1024 * 1024);
    std::array<std::atomic<qint64>, 5> taken{};
    std::atomic<bool> stop{false};
    std::vector<std::thread> takers;
    for (std::size_t index = 0; index < taken.size(); ++index) {
        takers.emplace_back([&, index] {
            const auto stopped = [&] { return stop.load() || (index == 4 && taken[4] > 0); };
            while (!stopped())
                taken[index] += bucket.take(1 << 20, stopped);
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    stop = true;
    for (std::thread& taker : takers)
        taker.join();
    const auto [least, most] = std::minmax_element(taken.begin(), taken.begin() + 4);
    EXPECT_GT(*least, 0);
    EXPECT_LE(*most - *least, *most / 4);
    EXPECT_LE(taken[4], 16 * 1024);
}

} // namespace
