#include <gtest/gtest.h>

#include "core/Random.h"
#include "core/Rounding.h"
#include "support/TestSupport.h"

using namespace Trelm;
using Trelm::test::bareTextThrownBy;

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
    EXPECT_EQ(bareTextThrownBy([&] { random.randomInt(5, 4); }),
              "Invalid bounds for random number generator");
    EXPECT_EQ(bareTextThrownBy([&] { random.randomIndex(0); }),
              "Invalid bound for random number generator");
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
