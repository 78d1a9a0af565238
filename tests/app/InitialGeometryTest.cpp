#include "app/InitialGeometry.h"

#include <gtest/gtest.h>

TEST(InitialGeometryTest, MostOfTheAreaCentredButNotBelowTheViewsNeeds)
{
    const struct {
        QRect available;
        QRect expected;
    } screens[] = {
        {QRect(0, 0, 1600, 1000), QRect(120, 75, 1360, 850)},
        {QRect(0, 0, 1100, 768), QRect(38, 34, 1024, 700)},         // the minimum
        {QRect(0, 0, 800, 600), QRect(0, 0, 800, 600)},             // a small screen is filled
        {QRect(1920, 30, 1920, 1050), QRect(2064, 109, 1632, 892)}, // second monitor, panel
    };
    for (const auto& screen : screens)
        EXPECT_EQ(initialWindowGeometry(screen.available), screen.expected);
}
