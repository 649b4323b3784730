#include "image/FastLineWalk.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <limits>

#include "image/PixelSearch.h"

namespace Trelm
{

namespace
{

// Every quantity of a jump fits the quotient's range: the numerator
// decision + 2a (d - 1) + 2b - 1 stays below 2a + 2a (CAP - 1) + 2b <= 2 * 65535 * (CAP + 1),
// under 2^26, and the divisor 2b below 2^17.
static_assert(2LL * 65535 * (DistanceBound::CAP + 1) < (1LL << 26),
              "a jump's numerator must stay below 2^26");

// The step-by-step walk's loop, with jumps where the bound proves positions empty. Position
// k + i lies exactly i chessboard steps from position k (the major coordinate moves by one each
// position, the minor by at most one), so a bound of d at position k makes positions
// k + 1 ... k + d - 1 background, and the walk may resume at position k + d. A bound of 1 or more
// also makes the current pixel background: a jump only ever starts once the start's own run of
// active pixels is over. Leaving the image by the minor coordinate during a jump needs no care:
// that coordinate is monotone and every skipped position inside the image is background, so the
// walk would have ended with nothing found, which the check at the landing position reports.
template <bool Steep>
bool walkLine(const BinaryImage& image, const DistanceBound& bound, int major, int minor,
              int majorStep, int minorStep, int a, int b, int steps, Point& found)
{
    const std::uint8_t* cells = bound.data();
    const int jumpFrom = bound.jumpFrom();
    const std::ptrdiff_t width = image.width;
    const auto minorLimit = static_cast<unsigned>(Steep ? image.width : image.height);
    const std::ptrdiff_t majorStride = Steep ? width * majorStep : majorStep;
    const std::ptrdiff_t minorStride = Steep ? minorStep : width * minorStep;
    const int twoA = 2 * a;
    const int twoB = 2 * b;
    int decision = twoA - b;
    // cells[index] is the bound at position k, while the position lies inside the image.
    std::ptrdiff_t index = Steep ? major * width + minor : minor * width + major;
    const auto point = [&](int k) {
        const int along = major + majorStep * k;
        return Point{static_cast<std::int16_t>(Steep ? minor : along),
                     static_cast<std::int16_t>(Steep ? along : minor)};
    };
    const auto pixel = [&](Point p) {
        return image.rows[static_cast<std::size_t>(p.y)][static_cast<std::size_t>(p.x)];
    };
    const auto step = [&]() {
        index += majorStride;
        if (decision > 0) {
            decision += twoA - twoB;
            minor += minorStep;
            index += minorStride;
        } else {
            decision += twoA;
        }
    };
    int k = 0;
    // The start's own run of active pixels, one position at a time. A bound of 0 means active
    // at the build; the pixel may have been cleared since.
    for (;; ++k) {
        if (k >= steps || static_cast<unsigned>(minor) >= minorLimit)
            return false;
        if (cells[index] != 0 || pixel(point(k)) == 0)
            break;
        step();
    }
    // From the first background position on, the first active pixel is the answer.
    ExactQuotient quotient(1);
    bool quotientReady = false;
    for (;;) {
        const int d = cells[index];
        if (d == 0) {
            const Point p = point(k);
            if (pixel(p) != 0) {
                found = p;
                return true;
            }
        } else if (d >= jumpFrom) {
            if (d >= steps - k)
                return false;
            if (!quotientReady) {
                quotient = ExactQuotient(static_cast<std::uint32_t>(twoB));
                quotientReady = true;
            }
            // The closed form of d steps (see advanceDecision).
            const int moves = static_cast<int>(
                quotient.of(static_cast<std::uint32_t>(decision + twoA * (d - 1) + twoB - 1)));
            decision += twoA * d - twoB * moves;
            minor += minorStep * moves;
            index += majorStride * d + minorStride * moves;
            k += d;
            if (static_cast<unsigned>(minor) >= minorLimit)
                return false;
            continue;
        }
        step();
        ++k;
        if (k >= steps || static_cast<unsigned>(minor) >= minorLimit)
            return false;
    }
}

} // namespace

bool findActiveAlongLineFast(const BinaryImage& image, const DistanceBound& bound, Point start,
                             Point target, Point& found)
{
    return findActiveAlongLineFast(image, bound, start, target, found,
                                   std::numeric_limits<int>::max());
}

bool findActiveAlongLineFast(const BinaryImage& image, const DistanceBound& bound, Point start,
                             Point target, Point& found, int maxPositions)
{
    if (bound.width() != image.width || bound.height() != image.height)
        return findActiveAlongLine(image, start, target, found, maxPositions);
    // The set-up is the step-by-step walk's, unchanged.
    found = {-1, -1};
    LineWalk w;
    if (!planLineWalk(image, start, target, maxPositions, w))
        return false;
    return w.steep ? walkLine<true>(image, bound, w.major, w.minor, w.majorStep, w.minorStep, w.a,
                                    w.b, w.steps, found)
                   : walkLine<false>(image, bound, w.major, w.minor, w.majorStep, w.minorStep, w.a,
                                     w.b, w.steps, found);
}

} // namespace Trelm
