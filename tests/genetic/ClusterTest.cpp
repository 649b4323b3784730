#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "genetic/Cluster.h"
#include "support/TwoEllipseFixture.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

namespace
{

class ClusterTest : public TwoEllipseFixture
{
  protected:
    // A cluster of n chromosomes with falling completeness and rising distance.
    Cluster filled(int n, bool alternate = false)
    {
        Cluster cluster(1);
        for (int i = 0; i < n; ++i)
            cluster.append(make(0.9 - 0.05 * i, 0.01 * (i + 1), alternate && i % 2 == 1));
        cluster.restoreOrder();
        return cluster;
    }

    void TearDown() override
    {
        for (Cluster& cluster : owned)
            cluster.release();
    }

    Cluster& keep(Cluster cluster)
    {
        owned.push_back(std::move(cluster));
        return owned.back();
    }

    std::list<Cluster> owned;
};

} // namespace

TEST_F(ClusterTest, RankTableBuckets)
{
    const std::vector<double> four = Cluster::rankTable(4);
    ASSERT_EQ(four.size(), 5u);
    EXPECT_DOUBLE_EQ(four[1], 0.4);
    EXPECT_DOUBLE_EQ(four[2], 0.7);
    EXPECT_DOUBLE_EQ(four[3], 0.9);
    EXPECT_DOUBLE_EQ(four[4], 1.0);
    EXPECT_EQ(Cluster::rankOf(0.5, four), 1);
    EXPECT_EQ(Cluster::rankOf(0.45, four), 1); // would be redrawn as a second parent
    EXPECT_EQ(Cluster::rankOf(0.0, four), 0);
    EXPECT_EQ(Cluster::rankOf(1.0, four), -1);
    const std::vector<double> forty = Cluster::rankTable(40);
    EXPECT_NEAR(forty[1], 40.0 / 820, 1e-15);
    EXPECT_NEAR(forty[40] - forty[39], 1.0 / 820, 1e-15);
}

TEST_F(ClusterTest, InsertAppendAndRemoveKeepBothPools)
{
    Cluster& cluster = keep(filled(5));
    EXPECT_EQ(cluster.size, 5);
    EXPECT_EQ(cluster.validCount, 5);
    EXPECT_DOUBLE_EQ(cluster.best()->completeness, 0.9);
    EXPECT_DOUBLE_EQ(cluster.distancePool[0]->distance, 0.01);

    Chromosome* top = cluster.best();
    cluster.removeMember(0);
    EXPECT_EQ(cluster.size, 4);
    EXPECT_EQ(cluster.validCount, 4);
    EXPECT_EQ(cluster.distancePool.find(top), -1);
    cluster.insert(top);
    EXPECT_EQ(cluster.best(), top);
    EXPECT_EQ(cluster.size, 5);

    Chromosome* taken = cluster.takeTop(Cluster::Pool::Completeness);
    EXPECT_EQ(taken, top);
    EXPECT_EQ(cluster.size, 4);
    EXPECT_NE(cluster.distancePool.find(top), -1); // still in the other pool
    cluster.completenessPool.push(top);
    cluster.size = 5;
}

TEST_F(ClusterTest, ReleaseHonoursShareCounts)
{
    Cluster cluster = filled(3);
    Chromosome* shared = cluster.completenessPool[1];
    shared->shareCount = 1;
    cluster.release();
    EXPECT_EQ(cluster.completenessPool.size(), 0);
    EXPECT_EQ(cluster.distancePool.size(), 0);
    EXPECT_EQ(shared->shareCount, 0); // alive, one holder fewer
    Chromosome::release(shared);
}

TEST_F(ClusterTest, AbsorbTakesTheMostCompleteHalf)
{
    Cluster& target = keep(filled(2));
    Cluster& five = keep(filled(5));
    target.absorb(five, testRun().settings.clusterSize);
    EXPECT_EQ(target.size, 5);
    EXPECT_EQ(five.completenessPool.size(), 2);
    EXPECT_EQ(five.distancePool.size(), 5);
    EXPECT_DOUBLE_EQ(five.completenessPool[0]->completeness, 0.9 - 0.05 * 3);
    // The moved ones now belong to target; the distance pool of five only points at them.
    five.distancePool.clear();

    Cluster& one = keep(filled(1));
    target.absorb(one, testRun().settings.clusterSize);
    EXPECT_EQ(target.size, 6);
    EXPECT_EQ(one.completenessPool.size(), 0);
    one.distancePool.clear();
}

TEST_F(ClusterTest, HomogeneityLooksAtNeighbouringPairs)
{
    Cluster& single = keep(filled(1));
    EXPECT_TRUE(single.isHomogeneous());
    Cluster& same = keep(filled(4));
    EXPECT_TRUE(same.isHomogeneous());
    Cluster& mixed = keep(filled(4, true));
    EXPECT_FALSE(mixed.isHomogeneous());
}

