#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

#include "image/PngPicture.h"
#include "support/PictureFiles.h"
#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using namespace std::string_literals;

namespace
{

ReadResult<PngPicture> readPng(const std::string& data)
{
    return readPicture<PngPicture>(data, "x.png");
}

std::string message(const std::string& reason)
{
    return cannotRead("x.png", reason);
}

std::string bytes(std::initializer_list<unsigned> values)
{
    std::string out;
    for (unsigned v : values)
        out += static_cast<char>(v);
    return out;
}

std::string be16(std::initializer_list<unsigned> values)
{
    std::string out;
    for (unsigned v : values)
        out += bytes({v >> 8, v & 0xFF});
    return out;
}

// Samples of fewer than 8 bits packed as PNG packs them, the first in the high bits.
std::string packed(std::initializer_list<unsigned> samples, int depth)
{
    std::string out;
    int used = 8;
    for (unsigned sample : samples) {
        if (used == 8) {
            out += '\0';
            used = 0;
        }
        used += depth;
        out.back() =
            static_cast<char>(static_cast<unsigned char>(out.back()) | (sample << (8 - used)));
    }
    return out;
}

PngLayout layout(int colourType, int bitDepth, bool interlaced = false)
{
    PngLayout result;
    result.colourType = colourType;
    result.bitDepth = bitDepth;
    result.interlaced = interlaced;
    return result;
}

// A one-row picture read back; its dark pixels.
std::vector<std::uint8_t> darkRow(int width, const PngLayout& format, const std::string& row)
{
    const ReadResult r = readPng(pngBytes(width, 1, format, {row}));
    EXPECT_TRUE(r.ok) << r.output;
    EXPECT_EQ(r.output, "");
    return r.ok ? r.picture.darkPixels.at(0) : std::vector<std::uint8_t>{};
}

using Row = std::vector<std::uint8_t>;

// A 40 x 30 grey picture of varied levels, large enough for a sizeable image data chunk.
std::string noisyPicture()
{
    std::vector<std::string> rows;
    for (unsigned y = 0; y < 30; ++y) {
        std::string row;
        for (unsigned x = 0; x < 40; ++x)
            row += static_cast<char>((x * 97 + y * 31 + x * y) % 256);
        rows.push_back(row);
    }
    return pngBytes(40, 30, layout(PNG_COLOR_TYPE_GRAY, 8), rows);
}

} // namespace

TEST(PngPicture, EightBitGreyBelow128IsDark)
{
    const ReadResult r = readPng(pngBytes(4, 2, layout(PNG_COLOR_TYPE_GRAY, 8),
                                          {bytes({0, 127, 128, 255}), bytes({255, 128, 127, 0})}));
    ASSERT_TRUE(r.ok) << r.output;
    EXPECT_EQ(r.picture.width, 4);
    EXPECT_EQ(r.picture.height, 2);
    EXPECT_EQ(r.picture.darkPixels, (PixelRows{{1, 1, 0, 0}, {0, 0, 1, 1}}));
}

TEST(PngPicture, GreyOfOneTwoAndFourBitsIsScaledBeforeTheThreshold)
{
    EXPECT_EQ(darkRow(5, layout(PNG_COLOR_TYPE_GRAY, 1), packed({0, 1, 0, 1, 1}, 1)),
              (Row{1, 0, 1, 0, 0}));
    // 1 of 3 is 85 of 255, 2 of 3 is 170.
    EXPECT_EQ(darkRow(5, layout(PNG_COLOR_TYPE_GRAY, 2), packed({1, 2, 0, 3, 1}, 2)),
              (Row{1, 0, 1, 0, 1}));
    // 7 of 15 is 119 of 255, 8 of 15 is 136.
    EXPECT_EQ(darkRow(5, layout(PNG_COLOR_TYPE_GRAY, 4), packed({7, 8, 15, 0, 7}, 4)),
              (Row{1, 0, 0, 1, 1}));
}

TEST(PngPicture, SixteenBitGreyKeepsItsPrecision)
{
    // 32768 would be 128 with the low byte dropped, light; it is 127.5 of 255, dark.
    EXPECT_EQ(darkRow(4, layout(PNG_COLOR_TYPE_GRAY, 16), be16({32768, 32896, 32895, 65535})),
              (Row{1, 0, 1, 0}));
}

