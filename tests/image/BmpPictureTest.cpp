#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "image/BinaryImage.h"
#include "image/BmpPicture.h"
#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::HasSubstr;

namespace
{

void le16(std::string& out, unsigned value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void le32(std::string& out, std::uint32_t value)
{
    le16(out, value & 0xFFFF);
    le16(out, value >> 16);
}

std::string header(std::uint32_t offBits, std::int32_t width, std::int32_t height, unsigned depth,
                   std::uint32_t compression = 0)
{
    std::string out = "BM";
    le32(out, 0);
    le16(out, 0);
    le16(out, 0);
    le32(out, offBits);
    le32(out, 40);
    le32(out, static_cast<std::uint32_t>(width));
    le32(out, static_cast<std::uint32_t>(height));
    le16(out, 1);
    le16(out, depth);
    le32(out, compression);
    for (std::uint32_t field : {0u, 2835u, 2835u, 0u, 0u}) // size, resolutions, colours
        le32(out, field);
    return out;
}

std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out += static_cast<char>(v);
    return out;
}

// File headers with an information header of infoSize bytes: the 40 bytes of fields, then
// inside (masks, say) and filler up to infoSize. The filler is not zero, so that reading it as
// a palette or as pixels shows.
std::string largerHeader(std::uint32_t infoSize, std::uint32_t offBits, std::int32_t width,
                         std::int32_t height, unsigned depth, std::uint32_t compression = 0,
                         const std::string& inside = "")
{
    std::string out = header(offBits, width, height, depth, compression);
    std::string size;
    le32(size, infoSize);
    out.replace(14, 4, size);
    out += inside;
    out.resize(14 + infoSize, static_cast<char>(0xAB));
    return out;
}

struct ReadResult {
    bool ok;
    BmpPicture picture;
    std::string output;
};

ReadResult readBmp(const std::string& data)
{
    ReadResult result{false, {}, ""};
    std::istringstream in(data);
    CoutCapture capture;
    result.ok = result.picture.read(in, "x.bmp", std::cout);
    result.output = capture.text();
    return result;
}

void expectColor(const BmpColor& c, int red, int green, int blue)
{
    EXPECT_EQ(c.red, red);
    EXPECT_EQ(c.green, green);
    EXPECT_EQ(c.blue, blue);
}

const std::string blackWhitePalette = bytes({0, 0, 0, 0, 255, 255, 255, 0});

} // namespace

TEST(BmpPicture, TwentyFourBitRowsArePaddedAndStoredBottomUp)
{
    // 3 x 2: rows of 12 bytes, 9 of pixels and 3 of padding; the bottom row comes first.
    const std::string data = header(54, 3, 2, 24) + bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}) +
                             bytes({10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0});
    const ReadResult r = readBmp(data);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.output, "");
    expectColor(r.picture.pixel(0, 1), 3, 2, 1);
    expectColor(r.picture.pixel(2, 1), 9, 8, 7);
    expectColor(r.picture.pixel(0, 0), 12, 11, 10);
    EXPECT_EQ(r.picture.pixel(0, 0).alpha, 0);
}

TEST(BmpPicture, ThirtyTwoBitKeepsAlpha)
{
    const ReadResult r = readBmp(header(54, 1, 1, 32) + bytes({1, 2, 3, 4}));
    ASSERT_TRUE(r.ok);
    expectColor(r.picture.pixel(0, 0), 3, 2, 1);
    EXPECT_EQ(r.picture.pixel(0, 0).alpha, 4);
}

TEST(BmpPicture, OneBitPaletteFullOrUnderspecified)
{
    // 9 pixels: two bytes, most significant bit first.
    const std::string pixels = bytes({0x80, 0x80, 0, 0});
    const ReadResult full = readBmp(header(62, 9, 1, 1) + blackWhitePalette + pixels);
    ASSERT_TRUE(full.ok);
    EXPECT_EQ(full.output, "");
    expectColor(full.picture.pixel(0, 0), 255, 255, 255);
    expectColor(full.picture.pixel(1, 0), 0, 0, 0);
    expectColor(full.picture.pixel(8, 0), 255, 255, 255);

    // Only one entry fits before the pixels: entry 1 becomes white.
    const ReadResult shortTable =
        readBmp(header(58, 9, 1, 1) + bytes({10, 20, 30, 0}) + bytes({0x7F, 0x00, 0, 0}));
    ASSERT_TRUE(shortTable.ok);
    EXPECT_EQ(shortTable.output,
              "EasyBMP Warning: file x.bmp has an underspecified\n"
              "                 color table. The table will be padded with extra\n"
              "                 white (255,255,255,0) entries.\n");
    expectColor(shortTable.picture.pixel(0, 0), 30, 20, 10);
    expectColor(shortTable.picture.pixel(1, 0), 255, 255, 255);
    expectColor(shortTable.picture.paletteEntry(1), 255, 255, 255);
}

