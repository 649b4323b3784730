// Writes synthetic binary scenes with known ellipses, for scoring detection quality.
//
//   korvath-scenes SEED COUNT DIR [--family default|hard]
//
// For every kind of the family, COUNT scenes FAMILY_KIND_NNN.pbm (binary PBM, 1 = active) and
// their truth FAMILY_KIND_NNN.json: {"width", "height", "ellipses": [{"cx", "cy", "a", "b",
// "theta"}, ...]}, a >= b semi-axes, theta the angle of the a-axis in radians from +x toward +y
// (y points down), normalised to [-pi/2, pi/2); (0, 0) is the centre of the top-left pixel.
// Outlines are drawn by dense parametric sampling. Every scene has its own generator state,
// derived from SEED, the family, the kind and the scene number only, so a scene does not depend
// on COUNT or on the other kinds.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace
{

constexpr double PI = 3.14159265358979323846;
// The full major axis stays below this (the detector refuses axes of 400 and more).
constexpr double MAX_SEMI_MAJOR = 194.0;
constexpr double MIN_SEMI_MINOR = 6.0;

/// splitmix64: small, fast and the same everywhere.
class Rng
{
  public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    /// Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    double uniform(double lo, double hi) { return lo + (hi - lo) * unit(); }
    /// Uniform integer in [lo, hi].
    int integer(int lo, int hi)
    {
        const std::uint64_t span = static_cast<std::uint64_t>(hi - lo) + 1;
        return lo + static_cast<int>(next() % span);
    }

  private:
    std::uint64_t state_;
};

std::uint64_t hashString(const std::string& text)
{
    std::uint64_t h = 1469598103934665603ULL; // FNV-1a
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    return h;
}

struct EllipseParams {
    double cx, cy, a, b, theta;
};

struct Point2 {
    double x, y;
};

class Canvas
{
  public:
    Canvas(int width, int height)
        : width_(width), height_(height), bits_(static_cast<std::size_t>(width) * height, 0)
    {
    }

    int width() const { return width_; }
    int height() const { return height_; }

    void plot(double x, double y)
    {
        const long px = static_cast<long>(std::floor(x + 0.5));
        const long py = static_cast<long>(std::floor(y + 0.5));
        if (px < 0 || py < 0 || px >= width_ || py >= height_)
            return;
        bits_[static_cast<std::size_t>(py) * width_ + px] = 1;
    }

    void set(int x, int y) { bits_[static_cast<std::size_t>(y) * width_ + x] = 1; }

    bool writePbm(const std::string& path) const
    {
        std::ofstream out(path, std::ios::binary);
        out << "P4\n" << width_ << ' ' << height_ << '\n';
        const int rowBytes = (width_ + 7) / 8;
        std::vector<unsigned char> row(rowBytes);
        for (int y = 0; y < height_; ++y) {
            std::fill(row.begin(), row.end(), 0);
            for (int x = 0; x < width_; ++x)
                if (bits_[static_cast<std::size_t>(y) * width_ + x])
                    row[x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
            out.write(reinterpret_cast<const char*>(row.data()), rowBytes);
        }
        return static_cast<bool>(out);
    }

  private:
    int width_;
    int height_;
    std::vector<unsigned char> bits_;
};

Point2 outlinePoint(const EllipseParams& e, double t)
{
    const double c = std::cos(e.theta), s = std::sin(e.theta);
    const double u = e.a * std::cos(t), v = e.b * std::sin(t);
    return {e.cx + u * c - v * s, e.cy + u * s + v * c};
}

/// Unit outward normal at parameter t.
Point2 outlineNormal(const EllipseParams& e, double t)
{
    const double c = std::cos(e.theta), s = std::sin(e.theta);
    const double nu = e.b * std::cos(t), nv = e.a * std::sin(t);
    const double length = std::hypot(nu, nv);
    return {(nu * c - nv * s) / length, (nu * s + nv * c) / length};
}

/// Implicit value: below 0 inside, 0 on the outline, above 0 outside.
double implicitValue(const EllipseParams& e, Point2 p)
{
    const double c = std::cos(e.theta), s = std::sin(e.theta);
    const double dx = p.x - e.cx, dy = p.y - e.cy;
    const double u = (dx * c + dy * s) / e.a, v = (-dx * s + dy * c) / e.b;
    return u * u + v * v - 1.0;
}

/// Half extents of the axis-parallel bounding box.
Point2 halfExtents(const EllipseParams& e)
{
    const double c = std::cos(e.theta), s = std::sin(e.theta);
    return {std::sqrt(e.a * e.a * c * c + e.b * e.b * s * s),
            std::sqrt(e.a * e.a * s * s + e.b * e.b * c * c)};
}

bool fitsInside(const EllipseParams& e, int width, int height, double margin)
{
    const Point2 h = halfExtents(e);
    return e.cx - h.x >= margin && e.cy - h.y >= margin && e.cx + h.x <= width - 1 - margin &&
           e.cy + h.y <= height - 1 - margin;
}

std::vector<Point2> coarseOutline(const EllipseParams& e, int count = 256)
{
    std::vector<Point2> points(count);
    for (int i = 0; i < count; ++i)
        points[i] = outlinePoint(e, 2 * PI * i / count);
    return points;
}

/// Smallest distance between the two sampled outlines.
double outlineGap(const EllipseParams& e1, const EllipseParams& e2)
{
    const auto p1 = coarseOutline(e1), p2 = coarseOutline(e2);
    double best = 1e30;
    for (const auto& p : p1)
        for (const auto& q : p2)
            best = std::min(best, (p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y));
    return std::sqrt(best);
}

/// Whether every sampled outline point of `inner` is inside `outer` (by `slack` in implicit
/// units).
bool containedIn(const EllipseParams& inner, const EllipseParams& outer, double slack = 0.0)
{
    for (const auto& p : coarseOutline(inner))
        if (implicitValue(outer, p) > -slack)
            return false;
    return true;
}

bool outlinesCross(const EllipseParams& e1, const EllipseParams& e2)
{
    bool inside = false, outside = false;
    for (const auto& p : coarseOutline(e1)) {
        const double v = implicitValue(e2, p);
        inside = inside || v < 0;
        outside = outside || v > 0;
    }
    return inside && outside;
}

/// Disjoint regions with outlines at least `gap` pixels apart.
bool separated(const EllipseParams& e1, const EllipseParams& e2, double gap)
{
    if (std::hypot(e1.cx - e2.cx, e1.cy - e2.cy) > e1.a + e2.a + gap)
        return true;
    if (implicitValue(e1, {e2.cx, e2.cy}) <= 0 || implicitValue(e2, {e1.cx, e1.cy}) <= 0)
        return false;
    if (outlinesCross(e1, e2) || containedIn(e1, e2) || containedIn(e2, e1))
        return false;
    return outlineGap(e1, e2) >= gap;
}

double normaliseAngle(double theta)
{
    double t = std::fmod(theta + PI / 2, PI);
    if (t < 0)
        t += PI;
    t -= PI / 2;
    if (t >= PI / 2)
        t -= PI;
    return t;
}

/// A random ellipse with semi-major in [aLo, aHi] and axis ratio in [ratioLo, 1], placed so that
/// it lies inside the image.
EllipseParams randomEllipse(Rng& rng, int width, int height, double aLo, double aHi,
                            double ratioLo = 0.3, double margin = 3.0)
{
    aHi = std::min(aHi, MAX_SEMI_MAJOR);
    aLo = std::min(aLo, aHi);
    EllipseParams e{};
    e.a = rng.uniform(aLo, aHi);
    e.b = std::max(MIN_SEMI_MINOR, e.a * rng.uniform(ratioLo, 1.0));
    e.a = std::max(e.a, e.b);
    e.theta = normaliseAngle(rng.uniform(-PI / 2, PI / 2));
    const Point2 h = halfExtents(e);
    const double xLo = h.x + margin, xHi = width - 1 - margin - h.x;
    const double yLo = h.y + margin, yHi = height - 1 - margin - h.y;
    e.cx = xHi > xLo ? rng.uniform(xLo, xHi) : (width - 1) / 2.0;
    e.cy = yHi > yLo ? rng.uniform(yLo, yHi) : (height - 1) / 2.0;
    return e;
}

/// Places up to `count` ellipses accepted by `accept` (given the ones placed so far). Sizes
/// shrink when a placement keeps failing.
std::vector<EllipseParams> placeEllipses(
    Rng& rng, int width, int height, int count, double aLo, double aHi,
    const std::function<bool(const EllipseParams&, const std::vector<EllipseParams>&)>& accept,
    double ratioLo = 0.3)
{
    std::vector<EllipseParams> placed;
    double hi = aHi;
    while (static_cast<int>(placed.size()) < count) {
        bool done = false;
        for (int attempt = 0; attempt < 300 && !done; ++attempt) {
            const EllipseParams e = randomEllipse(rng, width, height, aLo, hi, ratioLo);
            if (fitsInside(e, width, height, 2.0) && accept(e, placed)) {
                placed.push_back(e);
                done = true;
            }
        }
        if (!done) {
            if (hi <= aLo * 1.05)
                break; // no room left: fewer ellipses
            hi = std::max(aLo, hi * 0.85);
        }
    }
    return placed;
}

std::function<bool(const EllipseParams&, const std::vector<EllipseParams>&)> apartFrom(double gap)
{
    return [gap](const EllipseParams& e, const std::vector<EllipseParams>& placed) {
        for (const auto& other : placed)
            if (!separated(e, other, gap))
                return false;
        return true;
    };
}

/// Dense samples of the outline with their cumulative arc length as a share of the perimeter.
struct DenseOutline {
    std::vector<double> t;
    std::vector<double> share;
};

DenseOutline denseOutline(const EllipseParams& e)
{
    const int count = std::max(256, static_cast<int>(std::ceil(2 * PI * e.a * 5)));
    DenseOutline d;
    d.t.resize(count);
    d.share.resize(count);
    double length = 0;
    Point2 previous = outlinePoint(e, 0);
    for (int i = 0; i < count; ++i) {
        d.t[i] = 2 * PI * i / count;
        const Point2 p = outlinePoint(e, d.t[i]);
        length += std::hypot(p.x - previous.x, p.y - previous.y);
        d.share[i] = length;
        previous = p;
    }
    const Point2 first = outlinePoint(e, 0);
    length += std::hypot(first.x - previous.x, first.y - previous.y);
    for (double& s : d.share)
        s /= length;
    return d;
}

/// Pieces of the outline to draw, as [start, end) shares of the perimeter (wrapping past 1).
struct Piece {
    double start, end;
};

bool inPieces(double share, const std::vector<Piece>& pieces)
{
    for (const auto& p : pieces) {
        const double s = share < p.start ? share + 1.0 : share;
        if (s >= p.start && s < p.end)
            return true;
    }
    return false;
}

/// Draws the pieces of the outline with a stroke `thickness` pixels wide.
void drawEllipse(Canvas& canvas, const EllipseParams& e,
                 const std::vector<Piece>& pieces = {{0.0, 1.0}}, int thickness = 1)
{
    const DenseOutline d = denseOutline(e);
    const double half = (thickness - 1) / 2.0;
    for (std::size_t i = 0; i < d.t.size(); ++i) {
        if (!inPieces(d.share[i], pieces))
            continue;
        const Point2 p = outlinePoint(e, d.t[i]);
        if (thickness <= 1) {
            canvas.plot(p.x, p.y);
            continue;
        }
        const Point2 n = outlineNormal(e, d.t[i]);
        for (double offset = -half; offset <= half + 1e-9; offset += 0.5)
            canvas.plot(p.x + offset * n.x, p.y + offset * n.y);
    }
}

void drawSegment(Canvas& canvas, Point2 p, Point2 q)
{
    const double length = std::hypot(q.x - p.x, q.y - p.y);
    const int steps = std::max(1, static_cast<int>(std::ceil(length * 4)));
    for (int i = 0; i <= steps; ++i) {
        const double f = static_cast<double>(i) / steps;
        canvas.plot(p.x + (q.x - p.x) * f, p.y + (q.y - p.y) * f);
    }
}

Point2 randomPoint(Rng& rng, const Canvas& canvas)
{
    return {rng.uniform(0, canvas.width() - 1), rng.uniform(0, canvas.height() - 1)};
}

/// A segment of at least a fifth of the image diagonal.
void drawRandomSegment(Rng& rng, Canvas& canvas)
{
    const double diagonal = std::hypot(canvas.width(), canvas.height());
    for (int attempt = 0; attempt < 50; ++attempt) {
        const Point2 p = randomPoint(rng, canvas), q = randomPoint(rng, canvas);
        if (std::hypot(q.x - p.x, q.y - p.y) >= diagonal / 5 || attempt == 49) {
            drawSegment(canvas, p, q);
            return;
        }
    }
}

void drawRandomPolyline(Rng& rng, Canvas& canvas)
{
    const int vertices = rng.integer(3, 8);
    const double step = std::min(canvas.width(), canvas.height()) / 4.0;
    Point2 p = randomPoint(rng, canvas);
    for (int i = 1; i < vertices; ++i) {
        const double direction = rng.uniform(0, 2 * PI), length = rng.uniform(step / 3, step);
        Point2 q{p.x + length * std::cos(direction), p.y + length * std::sin(direction)};
        q.x = std::clamp(q.x, 0.0, canvas.width() - 1.0);
        q.y = std::clamp(q.y, 0.0, canvas.height() - 1.0);
        drawSegment(canvas, p, q);
        p = q;
    }
}

void addSalt(Rng& rng, Canvas& canvas, double share)
{
    const long total = static_cast<long>(canvas.width()) * canvas.height();
    const long count = std::lround(share * total);
    for (long i = 0; i < count; ++i)
        canvas.set(rng.integer(0, canvas.width() - 1), rng.integer(0, canvas.height() - 1));
}

/// Pieces covering `share` of the outline in `count` arcs separated by random gaps.
std::vector<Piece> randomPieces(Rng& rng, double share, int count)
{
    std::vector<double> weights(count), gaps(count);
    double weightSum = 0, gapSum = 0;
    for (int i = 0; i < count; ++i) {
        weights[i] = rng.uniform(0.5, 1.5);
        gaps[i] = rng.uniform(0.5, 1.5);
        weightSum += weights[i];
        gapSum += gaps[i];
    }
    std::vector<Piece> pieces;
    double position = rng.unit();
    for (int i = 0; i < count; ++i) {
        const double length = share * weights[i] / weightSum;
        pieces.push_back({position, position + length});
        position += length + (1.0 - share) * gaps[i] / gapSum;
        if (position >= 1.0)
            position -= 1.0;
    }
    return pieces;
}

/// Dashes of `dash` pixels separated by `gap` pixels along the outline.
std::vector<Piece> dashes(const EllipseParams& e, double dash, double gap)
{
    const double perimeter = // closed-form approximation
        PI * (3 * (e.a + e.b) - std::sqrt((3 * e.a + e.b) * (e.a + 3 * e.b)));
    const int periods = std::max(3, static_cast<int>(std::lround(perimeter / (dash + gap))));
    const double dashShare = dash / (dash + gap) / periods;
    std::vector<Piece> pieces;
    for (int i = 0; i < periods; ++i)
        pieces.push_back(
            {static_cast<double>(i) / periods, static_cast<double>(i) / periods + dashShare});
    return pieces;
}

/// Moves `e` along `direction` from `from` to the smallest distance where `good` holds, assuming
/// it holds at `far` and not at 0.
EllipseParams slideUntil(EllipseParams e, Point2 from, Point2 direction, double far,
                         const std::function<bool(const EllipseParams&)>& good)
{
    double lo = 0, hi = far;
    for (int i = 0; i < 40; ++i) {
        const double mid = (lo + hi) / 2;
        e.cx = from.x + direction.x * mid;
        e.cy = from.y + direction.y * mid;
        (good(e) ? hi : lo) = mid;
    }
    e.cx = from.x + direction.x * hi;
    e.cy = from.y + direction.y * hi;
    return e;
}

/// An ellipse touching `base` from outside (gap below a pixel), placed at a random direction;
/// false when it does not fit.
bool touchingOutside(Rng& rng, const EllipseParams& base, double aLo, double aHi, int width,
                     int height, EllipseParams& result)
{
    EllipseParams e = randomEllipse(rng, width, height, aLo, aHi);
    const double direction = rng.uniform(0, 2 * PI);
    const Point2 d{std::cos(direction), std::sin(direction)};
    e = slideUntil(e, {base.cx, base.cy}, d, base.a + e.a + 2,
                   [&](const EllipseParams& c) { return separated(c, base, 0.0); });
    result = e;
    return fitsInside(e, width, height, 2.0);
}

/// A smaller ellipse inside `base`, touching its outline from inside.
bool touchingInside(Rng& rng, const EllipseParams& base, EllipseParams& result)
{
    EllipseParams e{};
    e.a = base.b * rng.uniform(0.35, 0.7);
    e.b = std::max(MIN_SEMI_MINOR, e.a * rng.uniform(0.4, 1.0));
    e.a = std::max(e.a, e.b);
    e.theta = normaliseAngle(rng.uniform(-PI / 2, PI / 2));
    e.cx = base.cx;
    e.cy = base.cy;
    if (!containedIn(e, base, 0.05))
        return false;
    const double direction = rng.uniform(0, 2 * PI);
    const Point2 d{std::cos(direction), std::sin(direction)};
    // The last position still inside: slide until no longer contained, then step back.
    EllipseParams out = slideUntil(e, {base.cx, base.cy}, d, base.a,
                                   [&](const EllipseParams& c) { return !containedIn(c, base); });
    const double back = 0.3;
    out.cx -= d.x * back;
    out.cy -= d.y * back;
    result = out;
    return containedIn(out, base);
}

struct Scene {
    int width = 0, height = 0;
    std::vector<EllipseParams> truth;
    Canvas canvas{1, 1};
};

void randomSize(Rng& rng, Scene& scene, int minWidth = 160, int maxWidth = 640)
{
    scene.width = rng.integer(minWidth, maxWidth);
    const int h = static_cast<int>(std::lround(scene.width * 0.75 * rng.uniform(0.85, 1.15)));
    scene.height = std::clamp(h, 120, 480);
    scene.canvas = Canvas(scene.width, scene.height);
}

double smallSide(const Scene& s)
{
    return std::min(s.width, s.height);
}

void drawAll(Scene& s)
{
    for (const auto& e : s.truth)
        drawEllipse(s.canvas, e);
}

// ---- default kinds ----

void makeClean(Rng& rng, Scene& s)
{
    randomSize(rng, s);
    s.truth = placeEllipses(rng, s.width, s.height, 1, 15, smallSide(s) * 0.48, apartFrom(4));
    drawAll(s);
}

void makeSeveral(Rng& rng, Scene& s)
{
    randomSize(rng, s, 240);
    const int count = rng.integer(2, 5);
    s.truth = placeEllipses(rng, s.width, s.height, count, 12,
                            smallSide(s) / (1.2 + std::sqrt(count)), apartFrom(4));
    drawAll(s);
}

void makeOverlapping(Rng& rng, Scene& s)
{
    randomSize(rng, s, 240);
    const int count = rng.integer(2, 3);
    auto crossesOne = [](const EllipseParams& e, const std::vector<EllipseParams>& placed) {
        if (placed.empty())
            return true;
        bool crosses = false;
        for (const auto& other : placed) {
            // Distinct enough: centres apart by a good share of the smaller size.
            if (std::hypot(e.cx - other.cx, e.cy - other.cy) < 0.4 * std::min(e.b, other.b))
                return false;
            crosses = crosses || outlinesCross(e, other);
        }
        return crosses;
    };
    s.truth = placeEllipses(rng, s.width, s.height, count, 20, smallSide(s) * 0.35, crossesOne);
    drawAll(s);
}

void makeConcentric(Rng& rng, Scene& s)
{
    randomSize(rng, s, 200);
    const int count = rng.integer(2, 3);
    EllipseParams outer =
        randomEllipse(rng, s.width, s.height, smallSide(s) * 0.25, smallSide(s) * 0.47, 0.5);
    const bool sameAngle = rng.unit() < 0.5;
    s.truth.push_back(outer);
    for (int i = 1; i < count; ++i) {
        const EllipseParams previous = s.truth.back();
        for (int attempt = 0; attempt < 50; ++attempt) {
            EllipseParams e = previous;
            const double scale = rng.uniform(0.55, 0.8);
            e.a = previous.a * scale;
            e.b = std::max(MIN_SEMI_MINOR, previous.b * rng.uniform(scale * 0.9, scale));
            if (!sameAngle)
                e.theta = normaliseAngle(e.theta + rng.uniform(-0.6, 0.6));
            e.a = std::max(e.a, e.b);
            if (e.b >= 10 && containedIn(e, previous, 0.0) && outlineGap(e, previous) >= 6) {
                s.truth.push_back(e);
                break;
            }
        }
    }
    drawAll(s);
}

void makePartial(Rng& rng, Scene& s)
{
    randomSize(rng, s);
    const int count = rng.integer(1, 2);
    s.truth = placeEllipses(rng, s.width, s.height, count, 20, smallSide(s) * 0.45, apartFrom(4));
    for (const auto& e : s.truth)
        drawEllipse(s.canvas, e, randomPieces(rng, rng.uniform(0.5, 0.8), 1));
}

void makeThick(Rng& rng, Scene& s)
{
    randomSize(rng, s);
    const int count = rng.integer(1, 3);
    s.truth = placeEllipses(rng, s.width, s.height, count, 15, smallSide(s) * 0.45, apartFrom(6));
    for (const auto& e : s.truth)
        drawEllipse(s.canvas, e, {{0.0, 1.0}}, rng.integer(2, 3));
}

void makeSalt(Rng& rng, Scene& s)
{
    randomSize(rng, s);
    const int count = rng.integer(1, 3);
    s.truth = placeEllipses(rng, s.width, s.height, count, 15, smallSide(s) * 0.45, apartFrom(4));
    drawAll(s);
    addSalt(rng, s.canvas, rng.uniform(0.005, 0.02));
}

void makeLines(Rng& rng, Scene& s)
{
    randomSize(rng, s);
    const int count = rng.integer(1, 3);
    s.truth = placeEllipses(rng, s.width, s.height, count, 15, smallSide(s) * 0.45, apartFrom(4));
    drawAll(s);
    const int segments = rng.integer(2, 5);
    for (int i = 0; i < segments; ++i)
        drawRandomSegment(rng, s.canvas);
}

// ---- hard kinds ----

void makeDense(Rng& rng, Scene& s)
{
    randomSize(rng, s, 400);
    const int count = rng.integer(10, 20);
    const int touching = count / 3;
    const double aHi = smallSide(s) / (1.0 + std::sqrt(count));
    s.truth = placeEllipses(rng, s.width, s.height, count - touching, 10, aHi, apartFrom(3), 0.4);
    for (int i = 0; i < touching; ++i) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const EllipseParams& base =
                s.truth[rng.integer(0, static_cast<int>(s.truth.size()) - 1)];
            EllipseParams e{};
            if (!touchingOutside(rng, base, 10, aHi, s.width, s.height, e))
                continue;
            bool ok = true;
            for (const auto& other : s.truth)
                if (&other != &base && !separated(e, other, 3))
                    ok = false;
            if (ok) {
                s.truth.push_back(e);
                break;
            }
        }
    }
    drawAll(s);
}

