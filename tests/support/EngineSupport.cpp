#include "support/EngineSupport.h"

namespace Trelm::test
{

std::unique_ptr<EllipseChromosome> chromosomeWithGenes(ClusterGA& engine,
                                                       const std::array<Point, 5>& genes)
{
    auto chromosome = std::make_unique<EllipseChromosome>(&engine);
    chromosome->genes = genes;
    chromosome->figure = Ellipse();
    chromosome->valid = false;
    chromosome->computeFigure();
    return chromosome;
}

} // namespace Trelm::test
