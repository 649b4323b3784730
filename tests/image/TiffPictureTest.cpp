#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include <tiffio.h>

#include "image/TiffPicture.h"
#include "support/PictureFiles.h"
#include "support/TestSupport.h"
#include "support/TiffFiles.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::StartsWith;

namespace
{

using Samples = std::vector<std::vector<std::uint16_t>>;

// Reads the file as the program does, through a stream of its bytes.
ReadResult<TiffPicture> readTiff(const std::string& path)
{
    return readPicture<TiffPicture>(readBytes(path), "x.tif");
}

// Sends what is written on the standard error descriptor to a file while it lives.
class StderrToFile
{
  public:
    explicit StderrToFile(const std::string& path)
    {
        std::fflush(stderr);
        saved_ = dup(2);
        const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(file, 2);
        close(file);
    }
    ~StderrToFile()
    {
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
    }
    StderrToFile(const StderrToFile&) = delete;
    StderrToFile& operator=(const StderrToFile&) = delete;

  private:
    int saved_ = -1;
};

// An irregular bilevel drawing over two strips: 1 where dark.
const PixelRows DRAWING = {{1, 0, 0, 1, 1, 0, 1, 0, 0, 0, 1, 1, 0},
                           {0, 1, 1, 0, 0, 0, 0, 1, 1, 1, 0, 0, 1},
                           {1, 1, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0}};

struct Bilevel {
    int compression;
    int photometric;
};

class TiffBilevel : public ::testing::TestWithParam<Bilevel>
{
};

} // namespace

TEST_P(TiffBilevel, ReadsEveryCompressionInEitherPhotometricInterpretation)
{
    const Bilevel b = GetParam();
    TempDir dir;
    TiffLayout layout;
    layout.compression = b.compression;
    layout.photometric = b.photometric;
    layout.bitsPerSample = 1;
    layout.rowsPerStrip = 2;
    Samples samples;
    for (const auto& row : DRAWING) {
        auto& out = samples.emplace_back();
        // Black is 1 where 0 is white, 0 where 0 is black.
        for (std::uint8_t dark : row)
            out.push_back(b.photometric == PHOTOMETRIC_MINISWHITE ? dark : 1 - dark);
    }
    writeTiff(dir.file("x.tif"), 13, 3, layout, samples);
    const auto r = readTiff(dir.file("x.tif"));
    ASSERT_TRUE(r.ok) << r.output;
    EXPECT_EQ(r.output, "");
    EXPECT_EQ(r.picture.width, 13);
    EXPECT_EQ(r.picture.height, 3);
    EXPECT_EQ(r.picture.darkPixels, DRAWING);
    EXPECT_FALSE(r.picture.morePages);
}

INSTANTIATE_TEST_SUITE_P(Compressions, TiffBilevel,
                         ::testing::Values(Bilevel{COMPRESSION_NONE, PHOTOMETRIC_MINISWHITE},
                                           Bilevel{COMPRESSION_NONE, PHOTOMETRIC_MINISBLACK},
                                           Bilevel{COMPRESSION_PACKBITS, PHOTOMETRIC_MINISWHITE},
                                           Bilevel{COMPRESSION_PACKBITS, PHOTOMETRIC_MINISBLACK},
                                           Bilevel{COMPRESSION_LZW, PHOTOMETRIC_MINISWHITE},
                                           Bilevel{COMPRESSION_LZW, PHOTOMETRIC_MINISBLACK},
                                           Bilevel{COMPRESSION_CCITTFAX3, PHOTOMETRIC_MINISWHITE},
                                           Bilevel{COMPRESSION_CCITTFAX3, PHOTOMETRIC_MINISBLACK},
                                           Bilevel{COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE},
                                           Bilevel{COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISBLACK}));

namespace
{

// A picture of two pixels, the darkest light one's neighbour the lightest dark one: the
// threshold at the middle of the scale, as for PNG and PGM.
struct Coloured {
    const char* name;
    int photometric;
    int bitsPerSample;
    int samplesPerPixel;
    std::vector<std::uint16_t> row;
};

class TiffColours : public ::testing::TestWithParam<Coloured>
{
};

// A palette of 16 entries: 3 is the lightest dark colour, 4 the darkest light one.
void setPalette(TiffLayout& layout, std::size_t entries)
{
    layout.red.assign(entries, 65535);
    layout.green.assign(entries, 65535);
    layout.blue.assign(entries, 65535);
    // Sums of 3 * 32895 and 3 * 32896 of 3 * 65535.
    layout.red[3] = layout.green[3] = layout.blue[3] = 32895;
    layout.red[4] = layout.green[4] = layout.blue[4] = 32896;
}

} // namespace

