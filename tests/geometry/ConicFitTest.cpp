#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include "geometry/ConicFit.h"
#include "geometry/Pi.h"

using namespace Trelm;

namespace
{

// Points of the ellipse (semi-axes a along angle, b across) at parameters spread over
// [start, start + share of a turn), with Gaussian noise of the given deviation.
std::vector<PlanePoint> sampled(const EllipseParameters& e, int count, double noise,
                                double share = 1.0, double start = 0.0, unsigned seed = 7)
{
    std::mt19937 generator(seed);
    std::normal_distribution<double> gauss(0.0, noise > 0 ? noise : 1.0);
    const double a = e.majorAxis / 2, b = e.minorAxis / 2;
    const double c = std::cos(e.angle), s = std::sin(e.angle);
    std::vector<PlanePoint> points;
    for (int i = 0; i < count; ++i) {
        const double t = start + 2 * PI * share * i / count;
        const double u = a * std::cos(t), v = b * std::sin(t);
        double x = e.centerX + u * c - v * s, y = e.centerY + u * s + v * c;
        if (noise > 0) {
            x += gauss(generator);
            y += gauss(generator);
        }
        points.push_back({x, y});
    }
    return points;
}

// The difference of two angles of an axis, which repeats every half turn.
double axisAngleDifference(double a, double b)
{
    return std::fabs(std::remainder(a - b, PI));
}

void expectNear(const EllipseParameters& fitted, const EllipseParameters& truth, double position,
                double axis, double angle)
{
    EXPECT_NEAR(fitted.centerX, truth.centerX, position);
    EXPECT_NEAR(fitted.centerY, truth.centerY, position);
    EXPECT_NEAR(fitted.majorAxis, truth.majorAxis, axis);
    EXPECT_NEAR(fitted.minorAxis, truth.minorAxis, axis);
    if (truth.majorAxis - truth.minorAxis > 1.0) {
        EXPECT_LT(axisAngleDifference(fitted.angle, truth.angle), angle);
    }
    EXPECT_GE(fitted.majorAxis, fitted.minorAxis);
    EXPECT_GE(fitted.angle, -PI / 2);
    EXPECT_LT(fitted.angle, PI / 2);
}

class ConicFitSweep : public ::testing::TestWithParam<std::tuple<double, double>>
{
};

} // namespace

TEST_P(ConicFitSweep, ExactPointsGiveTheEllipseBack)
{
    const auto [angle, ratio] = GetParam();
    const EllipseParameters truth{312.25, 97.5, 180.0, 180.0 * ratio, angle};
    EllipseParameters fitted;
    ASSERT_TRUE(ConicFit::fitAlgebraic(sampled(truth, 60, 0.0), fitted));
    expectNear(fitted, truth, 1e-6, 1e-6, 1e-6);
    ASSERT_TRUE(ConicFit::refineGeometric(sampled(truth, 60, 0.0), fitted, 5));
    expectNear(fitted, truth, 1e-6, 1e-6, 1e-6);
}

TEST_P(ConicFitSweep, NoisyPointsGiveTheEllipseToAFractionOfAPixel)
{
    const auto [angle, ratio] = GetParam();
    const EllipseParameters truth{150.0, 120.0, 100.0, 100.0 * ratio, angle};
    const std::vector<PlanePoint> points = sampled(truth, 300, 0.4);
    EllipseParameters fitted;
    ASSERT_TRUE(ConicFit::fitAlgebraic(points, fitted));
    expectNear(fitted, truth, 0.15, 0.3, 0.05);
    ASSERT_TRUE(ConicFit::refineGeometric(points, fitted, 10));
    expectNear(fitted, truth, 0.1, 0.2, 0.03);
    EXPECT_NEAR(ConicFit::rmsDistance(fitted, points), 0.4, 0.05);
}

INSTANTIATE_TEST_SUITE_P(AnglesAndRatios, ConicFitSweep,
                         ::testing::Combine(::testing::Values(-1.5, -0.7, 0.0, 0.3, 1.2),
                                            ::testing::Values(0.3, 0.6, 0.95)));

