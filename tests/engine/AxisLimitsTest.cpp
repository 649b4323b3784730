#include <gtest/gtest.h>

#include "engine/AxisLimits.h"

using namespace Trelm;

TEST(AxisLimits, OneSolutionGivesTenPercentEachWayAndWideningGrowsThat)
{
    AxisLimits limits(8, AXIS_CAP);
    EXPECT_EQ(limits.maxAxisLimit, 400);
    EXPECT_EQ(limits.minAxisLimit, 8);
    limits.setFromSolutions({100});
    EXPECT_EQ(limits.minAxisLimit, 90);
    EXPECT_EQ(limits.maxAxisLimit, 110);
    EXPECT_EQ(limits.limitMultiplier, -1.0);
    limits.widen();
    EXPECT_EQ(limits.maxAxisLimit, 121);
    EXPECT_EQ(limits.minAxisLimit, 81);
}

TEST(AxisLimits, SpreadSolutionsSetTheMultiplierThatWideningRaises)
{
    AxisLimits limits(8, AXIS_CAP);
    // The mean is an integer division (110), the difference to it signed: s = 221.
    limits.setFromSolutions({100, 121});
    EXPECT_DOUBLE_EQ(limits.solutionAxisMean, 110.0);
    EXPECT_NEAR(limits.solutionAxisStdDev, 14.866, 0.001);
    EXPECT_EQ(limits.limitMultiplier, 1.5);
    EXPECT_EQ(limits.minAxisLimit, 88);
    EXPECT_EQ(limits.maxAxisLimit, 132);
    limits.widen();
    EXPECT_EQ(limits.limitMultiplier, 3.0);
    EXPECT_EQ(limits.minAxisLimit, 65);
    EXPECT_EQ(limits.maxAxisLimit, 155);
}

TEST(AxisLimits, CapAndFloorHold)
{
    AxisLimits limits(30, AXIS_CAP);
    limits.setFromSolutions({380});
    EXPECT_EQ(limits.maxAxisLimit, 400); // 418 capped
    limits.setFromSolutions({20, 380});
    EXPECT_EQ(limits.minAxisLimit, 30); // far below min-axis, floored
    EXPECT_EQ(limits.maxAxisLimit, 400);
}
