#include "geometry/ConicFit.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "geometry/Pi.h"

namespace Trelm
{

namespace
{

using Vector3 = std::array<double, 3>;
using Matrix3 = std::array<Vector3, 3>;
constexpr int PARAMETERS = 5;
using Vector5 = std::array<double, PARAMETERS>;
using Matrix5 = std::array<Vector5, PARAMETERS>;

// Below this share of its scale a determinant, pivot or eigenvector counts as zero.
constexpr double NEGLIGIBLE = 1e-13;
// Iterations of the foot-point search: each roughly squares the angular error.
constexpr int FOOT_POINT_ITERATIONS = 4;
// Damping of the first Gauss-Newton step, and how it shrinks after a good step and grows after
// a bad one.
constexpr double INITIAL_DAMPING = 1e-3;
constexpr double DAMPING_DECREASE = 0.3;
constexpr double DAMPING_INCREASE = 10.0;
constexpr int MAX_REJECTED_STEPS = 8;
// A step that lowers the cost by less than this share ends the iterations.
constexpr double CONVERGED = 1e-7;
// No semi-axis may shrink below this during the iterations, in pixels.
constexpr double MIN_SEMI_AXIS = 0.5;

double normaliseAngle(double angle)
{
    double t = std::fmod(angle + PI / 2, PI);
    if (t < 0)
        t += PI;
    t -= PI / 2;
    // (-pi/2, pi/2], as the five-point solve gives it: a vertical major axis is +pi/2.
    return t <= -PI / 2 ? t + PI : t;
}

bool invert(const Matrix3& m, Matrix3& inverse)
{
    // Cofactors by cyclic indices, valid for any 3 x 3 matrix.
    Matrix3 cofactor{};
    double scale = 0.0;
    for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t j = 0; j < 3; ++j) {
            const std::size_t i1 = (i + 1) % 3, i2 = (i + 2) % 3;
            const std::size_t j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            cofactor[i][j] = m[i1][j1] * m[i2][j2] - m[i1][j2] * m[i2][j1];
            scale = std::max(scale, std::fabs(m[i][j]));
        }
    }
    const double det =
        m[0][0] * cofactor[0][0] + m[0][1] * cofactor[0][1] + m[0][2] * cofactor[0][2];
    if (!(std::fabs(det) > NEGLIGIBLE * scale * scale * scale))
        return false;
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j)
            inverse[j][i] = cofactor[i][j] / det;
    return true;
}

Matrix3 multiply(const Matrix3& a, const Matrix3& b)
{
    Matrix3 product{};
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j)
            for (std::size_t k = 0; k < 3; ++k)
                product[i][j] += a[i][k] * b[k][j];
    return product;
}

Vector3 cross(const Vector3& a, const Vector3& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double norm(const Vector3& v)
{
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// A root of the cubic x^3 + c2 x^2 + c1 x + c0 in [lo, hi], where its sign changes, by
// bisection: slow but immune to the flat spots that throw Newton's method off.
double bisectCubic(const Vector3& c, double lo, double hi)
{
    const auto value = [&c](double x) { return ((x + c[2]) * x + c[1]) * x + c[0]; };
    const bool rising = value(hi) > value(lo);
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (lo + hi);
        if (mid <= lo || mid >= hi)
            break;
        ((value(mid) > 0) == rising ? hi : lo) = mid;
    }
    return 0.5 * (lo + hi);
}

// The real roots of x^3 + c2 x^2 + c1 x + c0, largest first: the critical points split the
// line into pieces on which the cubic is monotone, each bracketed within Cauchy's bound.
std::vector<double> realRootsOfCubic(const Vector3& c)
{
    const double bound = 1.0 + std::max({std::fabs(c[0]), std::fabs(c[1]), std::fabs(c[2])});
    std::vector<double> edges{-bound};
    const double discriminant = 4 * c[2] * c[2] - 12 * c[1];
    if (discriminant > 0) {
        const double root = std::sqrt(discriminant);
        edges.push_back(std::clamp((-2 * c[2] - root) / 6, -bound, bound));
        edges.push_back(std::clamp((-2 * c[2] + root) / 6, -bound, bound));
    }
    edges.push_back(bound);
    const auto value = [&c](double x) { return ((x + c[2]) * x + c[1]) * x + c[0]; };
    std::vector<double> roots;
    for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
        const double lo = value(edges[i]);
        const double hi = value(edges[i + 1]);
        if ((lo <= 0 && hi >= 0) || (lo >= 0 && hi <= 0))
            roots.push_back(bisectCubic(c, edges[i], edges[i + 1]));
    }
    std::sort(roots.rbegin(), roots.rend());
    return roots;
}

