#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <sstream>
#include <string>

#include <lapacke.h>

#include "geometry/FivePointSolver.h"

namespace
{

static_assert(sizeof(lapack_int) == sizeof(int), "the pivots are compared as int");

using Matrix = std::array<double, 25>; // column-major
using Column = std::array<double, 5>;
using Pivots = std::array<int, 5>;

struct System {
    Matrix a{};
    Column b{};
};

double& at(Matrix& a, int row, int column)
{
    return a[static_cast<std::size_t>(column * 5 + row)];
}

/// Deterministic source of the random systems; the distributions are built from raw bits so the
/// cases do not depend on the standard library's distribution algorithms.
class CaseRandom
{
  public:
    explicit CaseRandom(std::uint64_t seed) : engine(seed) {}
    std::uint64_t bits() { return engine(); }
    /// Uniform integer in [low, high].
    int integer(int low, int high)
    {
        return low + static_cast<int>(bits() % static_cast<std::uint64_t>(high - low + 1));
    }
    /// Uniform double in [0, 1).
    double unit() { return static_cast<double>(bits() >> 11) * 0x1p-53; }
    double uniform(double low, double high) { return low + (high - low) * unit(); }
    bool chance(int percent) { return integer(0, 99) < percent; }

  private:
    std::mt19937_64 engine;
};

struct Pixel {
    std::int32_t x, y;
};

/// The conic fit's system: one row x², 2xy, y², 2x, 2y per point (products in 32-bit integers,
/// as the fit forms them), right-hand side -1.
System conicSystem(const std::array<Pixel, 5>& points)
{
    System s;
    for (int i = 0; i < 5; ++i) {
        const std::int32_t x = points[static_cast<std::size_t>(i)].x;
        const std::int32_t y = points[static_cast<std::size_t>(i)].y;
        at(s.a, i, 0) = static_cast<double>(x * x);
        at(s.a, i, 1) = static_cast<double>(2 * x * y);
        at(s.a, i, 2) = static_cast<double>(y * y);
        at(s.a, i, 3) = static_cast<double>(2 * x);
        at(s.a, i, 4) = static_cast<double>(2 * y);
    }
    s.b.fill(-1.0);
    return s;
}

Pixel randomPixel(CaseRandom& random)
{
    return {random.integer(0, 2000), random.integer(0, 2000)};
}

Pixel clampedPixel(double x, double y)
{
    return {static_cast<std::int32_t>(std::clamp(std::lround(x), 0L, 2000L)),
            static_cast<std::int32_t>(std::clamp(std::lround(y), 0L, 2000L))};
}

/// Five pixels anywhere in the image.
System anyPixels(CaseRandom& random)
{
    std::array<Pixel, 5> points;
    for (Pixel& p : points)
        p = randomPixel(random);
    return conicSystem(points);
}

/// Five pixels rounded from an ellipse, often a small one whose pixels nearly coincide.
System pixelsOnEllipse(CaseRandom& random)
{
    const double cx = random.uniform(0, 2000), cy = random.uniform(0, 2000);
    const double scale = random.chance(30) ? 20 : 1000;
    const double major = random.uniform(1, scale), minor = random.uniform(1, scale);
    const double angle = random.uniform(0, 3.14159), cosA = std::cos(angle), sinA = std::sin(angle);
    std::array<Pixel, 5> points;
    for (Pixel& p : points) {
        const double t = random.uniform(0, 6.28318);
        const double u = major * std::cos(t), v = minor * std::sin(t);
        p = clampedPixel(cx + u * cosA - v * sinA, cy + u * sinA + v * cosA);
    }
    return conicSystem(points);
}

/// Five pixels in a small window: repeated and collinear points, exact cancellations.
System pixelsInSmallWindow(CaseRandom& random)
{
    const int size = random.integer(1, 8);
    const int x0 = random.chance(50) ? 0 : random.integer(0, 2000 - size);
    const int y0 = random.chance(50) ? 0 : random.integer(0, 2000 - size);
    std::array<Pixel, 5> points;
    for (Pixel& p : points)
        p = {x0 + random.integer(0, size), y0 + random.integer(0, size)};
    return conicSystem(points);
}

/// Exactly singular and degenerate pixel sets: a repeated point, three or four collinear points,
/// the origin (zero row), points on the axes (conic through the origin, zero columns).
System degeneratePixels(CaseRandom& random)
{
    std::array<Pixel, 5> points;
    for (Pixel& p : points)
        p = randomPixel(random);
    switch (random.integer(0, 5)) {
    case 0: // a repeated point
        points[static_cast<std::size_t>(random.integer(1, 4))] = points[0];
        break;
    case 1: // three or four points on an integer line
    case 2: {
        const int dx = random.integer(-20, 20), dy = random.integer(-20, 20);
        const int count = random.integer(3, 4);
        for (int i = 1; i < count; ++i) {
            const int step = random.integer(-50, 50);
            points[static_cast<std::size_t>(i)] =
                clampedPixel(points[0].x + step * dx, points[0].y + step * dy);
        }
        break;
    }
    case 3: // the origin
        points[static_cast<std::size_t>(random.integer(0, 4))] = {0, 0};
        break;
    case 4: // every point on the axes
        for (Pixel& p : points)
            p = random.chance(50) ? Pixel{random.integer(0, 2000), 0}
                                  : Pixel{0, random.integer(0, 2000)};
        break;
    default: // every point on one axis: zero columns
        for (Pixel& p : points)
            p = random.chance(50) ? Pixel{p.x, 0} : Pixel{0, p.y};
        if (random.chance(50))
            for (Pixel& p : points)
                p.y = 0;
        break;
    }
    // Shuffle so the special rows are not always first.
    for (int i = 4; i > 0; --i)
        std::swap(points[static_cast<std::size_t>(i)],
                  points[static_cast<std::size_t>(random.integer(0, i))]);
    return conicSystem(points);
}

/// Entries uniform in [-1, 1).
System uniformEntries(CaseRandom& random)
{
    System s;
    for (double& v : s.a)
        v = random.uniform(-1, 1);
    for (double& v : s.b)
        v = random.uniform(-1, 1);
    return s;
}

/// Random sign, mantissa and exponent, the exponents spread around a random base: products
/// overflow or underflow, pivots may be subnormal (divided by rather than multiplied by the
/// reciprocal).
System wideExponents(CaseRandom& random)
{
    const int base = random.integer(-1080, 1030);
    const int spread = random.integer(0, 60);
    auto entry = [&]() {
        const double value = std::ldexp(random.uniform(1, 2), base + random.integer(0, spread));
        return random.chance(50) ? -value : value;
    };
    System s;
    for (double& v : s.a)
        v = entry();
    for (double& v : s.b)
        v = entry();
    return s;
}

/// A few ulps away from singular: one row is a copy, a double or a sum of others, then nudged.
System nearlySingular(CaseRandom& random)
{
    System s = random.chance(50) ? anyPixels(random) : uniformEntries(random);
    const int target = random.integer(0, 4);
    const int source = (target + random.integer(1, 4)) % 5;
    const int second = (target + random.integer(1, 4)) % 5;
    const int kind = random.integer(0, 2);
    for (int column = 0; column < 5; ++column) {
        double v = at(s.a, source, column);
        if (kind == 1)
            v = 2 * v;
        else if (kind == 2 && second != source)
            v = v + at(s.a, second, column);
        for (int nudge = random.integer(-2, 2); nudge != 0; nudge += nudge > 0 ? -1 : 1)
            v = std::nextafter(v, nudge > 0 ? HUGE_VAL : -HUGE_VAL);
        at(s.a, target, column) = v;
    }
    return s;
}

/// Small integers, halves and signed zeros, half of them zero: exact cancellations, exactly
/// zero pivots, and zero entries that the reference skips or not.
double sparseEntry(CaseRandom& random)
{
    static constexpr double values[] = {1, -1, 2, -2, 0.5, -0.5, 3, -4};
    if (random.chance(50))
        return random.chance(50) ? 0.0 : -0.0;
    return values[random.integer(0, 7)];
}

System sparseSmallValues(CaseRandom& random)
{
    System s;
    for (double& v : s.a)
        v = sparseEntry(random);
    for (double& v : s.b)
        v = sparseEntry(random);
    return s;
}

/// The NaN the hardware makes of an invalid operation, the only one that finite inputs can lead to.
double hardwareNaN()
{
    volatile double infinity = HUGE_VAL;
    return infinity - infinity;
}

/// As sparseSmallValues, with infinities and NaNs among the entries: a zero skipped or not then
/// shows as a number that should have been a NaN, or the reverse. When both operands of a sum are
/// NaNs, which one the hardware returns depends on the order the compiler chose for the operands;
/// the NaNs here are all the hardware's own, so that choice cannot show.
System nonFiniteValues(CaseRandom& random)
{
    System s = sparseSmallValues(random);
    const double special[] = {HUGE_VAL, -HUGE_VAL, hardwareNaN()};
    for (int count = random.integer(1, 3); count > 0; --count)
        s.a[static_cast<std::size_t>(random.integer(0, 24))] = special[random.integer(0, 2)];
    if (random.chance(20))
        s.b[static_cast<std::size_t>(random.integer(0, 4))] = special[random.integer(0, 2)];
    return s;
}

std::string describe(const System& s)
{
    std::ostringstream out;
    out << std::hexfloat << "A (column-major):";
    for (double v : s.a)
        out << ' ' << v;
    out << "\nb:";
    for (double v : s.b)
        out << ' ' << v;
    return out.str();
}

/// Solves count systems from the generator both ways and expects identical bits everywhere:
/// factors, solution, pivots and return value.
void expectSameAsReference(const std::function<System(CaseRandom&)>& generate, std::uint64_t seed,
                           int count)
{
    CaseRandom random(seed);
    int mismatches = 0;
    int singular = 0;
    for (int i = 0; i < count; ++i) {
        const System input = generate(random);

        Matrix referenceA = input.a;
        Column referenceB = input.b;
        Pivots referencePivots{};
        const int referenceInfo = LAPACKE_dgesv_work(LAPACK_COL_MAJOR, 5, 1, referenceA.data(), 5,
                                                     referencePivots.data(), referenceB.data(), 5);

        Matrix a = input.a;
        Column b = input.b;
        Pivots pivots{};
        const int info = Trelm::solveFivePoint(a, b, pivots);

        singular += referenceInfo != 0;
        if (info != referenceInfo || std::memcmp(a.data(), referenceA.data(), sizeof a) != 0 ||
            std::memcmp(b.data(), referenceB.data(), sizeof b) != 0 || pivots != referencePivots) {
            if (++mismatches <= 3)
                ADD_FAILURE() << "case " << i << ": info " << info << " vs " << referenceInfo
                              << "\n"
                              << describe(input);
        }
    }
    EXPECT_EQ(mismatches, 0) << "out of " << count << " systems";
    // For the XML report: how many of the systems were singular.
    ::testing::Test::RecordProperty("singular", singular);
}

constexpr int CASES = 200000;

} // namespace