void makeHeavySalt(Rng& rng, Scene& s)
{
    randomSize(rng, s);
    const int count = rng.integer(1, 3);
    s.truth = placeEllipses(rng, s.width, s.height, count, 20, smallSide(s) * 0.45, apartFrom(4));
    drawAll(s);
    addSalt(rng, s.canvas, rng.uniform(0.05, 0.10));
}

void makeArcs(Rng& rng, Scene& s)
{
    randomSize(rng, s);
    const int count = rng.integer(1, 3);
    s.truth = placeEllipses(rng, s.width, s.height, count, 20, smallSide(s) * 0.45, apartFrom(4));
    for (const auto& e : s.truth)
        drawEllipse(s.canvas, e, randomPieces(rng, rng.uniform(0.3, 0.5), rng.integer(1, 3)));
}

void makeSmall(Rng& rng, Scene& s)
{
    randomSize(rng, s, 160, 400);
    const int count = rng.integer(2, 6);
    std::vector<EllipseParams> placed;
    for (int attempt = 0; attempt < 2000 && static_cast<int>(placed.size()) < count; ++attempt) {
        EllipseParams e{};
        e.b = rng.uniform(5.5, 12.0);
        e.a = e.b * rng.uniform(1.0, 2.2);
        e.theta = normaliseAngle(rng.uniform(-PI / 2, PI / 2));
        e.cx = rng.uniform(e.a + 3, s.width - 4 - e.a);
        e.cy = rng.uniform(e.a + 3, s.height - 4 - e.a);
        if (apartFrom(6)(e, placed))
            placed.push_back(e);
    }
    s.truth = placed;
    drawAll(s);
}

