#include "listing/FormatSize.h"
#include "support/NamedCases.h"

#include <gtest/gtest.h>

namespace {

using namedcases::operator<<;
using namedcases::caseName;

struct SizeCase {
    const char* name;
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
    ::testing::Values(
        SizeCase{"Zero", 0, "0"}, SizeCase{"OneByte", 1, "1"}, SizeCase{"Bytes1023", 1023, "1023"},
        SizeCase{"Kilobyte", 1024, "1.00KB"}, SizeCase{"Kilobytes1234", 1234, "1.21KB"},
        SizeCase{"Kilobytes1536", 1536, "1.50KB"},
        // Still kilobytes, rounded up by the two decimals.
        SizeCase{"JustUnderAMebibyte", 1048575, "1024.00KB"},
        SizeCase{"Mebibyte", 1048576, "1.00MB"}, SizeCase{"Mebibytes1_5", 1572864, "1.50MB"},
        SizeCase{"JustUnderAGibibyte", 1073741823, "1024.00MB"},
        SizeCase{"Gibibyte", 1073741824, "1.00GB"}, SizeCase{"Gibibytes5", 5368709120, "5.00GB"},
        SizeCase{"Tebibyte", 1099511627776, "1024.00GB"},
        SizeCase{"Largest64BitSize", 18446744073709551615ULL, "17179869184.00GB"}),
    caseName);

} // namespace
