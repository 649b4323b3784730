#include <gtest/gtest.h>

#include <cmath>

#include "geometry/Pi.h"
#include "image/EdgeChains.h"
#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;

namespace
{

void drawSegment(BinaryImage& image, double x0, double y0, double x1, double y1)
{
    const int steps = static_cast<int>(4 * std::hypot(x1 - x0, y1 - y0)) + 1;
    for (int i = 0; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        image.rows[static_cast<std::size_t>(std::lround(y0 + t * (y1 - y0)))]
                  [static_cast<std::size_t>(std::lround(x0 + t * (x1 - x0)))] = 1;
    }
}

// Half of a circle, from angle `from` over pi.
void drawHalfCircle(BinaryImage& image, double cx, double cy, double r, double from)
{
    for (int i = 0; i <= 400; ++i) {
        const double t = from + PI * i / 400;
        image.rows[static_cast<std::size_t>(std::lround(cy + r * std::sin(t)))]
                  [static_cast<std::size_t>(std::lround(cx + r * std::cos(t)))] = 1;
    }
}

EdgeChains linked(const BinaryImage& image)
{
    return EdgeChains::link(image.rows, image.width, image.height);
}

double totalTurning(const EdgeChains& chains)
{
    double sum = 0;
    for (const EdgeChain& c : chains.chains())
        sum += c.turning;
    return sum;
}

} // namespace

TEST(EdgeChains, AClosedLoopIsOneChainTurningAllTheWayRound)
{
    BinaryImage image = blankImage(120, 120);
    drawEllipse(image, 60, 60, 40, 25, 0.4);
    const EdgeChains chains = linked(image);
    ASSERT_EQ(chains.size(), 1u);
    EXPECT_NEAR(chains[0].turning, 2 * PI, 0.8);
    EXPECT_GT(chains[0].length, 180.0); // the outline is about 207 pixels long
}

TEST(EdgeChains, AnEllipseTouchingAnotherFromInsideIsCutFromIt)
{
    // Both turn the same way through the point they share, so only their turning tells them
    // apart: no chain turns much more than once around.
    BinaryImage image = blankImage(140, 120);
    drawEllipse(image, 70, 60, 40, 22, 0.3);
    drawEllipse(image, 98.66, 68.86, 10, 7, 0.0);
    const EdgeChains chains = linked(image);
    ASSERT_GE(chains.size(), 2u);
    for (const EdgeChain& chain : chains.chains())
        EXPECT_LT(chain.turning, 2 * PI + 1.5);
    EXPECT_GT(totalTurning(chains), 3 * PI);
}

struct DashPattern {
    double dash, gap; // radians along a circle of radius 40
};

class DashedCircle : public ::testing::TestWithParam<DashPattern>
{
};

TEST_P(DashedCircle, DashesAreLinkedAcrossTheirGaps)
{
    const DashPattern pattern = GetParam();
    BinaryImage dashed = blankImage(120, 120);
    for (double from = 0; from + pattern.dash < 2 * PI; from += pattern.dash + pattern.gap)
        for (int i = 0; i <= 80; ++i) {
            const double t = from + pattern.dash * i / 80;
            dashed.rows[static_cast<std::size_t>(std::lround(60 + 40 * std::sin(t)))]
                       [static_cast<std::size_t>(std::lround(60 + 40 * std::cos(t)))] = 1;
        }
    EXPECT_GT(totalTurning(linked(dashed)), 1.5 * PI);
}

// Dashes of 6 px with gaps of 5 px; dashes of 10 px (more pixels, with their staircase's
// corners) with gaps of 4 px.
INSTANTIATE_TEST_SUITE_P(EdgeChains, DashedCircle,
                         ::testing::Values(DashPattern{0.15, 0.125}, DashPattern{0.25, 0.1}));

TEST(EdgeChains, LinesAndCornersGiveNoChain)
{
    // A square: four straight sides meeting at corners; linked round it would turn 2 pi.
    BinaryImage image = blankImage(100, 100);
    drawSegment(image, 10, 10, 60, 10);
    drawSegment(image, 60, 10, 60, 60);
    drawSegment(image, 60, 60, 10, 60);
    drawSegment(image, 10, 60, 10, 10);
    drawSegment(image, 70, 90, 95, 70);
    EXPECT_EQ(linked(image).size(), 0u);
}

TEST(EdgeChains, AnInflectionSplitsACurveIntoArcsOfOppositeSense)
{
    BinaryImage image = blankImage(140, 80);
    drawHalfCircle(image, 40, 40, 25, PI); // upper half, left to right
    drawHalfCircle(image, 90, 40, 25, 0);  // lower half, continuing: an S
    const EdgeChains chains = linked(image);
    ASSERT_EQ(chains.size(), 2u);
    EXPECT_NE(chains[0].sense, chains[1].sense);
    for (const EdgeChain& c : chains.chains())
        EXPECT_NEAR(c.turning, PI, 0.6);
}

TEST(EdgeChains, ABranchLeavesTheCurveItMeetsWhole)
{
    BinaryImage image = blankImage(120, 120);
    drawEllipse(image, 60, 60, 30, 30, 0);
    drawSegment(image, 90, 60, 118, 60); // a spoke leaving the circle
    const EdgeChains chains = linked(image);
    // The spoke is straight and dropped; the circle turns nearly all the way round.
    EXPECT_NEAR(totalTurning(chains), 2 * PI, 1.0);
    for (const EdgeChain& c : chains.chains())
        EXPECT_GT(c.turning, 1.0);
}

TEST(EdgeChains, ArcsOfOneEllipseAreConvexTogetherAndFacingArcsAreNot)
{
    BinaryImage image = blankImage(200, 120);
    drawHalfCircle(image, 60, 60, 40, PI); // upper half of one circle
    drawHalfCircle(image, 60, 60, 40, 0);  // its lower half, apart from it by a gap
    image.rows[60][20] = image.rows[60][100] = 0;
    image.rows[61][20] = image.rows[61][100] = image.rows[59][20] = image.rows[59][100] = 0;
    drawHalfCircle(image, 150, 20, 30, 0); // an arc bulging the other way, beside it
    const EdgeChains chains = linked(image);
    ASSERT_EQ(chains.size(), 3u);
    int together = 0;
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = i + 1; j < 3; ++j)
            together += EdgeChains::convexTogether(chains[i], chains[j]);
    EXPECT_EQ(together, 1);
}