void makeTangent(Rng& rng, Scene& s)
{
    randomSize(rng, s, 240);
    const int pairs = rng.integer(1, 2);
    const double aHi = smallSide(s) * (pairs == 1 ? 0.3 : 0.22);
    for (int p = 0; p < pairs; ++p) {
        const bool inside = rng.unit() < 0.35;
        for (int attempt = 0; attempt < 200; ++attempt) {
            const EllipseParams base = randomEllipse(rng, s.width, s.height, 20, aHi);
            EllipseParams e{};
            const bool ok = inside ? touchingInside(rng, base, e)
                                   : touchingOutside(rng, base, 15, aHi, s.width, s.height, e);
            if (!ok || !fitsInside(base, s.width, s.height, 2.0))
                continue;
            bool clear = true;
            for (const auto& other : s.truth)
                clear = clear && separated(base, other, 6) && separated(e, other, 6);
            if (clear) {
                s.truth.push_back(base);
                s.truth.push_back(e);
                break;
            }
        }
    }
    drawAll(s);
}

void makeCrossing(Rng& rng, Scene& s)
{
    randomSize(rng, s, 240);
    const int pairs = rng.integer(1, 2);
    const double aHi = smallSide(s) * (pairs == 1 ? 0.4 : 0.25);
    for (int p = 0; p < pairs; ++p) {
        for (int attempt = 0; attempt < 300; ++attempt) {
            const EllipseParams base = randomEllipse(rng, s.width, s.height, 20, aHi);
            EllipseParams e = randomEllipse(rng, s.width, s.height, 20, aHi);
            // Often the same centre with a different shape or angle: four crossings.
            if (rng.unit() < 0.4) {
                e.cx = base.cx + rng.uniform(-3, 3);
                e.cy = base.cy + rng.uniform(-3, 3);
                e.theta = normaliseAngle(base.theta + rng.uniform(0.6, PI - 0.6));
            }
            if (!fitsInside(e, s.width, s.height, 2.0) || !outlinesCross(base, e))
                continue;
            if (std::fabs(e.a - base.a) < 3 && std::fabs(e.b - base.b) < 3 &&
                std::hypot(e.cx - base.cx, e.cy - base.cy) < 3)
                continue;
            bool clear = true;
            for (const auto& other : s.truth)
                clear = clear && separated(base, other, 6) && separated(e, other, 6);
            if (clear) {
                s.truth.push_back(base);
                s.truth.push_back(e);
                break;
            }
        }
    }
    drawAll(s);
}

