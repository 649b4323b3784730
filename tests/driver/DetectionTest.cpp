#include <gtest/gtest.h>

#include "driver/ImageSearch.h"
#include "engine/EngineFixture.h"

using namespace Trelm;
using namespace Trelm::test;

namespace
{

// Runs the batch run's own step loop on an image; returns the solutions' report lines.
std::vector<std::string> detect(BinaryImage image, SharedChromosomes& solutions)
{
    testRun().random.seed(311);
    ClusterGA engine(testRun(), std::move(image));
    engine.createInitialCluster();
    ImageSearch::runSteps(engine, "unused.pbm", solutions);
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
