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

// The closed form of the walk's decision variable. The walk goes D -> D + 2a - 2b when D > 0
// (a minor move), D -> D + 2a otherwise, and D always lies in (2a - 2b, 2a]; so after n
// positions D' = D + 2an - 2bm with m the one integer putting D' in that interval:
// m = ceil((D + 2a(n - 1)) / 2b). The numerator exceeds -2b, so adding 2b - 1 makes it
// non-negative and a quotient rounding down gives the ceiling.

// A position of the step-by-step walk: the k-th, its minor coordinate, the decision variable
// and the index of its bound in the cells.
template <bool Steep> struct LineCursor {
    LineCursor(const BinaryImage& image, const DistanceBound::Ahead& ahead, const LineWalk& w)
        : rows(image.rows), cells(ahead.cells), major(w.major), minor(w.minor),
          majorStep(w.majorStep), minorStep(w.minorStep),
          minorLimit(static_cast<unsigned>(Steep ? image.width : image.height)),
          majorStride(ahead.majorStride * w.majorStep),
          minorStride(ahead.minorStride * w.minorStep), twoA(2 * w.a), twoB(2 * w.b),
          decision(2 * w.a - w.b), index(w.major * ahead.majorStride + w.minor * ahead.minorStride)
    {
    }

    Point point() const
    {
        const int along = major + majorStep * k;
        return Point{static_cast<std::int16_t>(Steep ? minor : along),
                     static_cast<std::int16_t>(Steep ? along : minor)};
    }
    bool active(Point p) const
    {
        return rows[static_cast<std::size_t>(p.y)][static_cast<std::size_t>(p.x)] != 0;
    }
    bool offImage() const { return static_cast<unsigned>(minor) >= minorLimit; }
    void step()
    {
        index += majorStride;
        if (decision > 0) {
            decision += twoA - twoB;
            minor += minorStep;
            index += minorStride;
        } else {
            decision += twoA;
        }
        ++k;
    }
    // d positions at once, through the closed form of the decision variable.
    void jump(int d, const ExactQuotient& quotient)
    {
        const int moves = static_cast<int>(
            quotient.of(static_cast<std::uint32_t>(decision + twoA * (d - 1) + twoB - 1)));
        decision += twoA * d - twoB * moves;
        minor += minorStep * moves;
        index += majorStride * d + minorStride * moves;
        k += d;
    }

    const PixelRows& rows;
    const std::uint8_t* cells;
    int major, minor, majorStep, minorStep;
    unsigned minorLimit;
    std::ptrdiff_t majorStride, minorStride;
    int twoA, twoB, decision;
    // cells[index] is the bound at position k, while the position lies inside the image.
    std::ptrdiff_t index;
    int k = 0;
};

// The step-by-step walk's loop, with jumps where the bound proves positions empty. Position
// k + i lies exactly i chessboard steps from position k (the major coordinate moves by one each
// position, the minor by at most one), so a bound of d at position k makes positions
// k + 1 ... k + d - 1 background, and the walk may resume at position k + d. A bound of 1 or more
// also makes the current pixel background: a jump only ever starts once the start's own run of
// active pixels is over. Leaving the image by the minor coordinate during a jump needs no care:
// that coordinate is monotone and every skipped position inside the image is background, so the
// walk would have ended with nothing found, which the check at the landing position reports.
template <bool Steep>
bool walkLine(const BinaryImage& image, const DistanceBound& bound, const LineWalk& w, Point& found)
{
    LineCursor<Steep> at(image, bound.ahead(Steep, w.majorStep, w.minorStep), w);
    const int jumpFrom = bound.jumpFrom();
    // The start's own run of active pixels, one position at a time. A bound of 0 means active
    // at the build; the pixel may have been cleared since.
    for (;; at.step()) {
        if (at.k >= w.steps || at.offImage())
            return false;
        if (at.cells[at.index] != 0 || !at.active(at.point()))
            break;
    }
    // From the first background position on, the first active pixel is the answer.
    ExactQuotient quotient(1);
    bool quotientReady = false;
    for (;;) {
        const int d = at.cells[at.index];
        if (d == 0) {
            const Point p = at.point();
            if (at.active(p)) {
                found = p;
                return true;
            }
        } else if (d >= jumpFrom) {
            if (d >= w.steps - at.k)
                return false;
            if (!quotientReady) {
                quotient = ExactQuotient(static_cast<std::uint32_t>(at.twoB));
                quotientReady = true;
            }
            at.jump(d, quotient);
            if (at.offImage())
                return false;
            continue;
        }
        at.step();
        if (at.k >= w.steps || at.offImage())
            return false;
    }
}