TEST(FivePointSolver, SolvesAKnownSystem)
{
    // Diagonal 1..5 plus a(0, 4) = 1: x = (0, 1, 1, 1, 1) for b = (1, 2, 3, 4, 5).
    Matrix a{};
    for (int i = 0; i < 5; ++i)
        at(a, i, i) = i + 1.0;
    at(a, 0, 4) = 1.0;
    Column b{1, 2, 3, 4, 5};
    Pivots pivots{};
    EXPECT_EQ(Trelm::solveFivePoint(a, b, pivots), 0);
    EXPECT_EQ(b, (Column{0, 1, 1, 1, 1}));
    EXPECT_EQ(pivots, (Pivots{1, 2, 3, 4, 5}));
}

TEST(FivePointSolver, ReportsTheFirstZeroPivotAndLeavesTheRightHandSide)
{
    Matrix a{};
    for (int column = 0; column < 5; ++column) {
        at(a, 0, column) = column + 1.0;
        at(a, 1, column) = 2 * (column + 1.0); // twice row 0
        for (int row = 2; row < 5; ++row)
            at(a, row, column) = row == column ? 1.0 : 0.0;
    }
    Column b{1, 1, 1, 1, 1};
    Pivots pivots{};
    // Row 1 becomes zero once row 0 is eliminated from it: U(1, 1) is the first zero pivot.
    EXPECT_EQ(Trelm::solveFivePoint(a, b, pivots), 2);
    EXPECT_EQ(b, (Column{1, 1, 1, 1, 1}));
}

