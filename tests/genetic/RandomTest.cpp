#include <gtest/gtest.h>

#include "genetic/Random.h"
#include "genetic/Rounding.h"
#include "support/TestSupport.h"

using namespace Trelm;
using Trelm::test::bareTextThrownBy;

namespace
{

} // namespace

TEST(Random, SeedGivesAFixedSequenceOnEveryPlatform)
{
    Trelm::srand(311);
    EXPECT_EQ(Trelm::rand(), 1054);
    EXPECT_EQ(Trelm::rand(), 8137);
    EXPECT_EQ(Trelm::rand(), 6435);
    EXPECT_EQ(Trelm::rand(), 15023);
    EXPECT_EQ(Trelm::rand(), 5423);

    Trelm::srand(311);
    EXPECT_EQ(randomInt(3, 10), 3);
    EXPECT_EQ(randomInt(3, 10), 4);
    EXPECT_EQ(randomInt(3, 10), 4);
    Trelm::srand(311);
    EXPECT_DOUBLE_EQ(randomReal(0, 1), 1054 / 32768.0);
    EXPECT_DOUBLE_EQ(randomReal(2, 4), 2 + 2 * 8137 / 32768.0);
}

TEST(Random, RangesAreCoveredAndBoundsChecked)
{
    Trelm::srand(1);
    bool seen[5] = {};
    for (int i = 0; i < 1000; ++i) {
        const int v = randomInt(0, 4);
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 4);
        seen[v] = true;
        const double r = randomReal(0, 1);
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
    }
    for (bool s : seen)
        EXPECT_TRUE(s);
    EXPECT_EQ(randomInt(7, 7), 7);
    EXPECT_EQ(bareTextThrownBy([] { randomInt(5, 4); }),
              "Invalid bounds for random number generator");
    EXPECT_EQ(bareTextThrownBy([] { randomIndex(0); }),
              "Invalid bound for random number generator");
}

TEST(Random, LargeCountsReachTheLastIndices)
{
    // With a 32-bit product, counts past 131072 would wrap and never reach the end.
    Trelm::srand(5);
    int largest = 0;
    for (int i = 0; i < 20000; ++i)
        largest = std::max(largest, randomIndex(1000000));
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