TEST(BmpPicture, FourAndEightBitIndexThePalette)
{
    std::string palette16;
    for (int k = 0; k < 16; ++k)
        palette16 += bytes({k, k, k, 0});
    const ReadResult four =
        readBmp(header(54 + 64, 3, 1, 4) + palette16 + bytes({0x12, 0xF0, 0, 0}));
    ASSERT_TRUE(four.ok);
    expectColor(four.picture.pixel(0, 0), 1, 1, 1);
    expectColor(four.picture.pixel(1, 0), 2, 2, 2);
    expectColor(four.picture.pixel(2, 0), 15, 15, 15);

    std::string palette256;
    for (int k = 0; k < 256; ++k)
        palette256 += bytes({k, 0, 255 - k, 0});
    const ReadResult eight = readBmp(header(1078, 2, 1, 8) + palette256 + bytes({7, 200, 0, 0}));
    ASSERT_TRUE(eight.ok);
    EXPECT_EQ(eight.output, "");
    expectColor(eight.picture.pixel(0, 0), 248, 0, 7);

    const ReadResult extra =
        readBmp(header(1082, 2, 1, 8) + palette256 + bytes({9, 9, 9, 9}) + bytes({7, 200, 0, 0}));
    ASSERT_TRUE(extra.ok);
    EXPECT_EQ(extra.output, "EasyBMP Warning: Extra meta data detected in file x.bmp\n"
                            "                 Data will be skipped.\n");
    expectColor(extra.picture.pixel(1, 0), 55, 0, 200);
}

TEST(BmpPicture, SixteenBitDefaultMasksAndBitFields)
{
    // 0x7FFF in 5-5-5 gives 248 for every channel; the row is padded to 4 bytes.
    const ReadResult plain = readBmp(header(54, 1, 1, 16) + bytes({0xFF, 0x7F, 0, 0}));
    ASSERT_TRUE(plain.ok);
    expectColor(plain.picture.pixel(0, 0), 248, 248, 248);

    // 5-6-5 bit fields: 0xF800 red, 0x07E0 green, 0x001F blue.
    const std::string masks = bytes({0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0x00, 0, 0});
    const ReadResult fields =
        readBmp(header(66, 2, 1, 16, 3) + masks + bytes({0x00, 0xF8, 0x1F, 0x00}));
    ASSERT_TRUE(fields.ok);
    expectColor(fields.picture.pixel(0, 0), 248, 0, 0);
    expectColor(fields.picture.pixel(1, 0), 0, 0, 248);

    // A value past the end of the file repeats the last one read.
    const ReadResult cut = readBmp(header(54, 2, 1, 16) + bytes({0xFF, 0x7F}));
    ASSERT_TRUE(cut.ok);
    expectColor(cut.picture.pixel(1, 0), 248, 248, 248);
}

TEST(BmpPicture, ErrorMessagesInTheirOrder)
{
    EXPECT_EQ(readBmp("PK" + std::string(60, '\0')).output,
              "EasyBMP Error: x.bmp is not a Windows BMP file!\n");
    EXPECT_EQ(readBmp("B").output, "EasyBMP Error: x.bmp is obviously corrupted.\n");
    EXPECT_EQ(readBmp(header(54, 1, 1, 24).substr(0, 40)).output,
              "EasyBMP Error: x.bmp is obviously corrupted.\n");
    EXPECT_EQ(readBmp(header(54, 1, 1, 8, 1)).output,
              "EasyBMP Error: x.bmp is (RLE) compressed.\n"
              "               EasyBMP does not support compression.\n");
    EXPECT_EQ(readBmp(header(54, 1, 1, 24, 7)).output,
              "EasyBMP Error: x.bmp is in an unsupported format.\n"
              "               (bmih.biCompression = 7)\n"
              "               The file is probably an old OS2 bitmap or corrupted.\n");
    EXPECT_EQ(readBmp(header(54, 1, 1, 24, 3)).output,
              "EasyBMP Error: x.bmp uses bit fields and is not a\n"
              "               16-bit file. This is not supported.\n");
    EXPECT_EQ(readBmp(header(54, 1, 1, 12)).output,
              "EasyBMP Error: x.bmp has unrecognized bit depth.\n");
    EXPECT_EQ(readBmp(header(54, 1, -1, 24)).output,
              "EasyBMP Error: x.bmp has a non-positive width or height.\n");
    EXPECT_EQ(readBmp(header(54, 0, 1, 24)).output,
              "EasyBMP Error: x.bmp has a non-positive width or height.\n");
}

