#pragma once

#include <cstdint>
#include <vector>

#include "core/Constants.h"

namespace Trelm
{

/// The range of acceptable major axes: re-centred on the solutions found, widened when the
/// search stalls, capped at the largest axis searched for and floored at the min-axis setting.
class AxisLimits
{
  public:
    std::int32_t maxAxisLimit;
    std::int32_t minAxisLimit;
    /// Standard deviations the range spans; -1.0 until first set.
    double limitMultiplier = -1.0;
    double solutionAxisMean = 0.0;
    double solutionAxisStdDev = 0.0;

    AxisLimits(std::int32_t minAxis, std::int32_t cap)
        : maxAxisLimit(cap), minAxisLimit(minAxis), minAxis_(minAxis), cap_(cap)
    {
    }

    /// Centres the range on the major axes of the solutions (at least one): ±10 % of their
    /// integer mean when they agree, otherwise the multiplier's standard deviations.
    void setFromSolutions(const std::vector<std::int32_t>& majorAxes);
    /// One more multiplier step when it is set, otherwise 10 % more on each side.
    void widen();

  private:
    void apply(double upper, double lower);

    std::int32_t minAxis_;
    std::int32_t cap_;
};

} // namespace Trelm
