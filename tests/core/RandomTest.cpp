#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "core/Exceptions.h"
#include "core/Random.h"
#include "core/Rounding.h"
#include "support/TestSupport.h"

using namespace Trelm;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

TEST(Random, SeedGivesAFixedSequenceOnEveryPlatform)
{
    RandomGenerator random;
    random.seed(311);
    EXPECT_EQ(random.next15(), 1054);
    EXPECT_EQ(random.next15(), 8137);
    EXPECT_EQ(random.next15(), 6435);
    EXPECT_EQ(random.next15(), 15023);
    EXPECT_EQ(random.next15(), 5423);

    random.seed(311);
    EXPECT_EQ(random.randomInt(3, 10), 3);
    EXPECT_EQ(random.randomInt(3, 10), 4);
    EXPECT_EQ(random.randomInt(3, 10), 4);
    random.seed(311);
    EXPECT_DOUBLE_EQ(random.randomReal(0, 1), 1054 / 32768.0);
    EXPECT_DOUBLE_EQ(random.randomReal(2, 4), 2 + 2 * 8137 / 32768.0);
}

TEST(Random, RangesAreCoveredAndBoundsChecked)
{
    RandomGenerator random;
    random.seed(1);
    bool seen[5] = {};
    for (int i = 0; i < 1000; ++i) {
        const int v = random.randomInt(0, 4);
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 4);
        seen[v] = true;
        const double r = random.randomReal(0, 1);
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
    }
    for (bool s : seen)
        EXPECT_TRUE(s);
    EXPECT_EQ(random.randomInt(7, 7), 7);
    EXPECT_THAT([&] { random.randomInt(5, 4); },
                ThrowsMessage<InvalidParameterException>(
                    StrEq("Invalid bounds for random number generator")));
    EXPECT_THAT([&] { random.randomIndex(0); }, ThrowsMessage<InvalidParameterException>(StrEq(
                                                    "Invalid bound for random number generator")));
}

TEST(Random, LargeCountsReachTheLastIndices)
{
    RandomGenerator random;
    // With a 32-bit product, counts past 131072 would wrap and never reach the end.
    random.seed(5);
    int largest = 0;
    for (int i = 0; i < 20000; ++i)
        largest = std::max(largest, random.randomIndex(1000000));
    EXPECT_GT(largest, 990000);
}

TEST(Rounding, AddsAHalfAndTruncatesTowardZero)
{
    EXPECT_EQ(roundToInt(34.0), 34);
    EXPECT_EQ(roundToInt(6.5), 7);
    EXPECT_EQ(roundToInt(0.4), 0);
    EXPECT_EQ(roundToInt(-0.7), 0);
    EXPECT_EQ(roundToInt(-1.7), -1);
    EXPECT_EQ(roundToInt(1e300), 2147483647);
    EXPECT_EQ(saturateToInt16(-1e9), -32768);
}

// The outline's coordinate must be exactly the program's rounding and saturation, at every
// edge of the conversion's fast range and on values just either side of each half.
TEST(Rounding, RasterCoordinateIsTheRoundingSaturatedAndBounded)
{
    const auto reference = [](double value, int bound, std::int16_t& coordinate) {
        const double rounded = roundHalfTowardZero(value);
        if (rounded < 0)
            return false;
        coordinate = saturateToInt16(rounded);
        return coordinate < bound;
    };
    std::vector<double> values = {0.0,
                                  -0.0,
                                  -0.5,
                                  -1.5,
                                  -1.4999999999999998,
                                  -1e300,
                                  32766.0,
                                  32766.5,
                                  32766.499999999996,
                                  32767.0,
                                  1e300,
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()};
    for (int half = -4; half <= 70000; ++half)
        for (const double nudge : {-1e-9, 0.0, 1e-9})
            values.push_back(half * 0.5 + nudge);
    RandomGenerator random;
    random.seed(7);
    for (int i = 0; i < 100000; ++i)
        values.push_back(random.randomReal(-100.0, 33000.0));
    for (const double value : values)
        for (const int bound : {0, 1, 640, 32767}) {
            std::int16_t fast = -7;
            std::int16_t slow = -7;
            const bool fastInside = rasterCoordinate(value, bound, fast);
            const bool slowInside = reference(value, bound, slow);
            ASSERT_EQ(fastInside, slowInside) << value << " " << bound;
            if (slowInside) {
                ASSERT_EQ(fast, slow) << value;
            }
        }
}