// A vector spanning the null space of m - lambda I: the longest cross product of two rows.
Vector3 nullVector(const Matrix3& m, double lambda)
{
    Matrix3 shifted = m;
    for (std::size_t i = 0; i < 3; ++i)
        shifted[i][i] -= lambda;
    const Vector3 candidates[] = {cross(shifted[0], shifted[1]), cross(shifted[0], shifted[2]),
                                  cross(shifted[1], shifted[2])};
    return *std::max_element(std::begin(candidates), std::end(candidates),
                             [](const Vector3& a, const Vector3& b) { return norm(a) < norm(b); });
}

// The ellipse of the conic a x^2 + b xy + c y^2 + d x + e y + f = 0; false for any other conic.
bool conicToEllipse(std::array<double, 6> k, EllipseParameters& result)
{
    if (k[0] + k[2] < 0)
        for (double& value : k)
            value = -value;
    const double a = k[0], b = k[1], c = k[2], d = k[3], e = k[4], f = k[5];
    const double determinant = 4 * a * c - b * b;
    if (!(determinant > 0))
        return false;
    const double x0 = (b * e - 2 * c * d) / determinant;
    const double y0 = (b * d - 2 * a * e) / determinant;
    const double atCentre = f + (d * x0 + e * y0) / 2;
    // Eigenvalues of the quadratic form [[a, b/2], [b/2, c]]; the smaller one is the major axis.
    const double mean = (a + c) / 2;
    const double spread = std::hypot((a - c) / 2, b / 2);
    const double small = mean - spread;
    const double large = mean + spread;
    if (!(small > 0) || !(atCentre < 0))
        return false;
    // The eigenvector of the smaller eigenvalue, from whichever row of the form is better
    // conditioned; a circle has none and takes angle 0.
    const double ux = b / 2, uy = small - a;
    const double vx = small - c, vy = b / 2;
    double angle = 0.0;
    if (std::hypot(ux, uy) >= std::hypot(vx, vy)) {
        if (std::hypot(ux, uy) > NEGLIGIBLE * large)
            angle = std::atan2(uy, ux);
    } else if (std::hypot(vx, vy) > NEGLIGIBLE * large) {
        angle = std::atan2(vy, vx);
    }
    result.centerX = x0;
    result.centerY = y0;
    result.majorAxis = 2 * std::sqrt(-atCentre / small);
    result.minorAxis = 2 * std::sqrt(-atCentre / large);
    result.angle = normaliseAngle(angle);
    return true;
}

// The length of (x, y) in pixel units, where std::hypot's care for overflow is not needed and
// its cost dominates the fit.
double length(double x, double y)
{
    return std::sqrt(x * x + y * y);
}

// The ellipse in its own frame (centre at the origin, first semi-axis along x).
struct Frame {
    double cx, cy, a, b, cosine, sine;

    explicit Frame(const Vector5& q)
        : cx(q[0]), cy(q[1]), a(q[2]), b(q[3]), cosine(std::cos(q[4])), sine(std::sin(q[4]))
    {
    }
};

// The nearest outline point to (u, v), in the frame. Iterates on the evolute, which converges
// from anywhere, inside or outside, without trigonometric functions.
PlanePoint footPoint(double a, double b, double u, double v)
{
    const double px = std::fabs(u), py = std::fabs(v);
    double tx = std::sqrt(0.5), ty = std::sqrt(0.5);
    for (int i = 0; i < FOOT_POINT_ITERATIONS; ++i) {
        const double x = a * tx, y = b * ty;
        const double ex = (a * a - b * b) * tx * tx * tx / a;
        const double ey = (b * b - a * a) * ty * ty * ty / b;
        const double r = length(x - ex, y - ey);
        const double q = length(px - ex, py - ey);
        if (!(q > 0))
            break;
        tx = std::clamp(((px - ex) * r / q + ex) / a, 0.0, 1.0);
        ty = std::clamp(((py - ey) * r / q + ey) / b, 0.0, 1.0);
        const double t = length(tx, ty);
        tx /= t;
        ty /= t;
    }
    return {std::copysign(a * tx, u), std::copysign(b * ty, v)};
}

