#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "support/PictureFiles.h"
#include "support/TestSupport.h"
#include "support/TiffFiles.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::HasSubstr;
using ::testing::Not;
namespace fs = std::filesystem;

namespace
{

// A solution's row of the report, from the centre on.
struct ReportedEllipse {
    double centerX = 0;
    double centerY = 0;
    double majorAxis = 0;
    double minorAxis = 0;
    std::string parameters;
};

// The solutions the report lists for one image, sorted by centre.
std::vector<ReportedEllipse> solutionsOf(const std::string& report, const std::string& image)
{
    std::vector<ReportedEllipse> found;
    for (const std::string& line : linesOf(report)) {
        if (line.rfind(image + ",", 0) != 0)
            continue;
        // Past the name and the index.
        const std::string rest = line.substr(line.find(',', image.size() + 1) + 1);
        ReportedEllipse e;
        e.parameters = rest;
        std::istringstream fields(rest);
        char comma = 0;
        fields >> e.centerX >> comma >> e.centerY >> comma >> e.majorAxis >> comma >> e.minorAxis;
        found.push_back(e);
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.centerX < b.centerX; });
    return found;
}

std::size_t countOf(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Two thin ellipses of the detection tests, black on white.
BinaryImage twoEllipses()
{
    BinaryImage image = blankImage(320, 200);
    drawEllipse(image, 90, 100, 60, 35, 0.3);
    drawEllipse(image, 235, 95, 45, 70, 0.0);
    return image;
}

BinaryImage negative(BinaryImage image)
{
    for (auto& row : image.rows)
        for (std::uint8_t& pixel : row)
            pixel ^= 1;
    return image;
}

/// A folder of pictures run through the program itself.
class PictureInputTest : public ::testing::Test
{
  protected:
    RunResult run(const std::string& arguments) { return runKorvath(dir.path(), arguments); }
    std::string report() const { return readBytes(dir.file("r.csv")); }
    bool exists(const std::string& name) const { return fs::exists(dir.path() / name); }

    // Both ellipses found, where they were drawn, and as found in a PBM of the same drawing.
    void expectBothEllipses(const std::string& image, const std::string& reference)
    {
        const std::vector<ReportedEllipse> found = solutionsOf(report(), image);
        ASSERT_EQ(found.size(), 2u) << image;
        EXPECT_NEAR(found[0].centerX, 90, 3) << image;
        EXPECT_NEAR(found[0].centerY, 100, 3) << image;
        EXPECT_NEAR(found[0].majorAxis, 120, 5) << image;
        EXPECT_NEAR(found[0].minorAxis, 70, 5) << image;
        EXPECT_NEAR(found[1].centerX, 235, 3) << image;
        EXPECT_NEAR(found[1].centerY, 95, 3) << image;
        EXPECT_NEAR(found[1].majorAxis, 140, 5) << image;
        EXPECT_NEAR(found[1].minorAxis, 90, 5) << image;
        const std::vector<ReportedEllipse> expected = solutionsOf(report(), reference);
        ASSERT_EQ(expected.size(), 2u);
        EXPECT_EQ(found[0].parameters, expected[0].parameters) << image;
        EXPECT_EQ(found[1].parameters, expected[1].parameters) << image;
    }

    TempDir dir;
};

} // namespace

TEST_F(PictureInputTest, FindsBothEllipsesOfAPngAndOfAPgmDrawing)
{
    writePbm(dir.file("reference.pbm"), twoEllipses());
    writePng(dir.file("drawing.png"), twoEllipses());
    writePgm(dir.file("sketch.pgm"), twoEllipses());
    const RunResult result = run("--report r.csv reference.pbm drawing.png sketch.pgm");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_THAT(result.output, HasSubstr("Number of errors: 0\n"));
    // Two printed solutions per image.
    EXPECT_EQ(countOf(result.output, "\nCompleteness: "), 6u) << result.output;
    expectBothEllipses("drawing.png", "reference.pbm");
    expectBothEllipses("sketch.pgm", "reference.pbm");
    // How the active pixels were chosen is said only above the default verbosity.
    EXPECT_THAT(result.output, Not(HasSubstr("Active pixels")));
    EXPECT_TRUE(exists("drawing_quvex++.pgm"));
    EXPECT_TRUE(exists("sketch_quvex++.pgm"));
}

