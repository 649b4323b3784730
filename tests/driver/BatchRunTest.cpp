#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "core/RunContext.h"
#include "driver/OutputImage.h"
#include "image/PbmFile.h"
#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;

namespace
{

// Runs the program in a temporary folder holding a few generated images.
class BatchRunTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        const BinaryImage circle = circleImage();
        writePbm(dir.file("circle.pbm"), circle);
        writePbm(dir.file("a.b.pbm"), circle);
        std::filesystem::create_directory(dir.path() / "sub");
        writePbm(dir.file("sub/circle.pbm"), circle);
        writeBmp(dir.file("circle.bmp"), circle);
        writePbm(dir.file("few.pbm"), imageFromText({"#.#.#.#", ".......", "#.#.#.#"}));
    }

    RunResult run(const std::string& arguments) { return runKorvath(dir.path(), arguments); }

    // Lines that do not depend on the clock.
    static std::vector<std::string> stableLines(const std::string& output)
    {
        std::vector<std::string> lines;
        for (const std::string& line : linesOf(output))
            if (line.find("secs.") == std::string::npos &&
                line.find("per second") == std::string::npos)
                lines.push_back(line);
        return lines;
    }

    TempDir dir;
};

} // namespace

TEST_F(BatchRunTest, ResultImageShowsEveryInputPixelAndTheEllipseInGrey)
{
    const RunResult result = run("circle.pbm");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_THAT(result.output, HasSubstr("\n\n***********************************\n\nProcessing "
                                         "image 1 of 1: circle.pbm\n"));
    EXPECT_THAT(result.output, HasSubstr("\n0 solutions found so far. 1 more being explored...\n\n"
                                         "Starting step 1. So far, "));
    EXPECT_THAT(result.output, ContainsRegex("Completeness: 0\\.9[0-9]* Distance:[0-9.e-]+\n"));
    EXPECT_THAT(result.output, ContainsRegex("Evaluations per second:[0-9.e+inf]+\nAverage "
                                             "Completeness: [0-9.]+ Average Distance: [0-9.e-]+\n\n"
                                             "\\+{37}\n\nTerminated successfully\n\nNumber of "
                                             "errors: 0\nProgram execution time: "));

    BinaryImage input;
    ASSERT_TRUE(input.load(dir.file("circle.pbm"), std::cout));
    const std::string pgm = readBytes(dir.file("circle_quvex++.pgm"));
    ASSERT_EQ(pgm.substr(0, 15), "P5 200 200 255\n");
    const std::string raster = pgm.substr(15);
    ASSERT_EQ(raster.size(), 200u * 200u);
    int grey = 0;
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 200; ++x) {
            const auto value =
                static_cast<unsigned char>(raster[static_cast<std::size_t>(y * 200 + x)]);
            ASSERT_TRUE(value == 0 || value == 190 || value == 255);
            if (input.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]) {
                ASSERT_EQ(value, 0);
            }
            grey += value == 190;
        }
    }
    EXPECT_GT(grey, 500);
}

TEST_F(BatchRunTest, ResultNamesFollowTheStem)
{
    const RunResult result = run("a.b.pbm sub/circle.pbm");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "a.b_quvex++.pgm"));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "sub" / "circle_quvex++.pgm"));
    EXPECT_THAT(result.output, HasSubstr("Processing image 2 of 2: sub/circle.pbm\n"));
}

TEST_F(BatchRunTest, DepletedImageFindsNothingAndCountsAnError)
{
    const RunResult result = run("few.pbm");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_THAT(result.output,
                HasSubstr("Execution stopped because image has been depleted of active pixels "
                          "(every ellipse was probably detected)\n\nNothing Found\nElapsed time "
                          "to 0 evaluations and 0 solutions: "));
    EXPECT_THAT(result.output,
                ContainsRegex("Average Completeness: -?nan Average Distance: -?nan"));
    EXPECT_THAT(result.output, HasSubstr("Number of errors: 1\n"));
    EXPECT_THAT(result.output, ContainsRegex("Average time per image: (inf|-?nan)secs.\n$"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "few_quvex++.pgm"));
}

TEST_F(BatchRunTest, SameImageTwiceGivesTheSameResults)
{
    BinaryImage two = blankImage(320, 200);
    drawEllipse(two, 90, 100, 60, 35, 0.3);
    drawEllipse(two, 235, 95, 45, 70, 0.0);
    writePbm(dir.file("two.pbm"), two);
    const RunResult result = run("two.pbm two.pbm");
    const std::vector<std::string> lines = stableLines(result.output);
    const auto second =
        std::find(lines.begin() + 1, lines.end(), "Processing image 2 of 2: two.pbm");
    ASSERT_NE(second, lines.end());
    const auto first = std::find(lines.begin(), lines.end(), "Processing image 1 of 2: two.pbm");
    const std::vector<std::string> one(first + 1, second - 2);
    const std::vector<std::string> other(second + 1, second + 1 + static_cast<long>(one.size()));
    EXPECT_EQ(one, other);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.rfind("Completeness: ", 0) == 0; }),
              4);
}

TEST_F(BatchRunTest, TheSeedOptionSeedsTheSearch)
{
    EXPECT_EQ(stableLines(run("--seed 311 circle.pbm").output),
              stableLines(run("circle.pbm").output));
    EXPECT_NE(stableLines(run("--seed 7 circle.pbm").output),
              stableLines(run("circle.pbm").output));
}

TEST_F(BatchRunTest, BmpInputGivesTheSameResultsAsPbm)
{
    const auto pbm = stableLines(run("-V 0 circle.pbm").output);
    const auto bmp = stableLines(run("-V 0 circle.bmp").output);
    EXPECT_EQ(pbm, bmp);
    EXPECT_EQ(readBytes(dir.file("circle_quvex++.pgm")).size(), 15u + 200u * 200u);
}

TEST(OutputImage, WithoutChromosomesItIsTheExactInversion)
{
    resetSettings();
    const BinaryImage source = imageFromText({"#..", ".#.", "..#"});
    const BinaryImage output =
        makeOutputImage(source, {}, false, testRun().settings.drawingThickness);
    EXPECT_EQ(output.rows, (PixelRows{{0, 255, 255}, {255, 0, 255}, {255, 255, 0}}));
    EXPECT_EQ(resultImageName("dir.x/pic.pbm"), "dir.x/pic_quvex++.pgm");
    EXPECT_EQ(stepImageName("pic.pbm", 12), "pic_quvex++TMP (Step 12).pgm");
}

TEST(OutputImage, TheSecondReadMustGiveThePictureThatWasSearched)
{
    TempDir dir;
    const std::string file = dir.file("scene.pbm");
    writePbm(file, blankImage(20, 10));
    std::ostringstream out;
    BinaryImage fresh;
    EXPECT_TRUE(rereadInput(fresh, file, 20, 10, ActiveSide::Dark, out));
    EXPECT_EQ(out.str(), "");

    EXPECT_FALSE(rereadInput(fresh, file, 20, 11, ActiveSide::Dark, out));
    EXPECT_THAT(out.str(), HasSubstr("No result image for " + file +
                                     ": it is now 20x10 pixels, not the 20x11 searched.\n"));

    std::filesystem::remove(file);
    out.str("");
    EXPECT_FALSE(rereadInput(fresh, file, 20, 10, ActiveSide::Dark, out));
    EXPECT_THAT(out.str(),
                HasSubstr("No result image for " + file + ": it can no longer be read.\n"));
}
