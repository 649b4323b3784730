#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "image/PgmPicture.h"
#include "support/PictureFiles.h"
#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;
using namespace std::string_literals;

namespace
{

ReadResult<PgmPicture> readPgm(const std::string& data)
{
    return readPicture<PgmPicture>(data, "x.pgm");
}

std::string message(const std::string& reason)
{
    return cannotRead("x.pgm", reason);
}

std::string be16(unsigned value)
{
    return {static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
}

} // namespace

TEST(PgmPicture, BinaryEightBitSamplesBelow128AreDark)
{
    const ReadResult r = readPgm("P5\n4 2\n255\n\x00\x7F\x80\xFF\xFF\x80\x7F\x00"s);
    ASSERT_TRUE(r.ok) << r.output;
    EXPECT_EQ(r.output, "");
    EXPECT_EQ(r.picture.width, 4);
    EXPECT_EQ(r.picture.height, 2);
    EXPECT_EQ(r.picture.maxValue, 255u);
    EXPECT_EQ(r.picture.darkPixels, (PixelRows{{1, 1, 0, 0}, {0, 0, 1, 1}}));
}

// A maximum grey value with the last dark and the first light sample.
struct Threshold {
    unsigned maxValue;
    unsigned lastDark;
    unsigned firstLight;
};

class PgmThreshold : public ::testing::TestWithParam<Threshold>
{
};

TEST_P(PgmThreshold, TheMiddleOfTheScaleSeparatesDarkFromLight)
{
    const Threshold t = GetParam();
    const std::string max = std::to_string(t.maxValue);
    const auto sample = [&](unsigned v) {
        return t.maxValue < 256 ? std::string(1, char(v)) : be16(v);
    };
    const ReadResult binary =
        readPgm("P5 2 1 " + max + "\n" + sample(t.lastDark) + sample(t.firstLight));
    ASSERT_TRUE(binary.ok) << binary.output;
    EXPECT_EQ(binary.picture.darkPixels, (PixelRows{{1, 0}}));
    const ReadResult plain = readPgm("P2 2 1 " + max + "\n" + std::to_string(t.lastDark) + " " +
                                     std::to_string(t.firstLight) + "\n");
    ASSERT_TRUE(plain.ok) << plain.output;
    EXPECT_EQ(plain.picture.darkPixels, (PixelRows{{1, 0}}));
}

INSTANTIATE_TEST_SUITE_P(MaxValues, PgmThreshold,
                         ::testing::Values(Threshold{255, 127, 128}, Threshold{1, 0, 1},
                                           Threshold{3, 1, 2}, Threshold{15, 7, 8},
                                           Threshold{1000, 501, 502},
                                           Threshold{65535, 32895, 32896}));

TEST(PgmPicture, PlainMapTakesCommentsAndWhitespaceBetweenTokens)
{
    const ReadResult r = readPgm("P2# made by hand\n# a whole line\n3 # width\n\t1\r\n"
                                 "# before the maximum\n255\n0 #dark\n 200\n\n127");
    ASSERT_TRUE(r.ok) << r.output;
    EXPECT_EQ(r.picture.darkPixels, (PixelRows{{1, 0, 1}}));
}

TEST(PgmPicture, BinaryMapTakesCommentsInItsHeaderAndOneWhitespaceByteAfterTheMaximum)
{
    // The raster begins right after the maximum's single whitespace: its first samples are a
    // blank and a '#', both dark.
    const ReadResult r = readPgm("P5 # comment\n3 1\n# another\n255\n #\xC8");
    ASSERT_TRUE(r.ok) << r.output;
    EXPECT_EQ(r.picture.darkPixels, (PixelRows{{1, 1, 0}}));
    EXPECT_EQ(readPgm("P5 1 1 255#\n\x10").output,
              message("its maximum grey value is not followed by one whitespace byte"));
}

TEST(PgmPicture, WrongMagicIsRefused)
{
    for (const std::string& data : {"P6 1 1 255\n\x00\x00\x00"s, "P4\n1 1\n\x80"s,
                                    "p5 1 1 255\n\x00"s, "P52 1 255\n\x00"s, ""s, "GIF89a"s}) {
        const ReadResult r = readPgm(data);
        EXPECT_FALSE(r.ok) << data;
        EXPECT_EQ(r.output, message("it is not a PGM file (it does not start with P5 or P2)"))
            << data;
    }
}

TEST(PgmPicture, BadHeaderFieldsAreNamed)
{
    EXPECT_EQ(readPgm("P5 x 1 255\n").output, message("its width is not a number"));
    EXPECT_EQ(readPgm("P5 1 -1 255\n").output, message("its height is not a number"));
    EXPECT_EQ(readPgm("P5 12x 1 255\n").output, message("its width is not a number"));
    EXPECT_EQ(readPgm("P2 1 1 2.5\n").output, message("its maximum grey value is not a number"));
    EXPECT_EQ(readPgm("P5 1 1").output, message("the file ends inside its header"));
    EXPECT_EQ(readPgm("P5 1 1 255").output, message("the file ends inside its header"));
    EXPECT_EQ(readPgm("P2\n# only a comment").output, message("the file ends inside its header"));
}

TEST(PgmPicture, MaximumGreyValueMustBeFromOneTo65535)
{
    for (const char* max : {"0", "65536", "99999999999999"}) {
        const ReadResult r = readPgm("P5 1 1 "s + max + "\n\x00\x00"s);
        EXPECT_FALSE(r.ok) << max;
        EXPECT_EQ(r.output, message("its maximum grey value must be from 1 to 65535")) << max;
    }
    EXPECT_TRUE(readPgm("P5 1 1 65535\n" + be16(65535)).ok);
}

TEST(PgmPicture, SamplesAboveTheMaximumAreRefused)
{
    ReadResult r = readPgm("P5 2 2 100\n\x00\x00\x00\x65"s);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.output,
              message("the sample at row 1, column 1 exceeds the maximum grey value 100"));
    r = readPgm("P5 1 1 1000\n" + be16(1001));
    EXPECT_EQ(r.output,
              message("the sample at row 0, column 0 exceeds the maximum grey value 1000"));
    r = readPgm("P2 3 1 7\n7 8 0");
    EXPECT_EQ(r.output, message("the sample at row 0, column 1 exceeds the maximum grey value 7"));
}

