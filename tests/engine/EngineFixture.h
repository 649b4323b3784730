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

/// An engine over a 200 x 200 image holding two ellipses, without clusters, default settings.
class EngineFixture : public ::testing::Test
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

    void TearDown() override
    {
        engine.reset();
        for (Chromosome* solution : solutions)
            delete solution;
    }

    /// A valid chromosome on the first (or second) ellipse, with the given keys. Made with
    /// the widest axis limits, whatever the engine's are.
    Chromosome* make(double completeness, double distance, bool second = false,
                     std::uint32_t age = 0)
    {
        const std::int32_t upper = engine->maxAxisLimit;
        const std::int32_t lower = engine->minAxisLimit;
        engine->maxAxisLimit = ClusterGA::AXIS_CAP;
        engine->minAxisLimit = searchSettings.minAxis;
        auto chromosome = second
                              ? chromosomeWithGenes(*engine, pointsOnEllipse(140, 140, 30, 30, 0.0))
                              : chromosomeWithGenes(*engine, pointsOnEllipse(60, 60, 40, 25, 0.0));
        engine->maxAxisLimit = upper;
        engine->minAxisLimit = lower;
        EXPECT_TRUE(chromosome->valid);
        chromosome->completeness = completeness;
        chromosome->distance = distance;
        chromosome->ageInCluster = age;
        return chromosome.release();
    }

    /// Appends a cluster holding the given chromosomes to the engine.
    Cluster& addCluster(std::initializer_list<Chromosome*> members)
    {
        Cluster cluster(1);
        for (Chromosome* member : members)
            cluster.append(member);
        cluster.restoreOrder();
        engine->clusters.push_back(std::move(cluster));
        return engine->clusters.back();
    }

    std::unique_ptr<ClusterGA> engine;
    std::vector<Chromosome*> solutions;
};

} // namespace Trelm::test
