#pragma once

#include <cstdint>

#include "core/RunContext.h"
#include "image/BinaryImage.h"
#include "image/DistanceBound.h"

namespace Trelm
{

class ChainSeeder;

/// What a chromosome needs of the search that owns it: the image, the current range of
/// acceptable major axes, the run's state, and a place to report each creation. The engine
/// implements it.
class SearchHost
{
  public:
    /// The image chromosomes are made from and scored against; borrowed while they run.
    virtual BinaryImage& searchImage() = 0;
    /// A lower bound on every pixel's distance to the nearest active pixel of searchImage(),
    /// which lets the line walks skip empty space.
    virtual const DistanceBound& distanceBound() const = 0;
    /// Largest acceptable major axis now.
    virtual std::int32_t upperAxisLimit() const = 0;
    /// Smallest acceptable major axis now.
    virtual std::int32_t lowerAxisLimit() const = 0;
    /// Told after every creation from the image whether it gave a valid chromosome.
    virtual void reportCreation(bool valid) = 0;
    /// Settings, console, evaluation count and random generator of the run.
    virtual RunContext& context() = 0;
    /// Where new chromosomes take their genes when they come from edge chains; null when
    /// they come from the whole image.
    virtual ChainSeeder* chainSeeder() { return nullptr; }

  protected:
    ~SearchHost() = default;
};

} // namespace Trelm