TEST_F(ClusterTest, OffspringParentsAreTwoDistinctRanks)
{
    testRun().settings.crossoverRate = 0.0; // copies only, so parents can be recognised
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
        testRun().random.seed(seed);
        Cluster cluster = filled(8, true);
        std::vector<Chromosome*> completenessElites;
        std::vector<Chromosome*> distanceElites;
        completenessElites.push_back(cluster.takeTop(Cluster::Pool::Completeness));
        completenessElites.push_back(cluster.takeTop(Cluster::Pool::Completeness));
        Cluster::Offspring out;
        cluster.makeOffspring(completenessElites, distanceElites, out, testRun());
        for (auto& child : out) {
            ASSERT_TRUE(child);
            EXPECT_EQ(child->shareCount, 0);
        }
        // Copies of C[a1] and C[a2]: find the ranks back.
        int a1 = -1;
        int a2 = -1;
        for (std::size_t k = 0; k < completenessElites.size(); ++k) {
            if (completenessElites[k]->completeness == out[0]->completeness)
                a1 = static_cast<int>(k);
            if (completenessElites[k]->completeness == out[1]->completeness)
                a2 = static_cast<int>(k);
        }
        ASSERT_GE(a1, 0);
        ASSERT_GE(a2, 0);
        EXPECT_NE(a1, a2);
        const std::size_t needed = static_cast<std::size_t>(std::max({a1, a2, 1})) + 1;
        EXPECT_EQ(completenessElites.size(), needed);
        EXPECT_EQ(distanceElites.size(), static_cast<std::size_t>(std::max(a1, a2)) + 1);
        for (std::size_t k = 1; k < completenessElites.size(); ++k)
            EXPECT_GT(completenessElites[k - 1]->completeness, completenessElites[k]->completeness);
        for (std::size_t k = 1; k < distanceElites.size(); ++k)
            EXPECT_LT(distanceElites[k - 1]->distance, distanceElites[k]->distance);
        EXPECT_EQ(out[2]->distance, distanceElites[static_cast<std::size_t>(a1)]->distance);

        // Drawn chromosomes left the completeness pool; release both holders once.
        releaseAll(completenessElites);
        cluster.release();
    }
}

TEST_F(ClusterTest, DissimilarParentsAreCrossedWhenTheRateSaysSo)
{
    testRun().settings.crossoverRate = 1.0;
    testRun().random.seed(3);
    Cluster cluster(1);
    for (int i = 0; i < 8; ++i)
        cluster.append(make(0.9 - 0.05 * i, 0.01 * (i + 1), i % 2 == 1));
    cluster.restoreOrder();
    std::vector<Chromosome*> completenessElites;
    std::vector<Chromosome*> distanceElites;
    Cluster::Offspring out;
    bool crossed = false;
    for (int call = 0; call < 3 && cluster.size > 2; ++call) {
        cluster.makeOffspring(completenessElites, distanceElites, out, testRun());
        for (auto& child : out) {
            ASSERT_TRUE(child);
            const auto* e = static_cast<const EllipseChromosome*>(child.get());
            bool fromOneParent = false;
            for (Chromosome* parent : completenessElites)
                fromOneParent = fromOneParent || parent->genes == e->genes;
            for (Chromosome* parent : distanceElites)
                fromOneParent = fromOneParent || parent->genes == e->genes;
            crossed = crossed || !fromOneParent;
        }
    }
    EXPECT_TRUE(crossed);
    releaseAll(completenessElites);
    cluster.release();
}

TEST_F(ClusterTest, OffspringFromAnEmptyClusterFindsNoParent)
{
    Cluster cluster(1);
    std::vector<Chromosome*> none;
    std::vector<Chromosome*> alsoNone;
    Cluster::Offspring out;
    EXPECT_THAT([&] { cluster.makeOffspring(none, alsoNone, out, testRun()); },
                ThrowsMessage<InvalidStateException>(StrEq("Parent not found")));
}

TEST_F(ClusterTest, MutateAtKeepsOnlyAMoreCompleteMutant)
{
    Cluster& cluster = keep(Cluster(1));
    Chromosome* poor = make(0.0, 0.5);    // any valid mutant beats it
    Chromosome* perfect = make(2.0, 0.5); // no mutant can beat it
    cluster.append(perfect);
    cluster.append(poor);
    poor->shareCount = 2;

    cluster.mutateAt(0);
    EXPECT_EQ(cluster.completenessPool[0], perfect);

    bool replaced = false;
    for (int attempt = 0; attempt < 20 && !replaced; ++attempt) {
        cluster.mutateAt(1);
        replaced = cluster.completenessPool[1] != poor;
    }
    ASSERT_TRUE(replaced);
    EXPECT_EQ(poor->shareCount, 1); // the replaced chromosome lives on for its other holders
    EXPECT_EQ(cluster.distancePool.find(cluster.completenessPool[1]), 1);
    EXPECT_EQ(cluster.size, 2);
    poor->shareCount = 0;
    Chromosome::release(poor);
}

TEST_F(ClusterTest, MutateAtNoticesPoolsThatDisagree)
{
    Cluster& cluster = keep(filled(2));
    Chromosome* dropped = nullptr;
    Chromosome* member = cluster.completenessPool[1];
    cluster.distancePool.removeAt(cluster.distancePool.find(member), &dropped);
    EXPECT_THAT([&] { cluster.mutateAt(1); },
                ThrowsMessage<InvalidStateException>(
                    StrEq("At least one chromosome not found in one of the pools but was found "
                          "in the other")));
    EXPECT_THAT([&] { cluster.removeMember(1); },
                ThrowsMessage<InvalidParameterException>(
                    StrEq("Specified position is not part of the heap")));
    cluster.completenessPool.appendUnordered(member); // removeMember took it out of one pool
}
