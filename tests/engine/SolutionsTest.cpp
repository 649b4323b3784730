#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "EngineFixture.h"
#include "geometry/Pi.h"
#include "measure/SolutionFit.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::HasSubstr;

namespace
{

class SolutionsTest : public EngineFixture
{
  protected:
    bool promoted(double completeness, double distance, std::uint32_t age)
    {
        addCluster({make(completeness, distance, false, age)});
        const std::size_t before = solutions.size();
        engine->checkSolutions(solutions);
        return solutions.size() > before;
    }
};

Chromosome* withAxis(Chromosome* chromosome, int majorAxis)
{
    static_cast<EllipseChromosome*>(chromosome)->figure.majorAxis = majorAxis;
    return chromosome;
}

} // namespace

TEST_F(SolutionsTest, CriteriaBoundsAreInclusive)
{
    EXPECT_TRUE(promoted(0.9, 0.2, 0));
}

TEST_F(SolutionsTest, MatureCandidatesNeedFourGenerations)
{
    EXPECT_FALSE(promoted(0.5, 0.5, 3));
    engine->clusters.front().best()->ageInCluster = 4;
    engine->checkSolutions(solutions);
    EXPECT_EQ(solutions.size(), 1u);
}

TEST_F(SolutionsTest, SpentBudgetRelaxesTheRequirements)
{
    testRun().verbosity = 6;
    testRun().settings.evaluations = 0;
    CoutCapture capture;
    EXPECT_TRUE(promoted(0.5, 0.5, 0));
    EXPECT_THAT(capture.text(),
                HasSubstr("Solution requirements relaxed due to fitness evaluation number\n\n"));
}

TEST_F(SolutionsTest, PromotionClearsPixelsDeletesTheClusterAndSetsLimits)
{
    testRun().verbosity = 5;
    addCluster({make(0.95, 0.1), make(0.3, 0.3)});
    const auto& bestFigure =
        static_cast<EllipseChromosome*>(engine->clusters.front().best())->figure;
    const Point onOutline = bestFigure.points[10];
    CoutCapture capture;
    EXPECT_TRUE(engine->checkSolutions(solutions));
    ASSERT_EQ(solutions.size(), 1u);
    EXPECT_TRUE(engine->clusters.empty());
    // The deleted cluster let go of it: the solution list is its only holder.
    EXPECT_EQ(solutions[0]->shareCount, 0);
    EXPECT_EQ(engine->image.rows[static_cast<std::size_t>(onOutline.y)]
                                [static_cast<std::size_t>(onOutline.x)],
              0);
    // One solution of major axis 80: mean 80, no spread, limits 72-88.
    EXPECT_EQ(capture.text(), "New Limits Set: 72-88\n");
    EXPECT_EQ(engine->limits.minAxisLimit, 72);
    EXPECT_EQ(engine->limits.maxAxisLimit, 88);
}

TEST_F(SolutionsTest, LaterCandidatesAreScoredAgainstTheClearedImage)
{
    // Both clusters stand on the same ellipse: once the first is promoted and its pixels
    // cleared, the second one's candidate is evaluated again and fails.
    addCluster({make(0.95, 0.1)});
    addCluster({make(0.97, 0.1)});
    const std::uint32_t before = testRun().evaluationCount;
    engine->checkSolutions(solutions);
    EXPECT_EQ(solutions.size(), 1u);
    EXPECT_DOUBLE_EQ(solutions[0]->completeness, 0.97); // best first
    EXPECT_EQ(testRun().evaluationCount, before + 1);
    ASSERT_EQ(engine->clusters.size(), 1u);
    EXPECT_LT(engine->clusters.front().best()->completeness, 0.2);
}

TEST_F(SolutionsTest, SingleSolutionLimitsAndWidening)
{
    solutions.push_back(withAxis(make(1, 0), 100));
    engine->setLimitsFromSolutions(solutions);
    EXPECT_EQ(engine->limits.minAxisLimit, 90);
    EXPECT_EQ(engine->limits.maxAxisLimit, 110);
    EXPECT_EQ(engine->limits.limitMultiplier, -1.0);
    engine->widenLimits();
    EXPECT_EQ(engine->limits.maxAxisLimit, 121);
    EXPECT_EQ(engine->limits.minAxisLimit, 81);
}

TEST_F(SolutionsTest, TwoSolutionLimitsUseTheSpread)
{
    solutions.push_back(withAxis(make(1, 0), 100));
    solutions.push_back(withAxis(make(1, 0), 121));
    engine->setLimitsFromSolutions(solutions);
    EXPECT_EQ(engine->limits.solutionAxisMean, 110.0);
    EXPECT_NEAR(engine->limits.solutionAxisStdDev, std::sqrt(221.0), 1e-12);
    EXPECT_EQ(engine->limits.limitMultiplier, 1.5);
    EXPECT_EQ(engine->limits.minAxisLimit, 88);
    EXPECT_EQ(engine->limits.maxAxisLimit, 132);
    engine->widenLimits();
    EXPECT_EQ(engine->limits.limitMultiplier, 3.0);
    EXPECT_EQ(engine->limits.minAxisLimit, 65);
    EXPECT_EQ(engine->limits.maxAxisLimit, 155);
}

