#include "queue/FormatDuration.h"
#include "queue/FormatSpeed.h"
#include "support/NamedCases.h"

#include <gtest/gtest.h>

namespace {

using namedcases::caseName;
using namedcases::operator<<;

struct SpeedCase {
    const char* name;
    double bytesPerSecond;
    const char* text;
};

class FormatSpeedTable : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(FormatSpeedTable, GivesTheSpeedText)
{
    EXPECT_EQ(FormatSpeed(GetParam().bytesPerSecond), QLatin1String(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    UnitBoundaries, FormatSpeedTable,
    ::testing::Values(SpeedCase{"Zero", 0, "0.00b/s"}, SpeedCase{"Bytes512", 512, "512.00b/s"},
                      SpeedCase{"Exactly1024StaysBytes", 1024, "1024.00b/s"},
                      SpeedCase{"Bytes1025", 1025, "1.00kb/s"},
                      SpeedCase{"Kilobytes1_5", 1536, "1.50kb/s"},
                      SpeedCase{"ExactlyAMebibyteStaysKilobytes", 1048576, "1024.00kb/s"},
                      SpeedCase{"Megabytes3_25", 3.25 * 1048576, "3.25mb/s"},
                      SpeedCase{"Exactly1024Megabytes", 1024.0 * 1048576, "1024.00mb/s"},
                      SpeedCase{"Above1024MegabytesShowsNothing", 1025.0 * 1048576, ""},
                      SpeedCase{"NegativeShowsNothing", -1, ""}),
    caseName);

struct DurationCase {
    const char* name;
    int seconds;
    const char* text;
};

class FormatDurationTable : public ::testing::TestWithParam<DurationCase> {};

TEST_P(FormatDurationTable, GivesHoursMinutesSeconds)
{
    EXPECT_EQ(FormatDuration(GetParam().seconds), QLatin1String(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, FormatDurationTable,
    ::testing::Values(DurationCase{"Negative", -5, "00:00:00"}, DurationCase{"Zero", 0, "00:00:00"},
                      DurationCase{"Seconds59", 59, "00:00:59"},
                      DurationCase{"Minute", 60, "00:01:00"},
                      DurationCase{"Seconds3599", 3599, "00:59:59"},
                      DurationCase{"Hour", 3600, "01:00:00"},
                      DurationCase{"Seconds3725", 3725, "01:02:05"},
                      DurationCase{"NinetyNineHours", 356400, "99:00:00"},
                      DurationCase{"BeyondNinetyNineHours", 356401, "99:99:99"}),
    caseName);

} // namespace
