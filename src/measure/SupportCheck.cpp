#include "measure/SupportCheck.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "geometry/Pi.h"

namespace Trelm
{

namespace
{

// The background is sampled this far off the outline, on both sides, in pixels: beyond the
// outline's own stroke, near enough to see the same clutter.
constexpr double BAND_OFFSETS[] = {3.5, 4.5, 5.5, 6.5};
// Arc length between the positions the background is sampled at.
constexpr double BAND_STEP = 1.0;
// An inner parallel is used only while it stays this share of the minor semi-axis away from
// the centre, so that a small ellipse does not sample its own opposite side.
constexpr double INNER_REACH = 0.5;
// Fewer pixels than this in a window give no direction.
constexpr int MIN_DIRECTION_PIXELS = 3;
// Positions probed in each sector of the normal's direction, and how far along the outline
// each looks for its pixel.
constexpr int PROBES_PER_SECTOR = 8;
constexpr double PROBE_REACH = 1.0;
// Dense steps per pixel of perimeter when spacing the samples by arc length.
constexpr double STEPS_PER_PIXEL = 4.0;

int nearestPixel(double coordinate)
{
    return static_cast<int>(std::floor(coordinate + 0.5));
}

} // namespace

// A position near the outline with the outline's unit tangent and outward normal there.
struct SupportCheck::OutlinePosition {
    double x, y;
    double tangentX, tangentY;
    double normalX, normalY;
};

// The ellipse in its own frame: semi-axes a along the angle, b across.
struct SupportCheck::Frame {
    double cx, cy, a, b, c, s;

    explicit Frame(const EllipseParameters& e)
        : cx(e.centerX), cy(e.centerY), a(e.majorAxis / 2), b(e.minorAxis / 2),
          c(std::cos(e.angle)), s(std::sin(e.angle))
    {
    }

    // The position at parameter t: point a cos t, b sin t, tangent along its derivative,
    // normal along (b cos t, a sin t), all rotated into the image.
    OutlinePosition at(double t) const
    {
        const double ct = std::cos(t), st = std::sin(t);
        return at(ct, st, std::hypot(a * st, b * ct));
    }