TEST_F(SolutionsTest, LimitsAreCappedAndFloored)
{
    solutions.push_back(withAxis(make(1, 0), 380));
    engine->setLimitsFromSolutions(solutions);
    EXPECT_EQ(engine->limits.maxAxisLimit, 400);
    solutions.push_back(withAxis(make(1, 0), 6));
    engine->setLimitsFromSolutions(solutions);
    EXPECT_EQ(engine->limits.minAxisLimit, 8);
}

TEST_F(SolutionsTest, AllBadPopulationsStopTheSearch)
{
    addCluster({make(0.1, 0.3)});
    addCluster({make(0.15, 0.3, true)});
    CoutCapture capture;
    EXPECT_FALSE(engine->checkSolutions(solutions));
    EXPECT_EQ(capture.text(), "Execution stopped due to too many bad populations\n\n");
}

TEST_F(SolutionsTest, OneBadAndOnePromotedStopsOneBadOneFairGoesOn)
{
    // The second candidate stands on the ellipse the first one takes away.
    addCluster({make(0.95, 0.1)});
    addCluster({make(0.1, 0.3)});
    EXPECT_FALSE(engine->checkSolutions(solutions));
    EXPECT_EQ(solutions.size(), 1u);

    engine->clusters.front().release();
    engine->clusters.clear();
    addCluster({make(0.1, 0.3, true)});
    addCluster({make(0.4, 0.6, true)});
    SharedChromosomes none;
    EXPECT_TRUE(engine->checkSolutions(none));
    EXPECT_TRUE(none.empty());
}

TEST_F(SolutionsTest, DepletedImageStopsWithItsMessage)
{
    engine->image.depleted = true;
    CoutCapture capture;
    EXPECT_FALSE(engine->checkSolutions(solutions));
    EXPECT_EQ(capture.text(), "Execution stopped because image has been depleted of active "
                              "pixels (every ellipse was probably detected)\n\n");
}

TEST_F(SolutionsTest, RemoveFigurePixelsClearsAThicknessSquare)
{
    std::unique_ptr<Chromosome> chromosome(make(1, 0));
    auto* ellipse = static_cast<EllipseChromosome*>(chromosome.get());
    ellipse->figure.points = {Point{100, 100}};
    for (auto& row : engine->image.rows)
        std::fill(row.begin(), row.end(), 1);
    engine->removeFigurePixels(*chromosome);
    EXPECT_EQ(engine->image.rows[97][97], 0);
    EXPECT_EQ(engine->image.rows[102][102], 0);
    EXPECT_EQ(engine->image.rows[103][103], 1);
    EXPECT_EQ(engine->image.rows[96][100], 1);
    testRun().settings.drawingThickness = 1;
    ellipse->figure.points = {Point{50, 50}};
    engine->removeFigurePixels(*chromosome);
    EXPECT_EQ(engine->image.rows[50][50], 1);
}

TEST_F(SolutionsTest, ValidatedCandidateOnItsEllipseIsPromoted)
{
    testRun().settings.validate = true;
    EXPECT_TRUE(promoted(0.95, 0.1, 0));
    // Refitting was not asked for: the solution keeps its whole pixels only.
    EXPECT_FALSE(static_cast<EllipseChromosome*>(solutions[0])->refined.has_value());
}

TEST_F(SolutionsTest, CandidateWithoutSupportStaysInItsClusterAndClearsNothing)
{
    testRun().settings.validate = true;
    testRun().verbosity = 3;
    addCluster({make(0.95, 0.1)});
    const BinaryImage whole = engine->image;
    // The first ellipse leaves the image; the circle stays.
    for (int y = 20; y < 100; ++y)
        for (int x = 10; x < 110; ++x)
            engine->image.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = 0;
    CoutCapture capture;
    EXPECT_TRUE(engine->checkSolutions(solutions));
    // Refused again from memory: only a solution taking pixels makes the engine look again, so
    // the ellipse drawn back behind its back does not count.
    engine->image = whole;
    EXPECT_TRUE(engine->checkSolutions(solutions));
    EXPECT_TRUE(solutions.empty());
    ASSERT_EQ(engine->clusters.size(), 1u);
    EXPECT_DOUBLE_EQ(engine->clusters.front().best()->completeness, 0.95);
    EXPECT_EQ(engine->image.rows, whole.rows);
    EXPECT_EQ(capture.text(), "");
}

