#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "EngineFixture.h"
#include "core/Exceptions.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::HasSubstr;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

namespace
{

class GenerationTest : public EngineFixture
{
  protected:
    // Chromosomes of the new cluster whose genes equal those of one of the given ones.
    static int copiesOf(const Cluster& cluster, const std::vector<std::array<Point, 5>>& genes)
    {
        int copies = 0;
        for (std::int32_t i = 0; i < cluster.completenessPool.size(); ++i)
            for (const auto& g : genes)
                copies += cluster.completenessPool[i]->genes == g;
        return copies;
    }

    // A cluster of n chromosomes alternating between the two ellipses, with distinct genes;
    // the most complete ones are the most distant, so the two pools have different heads.
    Cluster& mixedCluster(int n)
    {
        Cluster& cluster = addCluster({});
        for (int i = 0; i < n; ++i) {
            Chromosome* c = make(0.9 - 0.01 * i, 0.01 * (n - i), i % 2 == 1);
            c->genes[0].x = static_cast<std::int16_t>(c->genes[0].x + i / 2);
            cluster.append(c);
            remembered.push_back(c->genes);
        }
        cluster.restoreOrder();
        return cluster;
    }

    std::vector<std::array<Point, 5>> remembered;
};

} // namespace

TEST_F(GenerationTest, FullClusterKeepsItsElitesAndIsRefilled)
{
    engine->createInitialCluster();
    ASSERT_EQ(engine->clusters.size(), 1u);
    Chromosome* best = engine->clusters.front().best();
    engine->newGeneration();
    ASSERT_EQ(engine->clusters.size(), 1u);
    const Cluster& next = engine->clusters.front();
    EXPECT_GE(next.size, 40);
    EXPECT_NE(next.completenessPool.find(best), -1);
    for (std::int32_t i = 0; i < next.size; ++i) {
        EXPECT_EQ(next.completenessPool[i]->shareCount, 0);
        EXPECT_NE(next.distancePool.find(next.completenessPool[i]), -1);
    }
}

TEST_F(GenerationTest, OffspringCallsFollowTheKeptShare)
{
    // Copies only (crossover rate 0), no mutation: the old genes come back as 4 elites plus
    // 4 copies per makeOffspring call, ceil(K / 4) calls.
    testRun().settings.crossoverRate = 0.0;
    testRun().settings.mutationRate = 0.0;
    for (double discard : {0.15, 0.5}) {
        testRun().settings.discardProportion = discard;
        engine->clusters.clear();
        mixedCluster(40);
        engine->newGeneration();
        const int calls = discard == 0.15 ? 9 : 5; // K = 34 or 20
        EXPECT_EQ(copiesOf(engine->clusters.front(), remembered), 4 + 4 * calls);
        EXPECT_EQ(engine->clusters.front().size, 40);
        engine->clusters.front().release();
        remembered.clear();
    }
    engine->clusters.clear();
}

TEST_F(GenerationTest, ElitesAndTheFirstOffspringAreNeverMutated)
{
    testRun().settings.crossoverRate = 0.0;
    testRun().settings.mutationRate = 1.0; // 40 mutations at positions 5 to A - 1
    Cluster& old = mixedCluster(40);
    std::vector<Chromosome*> members(old.completenessPool.elements);
    const auto byCompleteness = [](Chromosome* a, Chromosome* b) {
        return a->completeness > b->completeness;
    };
    const auto byDistance = [](Chromosome* a, Chromosome* b) { return a->distance < b->distance; };
    std::sort(members.begin(), members.end(), byCompleteness);
    std::vector<Chromosome*> heads{members[0], members[1]};
    std::sort(members.begin(), members.end(), byDistance);
    heads.push_back(members[0]);
    heads.push_back(members[1]);
    // Every mutant that is valid at all beats the elites.
    for (Chromosome* member : members)
        member->completeness *= 0.01;
    old.restoreOrder();
    engine->newGeneration();
    const Cluster& next = engine->clusters.front();
    for (Chromosome* head : heads)
        EXPECT_NE(next.completenessPool.find(head), -1);
}

