#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/Exceptions.h"
#include "core/Random.h"
#include "image/BinaryImage.h"
#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

namespace
{

BinaryImage imageWithActivePixels(int count)
{
    BinaryImage image = blankImage(20, 10);
    for (int i = 0; i < count; ++i)
        image.rows[static_cast<std::size_t>(i / 20)][static_cast<std::size_t>(i % 20)] = 1;
    return image;
}

} // namespace

TEST(BinaryImage, ChoosesTheReaderByTheLastExtension)
{
    TempDir dir;
    const BinaryImage picture = imageFromText({"#..#", ".##."});
    writePbm(dir.file("picture.pbm"), picture);
    writePbm(dir.file("a.b.pbm"), picture);

    BinaryImage loaded;
    ASSERT_TRUE(loaded.load(dir.file("picture.pbm")));
    EXPECT_EQ(loaded.rows, picture.rows);
    EXPECT_EQ(loaded.minX, 4);
    EXPECT_EQ(loaded.minY, 2);
    EXPECT_EQ(loaded.maxX, 0);
    EXPECT_FALSE(loaded.depleted);
    EXPECT_TRUE(BinaryImage().load(dir.file("a.b.pbm")));

    EXPECT_THAT([&] { BinaryImage().load(dir.file("picture.PBM")); },
                ThrowsMessage<InvalidParameterException>(StrEq("Unknown image format")));
    EXPECT_THAT([&] { BinaryImage().load("picture.jpg"); },
                ThrowsMessage<InvalidParameterException>(StrEq("Unknown image format")));
    EXPECT_THAT([&] { BinaryImage().load("picture"); },
                ThrowsMessage<InvalidParameterException>(
                    StrEq("Unknown image format, please use an extension (e.g. jpg, bmp ...) in "
                          "the filename")));
    // The last dot of the whole path decides, folders included.
    EXPECT_THAT([&] { BinaryImage().load("./pics/img"); },
                ThrowsMessage<InvalidParameterException>(StrEq("Unknown image format")));
}

TEST(BinaryImage, FailedLoadKeepsOnlyRowsThatExist)
{
    TempDir dir;
    writeBytes(dir.file("short.pbm"), std::string("P4\n8 3\n\xFF", 8));
    BinaryImage image;
    CoutCapture capture;
    EXPECT_FALSE(image.load(dir.file("short.pbm")));
    ASSERT_EQ(image.rows.size(), 3u);
    EXPECT_EQ(image.rows[0].size(), 8u);
    EXPECT_TRUE(image.rows[2].empty());
}

TEST(BinaryImage, RebuildListsActivePixelsAndOnlyWidensTheBox)
{
    BinaryImage image = imageFromText({".....", "..#..", ".#...", "....."});
    image.rebuildActivePoints();
    EXPECT_EQ(image.activeCount, 2);
    EXPECT_EQ(image.activePoints[0], (Point{2, 1}));
    EXPECT_EQ(image.activePoints[1], (Point{1, 2}));
    EXPECT_EQ(image.minX, 1);
    EXPECT_EQ(image.maxX, 2);
    EXPECT_EQ(image.minY, 1);
    EXPECT_EQ(image.maxY, 2);

    image.rows[1][2] = 0;
    image.rows[3][4] = 1;
    image.rebuildActivePoints();
    EXPECT_EQ(image.minY, 1); // never moved back
    EXPECT_EQ(image.maxX, 4);
    EXPECT_EQ(image.maxY, 3);
}

TEST(BinaryImage, DepletedBelowThirtyActivePixelsAndStaysSo)
{
    BinaryImage thirty = imageWithActivePixels(30);
    thirty.rebuildActivePoints();
    EXPECT_FALSE(thirty.depleted);

    BinaryImage image = imageWithActivePixels(29);
    image.rebuildActivePoints();
    EXPECT_TRUE(image.depleted);
    image.rows[9][19] = 1;
    image.rows[9][18] = 1;
    image.rebuildActivePoints();
    EXPECT_TRUE(image.depleted);
}

TEST(BinaryImage, PickReturnsStillActivePixelsAndRebuildsAfterMisses)
{
    testRun().random.seed(311);
    BinaryImage image = imageWithActivePixels(40);
    image.rebuildActivePoints();
    for (int i = 0; i < 10; ++i)
        image.rows[0][static_cast<std::size_t>(i)] = 0;
    for (int i = 0; i < 50; ++i) {
        Point picked;
        ASSERT_TRUE(image.pickActivePoint(picked, testRun().random));
        EXPECT_EQ(
            image.rows[static_cast<std::size_t>(picked.y)][static_cast<std::size_t>(picked.x)], 1);
    }
    // Every listed pixel cleared: after 100 misses the rebuild finds too few and gives up.
    for (auto& row : image.rows)
        std::fill(row.begin(), row.end(), 0);
    Point picked{-5, -5};
    EXPECT_FALSE(image.pickActivePoint(picked, testRun().random));
    EXPECT_TRUE(image.depleted);
    EXPECT_EQ(picked, (Point{-5, -5}));
}

TEST(BinaryImage, PickOnAnImageNeverRebuiltThrowsABareText)
{
    BinaryImage image = imageWithActivePixels(40);
    Point picked;
    EXPECT_EQ(bareTextThrownBy([&] { image.pickActivePoint(picked, testRun().random); }),
              "Invalid bound for random number generator");
}

TEST(BinaryImage, ClearAndRestore)
{
    BinaryImage image = imageFromText({"##", "#."});
    const PixelRows before = image.rows;
    image.restoreClearedPixels();
    EXPECT_EQ(image.rows, before);
    image.clearPixel({0, 0});
    image.clearPixel({1, 0});
    EXPECT_EQ(image.rows[0][0], 0);
    EXPECT_EQ(image.clearedPoints.size(), 2u);
    image.restoreClearedPixels();
    EXPECT_EQ(image.rows, before);
    EXPECT_TRUE(image.clearedPoints.empty());
}