TEST_F(PictureInputTest, EdgeMapsAndScansStoredEitherWayNeedNoSwitch)
{
    writePbm(dir.file("reference.pbm"), twoEllipses());
    writePng(dir.file("map.PNG"), negative(twoEllipses()));
    writePgm(dir.file("negative.pgm"), negative(twoEllipses()));
    // A fax-coded scan of two pages, and a bilevel edge map stored white on black.
    writeTiff(dir.file("scan.tif"), twoEllipses(), 4, 2);
    writeTiff(dir.file("lines.tiff"), negative(twoEllipses()), 5);
    const RunResult result =
        run("-V 4 --report r.csv reference.pbm map.PNG negative.pgm scan.tif lines.tiff");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_THAT(result.output, HasSubstr("Number of errors: 0\n"));
    for (const char* name : {"map.PNG", "negative.pgm", "scan.tif", "lines.tiff"})
        expectBothEllipses(name, "reference.pbm");
    EXPECT_THAT(result.output,
                HasSubstr("Only the first page of scan.tif is read: the file holds "
                          "more\nActive pixels: the dark ones, fewer than the light"));
    EXPECT_EQ(countOf(result.output, "Active pixels: the light ones, fewer than the dark"), 3u);
}

TEST_F(PictureInputTest, AForcedSideComesFromTheOptionsAndOnlyOneSideCanBeForced)
{
    writePng(dir.file("edges.png"), negative(twoEllipses()));
    writeBytes(dir.file("settings.cfg"), "dark-is-active=1\n");
    const RunResult forced = run("-V 4 -e 100 edges.png");
    EXPECT_THAT(forced.output,
                HasSubstr("\nActive pixels: the dark ones, as --dark-is-active asks\n"));
    const RunResult both = run("--light-is-active edges.png");
    EXPECT_EQ(both.exitCode, 1);
    EXPECT_THAT(both.output, ::testing::StartsWith("Error: the options '--light-is-active' and "
                                                   "'--dark-is-active' cannot be given together"));
}

TEST_F(PictureInputTest, BadPicturesGetTheirMessageAndTheNextImageIsStillSearched)
{
    writePng(dir.file("first.png"), twoEllipses());
    const std::string good = readBytes(dir.file("first.png"));
    writeBytes(dir.file("broken.png"), good.substr(0, good.size() / 2));
    writeBytes(dir.file("huge.png"), withPngSize(good, 30000, 30000));
    writeBytes(dir.file("empty.pgm"), "P5 320 200 0\n");
    fs::create_directory(dir.path() / "folder.png");
    writePgm(dir.file("last.pgm"), twoEllipses());
    const RunResult result =
        run("--report r.csv first.png broken.png huge.png empty.pgm folder.png last.pgm");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_THAT(result.output, HasSubstr("Cannot read broken.png: the file is cut short.\n"
                                         "Unexpected error on (broken.png):\n"
                                         "Error trying to load image\n"));
    EXPECT_THAT(result.output, HasSubstr("Cannot read huge.png: it has more than 268435456 "
                                         "pixels.\nUnexpected error on (huge.png):\n"));
    EXPECT_THAT(result.output, HasSubstr("Cannot read empty.pgm: its maximum grey value must be "
                                         "from 1 to 65535.\nUnexpected error on (empty.pgm):\n"));
    EXPECT_THAT(result.output, HasSubstr("Cannot read folder.png: it is not a regular file.\n"));
    EXPECT_THAT(result.output, HasSubstr("Number of errors: 4\n"));
    EXPECT_THAT(result.output, HasSubstr("Processing image 6 of 6: last.pgm"));
    EXPECT_EQ(solutionsOf(report(), "first.png").size(), 2u);
    EXPECT_EQ(solutionsOf(report(), "last.pgm").size(), 2u);
    EXPECT_TRUE(exists("last_quvex++.pgm"));
    EXPECT_FALSE(exists("broken_quvex++.pgm"));
}
