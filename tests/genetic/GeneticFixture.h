#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "driver/SearchSettings.h"
#include "engine/ClusterGA.h"
#include "genetic/EllipseChromosome.h"
#include "genetic/EvaluationCount.h"
#include "genetic/Random.h"
#include "support/TestSupport.h"

namespace Trelm::test
{

/// An engine over a 200 x 200 image holding two ellipses, with default settings.
class GeneticFixture : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        resetSettings();
        Trelm::srand(311);
        BinaryImage image = blankImage(200, 200);
        drawEllipse(image, 60, 60, 40, 25, 0.0);
        drawEllipse(image, 140, 140, 30, 30, 0.0);
        engine = std::make_unique<ClusterGA>(std::move(image));
    }

    /// A valid chromosome on the first (or, with second, the other) ellipse of the image.
    std::unique_ptr<EllipseChromosome> onEllipse(bool second = false)
    {
        auto chromosome = second
                              ? chromosomeWithGenes(*engine, pointsOnEllipse(140, 140, 30, 30, 0.0))
                              : chromosomeWithGenes(*engine, pointsOnEllipse(60, 60, 40, 25, 0.0));
        EXPECT_TRUE(chromosome->valid);
        return chromosome;
    }

    std::unique_ptr<ClusterGA> engine;
};

} // namespace Trelm::test