// The signed distance of p and, when gradient is given, its derivatives by the parameters.
double residual(const Frame& f, PlanePoint p, Vector5* gradient)
{
    const double dx = p.x - f.cx, dy = p.y - f.cy;
    const double u = dx * f.cosine + dy * f.sine;
    const double v = -dx * f.sine + dy * f.cosine;
    const PlanePoint foot = footPoint(f.a, f.b, u, v);
    // The outward normal at the foot point, in the frame.
    double nx = foot.x / (f.a * f.a), ny = foot.y / (f.b * f.b);
    const double normLength = length(nx, ny);
    if (!(normLength > 0))
        return 0.0;
    nx /= normLength;
    ny /= normLength;
    const double distance = nx * (u - foot.x) + ny * (v - foot.y);
    if (gradient) {
        // The foot point is a minimum, so only the outline's own motion counts.
        *gradient = {-(nx * f.cosine - ny * f.sine), -(nx * f.sine + ny * f.cosine),
                     -nx * foot.x / f.a, -ny * foot.y / f.b, nx * foot.y - ny * foot.x};
    }
    return distance;
}

// Centre, semi-axes and angle: the parameters the geometric fit works on.
Vector5 semiAxisParameters(const EllipseParameters& ellipse)
{
    return {ellipse.centerX, ellipse.centerY, ellipse.majorAxis / 2, ellipse.minorAxis / 2,
            ellipse.angle};
}

double cost(const Vector5& q, const std::vector<PlanePoint>& points)
{
    const Frame frame(q);
    double sum = 0.0;
    for (const PlanePoint& p : points) {
        const double r = residual(frame, p, nullptr);
        sum += r * r;
    }
    return sum;
}

// Solves m x = rhs for a symmetric positive definite m by Cholesky; false when it is not.
bool solveSymmetric(Matrix5 m, Vector5 rhs, Vector5& x)
{
    for (std::size_t j = 0; j < PARAMETERS; ++j) {
        double diagonal = m[j][j];
        for (std::size_t k = 0; k < j; ++k)
            diagonal -= m[j][k] * m[j][k];
        if (!(diagonal > 0))
            return false;
        m[j][j] = std::sqrt(diagonal);
        for (std::size_t i = j + 1; i < PARAMETERS; ++i) {
            double sum = m[i][j];
            for (std::size_t k = 0; k < j; ++k)
                sum -= m[i][k] * m[j][k];
            m[i][j] = sum / m[j][j];
        }
    }
    for (std::size_t i = 0; i < PARAMETERS; ++i) {
        for (std::size_t k = 0; k < i; ++k)
            rhs[i] -= m[i][k] * rhs[k];
        rhs[i] /= m[i][i];
    }
    for (std::size_t i = PARAMETERS; i-- > 0;) {
        for (std::size_t k = i + 1; k < PARAMETERS; ++k)
            rhs[i] -= m[k][i] * rhs[k];
        rhs[i] /= m[i][i];
    }
    x = rhs;
    return true;
}

// The sum of squared residuals at q and the normal equations of the problem linearised there
// (J^T J and -J^T r), from one pass over the points: the foot points dominate the cost, and a
// step that is kept needs both.
struct Linearisation {
    double cost = 0.0;
    Matrix5 jtj{};
    Vector5 jtr{};
};

Linearisation linearise(const Vector5& q, const std::vector<PlanePoint>& points)
{
    const Frame frame(q);
    Linearisation at;
    for (const PlanePoint& p : points) {
        Vector5 g{};
        const double r = residual(frame, p, &g);
        at.cost += r * r;
        for (std::size_t i = 0; i < PARAMETERS; ++i) {
            at.jtr[i] -= g[i] * r;
            for (std::size_t j = 0; j <= i; ++j)
                at.jtj[i][j] += g[i] * g[j];
        }
    }
    for (std::size_t i = 0; i < PARAMETERS; ++i)
        for (std::size_t j = i + 1; j < PARAMETERS; ++j)
            at.jtj[i][j] = at.jtj[j][i];
    return at;
}

