#include <gtest/gtest.h>

#include "api/ImageSearch.h"
#include "engine/EngineFixture.h"

using namespace Trelm;
using namespace Trelm::test;

namespace
{

// Runs the search the batch runs on an image; returns the solutions' report lines.
std::vector<std::string> detect(BinaryImage image, SharedChromosomes& solutions)
{
    testRun().random.seed(311);
    solutions = std::move(ImageSearch::run(testRun(), std::move(image)).solutions);
    std::vector<std::string> lines;
    for (const Chromosome* solution : solutions.items()) {
        std::ostringstream out;
        solution->print(out);
        lines.push_back(out.str());
    }
    return lines;
}

class DetectionTest : public EngineFixture
{
};

} // namespace

TEST_F(DetectionTest, FindsAThinCircle)
{
    BinaryImage image = circleImage();
    detect(std::move(image), solutions);
    ASSERT_EQ(solutions.size(), 1u);
    const auto& figure = static_cast<EllipseChromosome*>(solutions[0])->figure;
    EXPECT_GE(solutions[0]->completeness, 0.9);
    EXPECT_NEAR(figure.centerX, 100, 2);
    EXPECT_NEAR(figure.centerY, 100, 2);
    EXPECT_NEAR(figure.majorAxis, 80, 4);
    EXPECT_EQ(solutions[0]->engine, nullptr) << "the engine is gone with its search";
}

TEST_F(DetectionTest, FindsTwoSeparateEllipsesReproducibly)
{
    auto makeImage = [] {
        BinaryImage image = blankImage(320, 200);
        drawEllipse(image, 90, 100, 60, 35, 0.3);
        drawEllipse(image, 235, 95, 45, 70, 0.0);
        return image;
    };
    const std::vector<std::string> first = detect(makeImage(), solutions);
    ASSERT_EQ(solutions.size(), 2u);
    std::vector<int> centres;
    for (const Chromosome* s : solutions.items())
        centres.push_back(static_cast<const EllipseChromosome*>(s)->figure.centerX);
    std::sort(centres.begin(), centres.end());
    EXPECT_NEAR(centres[0], 90, 3);
    EXPECT_NEAR(centres[1], 235, 3);

    SharedChromosomes again;
    const std::vector<std::string> second = detect(makeImage(), again);
    EXPECT_EQ(first, second);
}

TEST_F(DetectionTest, AnObserverSeesEveryStepAndMayStopTheSearch)
{
    testRun().random.seed(311);
    std::vector<std::int32_t> steps;
    std::size_t lastSolutions = 0;
    const auto observer = [&](const ImageSearch::StepReport& report) {
        steps.push_back(report.step);
        EXPECT_EQ(report.evaluations, testRun().evaluationCount);
        lastSolutions = report.solutions;
        return report.step < 2;
    };
    BinaryImage image = blankImage(320, 200);
    drawEllipse(image, 90, 100, 60, 35, 0.3);
    const ImageSearch::Outcome outcome = ImageSearch::run(testRun(), std::move(image), observer);
    EXPECT_EQ(outcome.stop, ImageSearch::Stop::ASKED);
    EXPECT_EQ(outcome.steps, 2);
    EXPECT_EQ(steps, (std::vector<std::int32_t>{1, 2}));
    // Asked to stop after its second step, the search took no more solutions.
    EXPECT_EQ(lastSolutions, outcome.solutions.size());
}
