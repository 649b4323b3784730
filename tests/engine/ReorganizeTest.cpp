#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "EngineFixture.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::HasSubstr;

namespace
{

class ReorganizeTest : public EngineFixture
{
};

} // namespace

TEST_F(ReorganizeTest, SimilarMembersStayAndBecomeReviewed)
{
    Cluster& cluster = addCluster({make(0.9, 0.1), make(0.8, 0.1), make(0.7, 0.1)});
    engine->reorganize();
    EXPECT_EQ(cluster.size, 3);
    for (std::int32_t i = 0; i < cluster.size; ++i) {
        EXPECT_TRUE(cluster.completenessPool[i]->reviewed);
        EXPECT_EQ(cluster.completenessPool[i]->ageInCluster, 1u);
    }
    engine->reorganize();
    EXPECT_EQ(cluster.completenessPool[2]->ageInCluster, 2u);
}

TEST_F(ReorganizeTest, InvalidMembersAreNeverOutcasts)
{
    Chromosome* invalid = make(0.5, 0.1, true);
    invalid->valid = false;
    Cluster& cluster = addCluster({make(0.9, 0.1), invalid});
    engine->reorganize();
    EXPECT_EQ(cluster.size, 2);
    EXPECT_TRUE(invalid->reviewed);
}

TEST_F(ReorganizeTest, OutcastOfASingleClusterSeedsANewOneOrIsDeleted)
{
    testRun().verbosity = 8;
    Chromosome* outcast = make(0.5, 0.1, true);
    addCluster({make(0.9, 0.1), outcast});
    CoutCapture capture;
    engine->reorganize();
    ASSERT_EQ(engine->clusters.size(), 2u);
    EXPECT_EQ(engine->clusters.back().best(), outcast);
    EXPECT_EQ(outcast->ageInCluster, 0u);
    EXPECT_FALSE(outcast->reviewed);
    EXPECT_THAT(capture.text(), HasSubstr("New Cluster Created for outcast chromosome Age in "
                                          "Cluster=0 Center =(140, 140)"));
}

TEST_F(ReorganizeTest, OutcastAtExactlyMinCompletenessIsDeleted)
{
    testRun().verbosity = 8;
    addCluster({make(0.9, 0.1), make(0.2, 0.1, true)});
    CoutCapture capture;
    engine->reorganize();
    EXPECT_EQ(engine->clusters.size(), 1u);
    EXPECT_EQ(engine->clusters.front().size, 1);
    EXPECT_THAT(capture.text(),
                HasSubstr("Outcast chromosome not fit enough for new cluster or similar to any "
                          "other cluster. Delete it\nAge in Cluster=1"));
}

TEST_F(ReorganizeTest, VeryCompleteOutcastSeedsEvenWithoutRoom)
{
    testRun().settings.populations = 1;
    addCluster({make(0.95, 0.1), make(0.5, 0.1, true), make(0.91, 0.1, true)});
    engine->reorganize();
    // 0.5 finds no room and is deleted; 0.91 founds a cluster although populations is reached.
    ASSERT_EQ(engine->clusters.size(), 2u);
    EXPECT_EQ(engine->clusters.back().size, 1);
    EXPECT_EQ(engine->clusters.front().size, 1);
}

TEST_F(ReorganizeTest, OutcastMovesToTheFirstSimilarCluster)
{
    testRun().verbosity = 8;
    Chromosome* outcast = make(0.5, 0.1, true);
    outcast->ageInCluster = 7;
    addCluster({make(0.9, 0.1), outcast});
    Cluster& target = addCluster({make(0.95, 0.1, true)});
    CoutCapture capture;
    engine->reorganize();
    EXPECT_EQ(target.size, 2);
    EXPECT_EQ(engine->clusters.front().size, 1);
    // Moved into a later cluster, it is examined there in the same pass and ages there.
    EXPECT_EQ(outcast->ageInCluster, 1u);
    EXPECT_TRUE(outcast->reviewed);
    EXPECT_THAT(capture.text(), HasSubstr("Chromosome moved to more similar cluster:\nAge in "
                                          "Cluster=0"));
    EXPECT_THAT(capture.text(), HasSubstr("\n to Cluster with Chromosome:\nAge in Cluster=0"));
}

TEST_F(ReorganizeTest, MutuallySimilarClustersMergeIntoTheFirst)
{
    testRun().verbosity = 8;
    addCluster({make(0.9, 0.1), make(0.8, 0.1)});
    addCluster({make(0.85, 0.1), make(0.7, 0.1), make(0.6, 0.1)});
    addCluster({make(0.95, 0.1)});
    CoutCapture capture;
    engine->mergeClusters();
    ASSERT_EQ(engine->clusters.size(), 1u);
    const Cluster& merged = engine->clusters.front();
    EXPECT_EQ(merged.size, 2 + 2 + 1);
    EXPECT_FALSE(merged.merged);
    EXPECT_DOUBLE_EQ(merged.best()->completeness, 0.95);
    EXPECT_THAT(capture.text(), HasSubstr("Combine clusters:\nAge in Cluster=0"));
    EXPECT_THAT(capture.text(), HasSubstr("and\nAge in Cluster=0"));
}

TEST_F(ReorganizeTest, DissimilarClustersDoNotMerge)
{
    addCluster({make(0.9, 0.1)});
    addCluster({make(0.9, 0.1, true)});
    engine->mergeClusters();
    EXPECT_EQ(engine->clusters.size(), 2u);
}
