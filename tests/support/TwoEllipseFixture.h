#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "core/Random.h"
#include "core/RunContext.h"
#include "engine/ClusterGA.h"
#include "genetic/EllipseChromosome.h"
#include "support/EngineSupport.h"
#include "support/TestSupport.h"

namespace Trelm::test
{

/// An engine without clusters over a 200 x 200 image holding two ellipses, default settings,
/// the generator seeded with 311.
class TwoEllipseFixture : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        resetSettings();
        testRun().random.seed(311);
        rebuildEngine();
    }

    /// A new engine over the two ellipses, made with the settings as they are now.
    void rebuildEngine()
    {
        BinaryImage image = blankImage(200, 200);
        drawEllipse(image, 60, 60, 40, 25, 0.0);
        drawEllipse(image, 140, 140, 30, 30, 0.0);
        engine = std::make_unique<ClusterGA>(testRun(), std::move(image));
    }

    /// A valid chromosome on the first ellipse (or the second, a circle), made with the widest
    /// axis limits whatever the engine's are.
    std::unique_ptr<EllipseChromosome> onEllipse(bool second = false)
    {
        const std::int32_t upper = engine->limits.maxAxisLimit;
        const std::int32_t lower = engine->limits.minAxisLimit;
        engine->limits.maxAxisLimit = AXIS_CAP;
        engine->limits.minAxisLimit = testRun().settings.minAxis;
        auto chromosome = second
                              ? chromosomeWithGenes(*engine, pointsOnEllipse(140, 140, 30, 30, 0.0))
                              : chromosomeWithGenes(*engine, pointsOnEllipse(60, 60, 40, 25, 0.0));
        engine->limits.maxAxisLimit = upper;
        engine->limits.minAxisLimit = lower;
        EXPECT_TRUE(chromosome->valid);
        return chromosome;
    }

    /// Like onEllipse, with the given fitness keys and age; the caller owns the result.
    Chromosome* make(double completeness, double distance, bool second = false,
                     std::uint32_t age = 0)
    {
        auto chromosome = onEllipse(second);
        chromosome->completeness = completeness;
        chromosome->distance = distance;
        chromosome->ageInCluster = age;
        return chromosome.release();
    }

    std::unique_ptr<ClusterGA> engine;
};

} // namespace Trelm::test
