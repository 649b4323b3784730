#include <gtest/gtest.h>

#include <cmath>

#include "geometry/Pi.h"
#include "support/TwoEllipseFixture.h"

using namespace Trelm;
using namespace Trelm::test;

namespace
{

class CreationTest : public TwoEllipseFixture
{
};

bool isActive(const BinaryImage& image, Point p)
{
    return p.x >= 0 && p.y >= 0 && p.x < image.width && p.y < image.height &&
           image.rows[static_cast<std::size_t>(p.y)][static_cast<std::size_t>(p.x)] != 0;
}

// A horizontal line of the given length starting at (10, 100), in an otherwise blank image.
std::unique_ptr<ClusterGA> engineWithLine(int length)
{
    BinaryImage image = blankImage(200, 200);
    for (int x = 10; x < 10 + length; ++x)
        image.rows[100][static_cast<std::size_t>(x)] = 1;
    return std::make_unique<ClusterGA>(testRun(), std::move(image));
}

} // namespace

TEST_F(CreationTest, CreatedGenesAreActivePixelsAndTheImageIsUnchanged)
{
    for (double probability : {0.0, 1.0}) {
        testRun().settings.tracingProbability = probability;
        const PixelRows before = engine->image.rows;
        for (int i = 0; i < 30; ++i) {
            EllipseChromosome chromosome(engine.get());
            if (!chromosome.valid)
                continue;
            for (const Point& gene : chromosome.genes)
                EXPECT_TRUE(isActive(engine->image, gene));
            EXPECT_EQ(engine->failedCreations, 0);
        }
        EXPECT_EQ(engine->image.rows, before);
        EXPECT_TRUE(engine->image.clearedPoints.empty());
    }
}

TEST_F(CreationTest, CreationOnAnImageWithoutRowsIsRefused)
{
    ClusterGA empty{testRun(), BinaryImage()};
    EXPECT_THROW(EllipseChromosome{&empty}, InvalidStateException);
}

TEST_F(CreationTest, DepletedImageGivesInvalidChromosomesUntilTheLimit)
{
    ClusterGA depleted(testRun(), imageFromText({"##", "##"}));
    for (int i = 1; i <= 3; ++i) {
        EllipseChromosome chromosome(&depleted);
        EXPECT_FALSE(chromosome.valid);
        EXPECT_EQ(depleted.failedCreations, i);
    }
}

TEST_F(CreationTest, TwoHundredFailedCreationsDepleteTheImage)
{
    engine->limits.maxAxisLimit = 200;
    engine->limits.minAxisLimit = 100;
    for (int i = 0; i < 103; ++i)
        engine->recordFailedCreation();
    // The checkpoint at 100 found the same active count and widened the limits by 10%.
    EXPECT_EQ(engine->limits.maxAxisLimit, 220);
    EXPECT_EQ(engine->limits.minAxisLimit, 90);
    for (int i = 103; i < 199; ++i)
        engine->recordFailedCreation();
    EXPECT_FALSE(engine->image.depleted);
    engine->recordFailedCreation();
    EXPECT_TRUE(engine->image.depleted);
}

TEST_F(CreationTest, RayTargets)
{
    const BinaryImage& image = engine->image; // 200 x 200
    const Point start{50, 80};
    EXPECT_EQ(EllipseChromosome::rayTarget(image, start, 0.0), (Point{200, 80}));
    EXPECT_EQ(EllipseChromosome::rayTarget(image, start, PI), (Point{0, 80}));
    // Within 0.05 below PI/2: straight up; just above PI/2: the left border, very steep.
    EXPECT_EQ(EllipseChromosome::rayTarget(image, start, PI / 2 - 0.01), (Point{50, 0}));
    const Point steep = EllipseChromosome::rayTarget(image, start, PI / 2 + 1e-9);
    EXPECT_EQ(steep.x, 0);
    EXPECT_EQ(steep.y, 32767); // saturated, still pointing down
    EXPECT_EQ(EllipseChromosome::rayTarget(image, start, 3 * PI / 2 + 0.01), (Point{50, 200}));
    // A little below PI/2 - 0.05: down and to the right.
    const Point down = EllipseChromosome::rayTarget(image, start, PI / 2 - 0.06);
    EXPECT_EQ(down.x, 200);
    EXPECT_GT(down.y, 2000);
    // Angles of 2 PI and more are not reduced.
    EXPECT_EQ(EllipseChromosome::rayTarget(image, start, 2 * PI + 0.1).x, 200);
}

TEST_F(CreationTest, RaysSkipTheStrokeTheyStartIn)
{
    // Three full-width bands: the middle one is three pixels thick.
    BinaryImage image = blankImage(100, 100);
    for (int x = 0; x < 100; ++x)
        for (int y : {10, 48, 49, 50, 90})
            image.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = 1;
    ClusterGA bands(testRun(), std::move(image));
    for (std::uint32_t seed = 1; seed < 40; ++seed) {
        testRun().random.seed(seed);
        EllipseChromosome chromosome(&bands);
        chromosome.genes[0] = {50, 49};
        if (!EllipseChromosome::searchGenesByRays(chromosome) && chromosome.genes[1].x < 0)
            continue;
        const int y = chromosome.genes[1].y;
        EXPECT_TRUE(y == 10 || y == 90) << "gene 1 at row " << y;
    }
}

