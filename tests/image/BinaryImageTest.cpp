#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <tuple>

#include "core/Exceptions.h"
#include "core/Random.h"
#include "image/BinaryImage.h"
#include "support/PictureFiles.h"
#include "support/TestSupport.h"
#include "support/TiffFiles.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::HasSubstr;
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
    ASSERT_TRUE(loaded.load(dir.file("picture.pbm"), std::cout));
    EXPECT_EQ(loaded.rows, picture.rows);
    EXPECT_EQ(loaded.minX, 4);
    EXPECT_EQ(loaded.minY, 2);
    EXPECT_EQ(loaded.maxX, 0);
    EXPECT_FALSE(loaded.depleted);
    EXPECT_TRUE(BinaryImage().load(dir.file("a.b.pbm"), std::cout));

    // The formats beyond PBM and BMP take their extensions in any case.
    for (const char* name : {"a.PNG", "a.Pgm", "a.TIF", "a.tif", "a.tiff", "a.TiFF"})
        EXPECT_TRUE(BinaryImage::hasImageExtension(name)) << name;
    for (const char* name : {"a.BMP", "a.Pbm", "a.tifff", "a.jpg"})
        EXPECT_FALSE(BinaryImage::hasImageExtension(name)) << name;
    writePng(dir.file("upper.PNG"), picture);
    EXPECT_TRUE(BinaryImage().load(dir.file("upper.PNG"), std::cout));
    // A refused name is said like any other failure; the last dot of the whole path decides,
    // folders included.
    const std::string unknown = "\nUnknown image format\n";
    for (const auto& [name, message] : std::map<std::string, std::string>{
             {dir.file("picture.PBM"), unknown},
             {"picture.jpg", unknown},
             {"./pics/img", unknown},
             {"picture", "\nUnknown image format, please use an extension (e.g. jpg, bmp ...) in "
                         "the filename\n"}}) {
        std::ostringstream messages;
        EXPECT_FALSE(BinaryImage().load(name, messages)) << name;
        EXPECT_EQ(messages.str(), message) << name;
    }
}

