#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "core/Exceptions.h"
#include "core/RunContext.h"
#include "geometry/Ellipse.h"
#include "geometry/LinearSolve.h"
#include "geometry/Pi.h"
#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

namespace
{

class EllipseTest : public ::testing::Test
{
  protected:
    void SetUp() override { resetSettings(); }
};

Point pt(int x, int y)
{
    return {static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)};
}

void expectFields(const Ellipse& e, int cx, int cy, int major, int minor)
{
    EXPECT_EQ(e.centerX, cx);
    EXPECT_EQ(e.centerY, cy);
    EXPECT_EQ(e.majorAxis, major);
    EXPECT_EQ(e.minorAxis, minor);
}

Ellipse fromFields(int cx, int cy, int major, int minor, double angle)
{
    Ellipse e;
    e.valid = true;
    e.centerX = static_cast<std::int16_t>(cx);
    e.centerY = static_cast<std::int16_t>(cy);
    e.majorAxis = major;
    e.minorAxis = minor;
    e.angle = angle;
    return e;
}

} // namespace

TEST_F(EllipseTest, ConstructionValues)
{
    const Ellipse e;
    EXPECT_FALSE(e.valid);
    EXPECT_EQ(e.centerX, -1);
    EXPECT_EQ(e.centerY, -1);
    EXPECT_EQ(e.majorAxis, -1);
    EXPECT_EQ(e.minorAxis, -1);
    EXPECT_EQ(e.angle, 0.0);
    EXPECT_TRUE(e.points.empty());
}

TEST_F(EllipseTest, CircleThroughFivePoints)
{
    Ellipse e;
    EXPECT_TRUE(e.computeFromPoints({pt(70, 50), pt(50, 70), pt(30, 50), pt(50, 30), pt(62, 66)},
                                    400, 8, testRun()));
    expectFields(e, 50, 50, 40, 40);
    EXPECT_EQ(e.angle, 0.0);
    EXPECT_TRUE(e.points.empty());

    testRun().settings.minAxis = 40; // the minor axis must exceed min-axis
    EXPECT_FALSE(e.computeFromPoints({pt(70, 50), pt(50, 70), pt(30, 50), pt(50, 30), pt(62, 66)},
                                     400, 8, testRun()));
}

TEST_F(EllipseTest, AxisParallelEllipse)
{
    Ellipse e;
    ASSERT_TRUE(e.computeFromPoints(
        {pt(130, 100), pt(70, 100), pt(100, 110), pt(100, 90), pt(118, 108)}, 400, 8, testRun()));
    EXPECT_EQ(e.centerX, 100);
    EXPECT_EQ(e.centerY, 100);
    EXPECT_EQ(e.majorAxis, 60);
    EXPECT_EQ(e.minorAxis, 20);
    EXPECT_NEAR(e.angle, 0.0, 1e-9);
}

class EllipseAngleTest : public EllipseTest, public ::testing::WithParamInterface<double>
{
};

TEST_P(EllipseAngleTest, RotatedEllipseKeepsItsAngle)
{
    const double theta = GetParam();
    Ellipse e;
    ASSERT_TRUE(e.computeFromPoints(pointsOnEllipse(100, 100, 60, 20, theta), 400, 8, testRun()));
    EXPECT_NEAR(e.centerX, 100, 1);
    EXPECT_NEAR(e.centerY, 100, 1);
    EXPECT_NEAR(e.majorAxis, 120, 4);
    EXPECT_NEAR(e.minorAxis, 40, 4);
    // Angles a half turn apart describe the same ellipse.
    const double difference = std::remainder(e.angle - theta, PI);
    EXPECT_NEAR(difference, 0.0, 0.05);
}

INSTANTIATE_TEST_SUITE_P(Rotations, EllipseAngleTest,
                         ::testing::Values(0.3, 0.7853981633974483, 1.2, -0.6, 1.5));

