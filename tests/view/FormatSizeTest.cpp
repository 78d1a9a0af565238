#include "view/FormatSize.h"

#include <gtest/gtest.h>

namespace {

struct SizeCase {
    quint64 bytes;
    const char* text;
};

class FormatSizeTable : public ::testing::TestWithParam<SizeCase> {};

TEST_P(FormatSizeTable, GivesTheSizeText)
{
    EXPECT_EQ(FormatSize(GetParam().bytes), QLatin1String(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    UnitBoundaries, FormatSizeTable,
    ::testing::Values(SizeCase{0, "0"}, SizeCase{1, "1"}, SizeCase{1023, "1023"},
                      SizeCase{1024, "1.00KB"}, SizeCase{1234, "1.21KB"}, SizeCase{1536, "1.50KB"},
                      // Still kilobytes, rounded up by the two decimals.
                      SizeCase{1048575, "1024.00KB"}, SizeCase{1048576, "1.00MB"},
                      SizeCase{1572864, "1.50MB"}, SizeCase{1073741823, "1024.00MB"},
                      SizeCase{1073741824, "1.00GB"}, SizeCase{5368709120, "5.00GB"},
                      SizeCase{1099511627776, "1024.00GB"},
                      SizeCase{18446744073709551615ULL, "17179869184.00GB"}));

} // namespace
