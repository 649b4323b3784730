#include "geometry/Ellipse.h"

#include <cmath>
#include <iostream>
#include <limits>

#include "core/Exceptions.h"
#include "core/Rounding.h"
#include "geometry/LinearSolve.h"
#include "geometry/Pi.h"

namespace Trelm
{

namespace
{

// Below this |cos| or |sin| the rotation snaps to an exact quarter turn.
constexpr double SNAP = 0.005;
// Largest semi-axis whose full length (twice it) still fits a 32-bit integer.
constexpr double MAX_SEMI_AXIS = std::numeric_limits<std::int32_t>::max() / 2;

// Similarity thresholds.
constexpr double MAX_RELATIVE_DIFFERENCE = 0.25;
constexpr int MAX_PIXEL_DIFFERENCE = 6;
constexpr int NEAR_CIRCLE = 2;
constexpr double OPPOSITE_ANGLES = 0.96;
constexpr double MAX_MEAN_DIFFERENCE = 0.25;

} // namespace

Ellipse::Conic Ellipse::solveConic(const std::array<Point, 5>& genes, const RunContext& context)
{
    LinearSolve::Matrix m{};
    for (std::size_t i = 0; i < genes.size(); ++i) {
        // The products are formed in 32-bit integers, then converted.
        const std::int32_t x = genes[i].x;
        const std::int32_t y = genes[i].y;
        m[i] = {static_cast<double>(x * x), static_cast<double>(2 * x * y),
                static_cast<double>(y * y), static_cast<double>(2 * x), static_cast<double>(2 * y)};
    }
    // The constant term of the conic is fixed at 1, so the right-hand side is -1.
    LinearSolve::Column rhs{};
    rhs.fill(-1.0);
    LinearSolve::Column s{};
    std::ostream& out = context.out();
    const bool printSystem = context.verbosity >= Verbosity::SYSTEM;
    if (printSystem) {
        out << "system:\n";
        LinearSolve::print(out, m);
        out << "solutions:\n";
        LinearSolve::print(out, s);
        out << "RHS:\n";
        LinearSolve::print(out, rhs);
    }
    LinearSolve::solveInPlace(m, s, rhs);
    if (printSystem) {
        out << "system:\n";
        LinearSolve::print(out, m);
        out << "solutions:\n";
        LinearSolve::print(out, s);
    }
    return {s[0], s[1], s[2], s[3], s[4]};
}

bool Ellipse::computeFromPoints(const std::array<Point, 5>& genes, std::int32_t upperLimit,
                                std::int32_t lowerLimit, const RunContext& context)
{
    const Conic q = solveConic(genes, context);
    const double delta = q.a * q.c - q.b * q.b;
    if (!(delta > 0)) // hyperbola, parabola or not a number
        return valid = false;
    const double determinant =
        q.a * q.c + 2 * q.b * q.d * q.e - q.a * q.e * q.e - q.c * q.d * q.d - q.b * q.b;
    if (!(determinant / (q.a + q.c) < 0)) // imaginary ellipse
        return valid = false;

    // Rounded by adding 0.5 and truncating toward zero, so a centre at -0.7 becomes 0.
    const double denominator = q.b * q.b - q.a * q.c;
    const std::int32_t x0 =
        saturateToInt32(roundHalfTowardZero((q.c * q.d - q.b * q.e) / denominator));
    const std::int32_t y0 =
        saturateToInt32(roundHalfTowardZero((q.a * q.e - q.b * q.d) / denominator));
    centerX = static_cast<std::int16_t>(x0);
    centerY = static_cast<std::int16_t>(y0);

    if (!computeAxes(q, delta, determinant))
        return valid = false;
    if (majorAxis > upperLimit || majorAxis < lowerLimit)
        return valid = false;

    if (majorAxis - minorAxis <= NEAR_CIRCLE) {
        minorAxis = majorAxis;
        angle = 0;
    } else {
        const double theta = 0.5 * std::atan(2 * q.b / (q.a - q.c));
        if (q.a - q.c > 0)
            angle = q.b > 0 ? theta - PI / 2 : theta + PI / 2;
        else
            angle = theta;
    }
    valid =
        x0 >= 0 && y0 >= 0 && majorAxis < context.axisCap && minorAxis > context.settings.minAxis;
    return valid;
}

bool Ellipse::computeAxes(const Conic& q, double delta, double determinant)
{
    const double h = std::hypot(q.a - q.c, 2 * q.b);
    const double n = -2 * determinant;
    // When the origin lies inside the ellipse a + c is negative and the first formula gives
    // the shorter axis; the angle rule then treats the ellipse as a circle of that length.
    const double semiMajor = roundHalfTowardZero(std::sqrt(n / (((q.a + q.c) - h) * delta)));
    const double semiMinor = roundHalfTowardZero(std::sqrt(n / (((q.a + q.c) + h) * delta)));
    // A nearly parabolic conic can have axes beyond any integer: not an acceptable ellipse.
    if (!(semiMajor <= MAX_SEMI_AXIS) || !(semiMinor <= MAX_SEMI_AXIS))
        return false;
    majorAxis = 2 * static_cast<std::int32_t>(semiMajor);
    minorAxis = 2 * static_cast<std::int32_t>(semiMinor);
    return true;
}

Ellipse::Rotation Ellipse::rotation() const
{
    Rotation r{std::cos(angle), std::sin(angle)};
    if (std::fabs(r.c) < SNAP)
        r = {0.0, 1.0};
    else if (std::fabs(r.s) < SNAP)
        r = {1.0, 0.0};
    return r;
}

void Ellipse::addSymmetricPoints(int offsetX, int offsetY, const Raster& raster)
{
    const Rotation& r = raster.rotation;
    // The four points (+-u, +-v) rotated: centre + u c - v s, centre + u s + v c. Negating u or
    // v negates its products exactly, so the four share them and round as they did alone.
    const double uc = offsetX * r.c;
    const double us = offsetX * r.s;
    const double vs = offsetY * r.s;
    const double vc = offsetY * r.c;
    const double cx = centerX;
    const double cy = centerY;
    const double xs[4] = {(cx + uc) - vs, (cx - uc) - vs, (cx + uc) + vs, (cx - uc) + vs};
    const double ys[4] = {(cy + us) + vc, (cy - us) + vc, (cy + us) - vc, (cy - us) - vc};
    for (int i = 0; i < 4; ++i) {
        std::int16_t px = 0;
        std::int16_t py = 0;
        const bool insideX = rasterCoordinate(xs[i], raster.xBound, px);
        if (!(rasterCoordinate(ys[i], raster.yBound, py) && insideX))
            continue;
        points.push_back({px, py});
        if (raster.context.verbosity >= Verbosity::OUTLINE)
            raster.context.out() << px << " " << py << std::endl;
    }
}

void Ellipse::generatePoints(int& xBound, int& yBound, const RunContext& context)
{
    if (!valid)
        throw InvalidOperationException("Cannot generate points for an invalid ellipse");
    const Raster raster{rotation(), xBound, yBound, context};
    points.reserve(400);
    addSymmetricPoints(0, minorAxis / 2, raster);
    if (majorAxis == minorAxis)
        walkCircle(raster);
    else
        walkEllipse(raster);
}

// Midpoint walk over one quarter of the axis-parallel ellipse, in integer steps.
void Ellipse::walkEllipse(const Raster& raster)
{
    const bool printWalk = raster.context.verbosity >= Verbosity::OUTLINE;
    const long long rx = majorAxis / 2;
    const long long ry = minorAxis / 2;
    const long long rx2 = (rx * majorAxis) / 2;
    const long long ry2 = (ry * minorAxis) / 2;
    long long x = 0;
    long long y = ry;
    long long px = 0;
    long long py = 2 * rx2 * ry;
    // The integer division happens before the floating-point part.
    long long p = static_cast<long long>(std::trunc(
        static_cast<double>(ry2 - (minorAxis * rx2) / 2) + 0.25 * static_cast<double>(rx2) + 0.5));
    while (px < py) { // region 1: slope between 0 and -1
        ++x;
        px += 2 * ry2;
        if (p < 0) {
            p += ry2 + px;
        } else {
            --y;
            py -= 2 * rx2;
            p += ry2 + px - py;
        }
        if (printWalk)
            raster.context.out() << "check ideal ellipse: " << x << " " << y << std::endl;
        addSymmetricPoints(static_cast<int>(x), static_cast<int>(y), raster);
    }
    // The products of integers stay integers until they meet the doubles.
    const double xMid = static_cast<double>(x) + 0.5;
    p = static_cast<long long>(std::trunc(xMid * xMid * static_cast<double>(ry2) +
                                          static_cast<double>((y - 1) * (y - 1) * rx2) -
                                          static_cast<double>(rx2 * ry2) + 0.5));
    while (y > 0) { // region 2
        --y;
        py -= 2 * rx2;
        if (p > 0) {
            p += rx2 - py;
        } else {
            ++x;
            px += 2 * ry2;
            p += rx2 - py + px;
        }
        if (printWalk)
            raster.context.out() << "check ideal ellipse:" << x << " " << y << std::endl;
        addSymmetricPoints(static_cast<int>(x), static_cast<int>(y), raster);
    }
}

// Midpoint circle walk over one eighth; each step gives eight points. The offset (r, 0) is
// never produced here.
void Ellipse::walkCircle(const Raster& raster)
{
    const int radius = minorAxis / 2;
    int d = 1 - radius;
    int x = 0;
    int y = radius;
    while (x < y) {
        ++x;
        if (d < 0) {
            d += 2 * x + 1;
        } else {
            --y;
            d += 2 * (x - y) + 1;
        }
        addSymmetricPoints(x, y, raster);
        addSymmetricPoints(y, x, raster);
    }
}

void Ellipse::draw(PixelRows& rows, int rowCount, int columnCount, int thickness) const
{
    paintSquares(points, thickness, rows, rowCount, columnCount);
}

bool Ellipse::isSimilar(const Ellipse& other) const
{
    const int dA = majorAxis - other.majorAxis;
    const int dB = minorAxis - other.minorAxis;
    const int dX = centerX - other.centerX;
    const int dY = centerY - other.centerY;
    const double mA = std::max(majorAxis, other.majorAxis);
    const double mB = std::max(minorAxis, other.minorAxis);
    const double rA = dA / mA;
    const double rB = dB / mB;
    const double rX = dX / mA;
    const double rY = dY / mB;
    const double rT = (angle - other.angle) / PI;

    const std::pair<double, int> pairs[] = {{rA, dA}, {rB, dB}, {rX, dX}, {rY, dY}};
    for (const auto& [relative, pixels] : pairs)
        if (std::fabs(relative) > MAX_RELATIVE_DIFFERENCE &&
            std::abs(pixels) > MAX_PIXEL_DIFFERENCE)
            return false;

    const double sum = std::fabs(rA) + std::fabs(rB) + std::fabs(rX) + std::fabs(rY);
    const bool bothNearCircles = std::abs(majorAxis - minorAxis) <= NEAR_CIRCLE &&
                                 std::abs(other.majorAxis - other.minorAxis) <= NEAR_CIRCLE &&
                                 std::abs(dA) <= NEAR_CIRCLE && std::abs(dB) <= NEAR_CIRCLE;
    // Angles nearly PI apart describe the same orientation, so the angle is left out too.
    if (bothNearCircles || std::fabs(rT) > OPPOSITE_ANGLES)
        return sum / 4 < MAX_MEAN_DIFFERENCE;
    return (sum + std::fabs(rT)) / 5 < MAX_MEAN_DIFFERENCE;
}

} // namespace Trelm
