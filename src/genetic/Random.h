#pragma once

#include <cstdint>

namespace Trelm
{

/// Largest value of rand() plus one: every formula divides by it.
constexpr double RAND_RANGE = 32768.0;

/// Seeds the generator; runs are reproducible from the seed alone.
void srand(std::uint32_t seed);

/// Next value of the generator, 0 to 32767, the same on every platform.
int rand();

/// Uniform integer from lo to hi inclusive; throws a bare text when lo > hi.
int randomInt(int lo, int hi);

/// Uniform real in [lo, hi).
double randomReal(double lo, double hi);

/// Index from 0 to count - 1 by the randomInt rule, the product taken in 64 bits so that
/// counts past 131072 still reach every index; throws a bare text when count is 0 or less.
int randomIndex(int count);

} // namespace Trelm
