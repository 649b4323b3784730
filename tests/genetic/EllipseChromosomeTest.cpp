#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "support/TwoEllipseFixture.h"

using namespace Trelm;
using namespace Trelm::test;

namespace
{

class EllipseChromosomeTest : public TwoEllipseFixture
{
};

std::string printed(const Chromosome& chromosome)
{
    std::ostringstream out;
    chromosome.print(out);
    return out.str();
}

} // namespace

TEST_F(EllipseChromosomeTest, NeverEvaluatedChromosomePrintsItsConstructionValues)
{
    ClusterGA depleted(testRun(), imageFromText({"#.#", "..."}));
    EllipseChromosome chromosome(&depleted);
    EXPECT_FALSE(chromosome.valid);
    EXPECT_EQ(chromosome.genes[0], (Point{-1, -1}));
    EXPECT_EQ(printed(chromosome), "Age in Cluster=0 Center =(-1, -1), Major Axis=-1 Minor "
                                   "Axis=-1 Completeness=-1 Distance=65535\n");
}

TEST_F(EllipseChromosomeTest, ValidChromosomeIsEvaluatedOnce)
{
    const auto chromosome = onEllipse();
    chromosome->figure = Ellipse();
    const std::uint32_t before = testRun().evaluationCount;
    chromosome->computeFigure();
    EXPECT_EQ(testRun().evaluationCount, before + 1);
    EXPECT_EQ(chromosome->figure.centerX, 60);
    EXPECT_EQ(chromosome->figure.majorAxis, 80);
    EXPECT_GT(chromosome->completeness, 0.9);
    EXPECT_LT(chromosome->distance, 0.05);
    EXPECT_EQ(printed(*chromosome).substr(0, 31), "Age in Cluster=0 Center =(60, 6");
}

TEST_F(EllipseChromosomeTest, SingularGenesMakeAnInvalidChromosome)
{
    const auto chromosome = chromosomeWithGenes(
        *engine, {Point{20, 20}, Point{30, 30}, Point{40, 40}, Point{50, 50}, Point{60, 60}});
    EXPECT_FALSE(chromosome->valid);
    EXPECT_TRUE(chromosome->figure.points.empty());
}

TEST_F(EllipseChromosomeTest, SimilarityIsIdentityOrTheFigures)
{
    ClusterGA depleted(testRun(), imageFromText({"#"}));
    EllipseChromosome invalid(&depleted);
    EXPECT_TRUE(invalid.isSimilar(&invalid));

    const auto a = onEllipse();
    const auto twin = chromosomeWithGenes(*engine, a->genes);
    const auto other = onEllipse(true);
    EXPECT_TRUE(a->isSimilar(twin.get()));
    EXPECT_FALSE(a->isSimilar(other.get()));
}

TEST_F(EllipseChromosomeTest, CopyKeepsFitnessAgeAndReviewedButNotShares)
{
    auto source = onEllipse();
    source->shareCount = 2;
    source->ageInCluster = 5;
    source->reviewed = true;
    const std::uint32_t before = testRun().evaluationCount;
    const EllipseChromosome copy(*source);
    EXPECT_EQ(testRun().evaluationCount, before);
    EXPECT_EQ(copy.shareCount, 0);
    EXPECT_EQ(copy.ageInCluster, 5u);
    EXPECT_TRUE(copy.reviewed);
    EXPECT_EQ(copy.genes, source->genes);
    EXPECT_EQ(copy.completeness, source->completeness);
    EXPECT_EQ(copy.matchedPixels, source->matchedPixels);
    EXPECT_EQ(copy.figure.points, source->figure.points);
}

TEST_F(EllipseChromosomeTest, DrawRealPaintsMatchedPixels)
{
    auto chromosome = onEllipse();
    auto canvas = [] { return PixelRows(20, std::vector<std::uint8_t>(20, 255)); };
    chromosome->matchedPixels.clear();
    PixelRows empty = canvas();
    chromosome->draw(empty, 20, 20, false, testRun().settings.drawingThickness);
    EXPECT_EQ(empty, canvas());

    chromosome->matchedPixels = {Point{10, 10}};
    testRun().settings.drawingThickness = 1;
    PixelRows thin = canvas();
    chromosome->draw(thin, 20, 20, false, testRun().settings.drawingThickness);
    EXPECT_EQ(thin, canvas());

    testRun().settings.drawingThickness = 6;
    PixelRows square = canvas();
    chromosome->draw(square, 20, 20, false, testRun().settings.drawingThickness);
    int painted = 0;
    for (const auto& row : square)
        for (std::uint8_t v : row)
            painted += v == 190;
    EXPECT_EQ(painted, 36);
    EXPECT_EQ(square[7][7], 190);
    EXPECT_EQ(square[12][12], 190);
    EXPECT_EQ(square[13][13], 255);

    PixelRows ideal(200, std::vector<std::uint8_t>(200, 255));
    chromosome->draw(ideal, 200, 200, true,
                     testRun().settings.drawingThickness); // the ellipse's outline
    EXPECT_EQ(ideal[60][100], 190);
}

TEST_F(EllipseChromosomeTest, ComputeFigureDoesNothingOnADepletedImage)
{
    auto chromosome = onEllipse();
    const double completeness = chromosome->completeness;
    engine->image.depleted = true;
    chromosome->valid = false;
    chromosome->computeFigure();
    EXPECT_FALSE(chromosome->valid);
    EXPECT_EQ(chromosome->completeness, completeness);
}