TEST(BinaryImage, FailedLoadKeepsOnlyRowsThatExist)
{
    TempDir dir;
    writeBytes(dir.file("short.pbm"), std::string("P4\n8 3\n\xFF", 8));
    BinaryImage image;
    CoutCapture capture;
    EXPECT_FALSE(image.load(dir.file("short.pbm"), std::cout));
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

TEST(BinaryImage, PickOnAnImageNeverRebuiltThrows)
{
    BinaryImage image = imageWithActivePixels(40);
    Point picked;
    EXPECT_THAT([&] { image.pickActivePoint(picked, testRun().random); },
                ThrowsMessage<InvalidParameterException>(
                    StrEq("Invalid bound for random number generator")));
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

namespace
{

PixelRows complement(PixelRows rows)
{
    for (auto& row : rows)
        for (std::uint8_t& pixel : row)
            pixel ^= 1;
    return rows;
}

} // namespace

TEST(BinaryImage, GreyAndColourPicturesHaveTheirDarkPixelsActive)
{
    TempDir dir;
    const BinaryImage picture = imageFromText({"#..#.", ".##..", "....#"});
    writePng(dir.file("picture.png"), picture);
    writePgm(dir.file("picture.pgm"), picture);
    writeBmp(dir.file("picture.bmp"), picture);
    for (const char* name : {"picture.png", "picture.pgm", "picture.bmp"}) {
        BinaryImage loaded;
        ASSERT_TRUE(loaded.load(dir.file(name), std::cout)) << name;
        EXPECT_EQ(loaded.width, 5) << name;
        EXPECT_EQ(loaded.height, 3) << name;
        EXPECT_EQ(loaded.rows, picture.rows) << name;
        EXPECT_EQ(loaded.minX, 5) << name;
        EXPECT_EQ(loaded.minY, 3) << name;
        EXPECT_FALSE(loaded.depleted) << name;
    }
}

TEST(BinaryImage, LightIsActiveTurnsGreyAndColourPicturesButNotBitMaps)
{
    TempDir dir;
    const BinaryImage picture = imageFromText({"#..#.", ".##..", "....#"});
    writePng(dir.file("picture.png"), picture);
    writePgm(dir.file("picture.pgm"), picture);
    writeBmp(dir.file("picture.bmp"), picture);
    writePbm(dir.file("picture.pbm"), picture);
    std::ostringstream messages;
    for (const char* name : {"picture.png", "picture.pgm", "picture.bmp"}) {
        BinaryImage loaded;
        ASSERT_TRUE(loaded.load(dir.file(name), messages, ActiveSide::Light)) << name;
        EXPECT_EQ(loaded.rows, complement(picture.rows)) << name;
    }
    BinaryImage bitMap;
    ASSERT_TRUE(bitMap.load(dir.file("picture.pbm"), messages, ActiveSide::Light));
    EXPECT_EQ(bitMap.rows, picture.rows);
    EXPECT_EQ(messages.str(), "");
}

namespace
{

// A file format and whether the picture is stored negative, light on dark.
using StoredPicture = std::tuple<std::string, bool>;

class MinoritySide : public ::testing::TestWithParam<StoredPicture>
{
};

void writePicture(const std::string& path, const std::string& extension, const BinaryImage& image)
{
    if (extension == ".png")
        writePng(path, image);
    else if (extension == ".pgm")
        writePgm(path, image);
    else
        writeTiff(path, image);
}

} // namespace

TEST_P(MinoritySide, TheSideWithFewerPixelsIsActiveWhicheverWayRoundItIsStored)
{
    const auto& [extension, negative] = GetParam();
    TempDir dir;
    const BinaryImage picture = imageFromText({"#..#.", ".##..", "....#"});
    BinaryImage stored = picture;
    if (negative)
        stored.rows = complement(picture.rows);
    const std::string path = dir.file("picture" + extension);
    writePicture(path, extension, stored);
    BinaryImage loaded;
    ASSERT_TRUE(loaded.load(path, std::cout));
    EXPECT_EQ(loaded.rows, picture.rows);
    EXPECT_EQ(loaded.activeRule,
              std::string("Active pixels: the ") +
                  (negative ? "light ones, fewer than the dark (5 of 15 pixels are light)"
                            : "dark ones, fewer than the light (5 of 15 pixels are dark)") +
                  "; --dark-is-active or --light-is-active forces a side");
    // A forced side holds whatever the counts.
    BinaryImage dark;
    ASSERT_TRUE(dark.load(path, std::cout, ActiveSide::Dark));
    EXPECT_EQ(dark.rows, stored.rows);
    EXPECT_EQ(dark.activeRule, "Active pixels: the dark ones, as --dark-is-active asks");
}

INSTANTIATE_TEST_SUITE_P(Formats, MinoritySide,
                         ::testing::Combine(::testing::Values(".png", ".pgm", ".tif"),
                                            ::testing::Bool()));

TEST(BinaryImage, ATieMakesTheDarkSideActive)
{
    TempDir dir;
    const BinaryImage picture = imageFromText({"#.", ".#"});
    writePgm(dir.file("tie.pgm"), picture);
    BinaryImage loaded;
    ASSERT_TRUE(loaded.load(dir.file("tie.pgm"), std::cout));
    EXPECT_EQ(loaded.rows, picture.rows);
    EXPECT_THAT(loaded.activeRule, HasSubstr("the dark ones, as many as the light, and a tie goes "
                                             "to the dark (2 of 4 pixels are dark)"));
}

TEST(BinaryImage, BitMapsKeepTheirInkWhenItIsTheLargerSide)
{
    TempDir dir;
    const BinaryImage picture = imageFromText({"#..#.", ".##..", "....#"});
    BinaryImage mostlyInk = picture;
    mostlyInk.rows = complement(picture.rows);
    writeBmp(dir.file("ink.bmp"), mostlyInk);
    writePbm(dir.file("ink.pbm"), mostlyInk);
    for (const char* name : {"ink.bmp", "ink.pbm"}) {
        BinaryImage loaded;
        ASSERT_TRUE(loaded.load(dir.file(name), std::cout)) << name;
        EXPECT_EQ(loaded.rows, mostlyInk.rows) << name;
    }
}

TEST(BinaryImage, GreyThresholdIs128InBothPolarities)
{
    TempDir dir;
    writeBytes(dir.file("grey.pgm"), "P5 2 1 255\n\x7F\x80");
    writeBytes(
        dir.file("grey.png"),
        pngBytes(2, 1, PngLayout{}, {std::string{static_cast<char>(127), static_cast<char>(128)}}));
    for (const char* name : {"grey.pgm", "grey.png"}) {
        BinaryImage dark;
        ASSERT_TRUE(dark.load(dir.file(name), std::cout, ActiveSide::Dark));
        EXPECT_EQ(dark.rows, (PixelRows{{1, 0}})) << name;
        BinaryImage light;
        ASSERT_TRUE(light.load(dir.file(name), std::cout, ActiveSide::Light));
        EXPECT_EQ(light.rows, (PixelRows{{0, 1}})) << name;
    }
}

TEST(BinaryImage, PngAndPgmNamesThatAreNoRegularFilesAreRefused)
{
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "x.png");
    std::filesystem::create_directory(dir.path() / "x.pgm");
    ASSERT_EQ(mkfifo(dir.file("pipe.png").c_str(), 0600), 0);
    for (const char* name : {"x.png", "x.pgm", "pipe.png"}) {
        std::ostringstream messages;
        BinaryImage image;
        EXPECT_FALSE(image.load(dir.file(name), messages)) << name;
        EXPECT_EQ(messages.str(),
                  "\nCannot read " + dir.file(name) + ": it is not a regular file.\n");
        EXPECT_TRUE(image.rows.empty());
    }
}

TEST(BinaryImage, ABadPictureFailsWithItsReadersOneMessage)
{
    TempDir dir;
    const std::string png = pngBytes(3, 1, PngLayout{}, {"\x01\x02\x03"});
    writeBytes(dir.file("cut.png"), png.substr(0, png.size() / 2));
    writeBytes(dir.file("bad.pgm"), "P5 2 1 0\n\x01\x02");
    const std::map<std::string, std::string> expected = {
        {"cut.png", "the file is cut short"},
        {"bad.pgm", "its maximum grey value must be from 1 to 65535"},
        {"none.png", "the file cannot be opened"},
        {"none.pgm", "the file cannot be opened"}};
    for (const auto& [name, reason] : expected) {
        std::ostringstream messages;
        BinaryImage image;
        EXPECT_FALSE(image.load(dir.file(name), messages)) << name;
        EXPECT_EQ(messages.str(), "\nCannot read " + dir.file(name) + ": " + reason + ".\n");
        EXPECT_EQ(image.width, 0) << name;
        EXPECT_TRUE(image.rows.empty()) << name;
    }
}
