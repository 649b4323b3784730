#include "image/EdgeChains.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace Trelm
{

namespace
{

// Polyline tolerance in pixels: turns are measured between segments of the simplified curve, so
// the staircase of a rasterised curve does not count as turning.
constexpr double SIMPLIFY_TOLERANCE = 1.0;
// A turn sharper than this between two segments is a corner, not a bend of an ellipse.
constexpr double CORNER_TURN = 1.25;
// Turns smaller than this say nothing about the sense of a curve.
constexpr double SENSE_TURN = 0.05;
// A chain turning less than this in all is a line, or too flat to place an ellipse.
constexpr double MIN_TURNING = 0.15;
// An arc of one ellipse turns at most once around (6.28 rad, counting its small wiggles either
// way); a curve turning further, by more than its polyline's ends blur, has run on into another
// outline (an ellipse touching it from inside turns the same way, so no inflection cuts there).
constexpr double MAX_TURNING = 7.2;
// Pixels to look ahead for the tangent at a chain's end.
constexpr std::size_t TANGENT_SPAN = 5;
// Widest gap a curve is followed across, in pixels, and how straight ahead it must lie.
constexpr int GAP = 3;
constexpr double GAP_ALIGNMENT = 0.7;
// A dash (a run of at most this many pixels since the curve began or last crossed a gap) is
// followed across wider gaps, nearly straight ahead along its last few pixels, onto another
// dash: a stroke of a few pixels standing alone (at least two pixels, not a grain of noise;
// at most the dash's length, not a curve that merely ends nearby). That is the pattern of a
// dashed outline; broken edges of photographs are left to the narrower gap.
constexpr std::size_t DASH_LENGTH = 12;
// A dash's stroke holds more pixels than its length: the corners of its staircase, which the
// trace passes beside, add up to a third.
constexpr std::size_t DASH_STROKE_PIXELS = 16;
constexpr std::size_t DASH_DIRECTION_SPAN = 4;

// A gap a curve may be followed across: the pixel beyond lies from shortest to widest pixels
// away, within the alignment of straight ahead, and on a dash when ontoDash.
struct Gap {
    double shortest;
    int widest;
    double alignment;
    bool ontoDash;
};
constexpr Gap BROKEN_EDGE{1.5, GAP, GAP_ALIGNMENT, false};
// Beyond the broken edge's reach (no pixel centre lies exactly 3.5 pixels away).
constexpr Gap DASH_GAP{GAP + 0.5, 6, 0.9, true};
// Slack of the convexity test, in pixels: rasterisation moves points by about one pixel.
constexpr double CONVEX_SLACK = 2.0;

struct Vector2 {
    double x;
    double y;
};

Vector2 between(Point from, Point to)
{
    return {double(to.x - from.x), double(to.y - from.y)};
}

double cross(Vector2 a, Vector2 b)
{
    return a.x * b.y - a.y * b.x;
}

double dot(Vector2 a, Vector2 b)
{
    return a.x * b.x + a.y * b.y;
}

Vector2 unit(Vector2 v)
{
    const double n = std::hypot(v.x, v.y);
    return n > 0 ? Vector2{v.x / n, v.y / n} : Vector2{0, 0};
}

double distanceToSegment(Point p, Point a, Point b)
{
    const Vector2 ab = between(a, b);
    const Vector2 ap = between(a, p);
    const double length = std::hypot(ab.x, ab.y);
    if (length == 0)
        return std::hypot(ap.x, ap.y);
    return std::fabs(cross(ab, ap)) / length;
}

// Indices of the simplified polyline's vertices, first and last included.
void simplify(const std::vector<Point>& curve, std::size_t first, std::size_t last,
              std::vector<std::size_t>& vertices)
{
    double farthest = 0;
    std::size_t split = first;
    for (std::size_t i = first + 1; i < last; ++i) {
        const double d = distanceToSegment(curve[i], curve[first], curve[last]);
        if (d > farthest) {
            farthest = d;
            split = i;
        }
    }
    if (farthest <= SIMPLIFY_TOLERANCE) {
        vertices.push_back(last);
        return;
    }
    simplify(curve, first, split, vertices);
    simplify(curve, split, last, vertices);
}

// Signed turn at vertex j of the polyline, in radians.
double turnAt(const std::vector<Point>& curve, const std::vector<std::size_t>& vertices,
              std::size_t j)
{
    const Vector2 before = between(curve[vertices[j - 1]], curve[vertices[j]]);
    const Vector2 after = between(curve[vertices[j]], curve[vertices[j + 1]]);
    return std::atan2(cross(before, after), dot(before, after));
}

// A chain's ends and end tangents as met when walking it in its sense of turning, so that the
// inside of the curve always lies to the same side.
struct OrientedEnds {
    Point start, end, middle;
    Vector2 startTangent, endTangent;
};

OrientedEnds orient(const EdgeChain& c)
{
    const Point middle = c.pixels[c.pixels.size() / 2];
    if (c.sense > 0)
        return {
            c.pixels.front(), c.pixels.back(), middle, {c.startDx, c.startDy}, {c.endDx, c.endDy}};
    return {
        c.pixels.back(), c.pixels.front(), middle, {-c.endDx, -c.endDy}, {-c.startDx, -c.startDy}};
}

bool inside(const OrientedEnds& a, Point q)
{
    return cross(a.startTangent, between(a.start, q)) >= -CONVEX_SLACK &&
           cross(a.endTangent, between(a.end, q)) >= -CONVEX_SLACK;
}

} // namespace

/// Follows unvisited active pixels from a start, keeping the direction as straight as it can
/// and never turning back, so a fork continues along its straightest branch.
struct EdgeChains::Tracer {
    const PixelRows& rows;
    std::int32_t width;
    std::int32_t height;
    std::vector<std::uint8_t> visited;

    Tracer(const PixelRows& r, std::int32_t w, std::int32_t h)
        : rows(r), width(w), height(h),
          visited(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0)
    {
    }

    bool active(int x, int y) const { return pixelSet(rows, x, y, width, height); }
    std::size_t index(int x, int y) const
    {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
               static_cast<std::size_t>(x);
    }
    bool free(int x, int y) const { return active(x, y) && visited[index(x, y)] == 0; }

    int neighbourCount(int x, int y) const
    {
        int count = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                count += (dx != 0 || dy != 0) && active(x + dx, y + dy);
        return count;
    }

    // Appends the walk from start (excluded) to out, leaving start in the direction dir.
    void walk(Point start, Vector2 direction, std::vector<Point>& out)
    {
        Point at = start;
        std::size_t runStart = out.size();
        for (;;) {
            double best = -0.01;
            Point next{};
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    if ((dx == 0 && dy == 0) || !free(at.x + dx, at.y + dy))
                        continue;
                    const double alignment = direction.x == 0 && direction.y == 0
                                                 ? 0.0
                                                 : dot(unit({double(dx), double(dy)}), direction);
                    if (alignment > best) {
                        best = alignment;
                        next = {static_cast<std::int16_t>(at.x + dx),
                                static_cast<std::int16_t>(at.y + dy)};
                    }
                }
            }
            if (best < 0) {
                if (!bridge(at, direction, BROKEN_EDGE, next) &&
                    !(out.size() - runStart <= DASH_LENGTH &&
                      bridge(at, dashDirection(start, out), DASH_GAP, next)))
                    return;
                runStart = out.size();
            }
            direction = unit(between(at, next));
            visited[index(next.x, next.y)] = 1;
            out.push_back(next);
            at = next;
        }
    }

    // A free pixel ahead across a gap, nearest first (onto a dash only, for a dash's gap).
    bool bridge(Point at, Vector2 direction, const Gap& gap, Point& next) const
    {
        if (direction.x == 0 && direction.y == 0)
            return false;
        double nearest = gap.widest + 0.5;
        for (int dy = -gap.widest; dy <= gap.widest; ++dy) {
            for (int dx = -gap.widest; dx <= gap.widest; ++dx) {
                const double distance = std::hypot(double(dx), double(dy));
                const Point p{static_cast<std::int16_t>(at.x + dx),
                              static_cast<std::int16_t>(at.y + dy)};
                if (distance < gap.shortest || distance >= nearest || !free(p.x, p.y) ||
                    dot({dx / distance, dy / distance}, direction) < gap.alignment ||
                    (gap.ontoDash && !isDash(p)))
                    continue;
                nearest = distance;
                next = p;
            }
        }
        return nearest <= gap.widest;
    }

    // The direction of the curve's last few pixels.
    static Vector2 dashDirection(Point start, const std::vector<Point>& out)
    {
        if (out.empty())
            return {0, 0};
        const Point from = out.size() > DASH_DIRECTION_SPAN
                               ? out[out.size() - 1 - DASH_DIRECTION_SPAN]
                               : (out.size() == DASH_DIRECTION_SPAN ? start : out.front());
        return unit(between(from, out.back()));
    }

    // Whether the free pixels 8-connected to p number 2 to DASH_STROKE_PIXELS.
    bool isDash(Point p) const
    {
        std::vector<Point> stroke{p};
        for (std::size_t next = 0; next < stroke.size(); ++next) {
            const Point q = stroke[next];
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const Point r{static_cast<std::int16_t>(q.x + dx),
                                  static_cast<std::int16_t>(q.y + dy)};
                    if (!free(r.x, r.y) ||
                        std::find(stroke.begin(), stroke.end(), r) != stroke.end())
                        continue;
                    stroke.push_back(r);
                    if (stroke.size() > DASH_STROKE_PIXELS)
                        return false;
                }
            }
        }
        return stroke.size() >= 2;
    }

    // The pixels a curve passed beside (the corners of its staircase) are part of its stroke:
    // left free, they would be linked across gaps into a ghost of the curve.
    void consumeBeside(const std::vector<Point>& curve)
    {
        for (const Point p : curve)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (active(p.x + dx, p.y + dy))
                        visited[index(p.x + dx, p.y + dy)] = 1;
    }

    // The whole curve through start: both directions, joined.
    std::vector<Point> curveThrough(Point start)
    {
        visited[index(start.x, start.y)] = 1;
        std::vector<Point> forward{start};
        walk(start, {0, 0}, forward);
        std::vector<Point> backward;
        const Vector2 away = forward.size() > 1 ? unit(between(forward[1], start)) : Vector2{0, 0};
        walk(start, away, backward);
        std::reverse(backward.begin(), backward.end());
        backward.insert(backward.end(), forward.begin(), forward.end());
        consumeBeside(backward);
        return backward;
    }
};