TEST(PgmPicture, FewerSamplesThanPromisedAreRefused)
{
    for (const std::string& data :
         {"P5 3 2 255\n\x01\x02\x03\x04\x05"s, "P5 1 1 300\n\x01"s, "P5 1 1 255\n"s,
          "P2 2 2 255\n1 2 3 # the last is missing\n"s}) {
        const ReadResult r = readPgm(data);
        EXPECT_FALSE(r.ok) << data;
        EXPECT_EQ(r.output, message("the file ends before its last pixel")) << data;
    }
}

TEST(PgmPicture, PlainSamplesMustBeNumbers)
{
    const ReadResult r = readPgm("P2 2 1 255\n1 x\n");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.output, message("a sample at row 0, column 1 is not a number"));
    EXPECT_EQ(readPgm("P2 2 1 255\n1 -2\n").output,
              message("a sample at row 0, column 1 is not a number"));
}

TEST(PgmPicture, HugeSizesAreRefusedBeforeAnyRowIsAllocated)
{
    const std::string sides = message("its width and height must be from 1 to 32767");
    for (const char* header : {"P5 32768 1 255\n", "P5 1 99999999999 255\n", "P5 0 1 255\n"}) {
        const ReadResult r = readPgm(header);
        EXPECT_FALSE(r.ok) << header;
        EXPECT_EQ(r.output, sides) << header;
        EXPECT_TRUE(r.picture.darkPixels.empty()) << header;
    }
    const ReadResult r = readPgm("P5 32767 32767 255\n");
    EXPECT_EQ(r.output, message("it has more than 268435456 pixels"));
    EXPECT_TRUE(r.picture.darkPixels.empty());
}

TEST(PgmPicture, AShortFileWithinTheLimitsAllocatesOnlyTheRowsItReaches)
{
    const ReadResult r = readPgm("P5 16000 16000 255\n" + std::string(16010, '\x01'));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.output, message("the file ends before its last pixel"));
    EXPECT_EQ(r.picture.darkPixels.size(), 2u);
}
