#include "app/InitialGeometry.h"

#include "support/NamedCases.h"

#include <gtest/gtest.h>

namespace {

using namedcases::caseName;
using namedcases::operator<<;

struct GeometryCase {
    const char* name;
    QRect available;
    QRect expected;
};

class InitialGeometryTest : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(InitialGeometryTest, CentredInsideTheAvailableArea)
{
    const GeometryCase& row = GetParam();
    const QRect window = initialWindowGeometry(row.available);
    EXPECT_EQ(window, row.expected);
    EXPECT_TRUE(row.available.contains(window));
}

INSTANTIATE_TEST_SUITE_P(
    Screens, InitialGeometryTest,
    ::testing::Values(
        GeometryCase{"LargeScreenGetsMostOfIt", QRect(0, 0, 1600, 1000), QRect(120, 75, 1360, 850)},
        GeometryCase{"MediumScreenKeepsTheMinimum", QRect(0, 0, 1100, 768),
                     QRect(38, 34, 1024, 700)},
        GeometryCase{"SmallScreenIsFilled", QRect(0, 0, 800, 600), QRect(0, 0, 800, 600)},
        GeometryCase{"SecondMonitorBesideAPanel", QRect(1920, 30, 1920, 1050),
                     QRect(2064, 109, 1632, 892)}),
    caseName);

} // namespace
