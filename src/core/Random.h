#pragma once

#include <cstdint>

namespace Trelm
{

/// Largest value of the generator plus one: every formula divides by it.
constexpr double RANDOM_RANGE = 32768.0;

/// The search's random generator: a linear congruential generator with 15-bit output, the same
/// on every platform, so that a run is reproducible from its seed alone. One per search.
class RandomGenerator
{
  public:
    /// Restarts the sequence from a seed.
    void seed(std::uint32_t value) { state_ = value; }

    /// Next value, 0 to 32767.
    int next15();

    /// Uniform integer from lo to hi inclusive; throws InvalidParameterException when lo > hi.
    int randomInt(int lo, int hi);

    /// Uniform real in [lo, hi).
    double randomReal(double lo, double hi);

    /// Index from 0 to count - 1 by the randomInt rule, the product taken in 64 bits so that
    /// counts past 131072 still reach every index; throws InvalidParameterException when count
    /// is 0 or less.
    int randomIndex(int count);

  private:
    std::uint32_t state_ = 0;
};

} // namespace Trelm