// One Gauss-Newton step from q, damped more and more until it lowers the cost; false when no
// damping does. The damping left for the next step shrinks after success.
bool dampedStep(const std::vector<PlanePoint>& points, const Vector5& q, const Linearisation& here,
                double& damping, Vector5& next, Linearisation& there)
{
    for (int attempt = 0; attempt < MAX_REJECTED_STEPS; ++attempt, damping *= DAMPING_INCREASE) {
        Matrix5 damped = here.jtj;
        // The absolute term keeps a circle's undetermined angle from making it singular.
        for (std::size_t i = 0; i < PARAMETERS; ++i)
            damped[i][i] += damping * (here.jtj[i][i] + 1e-9);
        Vector5 step{};
        if (!solveSymmetric(damped, here.jtr, step))
            continue;
        Vector5 trial = q;
        for (std::size_t i = 0; i < PARAMETERS; ++i)
            trial[i] += step[i];
        if (!(trial[2] > MIN_SEMI_AXIS) || !(trial[3] > MIN_SEMI_AXIS))
            continue;
        Linearisation atTrial = linearise(trial, points);
        if (atTrial.cost < here.cost) {
            next = trial;
            there = atTrial;
            damping *= DAMPING_DECREASE;
            return true;
        }
    }
    return false;
}

// The coefficients c0, c1, c2 of det(x I - m) = x^3 + c2 x^2 + c1 x + c0.
Vector3 characteristicPolynomial(const Matrix3& m)
{
    const double trace = m[0][0] + m[1][1] + m[2][2];
    const double minors = m[0][0] * m[1][1] - m[0][1] * m[1][0] + m[0][0] * m[2][2] -
                          m[0][2] * m[2][0] + m[1][1] * m[2][2] - m[1][2] * m[2][1];
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    return {-det, minors, -trace};
}

// Eliminates the linear coefficients: t gives them from the quadratic ones, and m is the
// 3 x 3 eigenproblem left for the quadratic ones. False when s3 is singular (collinear points).
bool reduceSystem(const Matrix3& s1, const Matrix3& s2, const Matrix3& s3, Matrix3& t, Matrix3& m)
{
    Matrix3 s3Inverse{};
    if (!invert(s3, s3Inverse))
        return false;
    Matrix3 s2Transposed{};
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j)
            s2Transposed[i][j] = s2[j][i];
    t = multiply(s3Inverse, s2Transposed);
    for (auto& row : t)
        for (double& value : row)
            value = -value;
    Matrix3 reduced = multiply(s2, t);
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j)
            reduced[i][j] += s1[i][j];
    // Times the inverse of the constraint matrix [[0, 0, 2], [0, -1, 0], [2, 0, 0]].
    for (std::size_t j = 0; j < 3; ++j) {
        m[0][j] = reduced[2][j] / 2;
        m[1][j] = -reduced[1][j];
        m[2][j] = reduced[0][j] / 2;
    }
    return true;
}

// The coordinates the algebraic fit works in: centred on the points' mean, scaled to unit spread.
struct Normalisation {
    double x = 0.0;
    double y = 0.0;
    double scale = 0.0;
};

// The normalisation of the points; false when they all coincide.
bool normalisationOf(const std::vector<PlanePoint>& points, Normalisation& unit)
{
    double mx = 0.0, my = 0.0;
    for (const PlanePoint& p : points) {
        mx += p.x;
        my += p.y;
    }
    const auto count = static_cast<double>(points.size());
    mx /= count;
    my /= count;
    double spread = 0.0;
    for (const PlanePoint& p : points)
        spread += (p.x - mx) * (p.x - mx) + (p.y - my) * (p.y - my);
    unit = {mx, my, std::sqrt(spread / (2 * count))};
    return unit.scale > 0;
}

// Scatter matrices of the quadratic terms (x^2, xy, y^2) and the linear ones (x, y, 1), in the
// normalised coordinates.
void scatterMatrices(const std::vector<PlanePoint>& points, const Normalisation& unit, Matrix3& s1,
                     Matrix3& s2, Matrix3& s3)
{
    for (const PlanePoint& p : points) {
        const double x = (p.x - unit.x) / unit.scale, y = (p.y - unit.y) / unit.scale;
        const Vector3 quadratic{x * x, x * y, y * y};
        const Vector3 linear{x, y, 1.0};
        for (std::size_t i = 0; i < 3; ++i) {
            for (std::size_t j = 0; j < 3; ++j) {
                s1[i][j] += quadratic[i] * quadratic[j];
                s2[i][j] += quadratic[i] * linear[j];
                s3[i][j] += linear[i] * linear[j];
            }
        }
    }
}

} // namespace

