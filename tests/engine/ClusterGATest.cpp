#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "EngineFixture.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::HasSubstr;

namespace
{

class ClusterGATest : public EngineFixture
{
};

} // namespace

TEST_F(ClusterGATest, StartsWithoutAClusterUntilTheFirstIsCreated)
{
    testRun().evaluationCount = 12345;
    ClusterGA fresh(testRun(), circleImage(), 1);
    EXPECT_TRUE(fresh.clusters.empty());
    EXPECT_EQ(testRun().evaluationCount, 0u);
    fresh.createInitialCluster();
    ASSERT_EQ(fresh.clusters.size(), 1u);
    EXPECT_EQ(fresh.clusters.front().size, 40);
    EXPECT_GE(testRun().evaluationCount, 40u);
    EXPECT_LT(testRun().evaluationCount, 1000u);
    EXPECT_EQ(fresh.limits.maxAxisLimit, 400);
    EXPECT_EQ(fresh.limits.minAxisLimit, 8);
    EXPECT_EQ(fresh.stepCount, 0);

    ClusterGA noEllipses(testRun(), circleImage(), 0);
    noEllipses.createInitialCluster();
    EXPECT_TRUE(noEllipses.clusters.empty());
}

TEST_F(ClusterGATest, DepletedImageGetsNoClusterAndStopsAtTheFirstCheck)
{
    testRun().verbosity = 2;
    ClusterGA small(testRun(), imageFromText({"#.#.#", "....."}));
    small.createInitialCluster();
    EXPECT_TRUE(small.clusters.empty());
    CoutCapture capture;
    small.step();
    EXPECT_FALSE(small.checkSolutions(solutions));
    EXPECT_EQ(capture.text(), "Starting step 1. So far, 0 fitness calculations\n"
                              "Execution stopped because image has been depleted of active pixels "
                              "(every ellipse was probably detected)\n\n");
}

TEST_F(ClusterGATest, StepStartsAFreshClusterWhenNoneIsLeft)
{
    testRun().verbosity = 2;
    CoutCapture capture;
    engine->step();
    EXPECT_EQ(engine->stepCount, 1);
    EXPECT_FALSE(engine->clusters.empty());
    EXPECT_THAT(capture.text(), HasSubstr("Starting step 1. So far, 0 fitness calculations\n"));
}

TEST_F(ClusterGATest, CollectBestListsEachClustersTop)
{
    std::vector<Chromosome*> list;
    engine->collectBest(list);
    EXPECT_TRUE(list.empty());
    Chromosome* first = make(0.9, 0.1);
    Chromosome* second = make(0.8, 0.1, true);
    addCluster({make(0.5, 0.1), first});
    addCluster({second});
    engine->collectBest(list);
    EXPECT_EQ(list, (std::vector<Chromosome*>{first, second}));
}

TEST_F(ClusterGATest, WideningFollowsTheClusteringFrequency)
{
    // Two dissimilar clusters stay two, and limits inside the cap and floor show a widening.
    const auto stepAndReadLimits = [this] {
        engine->step();
        EXPECT_GT(engine->clusters.size(), 1u);
        return std::make_pair(engine->limits.minAxisLimit, engine->limits.maxAxisLimit);
    };
    addCluster({make(0.9, 0.1)});
    addCluster({make(0.8, 0.1, true)});
    engine->limits.minAxisLimit = 50;
    engine->limits.maxAxisLimit = 100;
    testRun().settings.clusteringFreq = 3;
    EXPECT_EQ(stepAndReadLimits(), std::make_pair(50, 100));
    EXPECT_EQ(stepAndReadLimits(), std::make_pair(50, 100));
    EXPECT_EQ(stepAndReadLimits(), std::make_pair(45, 110));
    testRun().settings.clusteringFreq = 0; // never, rather than a division by zero
    EXPECT_EQ(stepAndReadLimits(), std::make_pair(45, 110));
    EXPECT_EQ(stepAndReadLimits(), std::make_pair(45, 110));
    EXPECT_EQ(stepAndReadLimits(), std::make_pair(45, 110));
}