TEST_F(SolutionsTest, RefusalIsToldAtChromosomeDetail)
{
    testRun().settings.validate = true;
    testRun().verbosity = 8;
    addCluster({make(0.95, 0.1)});
    for (auto& row : engine->image.rows)
        std::fill(row.begin(), row.end(), 0);
    CoutCapture capture;
    engine->checkSolutions(solutions);
    EXPECT_THAT(capture.text(),
                HasSubstr("Best chromo not promoted, its support could be chance:\n"));
}

TEST_F(SolutionsTest, RefinedSolutionHasSubPixelParameters)
{
    testRun().settings.refine = true;
    EXPECT_TRUE(promoted(0.95, 0.1, 0));
    const auto* solution = static_cast<EllipseChromosome*>(solutions[0]);
    ASSERT_TRUE(solution->refined.has_value());
    // The fixture's first ellipse: centre (60, 60), semi-axes 40 and 25, angle 0.
    EXPECT_NEAR(solution->refined->centerX, 60.0, 0.1);
    EXPECT_NEAR(solution->refined->centerY, 60.0, 0.1);
    EXPECT_NEAR(solution->refined->majorAxis, 80.0, 0.3);
    EXPECT_NEAR(solution->refined->minorAxis, 50.0, 0.3);
    EXPECT_NEAR(std::remainder(solution->refined->angle, PI), 0.0, 0.01);
}

TEST_F(SolutionsTest, SolutionWhoseRefitFailsIsNotRefined)
{
    testRun().settings.refine = true;
    addCluster({make(0.95, 0.1)});
    for (auto& row : engine->image.rows)
        std::fill(row.begin(), row.end(), 0);
    engine->checkSolutions(solutions);
    ASSERT_EQ(solutions.size(), 1u);
    EXPECT_FALSE(static_cast<EllipseChromosome*>(solutions[0])->refined.has_value());
}

TEST_F(SolutionsTest, UnderChainsTheRefitReachesFurtherFromTheCandidate)
{
    // Five pixels placing the first ellipse with a semi-minor axis 20 instead of 25: the
    // pixels near its ends fix the ellipse, 25% of the candidate's minor axis away.
    const auto flattened = [this] {
        engine->limits.maxAxisLimit = AXIS_CAP;
        auto chromosome = chromosomeWithGenes(*engine, pointsOnEllipse(60, 60, 40, 20, 0.0));
        EXPECT_TRUE(chromosome->valid);
        chromosome->completeness = 0.95;
        chromosome->distance = 0.1;
        return chromosome;
    };
    EllipseParameters refit{};
    EXPECT_FALSE(SolutionFit::refit(engine->image, flattened()->figure, refit));

    testRun().settings.validate = true;
    testRun().settings.refine = true;
    testRun().settings.arcs = true;
    rebuildEngine();
    addCluster({flattened().release()});
    engine->checkSolutions(solutions);
    ASSERT_EQ(solutions.size(), 1u);
    const auto& found = static_cast<EllipseChromosome*>(solutions[0])->refined;
    ASSERT_TRUE(found.has_value());
    EXPECT_NEAR(found->minorAxis, 50.0, 2.0);
}

TEST_F(SolutionsTest, RefitReadsRowsShorterThanTheWidthAsInactive)
{
    // A file cut short leaves empty rows: they must read as the blank rows they stand for.
    const Ellipse figure = onEllipse()->figure;
    BinaryImage blanked = engine->image;
    BinaryImage cut = blanked;
    for (std::size_t y = 60; y < 200; ++y) {
        std::fill(blanked.rows[y].begin(), blanked.rows[y].end(), 0);
        cut.rows[y] = {};
    }
    EllipseParameters fromBlanked{}, fromCut{};
    ASSERT_TRUE(SolutionFit::refit(blanked, figure, fromBlanked));
    ASSERT_TRUE(SolutionFit::refit(cut, figure, fromCut));
    EXPECT_EQ(fromCut.centerX, fromBlanked.centerX);
    EXPECT_EQ(fromCut.centerY, fromBlanked.centerY);
    EXPECT_EQ(fromCut.majorAxis, fromBlanked.majorAxis);
}

TEST_F(SolutionsTest, ValidatedPartialOutlineIsPromotedOnceMatureOnlyWithEnoughOfIt)
{
    // Of the first ellipse (centre 60, 60, semi-axes 40 and 25) only its left end stays: x < 45,
    // about 38% of the outline.
    const auto keepLeftOf = [&](int limit) {
        for (int y = 20; y < 100; ++y)
            for (int x = limit; x < 110; ++x)
                engine->image.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = 0;
    };
    keepLeftOf(45);
    EXPECT_FALSE(promoted(0.35, 0.1, 4)) << "without the check, a partial outline never passes";
    engine->clusters.clear();
    testRun().settings.validate = true;
    EXPECT_FALSE(promoted(0.35, 0.1, 0)) << "not yet mature";
    engine->clusters.clear();
    EXPECT_FALSE(promoted(0.2, 0.1, 4)) << "below the completeness of a partial outline";
    engine->clusters.clear();
    EXPECT_TRUE(promoted(0.35, 0.1, 4));
}