bool ConicFit::fitAlgebraic(const std::vector<PlanePoint>& points, EllipseParameters& result)
{
    if (points.size() < 5)
        return false;
    // 1. Centre on the mean and scale to unit spread, so the scatter matrices stay well
    // conditioned whatever the image coordinates.
    Normalisation unit;
    if (!normalisationOf(points, unit))
        return false;
    // 2. The scatter matrices of the terms of the conic.
    Matrix3 s1{}, s2{}, s3{};
    scatterMatrices(points, unit, s1, s2, s3);

    // 3. The linear coefficients follow from the quadratic ones: linear = t quadratic.
    Matrix3 t{}, m{};
    if (!reduceSystem(s1, s2, s3, t, m))
        return false;

    // 4. The ellipse is the eigenvector with 4ac - b^2 > 0, that of the one non-negative
    // eigenvalue; rounding may blur that, so every real eigenvalue is tried, largest first.
    for (double lambda : realRootsOfCubic(characteristicPolynomial(m))) {
        const Vector3 q = nullVector(m, lambda);
        const double length = norm(q);
        if (!(length > 0) || !(4 * q[0] * q[2] - q[1] * q[1] > NEGLIGIBLE * length * length))
            continue;
        std::array<double, 6> conic{q[0], q[1], q[2], 0.0, 0.0, 0.0};
        for (std::size_t i = 0; i < 3; ++i)
            conic[3 + i] = t[i][0] * q[0] + t[i][1] * q[1] + t[i][2] * q[2];
        EllipseParameters fitted;
        if (!conicToEllipse(conic, fitted))
            continue;
        // 5. Back to image coordinates.
        fitted.centerX = unit.x + unit.scale * fitted.centerX;
        fitted.centerY = unit.y + unit.scale * fitted.centerY;
        fitted.majorAxis *= unit.scale;
        fitted.minorAxis *= unit.scale;
        result = fitted;
        return true;
    }
    return false;
}

bool ConicFit::refineGeometric(const std::vector<PlanePoint>& points, EllipseParameters& ellipse,
                               int iterations)
{
    if (points.size() < 5 || !(ellipse.majorAxis > 0) || !(ellipse.minorAxis > 0))
        return false;
    Vector5 q = semiAxisParameters(ellipse);
    Linearisation current = linearise(q, points);
    if (!std::isfinite(current.cost))
        return false;
    double damping = INITIAL_DAMPING;
    for (int iteration = 0; iteration < iterations; ++iteration) {
        Vector5 next = q;
        Linearisation atNext;
        if (!dampedStep(points, q, current, damping, next, atNext))
            break; // no step lowers the sum: a minimum
        const bool converged = current.cost - atNext.cost <= CONVERGED * current.cost;
        q = next;
        current = atNext;
        if (converged)
            break;
    }
    // Major first, angle of the major axis.
    double semiMajor = q[2], semiMinor = q[3], angle = q[4];
    if (semiMinor > semiMajor) {
        std::swap(semiMajor, semiMinor);
        angle += PI / 2;
    }
    ellipse = {q[0], q[1], 2 * semiMajor, 2 * semiMinor, normaliseAngle(angle)};
    return true;
}

double ConicFit::signedDistance(const EllipseParameters& ellipse, PlanePoint p)
{
    const Frame frame(semiAxisParameters(ellipse));
    return residual(frame, p, nullptr);
}

std::vector<PlanePoint> ConicFit::pointsWithin(const EllipseParameters& ellipse,
                                               const std::vector<PlanePoint>& points, double band)
{
    const Frame frame(semiAxisParameters(ellipse));
    std::vector<PlanePoint> near;
    for (const PlanePoint& p : points)
        if (std::fabs(residual(frame, p, nullptr)) <= band)
            near.push_back(p);
    return near;
}

double ConicFit::rmsDistance(const EllipseParameters& ellipse,
                             const std::vector<PlanePoint>& points)
{
    if (points.empty())
        return 0.0;
    return std::sqrt(cost(semiAxisParameters(ellipse), points) /
                     static_cast<double>(points.size()));
}

} // namespace Trelm