TEST_P(TiffColours, TheMiddleOfTheScaleSeparatesDarkFromLight)
{
    const Coloured c = GetParam();
    TempDir dir;
    TiffLayout layout;
    layout.photometric = c.photometric;
    layout.bitsPerSample = c.bitsPerSample;
    layout.samplesPerPixel = c.samplesPerPixel;
    layout.compression = COMPRESSION_LZW;
    if (c.photometric == PHOTOMETRIC_PALETTE)
        setPalette(layout, std::size_t{1} << c.bitsPerSample);
    writeTiff(dir.file("x.tif"), 2, 1, layout, {c.row});
    const auto r = readTiff(dir.file("x.tif"));
    ASSERT_TRUE(r.ok) << r.output;
    EXPECT_EQ(r.picture.darkPixels, (PixelRows{{1, 0}}));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, TiffColours,
    ::testing::Values(
        Coloured{"Grey4", PHOTOMETRIC_MINISBLACK, 4, 1, {7, 8}},
        Coloured{"Grey8", PHOTOMETRIC_MINISBLACK, 8, 1, {127, 128}},
        Coloured{"Grey8MinIsWhite", PHOTOMETRIC_MINISWHITE, 8, 1, {128, 127}},
        Coloured{"Grey16", PHOTOMETRIC_MINISBLACK, 16, 1, {32895, 32896}},
        Coloured{"GreyAlpha8", PHOTOMETRIC_MINISBLACK, 8, 2, {127, 255, 128, 0}},
        Coloured{"Rgb8", PHOTOMETRIC_RGB, 8, 3, {127, 128, 128, 128, 128, 128}},
        Coloured{"Rgba8", PHOTOMETRIC_RGB, 8, 4, {127, 128, 128, 255, 128, 128, 128, 0}},
        Coloured{"Rgb16", PHOTOMETRIC_RGB, 16, 3, {32895, 32895, 32895, 32896, 32896, 32896}},
        Coloured{"Palette4", PHOTOMETRIC_PALETTE, 4, 1, {3, 4}},
        Coloured{"Palette8", PHOTOMETRIC_PALETTE, 8, 1, {3, 4}}),
    [](const auto& layout) { return std::string(layout.param.name); });

TEST(TiffPicture, ReadsTiledPicturesWhoseEdgeTilesRunPastThePicture)
{
    TempDir dir;
    // 37 x 21 pixels in tiles of 16: three columns and two rows of tiles, the last ones partly
    // outside; dark where (x * 7 + y * 3) % 5 is 0.
    PixelRows expected(21, std::vector<std::uint8_t>(37, 0));
    Samples grey(21);
    Samples bits(21);
    for (std::size_t y = 0; y < 21; ++y) {
        for (std::size_t x = 0; x < 37; ++x) {
            expected[y][x] = (x * 7 + y * 3) % 5 == 0 ? 1 : 0;
            grey[y].push_back(expected[y][x] ? 100 : 200);
            bits[y].push_back(expected[y][x]);
        }
    }
    TiffLayout layout;
    layout.tileSide = 16;
    layout.compression = COMPRESSION_LZW;
    writeTiff(dir.file("grey.tif"), 37, 21, layout, grey);
    layout.bitsPerSample = 1;
    layout.photometric = PHOTOMETRIC_MINISWHITE;
    layout.compression = COMPRESSION_CCITTFAX4;
    writeTiff(dir.file("fax.tif"), 37, 21, layout, bits);
    for (const char* name : {"grey.tif", "fax.tif"}) {
        const auto r = readTiff(dir.file(name));
        ASSERT_TRUE(r.ok) << name << r.output;
        EXPECT_EQ(r.picture.darkPixels, expected) << name;
    }
}

TEST(TiffPicture, RefusesSizesBeyondTheLimitsBeforeReadingAnyPixel)
{
    TempDir dir;
    const std::pair<std::uint32_t, std::uint32_t> sides[] = {{32768, 1}, {1, 32768}, {32767, 8193}};
    const std::string reasons[] = {"its width and height must be from 1 to 32767",
                                   "its width and height must be from 1 to 32767",
                                   "it has more than 268435456 pixels"};
    for (std::size_t k = 0; k < 3; ++k) {
        const auto r =
            readPicture<TiffPicture>(tiffWithSize(sides[k].first, sides[k].second), "x.tif");
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.output, cannotRead("x.tif", reasons[k]));
        EXPECT_TRUE(r.picture.darkPixels.empty());
    }
}

TEST(TiffPicture, ABadFileFailsWithOneMessageAndNothingOnStandardError)
{
    TempDir dir;
    BinaryImage image = blankImage(64, 64);
    drawEllipse(image, 32, 32, 25, 15, 0.4);
    writeTiff(dir.file("whole.tif"), image, COMPRESSION_LZW);
    const std::string whole = readBytes(dir.file("whole.tif"));
    ReadResult<TiffPicture> notTiff;
    ReadResult<TiffPicture> cutShort;
    ReadResult<TiffPicture> noisyPixels;
    {
        const StderrToFile redirect(dir.file("stderr.txt"));
        notTiff = readPicture<TiffPicture>("P5 1 1 255\n\x01", "x.tif");
        cutShort = readPicture<TiffPicture>(whole.substr(0, 6), "x.tif");
        // The directory follows the pixels, which are given up as noise.
        std::string noise = whole;
        for (std::size_t at = 8; at < 40; ++at)
            noise[at] = static_cast<char>(at * 37);
        noisyPixels = readPicture<TiffPicture>(noise, "x.tif");
    }
    EXPECT_EQ(readBytes(dir.file("stderr.txt")), "");
    EXPECT_EQ(notTiff.output, cannotRead("x.tif", "it is not a TIFF file"));
    for (const auto* r : {&cutShort, &noisyPixels}) {
        EXPECT_FALSE(r->ok);
        EXPECT_THAT(r->output, StartsWith("\nCannot read x.tif: "));
        EXPECT_EQ(r->output.find("\nCannot read", 1), std::string::npos) << r->output;
        EXPECT_TRUE(r->picture.darkPixels.empty());
    }
}