TEST_F(SolutionsTest, ValidatedShortArcIsRefused)
{
    testRun().settings.validate = true;
    // x < 24: a tenth of the outline, too few directions of it to tell an ellipse.
    for (int y = 20; y < 100; ++y)
        for (int x = 24; x < 110; ++x)
            engine->image.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = 0;
    EXPECT_FALSE(promoted(0.3, 0.1, 4));
}

TEST_F(SolutionsTest, UnderChainsTheFlatSideOfAnEllipseIsAPartialOutline)
{
    testRun().settings.validate = true;
    testRun().settings.arcs = true;
    rebuildEngine();
    Chromosome* partial = make(0.3, 0.1, false, 1);
    for (auto& row : engine->image.rows)
        std::fill(row.begin(), row.end(), 0);
    // The first ellipse from parameter 27 to 130 degrees: a third of its outline, along its
    // flat side, where the normal turns through three sectors only.
    drawEllipseArc(engine->image, 60, 60, 40, 25, 0.0, 27.0 * PI / 180, 130.0 * PI / 180);
    addCluster({partial});
    engine->checkSolutions(solutions);
    EXPECT_EQ(solutions.size(), 1u);
}

TEST_F(SolutionsTest, UnderChainsAWholeLookingCandidateShortOfAWholeOutlineIsAPartialOne)
{
    const auto judged = [this](bool arcs) {
        testRun().settings.validate = true;
        testRun().settings.arcs = arcs;
        rebuildEngine();
        auto candidate = chromosomeWithGenes(*engine, pointsOnEllipse(60, 60, 24, 9.6, 0.0));
        EXPECT_TRUE(candidate->valid);
        // Half of a small elongated ellipse, alone: its normal turns through 8 sectors, too few
        // for a whole outline with this little evidence, enough for a partial one.
        for (auto& row : engine->image.rows)
            std::fill(row.begin(), row.end(), 0);
        drawEllipseArc(engine->image, 60, 60, 24, 9.6, 0.0, 0.0, PI);
        // Mature, and close enough to the search's tolerant outline to be judged as a whole one.
        candidate->completeness = 0.6;
        candidate->distance = 0.1;
        candidate->ageInCluster = 4;
        addCluster({candidate.release()});
        engine->checkSolutions(solutions);
        return solutions.size();
    };
    EXPECT_EQ(judged(false), 0u);
    EXPECT_EQ(judged(true), 1u);
}

TEST_F(SolutionsTest, YoungCandidatesAreJudgedWhenTheChainsRunOut)
{
    testRun().settings.arcs = true;
    testRun().settings.validate = true;
    rebuildEngine();
    // A loosely fitting candidate new to its cluster waits for a later step while chains last.
    EXPECT_FALSE(promoted(0.6, 0.3, 0));
    std::array<Point, 5> genes;
    while (engine->chainSeeder()->pickGenes(genes, engine->image, testRun().random)) {
    }
    engine->image.depleted = true;
    engine->checkSolutions(solutions);
    EXPECT_EQ(solutions.size(), 1u);
}

TEST_F(SolutionsTest, BadPopulationsEndTheSearchOnlyOnceNoChainIsLeft)
{
    testRun().settings.arcs = true;
    rebuildEngine();
    addCluster({make(0.05, 0.9)});
    EXPECT_TRUE(engine->checkSolutions(solutions)) << "chains are left to seed candidates";
    std::array<Point, 5> genes;
    while (engine->chainSeeder()->pickGenes(genes, engine->image, testRun().random)) {
    }
    CoutCapture capture;
    EXPECT_FALSE(engine->checkSolutions(solutions));
    EXPECT_EQ(capture.text(), "Execution stopped due to too many bad populations\n\n");
}

TEST_F(SolutionsTest, UnderChainsAnEllipseCrossingASolutionIsNoRepeatOfIt)
{
    testRun().settings.arcs = true;
    rebuildEngine();
    ASSERT_TRUE(promoted(0.95, 0.1, 0));
    // Same centre and about the same axes: the other edge of a thick outline...
    std::unique_ptr<Chromosome> along(make(0.95, 0.1));
    const std::optional<EllipseParameters> inner = EllipseParameters{60, 60, 78, 48, 0.0};
    EXPECT_TRUE(engine->repeatsSolution(*along, inner, solutions));
    // ...unless turned across it.
    const std::optional<EllipseParameters> turned = EllipseParameters{60, 60, 78, 48, 1.2};
    EXPECT_FALSE(engine->repeatsSolution(*along, turned, solutions));
}
