#pragma once

#include <array>
#include <memory>

#include "core/Point.h"
#include "engine/ClusterGA.h"
#include "genetic/EllipseChromosome.h"

namespace Trelm::test
{

/// A chromosome of the engine with the given genes, its figure computed and evaluated. The
/// engine's image must not be depleted.
std::unique_ptr<EllipseChromosome> chromosomeWithGenes(ClusterGA& engine,
                                                       const std::array<Point, 5>& genes);

} // namespace Trelm::test
