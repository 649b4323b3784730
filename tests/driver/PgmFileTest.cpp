#include <gtest/gtest.h>

#include "driver/PgmFile.h"
#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;

TEST(PgmFile, WritesHeaderWithLargestValueAndRawRows)
{
    TempDir dir;
    const PixelRows rows = {{0, 255, 190}, {255, 0, 0}};
    ASSERT_FALSE(PGMB_WRITE(dir.file("a.pgm"), 2, rows, 3, std::cout));
    EXPECT_EQ(readBytes(dir.file("a.pgm")),
              std::string("P5 3 2 255\n\x00\xFF\xBE\xFF\x00\x00", 17));

    const PixelRows zeros = {{0, 0}};
    ASSERT_FALSE(PGMB_WRITE(dir.file("z.pgm"), 1, zeros, 2, std::cout));
    EXPECT_EQ(readBytes(dir.file("z.pgm")), std::string("P5 2 1 0\n\x00\x00", 11));
}

TEST(PgmFile, UnwritableFileIsReported)
{
    TempDir dir;
    const std::string path = dir.file("no/such/folder.pgm");
    CoutCapture capture;
    EXPECT_TRUE(PGMB_WRITE(path, 1, PixelRows{{1}}, 1, std::cout));
    EXPECT_EQ(capture.text(),
              "\nPGMB_WRITE: Fatal error!\n  Cannot open the output file " + path + "\n");
}
