#include <gtest/gtest.h>

#include "image/PixelSearch.h"
#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;

TEST(FindActiveAlongLine, PassesOverTheStartingRun)
{
    const BinaryImage image = imageFromText({"###..#.#"});
    Point found;
    ASSERT_TRUE(findActiveAlongLine(image, {0, 0}, {7, 0}, found));
    EXPECT_EQ(found, (Point{5, 0}));
    // The target itself is never examined.
    EXPECT_FALSE(findActiveAlongLine(image, {3, 0}, {5, 0}, found));
    EXPECT_EQ(found, (Point{-1, -1}));
}

TEST(FindActiveAlongLine, SameMajorCoordinateOrLeavingTheImageFindsNothing)
{
    const BinaryImage image = imageFromText({"#...", "....", "...#"});
    Point found;
    EXPECT_FALSE(findActiveAlongLine(image, {1, 1}, {1, 1}, found));
    EXPECT_FALSE(findActiveAlongLine(image, {1, 1}, {-30, 1}, found));
    EXPECT_FALSE(findActiveAlongLine(image, {1, 1}, {30, 30}, found)); // misses (3, 2)
    ASSERT_TRUE(findActiveAlongLine(image, {1, 0}, {5, 4}, found));    // a tie counts as steep
    EXPECT_EQ(found, (Point{3, 2}));
}

TEST(FindActiveAlongLine, VerticalLinesStepAlongY)
{
    const BinaryImage image = imageFromText({"....", "....", "....", ".#..", "....", "..#."});
    Point found;
    ASSERT_TRUE(findActiveAlongLine(image, {1, 0}, {1, 5}, found));
    EXPECT_EQ(found, (Point{1, 3}));
}

TEST(ActiveNeighbours, RowMajorInsideTheBoundingBox)
{
    BinaryImage image = imageFromText({"###", "#.#", "###"});
    image.rebuildActivePoints();
    const NeighbourList all = activeNeighbours(image, {1, 1});
    ASSERT_EQ(all.count, 8);
    EXPECT_EQ(all[0], (Point{0, 0}));
    EXPECT_EQ(all[3], (Point{0, 1}));
    EXPECT_EQ(all[7], (Point{2, 2}));
    EXPECT_EQ(activeNeighbours(image, {0, 0}).count, 2);
}
