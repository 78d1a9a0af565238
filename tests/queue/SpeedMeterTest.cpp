#include "queue/SpeedMeter.h"
#include "support/NamedCases.h"

#include <QStringList>
#include <gtest/gtest.h>

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

TEST(RateText, NamesEachLimitThatIsSet)
{
    EXPECT_EQ(SpeedMeter::rateText({rowWith("Down", "2.00mb/s")}, 0, 2048 * 1024),
              QString::fromUtf8("上行：0.00b/s  下行：2.00mb/s (限速 2048kB/s)"));
    EXPECT_EQ(SpeedMeter::rateText({}, 500 * 1024, 0),
              QString::fromUtf8("上行：0.00b/s (限速 500kB/s)  下行：0.00b/s"));
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

} // namespace
