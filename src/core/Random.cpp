#include "core/Random.h"

#include "core/Exceptions.h"

namespace Trelm
{

int RandomGenerator::next15()
{
    // Unsigned arithmetic wraps mod 2^32.
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFFu);
}

int RandomGenerator::randomInt(int lo, int hi)
{
    if (lo > hi)
        throw InvalidParameterException("Invalid bounds for random number generator");
    const auto r = static_cast<std::uint32_t>(next15());
    // The product is an unsigned 32-bit value; the division is done in double and truncated.
    const auto span = static_cast<std::uint32_t>(static_cast<std::int64_t>(hi) - lo + 1);
    const std::uint32_t product = r * span;
    return lo + static_cast<int>(product / RANDOM_RANGE);
}

double RandomGenerator::randomReal(double lo, double hi)
{
    const double r = next15();
    return lo + (hi - lo) * r / RANDOM_RANGE;
}

int RandomGenerator::randomIndex(int count)
{
    if (count - 1 < 0)
        throw InvalidParameterException("Invalid bound for random number generator");
    const auto r = static_cast<std::uint64_t>(next15());
    const std::uint64_t product = r * static_cast<std::uint64_t>(count);
    return static_cast<int>(static_cast<double>(product) / RANDOM_RANGE);
}

} // namespace Trelm
