#pragma once

#include "support/TwoEllipseFixture.h"

namespace Trelm::test
{

/// The two-ellipse engine, with clusters added by hand and a solution list of its own.
class EngineFixture : public TwoEllipseFixture
{
  protected:
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

    SharedChromosomes solutions;
};

} // namespace Trelm::test