TEST_F(EllipseTest, QuarterTurnAndOneRadianPointTwo)
{
    Ellipse e;
    ASSERT_TRUE(e.computeFromPoints(pointsOnEllipse(100, 100, 30, 10, PI / 4), 400, 8, testRun()));
    EXPECT_NEAR(e.angle, PI / 4, 0.05);
    ASSERT_TRUE(e.computeFromPoints(pointsOnEllipse(100, 100, 30, 10, 1.2), 400, 8, testRun()));
    EXPECT_NEAR(e.angle, 1.2, 0.05); // a - c > 0: the PI/2 correction applies
}

TEST_F(EllipseTest, NearlyEqualAxesBecomeACircle)
{
    Ellipse e;
    // Semi-axes 21 and 20: axes 42 and 40 differ by 2.
    ASSERT_TRUE(e.computeFromPoints(pointsOnEllipse(100, 100, 21, 20, 0.4), 400, 8, testRun()));
    EXPECT_EQ(e.minorAxis, e.majorAxis);
    EXPECT_EQ(e.angle, 0.0);
    ASSERT_TRUE(e.computeFromPoints(pointsOnEllipse(100, 100, 30, 20, 0.4), 400, 8, testRun()));
    EXPECT_GT(e.majorAxis - e.minorAxis, 2);
}

TEST_F(EllipseTest, LimitsAndTheAxisCap)
{
    const auto circle =
        std::array<Point, 5>{pt(70, 50), pt(50, 70), pt(30, 50), pt(50, 30), pt(62, 66)};
    Ellipse e;
    EXPECT_TRUE(e.computeFromPoints(circle, 40, 40, testRun())); // both limits inclusive
    e.angle = 0.25;
    EXPECT_FALSE(e.computeFromPoints(circle, 38, 8, testRun()));
    EXPECT_EQ(e.majorAxis, 40); // centre and axes stored, angle untouched
    EXPECT_EQ(e.centerX, 50);
    EXPECT_EQ(e.angle, 0.25);
    EXPECT_FALSE(e.computeFromPoints(circle, 400, 42, testRun()));

    // A circle of radius 200 has axis 400: rejected whatever the upper limit.
    const auto big =
        std::array<Point, 5>{pt(410, 210), pt(210, 410), pt(10, 210), pt(210, 10), pt(330, 370)};
    EXPECT_FALSE(e.computeFromPoints(big, 1000, 8, testRun()));
    EXPECT_EQ(e.majorAxis, 400);
}

TEST_F(EllipseTest, CentreRoundingTowardZero)
{
    Ellipse e;
    // A circle of radius 20 about (-2, 50): trunc(-1.5) is -1, invalid. (About (-1, 50) the
    // centre would give trunc(-0.5), which is 0.)
    EXPECT_FALSE(e.computeFromPoints({pt(18, 50), pt(-2, 70), pt(-22, 50), pt(-2, 30), pt(10, 66)},
                                     400, 8, testRun()));
    EXPECT_EQ(e.centerX, -1);
    // A circle about (-0.5, 50): trunc(-0.5 + 0.5) is 0 and passes.
    EXPECT_TRUE(e.computeFromPoints({pt(19, 50), pt(-20, 50), pt(7, 68), pt(-8, 32), pt(7, 32)},
                                    400, 8, testRun()));
    EXPECT_EQ(e.centerX, 0);
    EXPECT_EQ(e.centerY, 50);
}

TEST_F(EllipseTest, OriginInsideGivesACircleOfTheShorterAxis)
{
    Ellipse e;
    ASSERT_TRUE(e.computeFromPoints({pt(60, 20), pt(20, 50), pt(44, 44), pt(52, 38), pt(52, 2)},
                                    400, 8, testRun()));
    expectFields(e, 20, 20, 60, 60);
    EXPECT_EQ(e.angle, 0.0);
}

