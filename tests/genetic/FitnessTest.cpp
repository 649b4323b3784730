#include <gtest/gtest.h>

#include "support/TwoEllipseFixture.h"

using namespace Trelm;
using namespace Trelm::test;

namespace
{

// Evaluates a hand-made outline around (50, 50) with axes 60 and 40 in a 100 x 100 image.
// Two far corner pixels keep the bounding box clear of the pixels under test.
class FitnessTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        resetSettings();
        BinaryImage image = blankImage(100, 100);
        image.rows[0][0] = 1;
        image.rows[99][99] = 1;
        engine = std::make_unique<ClusterGA>(testRun(), std::move(image));
        chromosome = std::make_unique<EllipseChromosome>(engine.get());
        chromosome->figure.valid = true;
        chromosome->figure.centerX = 50;
        chromosome->figure.centerY = 50;
        chromosome->figure.majorAxis = 60;
        chromosome->figure.minorAxis = 40;
    }

    void activate(std::initializer_list<Point> pixels)
    {
        for (const Point& p : pixels)
            engine->image.rows[static_cast<std::size_t>(p.y)][static_cast<std::size_t>(p.x)] = 1;
        engine->image.rebuildActivePoints();
        engine->refreshDistanceBound();
    }

    void evaluate(std::vector<Point> outline)
    {
        chromosome->figure.points = std::move(outline);
        before = engine->image.rows;
        chromosome->evaluate();
        EXPECT_EQ(engine->image.rows, before); // restored pixel for pixel
        EXPECT_TRUE(engine->image.clearedPoints.empty());
    }

    std::unique_ptr<ClusterGA> engine;
    std::unique_ptr<EllipseChromosome> chromosome;
    PixelRows before;
};

} // namespace

TEST_F(FitnessTest, AllHitsGiveFullCompletenessAndNoDistance)
{
    activate({{70, 50}, {71, 51}, {72, 52}});
    const std::uint32_t count = testRun().evaluationCount;
    evaluate({{70, 50}, {71, 51}, {72, 52}});
    EXPECT_EQ(testRun().evaluationCount, count + 1);
    EXPECT_EQ(chromosome->completeness, 1.0);
    EXPECT_EQ(chromosome->distance, 0.0);
    EXPECT_EQ(chromosome->matchedPixels, (std::vector<Point>{{70, 50}, {71, 51}, {72, 52}}));
}

TEST_F(FitnessTest, HitNeighbourRadialAndMissAddUp)
{
    // A hit; an outward neighbour (offset 1); an inward radial match 3 pixels away (1/3 and
    // 3); and a point with nothing near it.
    activate({{70, 50}, {50, 71}, {33, 50}});
    evaluate({{70, 50}, {50, 70}, {30, 50}, {50, 30}});
    EXPECT_DOUBLE_EQ(chromosome->completeness, (1 + 1 + 1.0 / 3) / 4);
    EXPECT_DOUBLE_EQ(chromosome->distance, 4.0 / (3 * 100));
    EXPECT_EQ(chromosome->matchedPixels, (std::vector<Point>{{70, 50}, {50, 71}, {33, 50}}));
}

TEST_F(FitnessTest, RepeatedPointMatchesAPixelOnlyOnce)
{
    activate({{70, 50}});
    evaluate({{70, 50}, {70, 50}});
    EXPECT_DOUBLE_EQ(chromosome->completeness, 0.5);
    EXPECT_EQ(chromosome->matchedPixels.size(), 1u);
}

TEST_F(FitnessTest, DiagonalNeighboursOutwardMatchInwardDoNot)
{
    // Point (70, 50) looks toward the centre along -x. (71, 49) lies outward at 45 degrees.
    activate({{71, 49}});
    evaluate({{70, 50}});
    EXPECT_EQ(chromosome->matchedPixels, (std::vector<Point>{{71, 49}}));
    EXPECT_DOUBLE_EQ(chromosome->distance, 1.0 / 100);

    // Inward at 45 degrees scores about 0.707: no match, and no radial search either, even
    // though (67, 50) lies straight inward.
    activate({{69, 49}, {67, 50}});
    engine->image.rows[49][71] = 0;
    evaluate({{70, 50}});
    EXPECT_TRUE(chromosome->matchedPixels.empty());
    EXPECT_EQ(chromosome->completeness, 0.0);
    EXPECT_EQ(chromosome->distance, 65535.0);
}

TEST_F(FitnessTest, EqualScoresGoToTheFirstNeighbourInRowOrder)
{
    // (50, 70) looks up toward the centre; (49, 71) and (51, 71) both lie outward at 45 degrees.
    activate({{51, 71}, {49, 71}});
    evaluate({{50, 70}});
    EXPECT_EQ(chromosome->matchedPixels, (std::vector<Point>{{49, 71}}));
}

TEST_F(FitnessTest, StraightInwardNeighbourMatches)
{
    activate({{69, 50}});
    evaluate({{70, 50}});
    EXPECT_EQ(chromosome->matchedPixels, (std::vector<Point>{{69, 50}}));
}

TEST_F(FitnessTest, BoundingBoxLastRowIsNotSearchedByNeighbours)
{
    BinaryImage image = blankImage(100, 100);
    image.rows[0][0] = 1;
    image.rows[71][50] = 1; // the last row of the box
    engine = std::make_unique<ClusterGA>(testRun(), std::move(image));
    chromosome->engine = engine.get();
    evaluate({{50, 70}});
    // Found by the outward radial search instead, at distance 1.
    EXPECT_EQ(chromosome->matchedPixels, (std::vector<Point>{{50, 71}}));
    EXPECT_DOUBLE_EQ(chromosome->completeness, 1.0);
}

TEST_F(FitnessTest, RadialTieGoesOutward)
{
    activate({{27, 50}, {33, 50}});
    evaluate({{30, 50}});
    EXPECT_EQ(chromosome->matchedPixels, (std::vector<Point>{{27, 50}}));
    EXPECT_DOUBLE_EQ(chromosome->completeness, 1.0 / 3);
    EXPECT_DOUBLE_EQ(chromosome->distance, 3.0 / 100);
}

TEST_F(FitnessTest, EmptyOutlineScoresZero)
{
    evaluate({});
    EXPECT_EQ(chromosome->completeness, 0.0);
    EXPECT_EQ(chromosome->distance, 65535.0);
}
