#include "engine/AxisLimits.h"

#include <cmath>

#include "core/Rounding.h"

namespace Trelm
{

namespace
{
constexpr double SPREAD_THRESHOLD = 0.02;
constexpr double FIRST_MULTIPLIER = 1.5;
constexpr double MULTIPLIER_STEP = 1.5;
constexpr double WIDEN_UPPER = 1.1;
constexpr double WIDEN_LOWER = 0.9;
} // namespace

void AxisLimits::setFromSolutions(const std::vector<std::int32_t>& majorAxes)
{
    const auto n = static_cast<std::uint32_t>(majorAxes.size());
    std::uint32_t axisSum = 0;
    for (std::int32_t axis : majorAxes)
        axisSum += static_cast<std::uint32_t>(axis);
    const std::uint32_t mean = axisSum / n; // integer mean, remainder dropped
    solutionAxisMean = mean;
    double squares = 0.0;
    for (std::int32_t axis : majorAxes) {
        // A signed difference: axes below the mean count too.
        const double difference = static_cast<double>(axis) - mean;
        squares += difference * difference;
    }
    if (n >= 2)
        squares /= n - 1;
    solutionAxisStdDev = std::sqrt(squares);

    if (solutionAxisStdDev < SPREAD_THRESHOLD) {
        apply(mean * WIDEN_UPPER, mean * WIDEN_LOWER);
        return;
    }
    if (limitMultiplier == -1.0)
        limitMultiplier = FIRST_MULTIPLIER;
    apply(mean + limitMultiplier * solutionAxisStdDev, mean - limitMultiplier * solutionAxisStdDev);
}

void AxisLimits::widen()
{
    if (limitMultiplier > -1.0) {
        limitMultiplier += MULTIPLIER_STEP;
        apply(solutionAxisMean + limitMultiplier * solutionAxisStdDev,
              solutionAxisMean - limitMultiplier * solutionAxisStdDev);
    } else {
        apply(maxAxisLimit * WIDEN_UPPER, minAxisLimit * WIDEN_LOWER);
    }
}

void AxisLimits::apply(double upper, double lower)
{
    const std::int32_t roundedUpper = roundToInt(upper);
    const std::int32_t roundedLower = roundToInt(lower);
    maxAxisLimit = roundedUpper >= cap_ ? cap_ : roundedUpper;
    minAxisLimit = roundedLower <= minAxis_ ? minAxis_ : roundedLower;
}

} // namespace Trelm