// A radius walk: the walk toward the centre, and the positions of the outward one.
struct RadiusPlan : LineWalk {
    int outSteps;
};

// The two walks of a radius in lockstep: after k positions and m minor moves, the inward walk
// stands at start + (k, m) along its axes and the outward one at start - (k, m), so one offset
// in the bounds serves both.
template <bool Steep> struct RadiusCursor {
    RadiusCursor(const BinaryImage& image, const DistanceBound& bound, const RadiusPlan& in)
        : rows(image.rows), plan(in), quotient(static_cast<std::uint32_t>(2 * in.b)),
          twoA(2 * in.a), twoB(2 * in.b), decision(2 * in.a - in.b)
    {
        const int minorLimit = Steep ? image.width : image.height;
        // Both directions of a radius have the same layout of bounds.
        const DistanceBound::Ahead inAhead = bound.ahead(Steep, in.majorStep, in.minorStep);
        majorStride = inAhead.majorStride * in.majorStep;
        minorStride = inAhead.minorStride * in.minorStep;
        const std::ptrdiff_t origin =
            in.major * inAhead.majorStride + in.minor * inAhead.minorStride;
        inCells = inAhead.cells + origin;
        outCells = bound.ahead(Steep, -in.majorStep, -in.minorStep).cells + origin;
        // The most minor moves each walk makes before its minor coordinate leaves the image.
        const int room = in.minorStep > 0 ? minorLimit - 1 - in.minor : in.minor;
        const int roomBehind = in.minorStep > 0 ? in.minor : minorLimit - 1 - in.minor;
        inMoves = in.a == 0 ? std::numeric_limits<int>::max() : room;
        outMoves = in.a == 0 ? std::numeric_limits<int>::max() : roomBehind;
    }

    // A bound of 0: active at the build, perhaps cleared since.
    bool hit(int direction, Point& found) const
    {
        const int along = plan.major + direction * plan.majorStep * k;
        const int across = plan.minor + direction * plan.minorStep * m;
        const Point q{static_cast<std::int16_t>(Steep ? across : along),
                      static_cast<std::int16_t>(Steep ? along : across)};
        if (rows[static_cast<std::size_t>(q.y)][static_cast<std::size_t>(q.x)] == 0)
            return false;
        found = q;
        return true;
    }
    // Every position is a jump by the bound there (at least one position): one position is a
    // plain step of the walk, more are the closed form.
    void advance(int skip)
    {
        const int moves = skip == 1 ? (decision > 0 ? 1 : 0)
                                    : static_cast<int>(quotient.of(static_cast<std::uint32_t>(
                                          decision + twoA * (skip - 1) + twoB - 1)));
        decision += twoA * skip - twoB * moves;
        k += skip;
        m += moves;
        offset += majorStride * skip + minorStride * moves;
    }

    const PixelRows& rows;
    const RadiusPlan& plan;
    const ExactQuotient quotient;
    const int twoA, twoB;
    int decision;
    std::ptrdiff_t majorStride = 0, minorStride = 0;
    const std::uint8_t* inCells = nullptr;
    const std::uint8_t* outCells = nullptr;
    int inMoves = 0, outMoves = 0;
    int k = 0, m = 0;
    std::ptrdiff_t offset = 0;
};