void makeClutter(Rng& rng, Scene& s)
{
    randomSize(rng, s, 240);
    const int count = rng.integer(1, 3);
    s.truth = placeEllipses(rng, s.width, s.height, count, 20, smallSide(s) * 0.4, apartFrom(4));
    drawAll(s);
    const int segments = rng.integer(20, 40);
    for (int i = 0; i < segments; ++i)
        drawRandomSegment(rng, s.canvas);
    const int polylines = rng.integer(2, 4);
    for (int i = 0; i < polylines; ++i)
        drawRandomPolyline(rng, s.canvas);
}

void makeDashed(Rng& rng, Scene& s)
{
    randomSize(rng, s);
    const int count = rng.integer(1, 3);
    s.truth = placeEllipses(rng, s.width, s.height, count, 20, smallSide(s) * 0.45, apartFrom(4));
    for (const auto& e : s.truth)
        drawEllipse(s.canvas, e, dashes(e, rng.uniform(4, 12), rng.uniform(2, 6)));
}

struct Kind {
    const char* name;
    void (*make)(Rng&, Scene&);
};

const std::vector<Kind> DEFAULT_KINDS = {
    {"clean", makeClean},
    {"several", makeSeveral},
    {"overlapping", makeOverlapping},
    {"concentric", makeConcentric},
    {"partial", makePartial},
    {"thick", makeThick},
    {"salt", makeSalt},
    {"lines", makeLines},
};