EdgeChains EdgeChains::link(const PixelRows& rows, std::int32_t width, std::int32_t height)
{
    EdgeChains result;
    Tracer tracer(rows, width, height);
    // Curve ends first, so open curves are followed from one end to the other; what is left
    // is closed loops.
    for (int pass = 0; pass < 2; ++pass)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (tracer.free(x, y) && (pass == 1 || tracer.neighbourCount(x, y) == 1))
                    result.addSplit(tracer.curveThrough(
                        {static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)}));
    return result;
}

// Cuts a curve at corners, where its sense of turning changes and where it has turned more than
// once around; keeps the arcs between.
void EdgeChains::addSplit(const std::vector<Point>& curve)
{
    if (curve.size() < MIN_PIXELS)
        return;
    std::vector<std::size_t> vertices{0};
    simplify(curve, 0, curve.size() - 1, vertices);
    std::size_t arcStart = 0;
    int sense = 0;
    double turned = 0;
    for (std::size_t j = 1; j + 1 < vertices.size(); ++j) {
        const double turn = turnAt(curve, vertices, j);
        turned += turn;
        if (std::fabs(turn) > CORNER_TURN || std::fabs(turned) > MAX_TURNING) {
            addArc(curve, arcStart, vertices[j]);
            arcStart = vertices[j];
            sense = 0;
            turned = 0;
        } else if (std::fabs(turn) >= SENSE_TURN) {
            const int turnSense = turn > 0 ? 1 : -1;
            if (sense != 0 && turnSense != sense) {
                // The inflection lies on the segment before this vertex: cut at its middle.
                const std::size_t cut = (vertices[j - 1] + vertices[j]) / 2;
                addArc(curve, arcStart, cut);
                arcStart = cut;
                turned = turn;
            }
            sense = turnSense;
        }
    }
    addArc(curve, arcStart, curve.size() - 1);
}

