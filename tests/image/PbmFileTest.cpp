#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "image/PbmFile.h"
#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::HasSubstr;

namespace
{

struct HeaderResult {
    bool failed;
    int width;
    int height;
    std::string output;
};

HeaderResult readHeader(const std::string& text)
{
    std::istringstream in(text);
    HeaderResult result{false, -1, -1, ""};
    CoutCapture capture;
    result.failed = !PBMB_READ_HEADER(in, result.width, result.height, std::cout);
    result.output = capture.text();
    return result;
}

} // namespace

TEST(PbmHeader, AcceptsTokensSpreadOverLinesWithComments)
{
    struct Case {
        const char* text;
        int width;
        int height;
    };
    const Case cases[] = {
        {"P4\n# a comment\n10 2\n", 10, 2},
        {"p4 10 2\n", 10, 2},
        {"P4\n\n5\n# between\n3 rest is ignored\n", 5, 3},
        {"P4\r\n7\t4\r\n", 7, 4},
        {"P4 7 4", 7, 4}, // the last line needs no line end
    };
    for (const Case& c : cases) {
        const HeaderResult result = readHeader(c.text);
        EXPECT_FALSE(result.failed) << c.text;
        EXPECT_EQ(result.width, c.width) << c.text;
        EXPECT_EQ(result.height, c.height) << c.text;
    }
}

TEST(PbmHeader, EndOfFileBeforeTheHeightFails)
{
    const std::string endOfFile = "\nPBMB_READ_HEADER - Fatal error!\n  End of file.\n";
    EXPECT_EQ(readHeader("P4\n10\n").output, endOfFile);
    EXPECT_EQ(readHeader("").output, endOfFile);
    // A hash that is not the first character of its line is not a comment.
    EXPECT_TRUE(readHeader("P4 10 # 2\n").failed);
}

TEST(PbmHeader, OverlongLineIsCutAndTheNextReadFails)
{
    // 254 characters are examined; the read after a longer line fails.
    const std::string longLine = "P4 10" + std::string(300, ' ') + "\n2\n";
    const HeaderResult result = readHeader(longLine);
    EXPECT_TRUE(result.failed);
    EXPECT_THAT(result.output, HasSubstr("End of file."));
    const std::string exact = "P4 10" + std::string(249, ' ') + "\n2\n"; // 254 characters
    EXPECT_FALSE(readHeader(exact).failed);
}

TEST(PbmHeader, RefusesWordsAndSidesThatDoNotFitAPoint)
{
    EXPECT_EQ(readHeader("P4 ten 2\n").output,
              "\nPBMB_READ_HEADER - Fatal error.\n  Bad width = \"ten\".\n");
    EXPECT_THAT(readHeader("P4 10 2x\n").output, HasSubstr("Bad height = \"2x\"."));
    EXPECT_THAT(readHeader("P4 0 2\n").output, HasSubstr("Illegal width = 0"));
    EXPECT_THAT(readHeader("P4 10 -3\n").output, HasSubstr("Illegal height = -3"));
    EXPECT_THAT(readHeader("P4 32768 2\n").output, HasSubstr("Illegal width = 32768"));
    EXPECT_THAT(readHeader("P4 99999999999999999999 2\n").output, HasSubstr("Illegal width"));
    EXPECT_FALSE(readHeader("P4 32767 1\n").failed);
}

TEST(PbmData, ReadsMostSignificantBitFirstAndIgnoresPadding)
{
    // 10 x 2: two bytes per row; the low 6 bits of each second byte are padding.
    std::istringstream in(std::string("\xA0\x7F\x01\xC0", 4));
    PixelRows rows(2);
    ASSERT_TRUE(PBMB_READ_DATA(rows, in, 10, 2, std::cout));
    EXPECT_EQ(rows[0], (std::vector<std::uint8_t>{1, 0, 1, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(rows[1], (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0, 1, 1, 1}));
}

TEST(PbmFile, ReadsAWholeFileAndReportsFailures)
{
    TempDir dir;
    writeBytes(dir.file("ok.pbm"), std::string("P4\n# c\n10 2\n\xA0\x7F\x01\xC0", 16));
    int width = 0;
    int height = 0;
    PixelRows rows;
    ASSERT_TRUE(PBMB_READ(dir.file("ok.pbm"), width, height, rows, std::cout));
    EXPECT_EQ(width, 10);
    EXPECT_EQ(height, 2);
    EXPECT_EQ(rows[1][9], 1);

    CoutCapture capture;
    EXPECT_FALSE(PBMB_READ(dir.file("missing.pbm"), width, height, rows, std::cout));
    writeBytes(dir.file("short.pbm"), std::string("P4\n10 2\n\xFF\xFF\xFF", 11));
    EXPECT_FALSE(PBMB_READ(dir.file("short.pbm"), width, height, rows, std::cout));
    writeBytes(dir.file("bad.pbm"), "P1\n1 1\n0\n");
    EXPECT_FALSE(PBMB_READ(dir.file("bad.pbm"), width, height, rows, std::cout));
    EXPECT_EQ(capture.text(),
              "\nPBMB_READ: Fatal error!\n  Cannot open the input file " + dir.file("missing.pbm") +
                  "\n"
                  "\nPBMB_CHECK_DATA - Fatal error!\n  Failed reading byte 3\n"
                  "\nPBMB_READ: Fatal error!\n  PBMB_READ_DATA failed.\n"
                  "\nPBMB_READ_HEADER - Fatal error.\n  Bad magic number = \"P1\".\n"
                  "\nPBMB_READ: Fatal error!\n  PBMB_READ_HEADER failed.\n");
}

TEST(PbmFile, HugeClaimedHeightFailsWithoutAllocatingTheRaster)
{
    TempDir dir;
    writeBytes(dir.file("liar.pbm"), "P4\n32767 32767\n\xFF");
    int width = 0;
    int height = 0;
    PixelRows rows;
    CoutCapture capture;
    EXPECT_FALSE(PBMB_READ(dir.file("liar.pbm"), width, height, rows, std::cout));
    EXPECT_THAT(capture.text(), HasSubstr("Failed reading byte 1\n"));
    // Only the first row was allocated.
    EXPECT_EQ(rows[0].size(), 32767u);
    EXPECT_TRUE(rows[1].empty());
}
