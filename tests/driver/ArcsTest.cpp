#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "core/Random.h"
#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::HasSubstr;
using ::testing::Not;

namespace
{

struct Spent {
    long evaluations = -1;
    long solutions = -1;
};

Spent spentBy(const std::string& output)
{
    std::smatch m;
    Spent spent;
    if (std::regex_search(
            output, m, std::regex("Elapsed time to ([0-9]+) evaluations and ([0-9]+) solutions")))
        spent = {std::stol(m[1]), std::stol(m[2])};
    return spent;
}

// An ellipse among 60 short straight strokes scattered over the picture.
BinaryImage ellipseInClutter()
{
    BinaryImage image = blankImage(240, 200);
    drawEllipse(image, 120, 100, 70, 45, 0.3);
    RandomGenerator random;
    random.seed(3);
    for (int stroke = 0; stroke < 60; ++stroke) {
        const double x0 = random.randomReal(0, 239);
        const double y0 = random.randomReal(0, 199);
        const double angle = random.randomReal(0, 3.14159);
        const double length = random.randomReal(5, 25);
        for (double s = 0; s <= length; s += 0.25) {
            const long x = std::lround(x0 + s * std::cos(angle));
            const long y = std::lround(y0 + s * std::sin(angle));
            if (x >= 0 && x < 240 && y >= 0 && y < 200)
                image.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = 1;
        }
    }
    return image;
}

} // namespace

TEST(Arcs, EdgeChainsFindAnEllipseInClutterWithAFractionOfTheEvaluations)
{
    TempDir dir;
    writePbm(dir.file("clutter.pbm"), ellipseInClutter());
    const Spent plain = spentBy(runKorvath(dir.path(), "-V 0 clutter.pbm").output);
    const Spent chained = spentBy(runKorvath(dir.path(), "-V 0 --arcs clutter.pbm").output);
    EXPECT_EQ(chained.solutions, 1);
    EXPECT_GE(plain.evaluations, 0);
    EXPECT_LT(chained.evaluations * 10, plain.evaluations);
}

TEST(Arcs, TheSearchEndsWhenTheChainsAreUsedUp)
{
    TempDir dir;
    BinaryImage image = blankImage(100, 100);
    drawEllipse(image, 30, 30, 15, 10, 0);
    writePbm(dir.file("one.pbm"), image);
    const RunResult result = runKorvath(dir.path(), "-V 2 --arcs one.pbm");
    EXPECT_THAT(result.output,
                HasSubstr("Execution stopped because no edge chain is left to seed a candidate"));
    EXPECT_EQ(spentBy(result.output).solutions, 1);
}

TEST(Arcs, EllipsesBeyondTheCapAreSaidToNeedMaxAxisAndFoundWithIt)
{
    TempDir dir;
    BinaryImage image = blankImage(700, 500);
    drawEllipse(image, 350, 250, 250, 175, 0);
    writePbm(dir.file("big.pbm"), image);
    const RunResult capped = runKorvath(dir.path(), "-V 0 big.pbm");
    EXPECT_EQ(spentBy(capped.output).solutions, 0);
    EXPECT_THAT(capped.output, HasSubstr("Ellipses with a major axis of 400 pixels or more are "
                                         "not searched for: --max-axis 0 allows any size"));
    for (const char* options : {"--max-axis 0", "--max-axis 600 --arcs"}) {
        const RunResult open =
            runKorvath(dir.path(), std::string("-V 0 --report r.csv ") + options + " big.pbm");
        EXPECT_EQ(spentBy(open.output).solutions, 1) << options;
        EXPECT_THAT(open.output, Not(HasSubstr("--max-axis 0 allows"))) << options;
        EXPECT_THAT(readBytes(dir.file("r.csv")), HasSubstr("\nbig.pbm,0,350,250,500,"));
    }
}