TEST_F(EllipseTest, HyperbolaAndImaginaryLeaveEverythingUnchanged)
{
    Ellipse e;
    e.valid = true;
    e.centerX = 7;
    e.majorAxis = 9;
    e.angle = 0.5;
    // x*y = 100: a hyperbola.
    EXPECT_FALSE(e.computeFromPoints({pt(10, 10), pt(20, 5), pt(5, 20), pt(4, 25), pt(25, 4)}, 400,
                                     8, testRun()));
    EXPECT_FALSE(e.valid);
    EXPECT_EQ(e.centerX, 7);
    EXPECT_EQ(e.majorAxis, 9);
    EXPECT_EQ(e.angle, 0.5);
}

TEST_F(EllipseTest, CollinearPointsRaiseTheSingularSystemError)
{
    Ellipse e;
    EXPECT_THROW(
        e.computeFromPoints({pt(1, 1), pt(2, 2), pt(3, 3), pt(4, 4), pt(5, 5)}, 400, 8, testRun()),
        SingularSystemException);
    EXPECT_THROW(
        e.computeFromPoints({pt(9, 1), pt(9, 1), pt(3, 7), pt(4, 2), pt(5, 9)}, 400, 8, testRun()),
        SingularSystemException);
    EXPECT_EQ(e.majorAxis, -1);
}

TEST_F(EllipseTest, CircleOutlineOf116Points)
{
    Ellipse e = fromFields(50, 50, 40, 40, 0.0);
    int width = 200;
    int height = 200;
    e.generatePoints(width, height, testRun());
    ASSERT_EQ(e.points.size(), 116u);
    EXPECT_EQ(e.points[0], pt(50, 70));
    EXPECT_EQ(e.points[1], pt(50, 70));
    EXPECT_EQ(e.points[2], pt(50, 30));
    EXPECT_EQ(e.points[3], pt(50, 30));
    for (const Point& p : e.points) {
        EXPECT_NE(p, pt(70, 50));
        EXPECT_NE(p, pt(30, 50));
    }
}

TEST_F(EllipseTest, EllipseOutlineOf132Points)
{
    Ellipse e = fromFields(100, 100, 60, 20, 0.0);
    int width = 200;
    int height = 200;
    e.generatePoints(width, height, testRun());
    ASSERT_EQ(e.points.size(), 132u);
    int minX = 1000, maxX = -1, minY = 1000, maxY = -1;
    for (const Point& p : e.points) {
        minX = std::min<int>(minX, p.x);
        maxX = std::max<int>(maxX, p.x);
        minY = std::min<int>(minY, p.y);
        maxY = std::max<int>(maxY, p.y);
    }
    EXPECT_EQ(minX, 70);
    EXPECT_EQ(maxX, 130);
    EXPECT_EQ(minY, 90);
    EXPECT_EQ(maxY, 110);
    EXPECT_EQ(e.points[128], pt(130, 100));
    EXPECT_EQ(e.points[129], pt(70, 100));
    EXPECT_EQ(e.points[130], pt(130, 100));
    EXPECT_EQ(e.points[131], pt(70, 100));
}

TEST_F(EllipseTest, QuarterTurnSnapsExactly)
{
    Ellipse turned = fromFields(100, 100, 60, 20, PI / 2);
    Ellipse negative = fromFields(100, 100, 60, 20, -PI / 2);
    int width = 200;
    int height = 200;
    turned.generatePoints(width, height, testRun());
    negative.generatePoints(width, height, testRun());
    EXPECT_EQ(turned.points, negative.points);
    EXPECT_EQ(turned.points[128], pt(100, 130));
}

