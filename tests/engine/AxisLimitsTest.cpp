#include <gtest/gtest.h>

#include "engine/AxisLimits.h"

using namespace Trelm;

TEST(AxisLimits, CapAndFloorHold)
{
    AxisLimits limits(30, AXIS_CAP);
    limits.setFromSolutions({380});
    EXPECT_EQ(limits.maxAxisLimit, 400); // 418 capped
    limits.setFromSolutions({20, 380});
    EXPECT_EQ(limits.minAxisLimit, 30); // far below min-axis, floored
    EXPECT_EQ(limits.maxAxisLimit, 400);
}