// Both walks of a radius at once, then the one that goes on. A walk ends when k reaches its
// steps or m carries its minor coordinate out of the image.
template <bool Steep>
bool walkRadius(const BinaryImage& image, const DistanceBound& bound, const RadiusPlan& in,
                Point& found)
{
    RadiusCursor<Steep> at(image, bound, in);
    const int bothSteps = std::min(in.steps, in.outSteps);
    const int bothMoves = std::min(at.inMoves, at.outMoves);
    while (at.k < bothSteps && at.m <= bothMoves) {
        // Outward first: at the same position it is as near, and a tie goes outward.
        const int outBound = at.outCells[-at.offset];
        if (outBound == 0 && at.hit(-1, found))
            return true;
        const int inBound = at.inCells[at.offset];
        if (inBound == 0 && at.hit(1, found))
            return true;
        at.advance(std::max(1, std::min(outBound, inBound)));
    }
    // At most one walk goes on.
    const bool inward = at.k < in.steps && at.m <= at.inMoves;
    const bool outward = at.k < in.outSteps && at.m <= at.outMoves;
    if (inward == outward)
        return false;
    const int direction = inward ? 1 : -1;
    const std::uint8_t* cells = inward ? at.inCells : at.outCells;
    const int steps = inward ? in.steps : in.outSteps;
    const int moves = inward ? at.inMoves : at.outMoves;
    while (at.k < steps && at.m <= moves) {
        const int here = cells[direction * at.offset];
        if (here == 0 && at.hit(direction, found))
            return true;
        at.advance(std::max(1, here));
    }
    return false;
}

int manhattan(Point a, Point b)
{
    return std::abs(a.x - b.x) + std::abs(a.y - b.y);
}

// The radius as two walks, one after the other.
bool walkRadiusTwice(const BinaryImage& image, const DistanceBound& bound, Point p, Point centre,
                     Point beyond, Point& found)
{
    Point inward;
    Point outward;
    const bool foundIn = findActiveAlongLineFast(image, bound, p, centre, inward);
    // Outward, only a pixel no further than the inward one can win (a tie goes outward), so the
    // walk stops there.
    const int outwardPositions =
        foundIn ? manhattan(inward, p) + 1 : std::numeric_limits<int>::max();
    const bool foundOut =
        findActiveAlongLineFast(image, bound, p, beyond, outward, outwardPositions);
    if (!foundIn && !foundOut)
        return false;
    if (foundIn && foundOut)
        found = manhattan(inward, p) < manhattan(outward, p) ? inward : outward;
    else
        found = foundIn ? inward : outward;
    return true;
}

} // namespace

bool findNearestAlongRadius(const BinaryImage& image, const DistanceBound& bound, Point p,
                            Point centre, Point& found)
{
    // As far beyond p as the centre lies before it, in 16-bit arithmetic.
    const int beyondX = 2 * p.x - centre.x;
    const int beyondY = 2 * p.y - centre.y;
    const Point beyond{static_cast<std::int16_t>(beyondX), static_cast<std::int16_t>(beyondY)};
    // The lockstep walk needs the outward line to mirror the inward one (no 16-bit wrap), and
    // a background start inside the image, where both walks look from the first position on.
    if (beyond.x != beyondX || beyond.y != beyondY ||
        static_cast<unsigned>(p.x) >= static_cast<unsigned>(image.width) ||
        static_cast<unsigned>(p.y) >= static_cast<unsigned>(image.height) ||
        image.rows[static_cast<std::size_t>(p.y)][static_cast<std::size_t>(p.x)] != 0 ||
        bound.width() != image.width || bound.height() != image.height)
        return walkRadiusTwice(image, bound, p, centre, beyond, found);
    RadiusPlan plan;
    if (!planLineWalk(image, p, centre, std::numeric_limits<int>::max(), plan))
        return false; // p is the centre
    // The outward walk mirrors the inward one up to the image's border behind p.
    const int majorLimit = plan.steep ? image.height : image.width;
    plan.outSteps = std::min(plan.b, plan.majorStep > 0 ? plan.major + 1 : majorLimit - plan.major);
    return plan.steep ? walkRadius<true>(image, bound, plan, found)
                      : walkRadius<false>(image, bound, plan, found);
}

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
    return w.steep ? walkLine<true>(image, bound, w, found)
                   : walkLine<false>(image, bound, w, found);
}

} // namespace Trelm