TEST_F(EllipseTest, OutlineIsClippedAndInvalidEllipsesThrow)
{
    Ellipse border = fromFields(10, 10, 40, 40, 0.0);
    int width = 200;
    int height = 200;
    border.generatePoints(width, height, testRun());
    EXPECT_LT(border.points.size(), 116u);
    EXPECT_FALSE(border.points.empty());
    for (const Point& p : border.points) {
        EXPECT_GE(p.x, 0);
        EXPECT_GE(p.y, 0);
    }

    Ellipse nothing = fromFields(50, 50, 40, 40, 0.0);
    int zero = 0;
    nothing.generatePoints(zero, zero, testRun());
    EXPECT_TRUE(nothing.points.empty());

    Ellipse invalid = fromFields(50, 50, 40, 40, 0.0);
    invalid.valid = false;
    invalid.points.push_back(pt(1, 2));
    EXPECT_THAT([&] { invalid.generatePoints(width, height, testRun()); },
                ThrowsMessage<InvalidOperationException>(
                    StrEq("Cannot generate points for an invalid ellipse")));
    EXPECT_EQ(invalid.points.size(), 1u);
}

TEST_F(EllipseTest, DrawPaintsSquaresOnlyOverBackground)
{
    Ellipse e;
    e.points = {pt(5, 5)};
    auto canvas = [] { return PixelRows(10, std::vector<std::uint8_t>(10, 255)); };

    testRun().settings.drawingThickness = 1;
    PixelRows none = canvas();
    e.draw(none, 10, 10, testRun().settings.drawingThickness);
    EXPECT_EQ(none, canvas());

    testRun().settings.drawingThickness = 2;
    PixelRows two = canvas();
    e.draw(two, 10, 10, testRun().settings.drawingThickness);
    int painted = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            painted += two[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == 190;
    EXPECT_EQ(painted, 4);
    EXPECT_EQ(two[4][4], 190);
    EXPECT_EQ(two[5][5], 190);
    EXPECT_EQ(two[6][6], 255);

    testRun().settings.drawingThickness = 6;
    PixelRows six = canvas();
    six[3][3] = 0;
    six[4][4] = 190;
    e.draw(six, 10, 10, testRun().settings.drawingThickness);
    EXPECT_EQ(six[3][3], 0);   // image pixels stay
    EXPECT_EQ(six[4][4], 190); // already painted stays
    EXPECT_EQ(six[2][2], 190); // rows and columns y - 3 to y + 2
    EXPECT_EQ(six[7][7], 190);
    EXPECT_EQ(six[8][8], 255);
    EXPECT_EQ(six[1][5], 255);

    e.points = {pt(0, 9)}; // clipped at the border
    PixelRows corner = canvas();
    e.draw(corner, 10, 10, testRun().settings.drawingThickness);
    EXPECT_EQ(corner[9][0], 190);
    EXPECT_EQ(corner[6][2], 190);
}

TEST_F(EllipseTest, SimilarityExamples)
{
    const Ellipse c40 = fromFields(50, 50, 40, 40, 0);
    const Ellipse c42 = fromFields(50, 50, 42, 42, 0);
    EXPECT_TRUE(c40.isSimilar(c42));
    EXPECT_TRUE(c42.isSimilar(c40));

    // |dA| = 20 > 6 but |rA| = 0.167: passes that pair.
    EXPECT_TRUE(fromFields(100, 100, 100, 40, 0).isSimilar(fromFields(100, 100, 120, 40, 0)));
    // Centres 30 apart with mA = 100: |rX| = 0.3 and |dX| = 30.
    EXPECT_FALSE(fromFields(100, 100, 100, 40, 0).isSimilar(fromFields(130, 100, 100, 40, 0)));

    // With S = 0.3, angles 0.1 and 3.1 (|rT| about 0.955) count and tip the mean over 0.25;
    // angles -1.55 and 1.55 (about 0.987) are ignored.
    const Ellipse a = fromFields(100, 100, 100, 60, 0.1);
    EXPECT_FALSE(a.isSimilar(fromFields(120, 106, 100, 60, 3.1)));
    EXPECT_TRUE(
        fromFields(100, 100, 100, 60, -1.55).isSimilar(fromFields(120, 106, 100, 60, 1.55)));
    // The same shapes turned by a small angle are similar.
    EXPECT_TRUE(a.isSimilar(fromFields(102, 100, 104, 60, 0.3)));
}
