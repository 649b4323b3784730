#include "genetic/Random.h"

namespace Trelm
{

namespace
{
std::uint32_t generatorState = 0;
}

void srand(std::uint32_t seed)
{
    generatorState = seed;
}

int rand()
{
    // A linear congruential generator with 15-bit output: unsigned arithmetic wraps mod 2^32.
    generatorState = generatorState * 214013u + 2531011u;
    return static_cast<int>((generatorState >> 16) & 0x7FFFu);
}

int randomInt(int lo, int hi)
{
    if (lo > hi)
        throw "Invalid bounds for random number generator";
    const auto r = static_cast<std::uint32_t>(rand());
    // The product is an unsigned 32-bit value; the division is done in double and truncated.
    const auto span = static_cast<std::uint32_t>(static_cast<std::int64_t>(hi) - lo + 1);
    const std::uint32_t product = r * span;
    return lo + static_cast<int>(product / RAND_RANGE);
}

double randomReal(double lo, double hi)
{
    const double r = rand();
    return lo + (hi - lo) * r / RAND_RANGE;
}

int randomIndex(int count)
{
    if (count - 1 < 0)
        throw "Invalid bound for random number generator";
    const auto r = static_cast<std::uint64_t>(rand());
    const std::uint64_t product = r * static_cast<std::uint64_t>(count);
    return static_cast<int>(static_cast<double>(product) / RAND_RANGE);
}

} // namespace Trelm