    // The same from cos t, sin t and the speed there.
    OutlinePosition at(double ct, double st, double speed) const
    {
        const double u = a * ct, v = b * st;
        const double tu = -a * st / speed, tv = b * ct / speed;
        const double nu = b * ct / speed, nv = a * st / speed;
        return {cx + u * c - v * s, cy + u * s + v * c, tu * c - tv * s,
                tu * s + tv * c,    nu * c - nv * s,    nu * s + nv * c};
    }
};

// Positions spaced by arc length along the outline, the first at the end of the major axis.
std::vector<SupportCheck::OutlinePosition> SupportCheck::spacedPositions(const Frame& f,
                                                                         double spacing)
{
    // Ramanujan's approximation; it only sets the density of the steps.
    const double perimeter = PI * (3 * (f.a + f.b) - std::sqrt((3 * f.a + f.b) * (f.a + 3 * f.b)));
    const int steps = std::max(64, static_cast<int>(std::ceil(perimeter * STEPS_PER_PIXEL)));
    std::vector<OutlinePosition> positions;
    positions.reserve(static_cast<std::size_t>(perimeter / spacing) + 2);
    double travelled = spacing; // the first step emits a position
    for (int i = 0; i < steps; ++i) {
        const double t = 2 * PI * i / steps;
        const double ct = std::cos(t), st = std::sin(t);
        const double speed = std::hypot(f.a * st, f.b * ct);
        if (travelled >= spacing) {
            travelled -= spacing;
            positions.push_back(f.at(ct, st, speed));
        }
        travelled += speed * 2 * PI / steps;
    }
    return positions;
}

// The same position moved along its normal; a parallel curve keeps tangent and normal.
SupportCheck::OutlinePosition SupportCheck::shifted(const OutlinePosition& p, double offset)
{
    OutlinePosition q = p;
    q.x += offset * p.normalX;
    q.y += offset * p.normalY;
    return q;
}

SupportCheck::SupportCheck(const BinaryImage& image) : SupportCheck(image, Rules()) {}

SupportCheck::SupportCheck(const BinaryImage& image, const Rules& rules)
    : image_(image), rules_(rules)
{
}

bool SupportCheck::inside(double x, double y) const
{
    const int px = nearestPixel(x), py = nearestPixel(y);
    return px >= 0 && py >= 0 && px < image_.width && py < image_.height;
}

// Calls visit(x, y) on the active pixels of the square of half side r around (cx, cy), row by
// row, until it returns true; whether it did. Rows are clipped once, not every pixel checked.
template <typename Visit> bool SupportCheck::visitActive(int cx, int cy, int r, Visit visit) const
{
    const int top = std::max(0, cy - r), bottom = std::min(image_.height - 1, cy + r);
    for (int y = top; y <= bottom; ++y) {
        const auto& row = image_.rows[static_cast<std::size_t>(y)];
        // A file cut short leaves rows shorter than the width, inactive beyond their end.
        const int end = std::min(static_cast<int>(row.size()), image_.width) - 1;
        const int right = std::min(end, cx + r);
        for (int x = std::max(0, cx - r); x <= right; ++x)
            if (row[static_cast<std::size_t>(x)] != 0 && visit(x, y))
                return true;
    }
    return false;
}

// Whether the active pixels around (x, y) run along the tangent: the principal axis of their
// positions lies within the alignment angle of it.
bool SupportCheck::runsAlong(int x, int y, double tangentX, double tangentY) const
{
    const int r = rules_.directionRadius;
    int count = 0;
    double sumX = 0, sumY = 0, sumXX = 0, sumYY = 0, sumXY = 0;
    visitActive(x, y, r, [&](int px, int py) {
        const int dx = px - x, dy = py - y;
        ++count;
        sumX += dx;
        sumY += dy;
        sumXX += dx * dx;
        sumYY += dy * dy;
        sumXY += dx * dy;
        return false;
    });
    if (count < MIN_DIRECTION_PIXELS)
        return false;
    const double n = count;
    const double xx = sumXX / n - (sumX / n) * (sumX / n);
    const double yy = sumYY / n - (sumY / n) * (sumY / n);
    const double xy = sumXY / n - (sumX / n) * (sumY / n);
    const double direction = 0.5 * std::atan2(2 * xy, xx - yy);
    const double sine = std::fabs(std::cos(direction) * tangentY - std::sin(direction) * tangentX);
    return sine <= std::sin(rules_.alignment);
}

// Whether an active pixel lies within the tolerance across the outline and within reach along
// it, its neighbours running along the outline.
bool SupportCheck::supports(const OutlinePosition& p, double reach) const
{
    const int r = static_cast<int>(std::ceil(std::max(rules_.tolerance, reach)));
    return visitActive(nearestPixel(p.x), nearestPixel(p.y), r, [&](int x, int y) {
        const double dx = x - p.x, dy = y - p.y;
        if (std::fabs(dx * p.normalX + dy * p.normalY) > rules_.tolerance ||
            std::fabs(dx * p.tangentX + dy * p.tangentY) > reach)
            return false;
        return rules_.alignment <= 0 || runsAlong(x, y, p.tangentX, p.tangentY);
    });
}

SupportCheck::Measure SupportCheck::measure(const Ellipse& ellipse) const
{
    return measure(ellipse.parameters());
}

SupportCheck::Measure SupportCheck::measure(const EllipseParameters& ellipse) const
{
    Measure m;
    const Frame frame(ellipse);
    if (!(frame.a > 0) || !(frame.b > 0))
        return m;
    const std::vector<OutlinePosition> positions = spacedPositions(frame, BAND_STEP);
    measureOutline(frame, positions, m);
    measureBackground(frame, positions, m);
    return m;
}

bool SupportCheck::passes(const EllipseParameters& ellipse, bool partial) const
{
    Measure m;
    if (!measuredIfItCouldPass(ellipse, partial, m))
        return false;
    return partial ? acceptsPartial(m) : accepts(m);
}

bool SupportCheck::acceptsWholeOrPartial(const EllipseParameters& ellipse) const
{
    // A partial outline needs the fewest sectors: an outline that cannot pass as one cannot
    // pass as a whole one either.
    Measure m;
    return measuredIfItCouldPass(ellipse, true, m) && (accepts(m) || acceptsPartial(m));
}

bool SupportCheck::measuredIfItCouldPass(const EllipseParameters& ellipse, bool partial,
                                         Measure& m) const
{
    const Frame frame(ellipse);
    if (!(frame.a > 0) || !(frame.b > 0))
        return false;
    const std::vector<OutlinePosition> positions = spacedPositions(frame, BAND_STEP);
    // The background costs several times the outline: an ellipse whose outline alone already
    // fails needs none.
    if (!outlineCouldPass(frame, positions, partial, m))
        return false;
    measureBackground(frame, positions, m);
    return true;
}

bool SupportCheck::outlineCouldPass(const EllipseParameters& ellipse, bool partial) const
{
    Measure m;
    const Frame frame(ellipse);
    return frame.a > 0 && frame.b > 0 &&
           outlineCouldPass(frame, spacedPositions(frame, BAND_STEP), partial, m);
}

bool SupportCheck::outlineCouldPass(const Frame& frame,
                                    const std::vector<OutlinePosition>& positions, bool partial,
                                    Measure& m) const
{
    measureOutline(frame, positions, m);
    const std::int32_t fewestSectors =
        partial ? rules_.minPartialSectors : std::min(rules_.minSectors, rules_.minBunchedSectors);
    return m.samples > 0 && wholeEnough(m) && m.sectors >= neededSectors(fewestSectors, m);
}

// The support of the positions, every stride-th one a sample so that no pixel supports two,
// and of the sectors.
void SupportCheck::measureOutline(const Frame& frame, const std::vector<OutlinePosition>& positions,
                                  Measure& m) const
{
    m.semiMinor = frame.b;
    const double reach = rules_.spacing / 2;
    const auto stride = static_cast<std::size_t>(
        std::max(1, static_cast<int>(std::lround(rules_.spacing / BAND_STEP))));
    for (std::size_t index = 0; index < positions.size(); index += stride) {
        const OutlinePosition& p = positions[index];
        if (!inside(p.x, p.y))
            continue;
        ++m.samples;
        if (supports(p, reach))
            ++m.supported;
    }
    measureSectors(frame, m);
}

// The clutter's chance, from the parallels either side of the outline, and the expected false
// detections it gives the measured support.
void SupportCheck::measureBackground(const Frame& frame,
                                     const std::vector<OutlinePosition>& positions,
                                     Measure& m) const
{
    const double reach = rules_.spacing / 2;
    std::int64_t trials = 0, hits = 0;
    const double innerLimit = INNER_REACH * frame.b;
    const std::size_t backgroundEvery =
        static_cast<std::size_t>(std::max(1, rules_.backgroundEvery));
    for (std::size_t index = 0; index < positions.size(); index += backgroundEvery) {
        const OutlinePosition& p = positions[index];
        if (!inside(p.x, p.y))
            continue;
        // The parallels off the image are not sampled.
        for (double offset : BAND_OFFSETS) {
            for (double side : {1.0, -1.0}) {
                if (side < 0 && offset > innerLimit)
                    continue;
                const OutlinePosition q = shifted(p, side * offset);
                if (!inside(q.x, q.y))
                    continue;
                ++trials;
                if (supports(q, reach))
                    ++hits;
            }
        }
    }
    // One hit and one miss added: an empty band still leaves some chance of clutter.
    m.density = static_cast<double>(hits + 1) / static_cast<double>(trials + 2);
    m.clutterHits = hits;
    // The points the candidate was built through are supported whatever the image holds.
    const std::int32_t given = std::min({rules_.givenPoints, m.samples, m.supported});
    m.log10FalseAlarms = (rules_.log10Tests >= 0 ? rules_.log10Tests : log10TestCount()) +
                         log10BinomialTail(m.samples - given, m.supported - given, m.density);
}

// Sectors of the normal's direction, each probed at positions evenly spread in that direction:
// a thin ellipse turns most of its normal at its ends, where straight clutter cannot follow it.
void SupportCheck::measureSectors(const Frame& frame, Measure& m) const
{
    const int sectorCount = std::max(1, rules_.sectors);
    for (int sector = 0; sector < sectorCount; ++sector) {
        int present = 0, supported = 0;
        for (int probe = 0; probe < PROBES_PER_SECTOR; ++probe) {
            // The normal's direction in the ellipse's frame, and the parameter that has it.
            const double direction =
                2 * PI * (sector + (probe + 0.5) / PROBES_PER_SECTOR) / sectorCount;
            const double t =
                std::atan2(std::sin(direction) / frame.a, std::cos(direction) / frame.b);
            const OutlinePosition p = frame.at(t);
            if (!inside(p.x, p.y))
                continue;
            ++present;
            if (supports(p, PROBE_REACH))
                ++supported;
        }
        if (present == 0)
            continue;
        ++m.presentSectors;
        if (supported >= rules_.sectorShare * present)
            ++m.sectors;
    }
}

std::int32_t SupportCheck::neededSectors(std::int32_t wholeOutline, const Measure& measure) const
{
    const std::int64_t sectorCount = std::max(1, rules_.sectors);
    // Rounded up: a whole outline needs exactly the given number.
    return static_cast<std::int32_t>(
        (wholeOutline * static_cast<std::int64_t>(measure.presentSectors) + sectorCount - 1) /
        sectorCount);
}

bool SupportCheck::wholeEnough(const Measure& measure) const
{
    return !(measure.semiMinor < rules_.smallMinor) ||
           measure.supported >= rules_.smallShare * measure.samples;
}

bool SupportCheck::accepts(const Measure& measure) const
{
    if (measure.samples == 0 || !(measure.log10FalseAlarms < rules_.log10MaxFalseAlarms) ||
        !wholeEnough(measure))
        return false;
    return measure.sectors >= neededSectors(rules_.minSectors, measure) ||
           (measure.sectors >= neededSectors(rules_.minBunchedSectors, measure) &&
            measure.log10FalseAlarms < rules_.log10MaxBunchedFalseAlarms);
}

bool SupportCheck::acceptsPartial(const Measure& measure) const
{
    // Around a short outline the chance assumed for an empty band alone would pass for clutter.
    const bool inClutter =
        measure.clutterHits > 0 && measure.density >= rules_.partialClutterDensity;
    const double limit =
        inClutter ? rules_.log10MaxPartialInClutter : rules_.log10MaxPartialFalseAlarms;
    return measure.samples > 0 && measure.log10FalseAlarms < limit && wholeEnough(measure) &&
           measure.sectors >= neededSectors(rules_.minPartialSectors, measure);
}

double SupportCheck::log10TestCount() const
{
    const double pixels = static_cast<double>(image_.width) * static_cast<double>(image_.height);
    const double geometric = pixels > 1 ? 2.5 * std::log10(pixels) : 0.0;
    // Candidates are built through five active pixels: C(N, 5) of them, more than the
    // geometric count in clutter.
    double choose = 0.0;
    const double n = image_.activeCount;
    for (int j = 0; j < 5; ++j)
        choose += n - j > 0 ? std::log10((n - j) / (j + 1)) : 0.0;
    return std::max(geometric, choose);
}

double SupportCheck::log10BinomialTail(std::int32_t n, std::int32_t k, double p)
{
    if (k <= 0)
        return 0.0;
    if (k > n || !(p > 0))
        return -std::numeric_limits<double>::infinity();
    if (p >= 1)
        return 0.0;
    // ln C(n, k) as a sum of logarithms of ratios: no factorial overflows, no shared state.
    double logChoose = 0.0;
    for (std::int32_t j = 1; j <= k; ++j)
        logChoose += std::log(static_cast<double>(n - k + j) / j);
    const double logOdds = std::log(p) - std::log1p(-p);
    double logTerm = logChoose + k * std::log(p) + (n - k) * std::log1p(-p);
    // Log-sum-exp over the terms k..n, scaled by the largest seen so far.
    double largest = logTerm;
    double sum = 0.0;
    for (std::int32_t i = k; i <= n; ++i) {
        if (logTerm > largest) {
            sum *= std::exp(largest - logTerm);
            largest = logTerm;
        }
        const double relative = std::exp(logTerm - largest);
        sum += relative;
        // Past the mode the terms only shrink: stop once they no longer change the sum.
        if (i > n * p && relative < 1e-17 * sum)
            break;
        if (i < n)
            logTerm += std::log(static_cast<double>(n - i) / (i + 1)) + logOdds;
    }
    return (largest + std::log(sum)) / std::log(10.0);
}

} // namespace Trelm
