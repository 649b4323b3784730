#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "driver/ReportWriter.h"
#include "geometry/Pi.h"
#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::HasSubstr;

namespace
{

std::vector<std::string> fieldsOf(const std::string& line)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ','))
        fields.push_back(field);
    return fields;
}

const char* const reportHeader =
    "image,index,center_x,center_y,major_axis,minor_axis,angle,completeness,distance";

} // namespace

TEST(Report, OneRowPerSolutionWithTheEllipseParameters)
{
    TempDir dir;
    writePbm(dir.file("circle.pbm"), circleImage());
    BinaryImage ellipse = blankImage(240, 200);
    drawEllipse(ellipse, 120, 100, 70, 35, 0.5);
    writePbm(dir.file("ellipse.pbm"), ellipse);
    writePbm(dir.file("few.pbm"), imageFromText({"#.#"}));

    const RunResult result =
        runKorvath(dir.path(), "-V 0 --report out.csv circle.pbm few.pbm ellipse.pbm");
    ASSERT_EQ(result.exitCode, 0);
    const std::vector<std::string> lines = linesOf(readBytes(dir.file("out.csv")));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], reportHeader);

    const auto c = fieldsOf(lines[1]);
    ASSERT_EQ(c.size(), 9u);
    EXPECT_EQ(c[0], "circle.pbm");
    EXPECT_EQ(c[1], "0");
    EXPECT_NEAR(std::stod(c[2]), 100, 2);
    EXPECT_NEAR(std::stod(c[3]), 100, 2);
    EXPECT_NEAR(std::stod(c[4]), 80, 4);
    EXPECT_NEAR(std::stod(c[5]), 80, 4);
    EXPECT_GE(std::stod(c[7]), 0.9);

    const auto e = fieldsOf(lines[2]);
    EXPECT_EQ(e[0], "ellipse.pbm");
    EXPECT_NEAR(std::stod(e[2]), 120, 2);
    EXPECT_NEAR(std::stod(e[4]), 140, 4);
    EXPECT_NEAR(std::stod(e[5]), 70, 4);
    EXPECT_NEAR(std::remainder(std::stod(e[6]) - 0.5, PI), 0.0, 0.1);
    // Doubles written with enough digits to read back exactly.
    EXPECT_GE(e[7].size(), 10u);
}

TEST(Report, RefinedSolutionsGiveRealParameters)
{
    TempDir dir;
    BinaryImage ellipse = blankImage(240, 200);
    drawEllipse(ellipse, 120.3, 99.6, 70, 35, 0.5);
    writePbm(dir.file("ellipse.pbm"), ellipse);
    const RunResult result =
        runKorvath(dir.path(), "-V 0 --validate --refine --report out.csv ellipse.pbm");
    ASSERT_EQ(result.exitCode, 0);
    const std::vector<std::string> lines = linesOf(readBytes(dir.file("out.csv")));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], reportHeader);
    const auto e = fieldsOf(lines[1]);
    ASSERT_EQ(e.size(), 9u);
    EXPECT_NEAR(std::stod(e[2]), 120.3, 0.2);
    EXPECT_NEAR(std::stod(e[3]), 99.6, 0.2);
    EXPECT_NEAR(std::stod(e[4]), 140, 0.5);
    EXPECT_NEAR(std::stod(e[5]), 70, 0.5);
    EXPECT_NEAR(std::remainder(std::stod(e[6]) - 0.5, PI), 0.0, 0.01);
    // Full precision, not whole pixels.
    EXPECT_GE(e[2].size(), 10u);
}

TEST(Report, OddNamesAreQuoted)
{
    EXPECT_EQ(ReportWriter::quoteField("plain.pbm"), "plain.pbm");
    EXPECT_EQ(ReportWriter::quoteField("a,b.pbm"), "\"a,b.pbm\"");
    EXPECT_EQ(ReportWriter::quoteField("say \"hi\".pbm"), "\"say \"\"hi\"\".pbm\"");
    EXPECT_EQ(ReportWriter::quoteField("two\nlines.pbm"), "\"two\nlines.pbm\"");

    TempDir dir;
    BinaryImage circle = circleImage();
    writePbm(dir.file("we,ird.pbm"), circle);
    runKorvath(dir.path(), "-V 0 --report out.csv 'we,ird.pbm'");
    EXPECT_THAT(readBytes(dir.file("out.csv")), HasSubstr("\n\"we,ird.pbm\",0,"));
}
