#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "genetic/ArcGrouping.h"
#include "geometry/ConicFit.h"
#include "geometry/Pi.h"
#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;

namespace
{

// The ellipse of centre (100, 80), semi-axes 60 and 40, from parameter `from` to `to`.
void drawArc(BinaryImage& image, double from, double to)
{
    for (int i = 0; i <= 2000; ++i) {
        const double t = from + (to - from) * i / 2000;
        image.rows[static_cast<std::size_t>(std::lround(80 + 40 * std::sin(t)))]
                  [static_cast<std::size_t>(std::lround(100 + 60 * std::cos(t)))] = 1;
    }
}

std::uint32_t chainThrough(const EdgeChains& chains, Point p)
{
    for (std::uint32_t id = 0; id < chains.size(); ++id)
        if (std::find(chains[id].pixels.begin(), chains[id].pixels.end(), p) !=
            chains[id].pixels.end())
            return id;
    return static_cast<std::uint32_t>(chains.size());
}

} // namespace

TEST(ArcGrouping, TheOtherArcsOfAnOutlineJoinTheFitAndACrossingLineDoesNot)
{
    // Four arcs of one ellipse with gaps between them, a line across it and a circle beside.
    BinaryImage image = blankImage(220, 160);
    for (int quarter = 0; quarter < 4; ++quarter)
        drawArc(image, quarter * PI / 2 + 0.15, (quarter + 1) * PI / 2 - 0.15);
    for (int x = 30; x < 190; ++x)
        image.rows[static_cast<std::size_t>(20 + x / 4)][static_cast<std::size_t>(x)] = 1;
    drawEllipse(image, 185, 130, 15, 15, 0.0);
    const EdgeChains chains = EdgeChains::link(image.rows, image.width, image.height);
    // Seeds: two opposite arcs; the two others are to join, the line and the circle not.
    const Point arcs[] = {{142, 108}, {58, 108}, {58, 52}, {142, 52}};
    const std::vector<std::uint32_t> seeds{chainThrough(chains, arcs[0]),
                                           chainThrough(chains, arcs[2])};
    ASSERT_LT(seeds[0], chains.size());
    ASSERT_LT(seeds[1], chains.size());
    std::vector<PlanePoint> points;
    for (std::uint32_t id : seeds)
        for (Point p : chains[id].pixels)
            points.push_back({double(p.x), double(p.y)});
    EllipseParameters fit;
    ASSERT_TRUE(ConicFit::fitAlgebraic(points, fit));

    ArcGrouping grouping(chains);
    const std::vector<Point> around = grouping.grow(chains, seeds, fit);
    const auto holds = [&around](Point p) {
        return std::find(around.begin(), around.end(), p) != around.end();
    };
    for (Point arc : arcs)
        for (Point p : chains[chainThrough(chains, arc)].pixels)
            EXPECT_TRUE(holds(p)) << p.x << "," << p.y;
    EXPECT_FALSE(holds({40, 30}));
    EXPECT_FALSE(holds({185, 115}));
    EXPECT_NEAR(fit.centerX, 100.0, 0.5);
    EXPECT_NEAR(fit.centerY, 80.0, 0.5);
    EXPECT_NEAR(fit.majorAxis, 120.0, 1.0);
    EXPECT_NEAR(fit.minorAxis, 80.0, 1.0);
}
