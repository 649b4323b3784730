#include "genetic/Chromosome.h"

namespace Trelm
{

namespace
{
constexpr Point UNSET_GENE{-1, -1};
}

Chromosome::Chromosome(SearchHost* owner) : engine(owner)
{
    genes.fill(UNSET_GENE);
}

// A copy stands for the same figure: it keeps the fitness, the age and the reviewed mark,
// but nobody shares it yet.
Chromosome::Chromosome(const Chromosome& source)
    : genes(source.genes), distance(source.distance), completeness(source.completeness),
      valid(source.valid), reviewed(source.reviewed), shareCount(0),
      matchedPixels(source.matchedPixels), ageInCluster(source.ageInCluster), engine(source.engine)
{
}

void Chromosome::release(Chromosome* chromosome)
{
    if (chromosome->shareCount != 0)
        --chromosome->shareCount;
    else
        delete chromosome;
}

void releaseAll(std::vector<Chromosome*>& chromosomes)
{
    while (!chromosomes.empty()) {
        Chromosome::release(chromosomes.back());
        chromosomes.pop_back();
    }
}

} // namespace Trelm