TEST(BmpPicture, ShortPixelDataKeepsWhiteRows)
{
    // Two rows announced, one present: the bottom row is read, the top one stays white.
    const ReadResult r = readBmp(header(54, 1, 2, 24) + bytes({0, 0, 0, 0}));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.output, "EasyBMP Error: Could not read proper amount of data.\n");
    expectColor(r.picture.pixel(0, 1), 0, 0, 0);
    expectColor(r.picture.pixel(0, 0), 255, 255, 255);
}

TEST(BmpPicture, RefusesPicturesTooLargeForAPointOrForTheFile)
{
    const ReadResult wide = readBmp(header(54, 40000, 1, 24));
    EXPECT_FALSE(wide.ok);
    EXPECT_EQ(wide.output, "EasyBMP Error: x.bmp is too large.\n"
                           "               Width and height must be at most 32767.\n");
    // 30000 x 30000 claimed by a file of a few bytes: refused before any allocation.
    const ReadResult liar = readBmp(header(54, 30000, 30000, 24) + bytes({0, 0, 0}));
    EXPECT_FALSE(liar.ok);
    EXPECT_THAT(liar.output, HasSubstr("declares more pixel data"));
}

TEST(BmpPicture, MissingFileIsReported)
{
    BmpPicture picture;
    CoutCapture capture;
    EXPECT_FALSE(picture.readFile("/nonexistent/x.bmp", std::cout));
    EXPECT_EQ(capture.text(), "EasyBMP Error: Cannot open file /nonexistent/x.bmp for input.\n");
}

TEST(BmpPicture, LoadsIntoABinaryImageDarkPixelsActive)
{
    TempDir dir;
    // 2 x 2, 24-bit: bottom row black, grey 127; top row grey 128, white.
    writeBytes(dir.file("p.bmp"), header(54, 2, 2, 24) + bytes({0, 0, 0, 127, 127, 127, 0, 0}) +
                                      bytes({128, 128, 128, 255, 255, 255, 0, 0}));
    BinaryImage image;
    ASSERT_TRUE(image.load(dir.file("p.bmp"), std::cout));
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.rows, (PixelRows{{0, 0}, {1, 1}}));
}

class LargerHeaderTest : public ::testing::TestWithParam<std::uint32_t>
{
};

TEST_P(LargerHeaderTest, PaletteFollowsTheDeclaredHeader)
{
    const std::uint32_t size = GetParam();
    std::string palette256;
    for (int k = 0; k < 256; ++k)
        palette256 += bytes({k, 0, 255 - k, 0});
    const ReadResult eight =
        readBmp(largerHeader(size, 14 + size + 1024, 2, 1, 8) + palette256 + bytes({7, 200, 0, 0}));
    ASSERT_TRUE(eight.ok);
    EXPECT_EQ(eight.output, "");
    expectColor(eight.picture.pixel(0, 0), 248, 0, 7);
    expectColor(eight.picture.pixel(1, 0), 55, 0, 200);

    const ReadResult one = readBmp(largerHeader(size, 14 + size + 8, 9, 1, 1) + blackWhitePalette +
                                   bytes({0x80, 0x80, 0, 0}));
    ASSERT_TRUE(one.ok);
    EXPECT_EQ(one.output, "");
    expectColor(one.picture.pixel(0, 0), 255, 255, 255);
    expectColor(one.picture.pixel(1, 0), 0, 0, 0);
}