TEST(ConicFitTest, GeometricIterationsMendAPartialArc)
{
    // A third of the outline with noise: the algebraic fit is pulled inward, the orthogonal
    // distances are not.
    const EllipseParameters truth{200.0, 150.0, 160.0, 90.0, 0.4};
    const std::vector<PlanePoint> points = sampled(truth, 120, 0.3, 1.0 / 3, 0.5);
    EllipseParameters fitted;
    ASSERT_TRUE(ConicFit::fitAlgebraic(points, fitted));
    const double algebraicError =
        std::hypot(fitted.centerX - truth.centerX, fitted.centerY - truth.centerY);
    ASSERT_TRUE(ConicFit::refineGeometric(points, fitted, 20));
    const double geometricError =
        std::hypot(fitted.centerX - truth.centerX, fitted.centerY - truth.centerY);
    EXPECT_LT(geometricError, 3.0);
    EXPECT_LE(geometricError, algebraicError + 1e-9);
    EXPECT_LE(ConicFit::rmsDistance(fitted, points), ConicFit::rmsDistance(truth, points));
}

TEST(ConicFitTest, CircleRoundTrip)
{
    const EllipseParameters truth{40.0, 50.0, 30.0, 30.0, 0.0};
    const std::vector<PlanePoint> points = sampled(truth, 80, 0.2);
    EllipseParameters fitted;
    ASSERT_TRUE(ConicFit::fitAlgebraic(points, fitted));
    ASSERT_TRUE(ConicFit::refineGeometric(points, fitted, 10));
    expectNear(fitted, truth, 0.1, 0.3, PI);
}

TEST(ConicFitTest, RefusesTooFewOrDegeneratePoints)
{
    EllipseParameters untouched{1, 2, 3, 2, 0.5};
    EllipseParameters result = untouched;
    const auto unchanged = [&] {
        EXPECT_EQ(result.centerX, untouched.centerX);
        EXPECT_EQ(result.majorAxis, untouched.majorAxis);
    };
    EXPECT_FALSE(ConicFit::fitAlgebraic({}, result));
    EXPECT_FALSE(ConicFit::fitAlgebraic({{0, 0}, {1, 1}, {2, 0}, {3, 5}}, result));
    unchanged();
    // All points in one place, or all on a line: no ellipse.
    EXPECT_FALSE(ConicFit::fitAlgebraic(std::vector<PlanePoint>(10, {5, 5}), result));
    std::vector<PlanePoint> line;
    for (int i = 0; i < 20; ++i)
        line.push_back({1.0 * i, 2.0 * i + 1});
    EXPECT_FALSE(ConicFit::fitAlgebraic(line, result));
    unchanged();
    EXPECT_FALSE(ConicFit::refineGeometric({{0, 0}, {1, 1}}, result, 5));
    EllipseParameters flat{0, 0, 10, 0, 0};
    EXPECT_FALSE(ConicFit::refineGeometric(line, flat, 5));
}

TEST(ConicFitTest, AnyCurveGivesAnEllipse)
{
    // The constraint admits only ellipses: a branch of a hyperbola still gets one, the closest.
    std::vector<PlanePoint> hyperbola;
    for (int i = 1; i <= 20; ++i)
        hyperbola.push_back({1.0 * i, 10.0 / i});
    EllipseParameters fitted;
    ASSERT_TRUE(ConicFit::fitAlgebraic(hyperbola, fitted));
    EXPECT_GT(fitted.minorAxis, 0.0);
    EXPECT_GE(fitted.majorAxis, fitted.minorAxis);
}

TEST(ConicFitTest, SignedDistanceIsOrthogonal)
{
    const EllipseParameters e{10.0, 20.0, 40.0, 20.0, PI / 2};
    // Major axis vertical: (10, 0) is the top end, (0, 20) and (20, 20) the sides.
    EXPECT_NEAR(ConicFit::signedDistance(e, {10.0, -3.0}), 3.0, 1e-9);
    EXPECT_NEAR(ConicFit::signedDistance(e, {10.0, 2.0}), -2.0, 1e-9);
    EXPECT_NEAR(ConicFit::signedDistance(e, {25.0, 20.0}), 5.0, 1e-9);
    EXPECT_NEAR(ConicFit::signedDistance(e, {10.0, 20.0}), -10.0, 1e-9);
    // Off the axes, against a dense search of the outline.
    const PlanePoint p{31.0, 3.0};
    double nearest = 1e9;
    for (int i = 0; i < 200000; ++i) {
        const double t = 2 * PI * i / 200000;
        const double x = 10.0 - 10.0 * std::sin(t), y = 20.0 + 20.0 * std::cos(t);
        nearest = std::min(nearest, std::hypot(p.x - x, p.y - y));
    }
    EXPECT_NEAR(ConicFit::signedDistance(e, p), nearest, 1e-4);
}