TEST(PngPicture, AlphaIsIgnored)
{
    EXPECT_EQ(
        darkRow(4, layout(PNG_COLOR_TYPE_GRAY_ALPHA, 8), bytes({0, 0, 127, 255, 128, 0, 255, 255})),
        (Row{1, 1, 0, 0}));
    EXPECT_EQ(darkRow(2, layout(PNG_COLOR_TYPE_GRAY_ALPHA, 16), be16({32895, 0, 32896, 65535})),
              (Row{1, 0}));
    EXPECT_EQ(darkRow(3, layout(PNG_COLOR_TYPE_RGB_ALPHA, 8),
                      bytes({127, 128, 128, 0, 128, 128, 128, 255, 0, 0, 255, 128})),
              (Row{1, 0, 1}));
}

TEST(PngPicture, ColourIsDarkWhenTheMeanOfRedGreenAndBlueIsBelow128)
{
    EXPECT_EQ(darkRow(5, layout(PNG_COLOR_TYPE_RGB, 8),
                      bytes({127, 128, 128, 128, 128, 128, 255, 0, 128, 0, 0, 255, 255, 255, 0})),
              (Row{1, 0, 1, 1, 0}));
    EXPECT_EQ(darkRow(2, layout(PNG_COLOR_TYPE_RGB, 16),
                      be16({32896, 32896, 32895, 32896, 32896, 32896})),
              (Row{1, 0}));
    EXPECT_EQ(darkRow(2, layout(PNG_COLOR_TYPE_RGB_ALPHA, 16),
                      be16({65535, 0, 32895, 65535, 32896, 32896, 32896, 0})),
              (Row{1, 0}));
}

TEST(PngPicture, PaletteEntriesAreJudgedByTheirColour)
{
    PngLayout format = layout(PNG_COLOR_TYPE_PALETTE, 8);
    format.palette = {{0, 0, 0}, {255, 255, 255}, {127, 128, 128}, {128, 128, 128}};
    EXPECT_EQ(darkRow(6, format, bytes({0, 1, 2, 3, 3, 2})), (Row{1, 0, 1, 0, 0, 1}));
    // Transparency of the entries changes nothing.
    format.paletteAlpha = {0, 0, 255};
    EXPECT_EQ(darkRow(6, format, bytes({0, 1, 2, 3, 3, 2})), (Row{1, 0, 1, 0, 0, 1}));
    format.bitDepth = 2;
    EXPECT_EQ(darkRow(5, format, packed({3, 2, 1, 0, 2}, 2)), (Row{0, 1, 0, 1, 1}));
    format.bitDepth = 1;
    format.palette.resize(2);
    format.paletteAlpha.clear();
    EXPECT_EQ(darkRow(3, format, packed({1, 0, 1}, 1)), (Row{0, 1, 0}));
}

// An interlaced picture reads as the same picture stored plainly, whatever its size: passes
// of small pictures may be empty, and a pass delivers only some of a row's pixels.
class PngInterlace : public ::testing::TestWithParam<std::tuple<int, int, int>>
{
};

TEST_P(PngInterlace, ReadsAsThePlainPicture)
{
    const auto [width, height, colourType] = GetParam();
    PixelRows expected;
    std::vector<std::string> rows;
    for (int y = 0; y < height; ++y) {
        Row dark;
        std::string row;
        for (int x = 0; x < width; ++x) {
            const bool isDark = (x * 7 + y * 3) % 5 == 0 || x == y;
            dark.push_back(isDark ? 1 : 0);
            // Dark and light levels vary, so that a pixel put in a wrong place shows.
            const auto level =
                static_cast<unsigned>(isDark ? (x * 13) % 128 : 128 + (y * 17) % 128);
            row += colourType == PNG_COLOR_TYPE_RGB ? be16({level * 257, level * 257, level * 257})
                                                    : bytes({level});
        }
        expected.push_back(dark);
        rows.push_back(row);
    }
    const int depth = colourType == PNG_COLOR_TYPE_RGB ? 16 : 8;
    for (bool interlaced : {false, true}) {
        const ReadResult r =
            readPng(pngBytes(width, height, layout(colourType, depth, interlaced), rows));
        ASSERT_TRUE(r.ok) << r.output;
        EXPECT_EQ(r.picture.darkPixels, expected) << (interlaced ? "interlaced" : "plain");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PngInterlace,
    ::testing::Combine(::testing::Values(1, 2, 3, 5, 9, 17, 33), ::testing::Values(1, 4, 10, 13),
                       ::testing::Values(PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB)));

TEST(PngPicture, InterlacedPalettePictureOfOneBit)
{
    PngLayout format = layout(PNG_COLOR_TYPE_PALETTE, 1, true);
    format.palette = {{255, 255, 255}, {10, 20, 30}};
    std::vector<std::string> rows;
    PixelRows expected;
    for (int y = 0; y < 11; ++y) {
        rows.push_back(packed({y % 2u, 1, 0, 0, y % 3u == 0, 1, 1, 0, 1, 0, 1, 1}, 1));
        expected.push_back({static_cast<std::uint8_t>(y % 2), 1, 0, 0,
                            static_cast<std::uint8_t>(y % 3 == 0), 1, 1, 0, 1, 0, 1, 1});
    }
    const ReadResult r = readPng(pngBytes(12, 11, format, rows));
    ASSERT_TRUE(r.ok) << r.output;
    EXPECT_EQ(r.picture.darkPixels, expected);
}

TEST(PngPicture, OtherFilesAreNoPng)
{
    const std::string good = pngBytes(1, 1, layout(PNG_COLOR_TYPE_GRAY, 8), {bytes({0})});
    for (const std::string& data :
         {""s, "GIF89a"s, good.substr(0, 7), "P5 1 1 255\n\x00"s, "\x89PNG\r\n\x1A\x0D"s}) {
        const ReadResult r = readPng(data);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.output, message("it is not a PNG file"));
    }
}