struct ReferenceSweep {
    const char* name;
    System (*generate)(CaseRandom&);
    std::uint64_t seed;
    int count;
};

class FivePointReference : public ::testing::TestWithParam<ReferenceSweep>
{
};

TEST_P(FivePointReference, MatchesBitForBit)
{
    const ReferenceSweep& sweep = GetParam();
    expectSameAsReference(sweep.generate, sweep.seed, sweep.count);
}

// One test per kind of system, so the heavy sweeps run side by side.
INSTANTIATE_TEST_SUITE_P(
    On, FivePointReference,
    ::testing::Values(ReferenceSweep{"PixelSystems", anyPixels, 1, CASES},
                      ReferenceSweep{"PixelsOfEllipses", pixelsOnEllipse, 2, CASES},
                      ReferenceSweep{"PixelsInASmallWindow", pixelsInSmallWindow, 3, CASES},
                      ReferenceSweep{"DegeneratePixelSets", degeneratePixels, 4, CASES},
                      ReferenceSweep{"UniformEntries", uniformEntries, 5, CASES},
                      ReferenceSweep{"WideExponents", wideExponents, 6, CASES},
                      ReferenceSweep{"NearlySingularSystems", nearlySingular, 7, CASES},
                      ReferenceSweep{"SparseSmallValues", sparseSmallValues, 8, CASES},
                      ReferenceSweep{"InfinitiesAndNaNs", nonFiniteValues, 9, CASES / 2}),
    [](const ::testing::TestParamInfo<ReferenceSweep>& sweep) {
        return std::string(sweep.param.name);
    });
