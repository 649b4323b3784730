#pragma once

#include <cstdint>

#include "core/Point.h"
#include "image/BinaryImage.h"
#include "image/DistanceBound.h"

namespace Trelm
{

/// floor(n / divisor) for every n below 2^26 by a multiplication and a shift; divisor from 1 to
/// 2^17. With s = 26 + bit length of (divisor - 1) and M = ceil(2^s / divisor), M * divisor - 2^s
/// stays below 2^(s - 26), which keeps (n * M) >> s exact; n * M stays below 2^54.
class ExactQuotient
{
  public:
    explicit ExactQuotient(std::uint32_t divisor)
    {
        const int bits = divisor > 1 ? 32 - __builtin_clz(divisor - 1) : 0;
        shift_ = 26 + bits;
        multiplier_ = ((std::uint64_t{1} << shift_) + divisor - 1) / divisor;
    }
    std::uint32_t of(std::uint32_t n) const
    {
        return static_cast<std::uint32_t>((n * multiplier_) >> shift_);
    }

  private:
    std::uint64_t multiplier_;
    int shift_;
};

/// Returns exactly what findActiveAlongLine(image, start, target, found, maxPositions) returns,
/// found included, but jumps over stretches the bound proves empty. bound must have been built
/// from this image, and every pixel active now must have been active at that build (clearing
/// pixels since is fine). A bound of another size falls back to the step-by-step walk.
bool findActiveAlongLineFast(const BinaryImage& image, const DistanceBound& bound, Point start,
                             Point target, Point& found, int maxPositions);

/// findActiveAlongLineFast without a cap on the positions examined.
bool findActiveAlongLineFast(const BinaryImage& image, const DistanceBound& bound, Point start,
                             Point target, Point& found);

/// The nearest active pixel from p along the radius through centre: of the first active pixel
/// after a background one on the walk from p toward centre and the one on the walk from p
/// toward 2p - centre (16-bit, as the caller computes it), capped so that only a pixel no
/// further (Manhattan) than the inward one counts, the nearer, a tie going outward. Gives
/// exactly what the two findActiveAlongLineFast calls give, in one walk that advances both
/// directions at once: both lines have the same deltas up to sign, hence the same sequence of
/// minor moves, so their positions k lie at the same Manhattan distance from p.
bool findNearestAlongRadius(const BinaryImage& image, const DistanceBound& bound, Point p,
                            Point centre, Point& found);

} // namespace Trelm