const std::vector<Kind> HARD_KINDS = {
    {"dense", makeDense},     {"heavysalt", makeHeavySalt}, {"arcs", makeArcs},
    {"small", makeSmall},     {"tangent", makeTangent},     {"crossing", makeCrossing},
    {"clutter", makeClutter}, {"dashed", makeDashed},
};

bool writeTruth(const std::string& path, const Scene& s)
{
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (!out)
        return false;
    std::fprintf(out, "{\n \"width\": %d,\n \"height\": %d,\n \"ellipses\": [", s.width, s.height);
    for (std::size_t i = 0; i < s.truth.size(); ++i) {
        const EllipseParams& e = s.truth[i];
        std::fprintf(
            out, "%s\n  {\"cx\": %.6f, \"cy\": %.6f, \"a\": %.6f, \"b\": %.6f, \"theta\": %.8f}",
            i ? "," : "", e.cx, e.cy, e.a, e.b, normaliseAngle(e.theta));
    }
    std::fprintf(out, "%s]\n}\n", s.truth.empty() ? "" : "\n ");
    return std::fclose(out) == 0;
}

int usage()
{
    std::cerr << "usage: korvath-scenes SEED COUNT DIR [--family default|hard]\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> positional;
    std::string family = "default";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--family" && i + 1 < argc)
            family = argv[++i];
        else if (arg.rfind("--family=", 0) == 0)
            family = arg.substr(9);
        else if (arg.rfind("--", 0) == 0)
            return usage();
        else
            positional.push_back(arg);
    }
    if (positional.size() != 3 || (family != "default" && family != "hard"))
        return usage();
    char* end = nullptr;
    const unsigned long long seed = std::strtoull(positional[0].c_str(), &end, 10);
    if (*end)
        return usage();
    const long count = std::strtol(positional[1].c_str(), &end, 10);
    if (*end || count < 0 || count > 999)
        return usage();
    const std::string dir = positional[2];
    std::error_code error;
    std::filesystem::create_directories(dir, error);

    const auto& kinds = family == "hard" ? HARD_KINDS : DEFAULT_KINDS;
    int written = 0;
    for (const Kind& kind : kinds) {
        for (long index = 0; index < count; ++index) {
            char name[96];
            std::snprintf(name, sizeof name, "%s_%s_%03ld", family.c_str(), kind.name, index);
            Rng rng(seed * 0x9E3779B97F4A7C15ULL ^ hashString(name));
            rng.next();
            Scene scene;
            kind.make(rng, scene);
            const std::string stem = dir + "/" + name;
            if (!scene.canvas.writePbm(stem + ".pbm") || !writeTruth(stem + ".json", scene)) {
                std::cerr << "cannot write " << stem << ".pbm/.json\n";
                return 1;
            }
            ++written;
        }
    }
    std::cout << written << " scenes written to " << dir << '\n';
    return 0;
}