TEST_F(CreationTest, TracingFollowsAOnePixelLine)
{
    auto lineEngine = engineWithLine(120);
    EllipseChromosome chromosome(lineEngine.get());
    const PixelRows before = lineEngine->image.rows;

    std::vector<Point> isolated;
    EllipseChromosome::traceFrom(chromosome, {150, 150}, isolated);
    EXPECT_TRUE(isolated.empty());

    // From the middle: both neighbours tie, the first in row order (left) is followed.
    std::vector<Point> traced;
    EllipseChromosome::traceFrom(chromosome, {80, 100}, traced);
    ASSERT_EQ(traced.size(), 51u); // max-tracing + 1
    EXPECT_EQ(traced[0], (Point{79, 100}));
    EXPECT_EQ(traced[1], (Point{78, 100}));
    EXPECT_EQ(traced.back(), (Point{29, 100}));
    EXPECT_EQ(lineEngine->image.rows, before);
}

TEST_F(CreationTest, TracingAtATJunctionTakesTheFullerBranch)
{
    // A stem rising into a bar at (50, 50); the bar's right arm is thicker at the junction.
    BinaryImage image = blankImage(100, 100);
    for (int x = 40; x <= 60; ++x)
        image.rows[50][static_cast<std::size_t>(x)] = 1;
    image.rows[49][51] = 1;
    image.rows[49][52] = 1;
    for (int y = 51; y <= 70; ++y)
        image.rows[static_cast<std::size_t>(y)][50] = 1;
    ClusterGA junction(testRun(), std::move(image));
    EllipseChromosome chromosome(&junction);
    std::vector<Point> traced;
    EllipseChromosome::traceFrom(chromosome, {50, 70}, traced);
    ASSERT_GE(traced.size(), 25u);
    EXPECT_EQ(traced[18], (Point{50, 51}));
    EXPECT_EQ(traced[19], (Point{51, 50})); // 4 active neighbours against 3 and 2
    for (const Point& p : traced)
        EXPECT_GE(p.x, 50); // the left arm's first pixel was cleared at the fork
}

TEST_F(CreationTest, CrossoverTakesGenesOnEachSideOfTheCut)
{
    const auto a = onEllipse();
    const auto b = onEllipse(true);
    const EllipseChromosome child(*a, *b, 2);
    const EllipseChromosome twin(*b, *a, 2);
    EXPECT_EQ(child.genes[0], a->genes[0]);
    EXPECT_EQ(child.genes[1], a->genes[1]);
    EXPECT_EQ(child.genes[2], b->genes[2]);
    EXPECT_EQ(child.genes[4], b->genes[4]);
    EXPECT_EQ(twin.genes[0], b->genes[0]);
    EXPECT_EQ(twin.genes[4], a->genes[4]);
    EXPECT_EQ(child.ageInCluster, 0u);
    EXPECT_FALSE(child.reviewed);

    const std::uint32_t before = testRun().evaluationCount;
    const EllipseChromosome self(*a, *a, 3);
    EXPECT_EQ(self.genes, a->genes);
    EXPECT_EQ(testRun().evaluationCount, before + 1);
}

TEST_F(CreationTest, MutationFollowsALongEnoughTrace)
{
    // 12 pixels: tracing from an end collects the other 11, more than 10.
    auto lineEngine = engineWithLine(12);
    EllipseChromosome chromosome(lineEngine.get());
    const Point end{10, 100};
    chromosome.genes.fill(end);
    chromosome.ageInCluster = 3;
    chromosome.reviewed = true;
    chromosome.figure.points = {Point{1, 1}};
    EllipseChromosome::mutate(chromosome);
    int atEnd = 0;
    for (const Point& gene : chromosome.genes) {
        EXPECT_EQ(gene.y, 100);
        EXPECT_GE(gene.x, 10);
        EXPECT_LT(gene.x, 22);
        atEnd += gene == end;
    }
    EXPECT_EQ(atEnd, 1); // only the kept gene
    EXPECT_EQ(chromosome.ageInCluster, 0u);
    EXPECT_FALSE(chromosome.reviewed);
    EXPECT_FALSE(chromosome.valid);
    EXPECT_TRUE(chromosome.figure.points.empty());
}

TEST_F(CreationTest, MutationFallsBackToRandomPixelsOnAShortTrace)
{
    // 11 pixels: 10 traced, so random picks replace genes; this image is depleted, so none do.
    auto lineEngine = engineWithLine(11);
    EllipseChromosome chromosome(lineEngine.get());
    chromosome.genes.fill(Point{10, 100});
    const auto genes = chromosome.genes;
    EllipseChromosome::mutate(chromosome);
    EXPECT_EQ(chromosome.genes, genes);
    EXPECT_FALSE(chromosome.valid);
}

TEST_F(CreationTest, MutantOutlineHoldsOnlyItsOwnPoints)
{
    const auto parent = onEllipse();
    EllipseChromosome mutant(*parent);
    const PixelRows before = engine->image.rows;
    EllipseChromosome::mutate(mutant);
    mutant.computeFigure();
    EXPECT_EQ(engine->image.rows, before);
    if (!mutant.valid)
        return;
    Ellipse fresh = mutant.figure;
    fresh.points.clear();
    int width = 200;
    int height = 200;
    fresh.generatePoints(width, height, testRun());
    EXPECT_EQ(mutant.figure.points, fresh.points);
}