TEST(PngPicture, AFileCutShortIsSaidSo)
{
    const std::string good = noisyPicture();
    ASSERT_TRUE(readPng(good).ok);
    // Signature only, inside the header chunk, right after it, inside the image data.
    for (std::size_t size : {std::size_t{8}, std::size_t{20}, std::size_t{33}, good.size() / 2}) {
        const ReadResult r = readPng(good.substr(0, size));
        EXPECT_FALSE(r.ok) << size;
        EXPECT_EQ(r.output, message("the file is cut short")) << size;
    }
    // What follows the last pixel is not read: a missing end chunk goes unnoticed.
    EXPECT_TRUE(readPng(good.substr(0, good.size() - 12)).ok);
}

TEST(PngPicture, DamagedDataGivesLibpngsReason)
{
    std::string badChecksum = noisyPicture();
    badChecksum[30] = static_cast<char>(badChecksum[30] ^ 1);
    EXPECT_EQ(readPng(badChecksum).output, message("its PNG data is invalid (IHDR: CRC error)"));
    std::string badData = noisyPicture();
    badData[60] = static_cast<char>(badData[60] ^ 1);
    // The checksum comes after the data, which may fail to inflate first.
    EXPECT_THAT(readPng(badData).output,
                StartsWith("\nCannot read x.png: its PNG data is invalid (IDAT: "));
    const ReadResult zeroWidth = readPng(withPngSize(noisyPicture(), 0, 30));
    EXPECT_FALSE(zeroWidth.ok);
    EXPECT_THAT(zeroWidth.output, StartsWith("\nCannot read x.png: its PNG data is invalid ("));
}

TEST(PngPicture, HugeSizesAreRefusedBeforeAnyRowIsAllocated)
{
    const std::string good = noisyPicture();
    const std::string sides = message("its width and height must be from 1 to 32767");
    for (const auto& [width, height] : {std::pair<std::uint32_t, std::uint32_t>{32768, 1},
                                        {1, 40000},
                                        {0x7FFFFFFF, 0x7FFFFFFF}}) {
        const ReadResult r = readPng(withPngSize(good, width, height));
        EXPECT_FALSE(r.ok) << width << " x " << height;
        EXPECT_EQ(r.output, sides) << width << " x " << height;
        EXPECT_TRUE(r.picture.darkPixels.empty());
    }
    const ReadResult r = readPng(withPngSize(good, 20000, 20000));
    EXPECT_EQ(r.output, message("it has more than 268435456 pixels"));
    EXPECT_TRUE(r.picture.darkPixels.empty());
}

TEST(PngPicture, APictureLargerThanItsDataAllocatesOnlyTheRowsItReaches)
{
    // The 40 x 30 picture's data, read as 16000 x 16000: it runs out in the first row.
    const ReadResult r = readPng(withPngSize(noisyPicture(), 16000, 16000));
    EXPECT_FALSE(r.ok);
    EXPECT_THAT(r.output, HasSubstr("Cannot read x.png: "));
    std::size_t filled = 0;
    for (const auto& row : r.picture.darkPixels)
        filled += row.empty() ? 0 : 1;
    EXPECT_LE(filled, 1u);
}