TEST_P(LargerHeaderTest, PixelsFollowTheDeclaredHeader)
{
    const std::uint32_t size = GetParam();
    const ReadResult r = readBmp(largerHeader(size, 14 + size, 1, 1, 24) + bytes({1, 2, 3, 0}));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.output, "");
    expectColor(r.picture.pixel(0, 0), 3, 2, 1);

    // Without bit fields a 16-bit picture is 5-5-5, whatever mask fields its header has.
    const ReadResult plain = readBmp(
        largerHeader(size, 14 + size, 1, 1, 16, 0, std::string(12, 0)) + bytes({0xFF, 0x7F, 0, 0}));
    ASSERT_TRUE(plain.ok);
    EXPECT_EQ(plain.output, "");
    expectColor(plain.picture.pixel(0, 0), 248, 248, 248);
}

TEST_P(LargerHeaderTest, ShortPaletteAndExtraDataCountFromTheHeaderEnd)
{
    const std::uint32_t size = GetParam();
    const ReadResult shortTable = readBmp(largerHeader(size, 14 + size + 4, 9, 1, 1) +
                                          bytes({10, 20, 30, 0}) + bytes({0x7F, 0x00, 0, 0}));
    ASSERT_TRUE(shortTable.ok);
    EXPECT_THAT(shortTable.output, HasSubstr("underspecified"));
    expectColor(shortTable.picture.pixel(0, 0), 30, 20, 10);
    expectColor(shortTable.picture.pixel(1, 0), 255, 255, 255);

    const ReadResult extra =
        readBmp(largerHeader(size, 14 + size + 8 + 4, 9, 1, 1) + blackWhitePalette +
                bytes({9, 9, 9, 9}) + bytes({0x80, 0x80, 0, 0}));
    ASSERT_TRUE(extra.ok);
    EXPECT_EQ(extra.output, "EasyBMP Warning: Extra meta data detected in file x.bmp\n"
                            "                 Data will be skipped.\n");
    expectColor(extra.picture.pixel(1, 0), 0, 0, 0);
}

INSTANTIATE_TEST_SUITE_P(HeaderSizes, LargerHeaderTest,
                         ::testing::Values(40u, 52u, 56u, 108u, 124u));

// 5-6-5 bit fields: 0xF800 red, 0x07E0 green, 0x001F blue, as 32-bit masks.
const std::string masks565 = bytes({0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0x00, 0, 0});

class MasksInHeaderTest : public ::testing::TestWithParam<std::uint32_t>
{
};

TEST_P(MasksInHeaderTest, BitFieldMasksAreReadFromTheHeader)
{
    const std::uint32_t size = GetParam();
    const ReadResult r = readBmp(largerHeader(size, 14 + size, 2, 1, 16, 3, masks565) +
                                 bytes({0x00, 0xF8, 0x1F, 0x00}));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.output, "");
    expectColor(r.picture.pixel(0, 0), 248, 0, 0);
    expectColor(r.picture.pixel(1, 0), 0, 0, 248);
}

TEST_P(MasksInHeaderTest, MasksOfZeroAreRefused)
{
    const std::uint32_t size = GetParam();
    const ReadResult r = readBmp(largerHeader(size, 14 + size, 1, 1, 16, 3, std::string(12, 0)) +
                                 bytes({0xFF, 0x7F, 0, 0}));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.output, "EasyBMP Error: x.bmp has bit-field masks of zero.\n");
}

INSTANTIATE_TEST_SUITE_P(HeaderSizes, MasksInHeaderTest, ::testing::Values(52u, 56u, 108u, 124u));

TEST(BmpPicture, MasksAfterAFortyByteHeader)
{
    const ReadResult zero =
        readBmp(header(66, 1, 1, 16, 3) + std::string(12, 0) + bytes({0xFF, 0x7F, 0, 0}));
    EXPECT_FALSE(zero.ok);
    EXPECT_EQ(zero.output, "EasyBMP Error: x.bmp has bit-field masks of zero.\n");

    // One channel of zero is a picture without that colour, not a black one.
    const std::string noGreen = bytes({0x00, 0xF8, 0, 0, 0, 0, 0, 0, 0x1F, 0x00, 0, 0});
    const ReadResult r = readBmp(header(66, 1, 1, 16, 3) + noGreen + bytes({0xFF, 0xFF, 0, 0}));
    ASSERT_TRUE(r.ok);
    expectColor(r.picture.pixel(0, 0), 248, 0, 248);

    // Masks cut short by the end of the file keep their defaults: not all zero.
    const ReadResult cut = readBmp(header(66, 1, 1, 16, 3) + bytes({0, 0, 0, 0}));
    EXPECT_TRUE(cut.ok);
}
