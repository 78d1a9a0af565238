#include "platform/Mailbox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Records which thread released it, so a test can see who owned it last.
struct TracedPayload : MailPayload {
    TracedPayload(int serial, std::atomic<int>* releaseCount,
                  std::thread::id* releasingThread = nullptr)
        : number(serial), released(releaseCount), releasedOn(releasingThread)
    {
    }
    ~TracedPayload() override
    {
        if (releasedOn)
            *releasedOn = std::this_thread::get_id();
        ++*released;
    }
    int number;
    std::atomic<int>* released;
    std::thread::id* releasedOn;
};

TEST(Mailbox, TakesInPostingOrder)
{
    Mailbox box;
    for (int message = 0x464; message < 0x46A; ++message)
        box.post(message, nullptr, static_cast<quintptr>(message * 2));
    EXPECT_EQ(box.pending(), 6u);
    for (int message = 0x464; message < 0x46A; ++message) {
        auto mail = box.take(0ms);
        ASSERT_TRUE(mail.has_value());
        EXPECT_EQ(mail->message, message);
        EXPECT_EQ(mail->value, static_cast<quintptr>(message * 2));
        EXPECT_EQ(mail->payload, nullptr);
    }
    EXPECT_EQ(box.pending(), 0u);
}

TEST(Mailbox, TakeTimesOutWhenNothingArrives)
{
    Mailbox box;
    EXPECT_FALSE(box.take(20ms).has_value());
    EXPECT_FALSE(box.take(0ms).has_value());
}

TEST(Mailbox, TakeWakesUpForAPostFromAnotherThread)
{
    Mailbox box;
    std::thread poster([&box] {
        std::this_thread::sleep_for(30ms);
        box.post(0x470);
    });
    const auto mail = box.take(10s);
    poster.join();
    ASSERT_TRUE(mail.has_value());
    EXPECT_EQ(mail->message, 0x470);
}

TEST(Mailbox, PayloadOwnershipPassesToTheReceiver)
{
    Mailbox box;
    std::atomic<int> released{0};
    std::thread::id releasedOn;
    std::thread poster(
        [&] { box.post(0x475, std::make_unique<TracedPayload>(42, &released, &releasedOn)); });
    poster.join();
    EXPECT_EQ(released, 0) << "the payload must outlive the posting thread's scope";
    {
        auto mail = box.take(1s);
        ASSERT_TRUE(mail.has_value());
        auto* payload = dynamic_cast<TracedPayload*>(mail->payload.get());
        ASSERT_NE(payload, nullptr);
        EXPECT_EQ(payload->number, 42);
        EXPECT_EQ(released, 0);
    }
    EXPECT_EQ(released, 1);
    EXPECT_EQ(releasedOn, std::this_thread::get_id());
}

TEST(Mailbox, PayloadsNotTakenAreReleasedWithTheMailbox)
{
    std::atomic<int> released{0};
    {
        Mailbox box;
        for (int i = 0; i < 3; ++i)
            box.post(0x464, std::make_unique<TracedPayload>(i, &released));
    }
    EXPECT_EQ(released, 3);
}

// Several producers: everything arrives exactly once and each producer's mail stays in order.
TEST(Mailbox, ManyProducersOneReceiver)
{
    constexpr int producers = 4;
    constexpr int perProducer = 250;
    Mailbox box;
    std::atomic<int> released{0};
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p) {
        threads.emplace_back([&box, &released, p] {
            for (int i = 0; i < perProducer; ++i)
                box.post(0x464 + p, std::make_unique<TracedPayload>(i, &released));
        });
    }
    std::vector<int> nextExpected(producers, 0);
    for (int received = 0; received < producers * perProducer; ++received) {
        auto mail = box.take(10s);
        ASSERT_TRUE(mail.has_value()) << "after " << received << " messages";
        const int producer = mail->message - 0x464;
        ASSERT_GE(producer, 0);
        ASSERT_LT(producer, producers);
        const auto* payload = static_cast<TracedPayload*>(mail->payload.get());
        EXPECT_EQ(payload->number, nextExpected[producer]++);
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(box.pending(), 0u);
    EXPECT_EQ(released, producers * perProducer);
}

} // namespace
