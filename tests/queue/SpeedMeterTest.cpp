#include "queue/SpeedMeter.h"
#include "queue/QueueEntry.h"
#include "support/NamedCases.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

namespace {

using namedcases::caseName;
using namedcases::operator<<;

TransferQueue::Row rowWith(const char* action, const char* speed)
{
    TransferQueue::Row row;
    row.columns[TransferQueue::ActionColumn] = QString::fromUtf8(action);
    row.columns[TransferQueue::SpeedColumn] = QString::fromUtf8(speed);
    return row;
}

struct RateCase {
    const char* name;
    QList<TransferQueue::Row> rows;
    const char* expected;
};

class RateTextTest : public testing::TestWithParam<RateCase> {};

TEST_P(RateTextTest, AddsUpTheRows)
{
    EXPECT_EQ(SpeedMeter::rateText(GetParam().rows), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RateTextTest,
    testing::Values(
        RateCase{"NothingRuns", {}, "上行：0.00b/s  下行：0.00b/s"},
        RateCase{"TwoDownloads",
                 {rowWith("Down", "1.00mb/s"), rowWith("Downop", "512.00kb/s")},
                 "上行：0.00b/s  下行：1.50mb/s"},
        RateCase{"UploadsApart",
                 {rowWith("UP", "100.00b/s"), rowWith("UP", "2.00kb/s"), rowWith("Down", "")},
                 "上行：2.10kb/s  下行：0.00b/s"},
        RateCase{"UnknownActionsAndUnitsCountNothing",
                 {rowWith("up", "1.00kb/s"), rowWith("UP", "7 bytes"), rowWith("Down", "abc")},
                 "上行：0.00b/s  下行：0.00b/s"}),
    caseName);

// Records what the meter shows, from the meter's thread.
class ShownTexts {
public:
    void add(const QString& text)
    {
        std::lock_guard<std::mutex> hold(mutex_);
        texts_ << text;
    }
    QStringList texts() const
    {
        std::lock_guard<std::mutex> hold(mutex_);
        return texts_;
    }
    // Waits up to two seconds for the given number of texts.
    bool waitFor(int count) const
    {
        for (int i = 0; i < 200 && texts().size() < count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return texts().size() >= count;
    }

private:
    mutable std::mutex mutex_; // guards texts_
    QStringList texts_;
};

TEST(SpeedMeterTest, ShowsTheLineOnceAndAgainOnlyWhenItChanges)
{
    TransferQueue queue;
    QueueEntry entry;
    entry.source = QStringLiteral("/pub/a");
    entry.action = QStringLiteral("Down");
    queue.AddQueueRow(entry, {});
    ShownTexts shown;
    SpeedMeter meter(queue, [&shown](const QString& text) { shown.add(text); });
    meter.start();
    ASSERT_TRUE(shown.waitFor(1));
    queue.setText(0, TransferQueue::ProgressColumn, QStringLiteral("5%"));
    queue.setText(0, TransferQueue::SpeedColumn, QStringLiteral("3.25mb/s"));
    ASSERT_TRUE(shown.waitFor(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    meter.stop();
    EXPECT_EQ(shown.texts(), (QStringList{QStringLiteral("上行：0.00b/s  下行：0.00b/s"),
                                          QStringLiteral("上行：0.00b/s  下行：3.25mb/s")}));
}

} // namespace