TEST_F(GenerationTest, ChromosomeHeadingBothPoolsIsCarriedOnce)
{
    testRun().settings.eliteProportion = 0.05; // E = 2 for 40 chromosomes
    testRun().settings.mutationRate = 0.0;
    engine->createInitialCluster();
    Chromosome* best = engine->clusters.front().best();
    best->completeness = 2.0;
    best->distance = 0.0;
    engine->clusters.front().restoreOrder();
    engine->newGeneration();
    const Cluster& next = engine->clusters.front();
    int occurrences = 0;
    for (std::int32_t i = 0; i < next.completenessPool.size(); ++i)
        occurrences += next.completenessPool[i] == best;
    EXPECT_EQ(occurrences, 1);
    EXPECT_EQ(best->shareCount, 0);
}

TEST_F(GenerationTest, SingleChromosomeClusterIsFilledByInjection)
{
    testRun().verbosity = 6;
    Chromosome* only = make(0.6, 0.1);
    addCluster({only});
    CoutCapture capture;
    engine->newGeneration();
    EXPECT_THAT(capture.text(), HasSubstr("Best AND ONLY value in Cluster 0 in Completeness: Age"));
    EXPECT_THAT(capture.text(), ::testing::Not(HasSubstr("Beginning Elitism")));
    const Cluster& next = engine->clusters.front();
    EXPECT_EQ(next.size, 40);
    EXPECT_NE(next.completenessPool.find(only), -1);
}

TEST_F(GenerationTest, SmallOrHomogeneousClustersGetNoOffspring)
{
    testRun().settings.crossoverRate = 0.0; // offspring would be plain copies
    testRun().settings.mutationRate = 0.0;
    mixedCluster(6);
    engine->newGeneration();
    EXPECT_EQ(copiesOf(engine->clusters.front(), remembered), 1); // the one elite

    engine->clusters.front().release();
    engine->clusters.clear();
    remembered.clear();
    Cluster& same = addCluster({});
    for (int i = 0; i < 8; ++i) {
        Chromosome* c = make(0.9 - 0.01 * i, 0.01 * (i + 1));
        same.append(c);
        remembered.push_back(c->genes);
    }
    same.restoreOrder();
    ASSERT_TRUE(same.isHomogeneous());
    engine->newGeneration();
    EXPECT_EQ(copiesOf(engine->clusters.front(), {remembered[0]}), 1); // the elite only
}

TEST_F(GenerationTest, MixedClusterOfSevenGetsOffspring)
{
    testRun().settings.crossoverRate = 0.0;
    testRun().settings.mutationRate = 0.0;
    mixedCluster(7);
    engine->newGeneration();
    // One elite plus 4 x ceil(6 / 4) = 8 copies.
    EXPECT_EQ(copiesOf(engine->clusters.front(), remembered), 9);
}

TEST_F(GenerationTest, MutationBoundsOnSmallClusters)
{
    testRun().settings.clusterSize = 2;
    testRun().settings.mutationRate = 0.0;
    addCluster({make(0.6, 0.1), make(0.5, 0.2)});
    EXPECT_NO_THROW(engine->newGeneration());

    testRun().settings.mutationRate = 0.5; // E = 1, A = 2, M = 1: positions 2 to 1
    EXPECT_THAT([&] { engine->newGeneration(); },
                ThrowsMessage<InvalidParameterException>(
                    StrEq("Invalid bounds for random number generator")));
    // The failed turn released what it had built; the engine still holds the old cluster.
    EXPECT_EQ(engine->clusters.size(), 1u);
}

TEST_F(GenerationTest, MessagesNumberTheClustersInListOrder)
{
    testRun().verbosity = 6;
    testRun().settings.clusterSize = 3;
    testRun().settings.mutationRate = 0.0;
    addCluster({make(0.6, 0.1), make(0.5, 0.2)});
    addCluster({make(0.6, 0.1, true), make(0.5, 0.2, true)});
    addCluster({make(0.7, 0.1)});
    CoutCapture capture;
    engine->newGeneration();
    const std::string text = capture.text();
    EXPECT_THAT(text, HasSubstr("Beginning Elitism\nBest value in Cluster 0 (2 valid chromosomes) "
                                "in Completeness: Age in Cluster=0 Center =(60, 60)"));
    EXPECT_THAT(text, HasSubstr("Best value in Cluster 1 (2 valid chromosomes)"));
    EXPECT_THAT(text, HasSubstr("Best AND ONLY value in Cluster 2 in Completeness: "));
    EXPECT_THAT(text, HasSubstr("Beginning Crossover\nBeginning new chromosomes injection\n"
                                "Beginning Mutation\n"));
    EXPECT_EQ(engine->clusters.size(), 3u);
}