void EdgeChains::addArc(const std::vector<Point>& curve, std::size_t first, std::size_t last)
{
    if (last < first || last - first + 1 < MIN_PIXELS)
        return;
    EdgeChain chain;
    chain.pixels.assign(curve.begin() + static_cast<std::ptrdiff_t>(first),
                        curve.begin() + static_cast<std::ptrdiff_t>(last) + 1);
    const std::vector<Point>& p = chain.pixels;
    std::vector<std::size_t> vertices{0};
    simplify(p, 0, p.size() - 1, vertices);
    double signedTurning = 0;
    for (std::size_t j = 1; j + 1 < vertices.size(); ++j) {
        const double turn = turnAt(p, vertices, j);
        signedTurning += turn;
        chain.turning += std::fabs(turn);
    }
    if (chain.turning < MIN_TURNING)
        return;
    chain.sense = signedTurning >= 0 ? 1 : -1;
    for (std::size_t i = 1; i < p.size(); ++i) {
        const Vector2 step = between(p[i - 1], p[i]);
        chain.length += std::hypot(step.x, step.y);
    }
    const std::size_t span = std::min(TANGENT_SPAN, p.size() - 1);
    const Vector2 startTangent = unit(between(p[0], p[span]));
    const Vector2 endTangent = unit(between(p[p.size() - 1 - span], p.back()));
    chain.startDx = startTangent.x;
    chain.startDy = startTangent.y;
    chain.endDx = endTangent.x;
    chain.endDy = endTangent.y;
    chains_.push_back(std::move(chain));
}

bool EdgeChains::convexTogether(const EdgeChain& a, const EdgeChain& b)
{
    const OrientedEnds ea = orient(a);
    const OrientedEnds eb = orient(b);
    for (Point q : {eb.start, eb.middle, eb.end})
        if (!inside(ea, q))
            return false;
    for (Point q : {ea.start, ea.middle, ea.end})
        if (!inside(eb, q))
            return false;
    return true;
}

} // namespace Trelm
