#include "genetic/ArcGrouping.h"

#include <algorithm>
#include <cmath>

#include "geometry/ConicFit.h"
#include "geometry/EllipseFrame.h"
#include "geometry/Pi.h"

namespace Trelm
{

namespace
{

// A chain lies along the ellipse when this many of its probe pixels (spread from end to end)
// lie within this distance of it: arcs of one outline do, a curve crossing it does not.
constexpr int PROBES = 5;
constexpr int PROBES_NEEDED = 5;
constexpr double ALONG_DISTANCE = 1.5;
// Outline positions looked at per pixel of perimeter when gathering chains.
constexpr double LOOKS_PER_PIXEL = 0.25;
// Pixels of one chain a least-squares fit takes at most.
constexpr std::size_t FIT_POINTS = 64;
// The refit may move the centre and the axes by this share of the semi-major axis at most.
constexpr double MAX_CHANGE = 0.2;

bool closeTo(const EllipseParameters& fit, const EllipseParameters& start)
{
    const double limit = MAX_CHANGE * start.majorAxis / 2;
    return std::hypot(fit.centerX - start.centerX, fit.centerY - start.centerY) <= limit &&
           std::fabs(fit.majorAxis - start.majorAxis) / 2 <= limit &&
           std::fabs(fit.minorAxis - start.minorAxis) / 2 <= limit;
}

} // namespace

bool ArcGrouping::fitChains(const EdgeChains& chains, const std::vector<std::uint32_t>& ids,
                            EllipseParameters& fit)
{
    std::vector<PlanePoint> points;
    for (std::uint32_t id : ids) {
        const std::vector<Point>& pixels = chains[id].pixels;
        const std::size_t step = std::max<std::size_t>(1, pixels.size() / FIT_POINTS);
        for (std::size_t i = 0; i < pixels.size(); i += step)
            points.push_back({double(pixels[i].x), double(pixels[i].y)});
    }
    return ConicFit::fitAlgebraic(points, fit) && fit.minorAxis > 0;
}

ArcGrouping::ArcGrouping(const EdgeChains& chains) : lastLook_(chains.size())
{
    int maxX = 0, maxY = 0;
    for (const EdgeChain& chain : chains.chains())
        for (Point p : chain.pixels) {
            maxX = std::max<int>(maxX, p.x);
            maxY = std::max<int>(maxY, p.y);
        }
    columns_ = maxX / CELL + 1;
    rows_ = maxY / CELL + 1;
    cells_.resize(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_));
    for (std::uint32_t id = 0; id < chains.size(); ++id) {
        for (Point p : chains[id].pixels) {
            auto& cell = cells_[static_cast<std::size_t>(p.y / CELL * columns_ + p.x / CELL)];
            if (cell.empty() || cell.back() != id)
                cell.push_back(id);
        }
    }
}

std::vector<Point> ArcGrouping::grow(const EdgeChains& chains,
                                     const std::vector<std::uint32_t>& seeds,
                                     EllipseParameters& fit)
{
    if (!(fit.minorAxis > 0))
        return {};
    const std::vector<std::uint32_t> joined = chainsAlong(chains, fit, seeds);
    if (joined.empty())
        return {};
    std::vector<std::uint32_t> group = seeds;
    group.insert(group.end(), joined.begin(), joined.end());
    EllipseParameters refit;
    if (!fitChains(chains, group, refit) || !closeTo(refit, fit))
        return {};
    fit = refit;
    const EllipseFrame frame(fit);
    std::vector<std::pair<double, Point>> around;
    for (std::uint32_t id : group)
        for (Point p : chains[id].pixels)
            around.emplace_back(frame.parameter(p.x, p.y), p);
    std::sort(around.begin(), around.end(),
              [](const auto& l, const auto& r) { return l.first < r.first; });
    std::vector<Point> pixels;
    pixels.reserve(around.size());
    for (const auto& entry : around)
        pixels.push_back(entry.second);
    return pixels;
}

// The chains met along the outline, besides the seeds, that lie along it.
std::vector<std::uint32_t> ArcGrouping::chainsAlong(const EdgeChains& chains,
                                                    const EllipseParameters& fit,
                                                    const std::vector<std::uint32_t>& seeds)
{
    ++look_;
    for (std::uint32_t id : seeds)
        lastLook_[id] = look_;
    const EllipseFrame frame(fit);
    const double perimeter = PI * (fit.majorAxis / 2 + fit.minorAxis / 2);
    const int looks = std::max(16, static_cast<int>(perimeter * LOOKS_PER_PIXEL));
    std::vector<std::uint32_t> found;
    int lastCell = -1;
    for (int i = 0; i < looks; ++i) {
        const double t = 2 * PI * i / looks;
        const PlanePoint p = frame.pointAt(t);
        const int x = static_cast<int>(std::floor(p.x + 0.5));
        const int y = static_cast<int>(std::floor(p.y + 0.5));
        if (x < 0 || y < 0 || x / CELL >= columns_ || y / CELL >= rows_)
            continue;
        const int cell = y / CELL * columns_ + x / CELL;
        if (cell == lastCell)
            continue;
        lastCell = cell;
        for (std::uint32_t id : cells_[static_cast<std::size_t>(cell)]) {
            if (lastLook_[id] == look_)
                continue;
            lastLook_[id] = look_;
            if (liesAlong(chains[id], frame))
                found.push_back(id);
        }
    }
    return found;
}

bool ArcGrouping::liesAlong(const EdgeChain& chain, const EllipseFrame& frame)
{
    const std::size_t last = chain.pixels.size() - 1;
    int near = 0;
    for (int probe = 0; probe < PROBES; ++probe) {
        const std::size_t index = last * static_cast<std::size_t>(probe) / (PROBES - 1);
        const Point p = chain.pixels[index];
        if (frame.firstOrderDistance(p.x, p.y) <= ALONG_DISTANCE)
            ++near;
    }
    return near >= PROBES_NEEDED;
}

} // namespace Trelm
