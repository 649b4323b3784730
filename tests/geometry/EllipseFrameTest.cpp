#include <gtest/gtest.h>

#include <cmath>

#include "geometry/EllipseFrame.h"
#include "geometry/Pi.h"

using namespace Trelm;

TEST(EllipseFrame, MeasuresPointsNearTheOutline)
{
    const EllipseParameters ellipse{50.0, 40.0, 60.0, 24.0, 0.4};
    const EllipseFrame frame(ellipse);
    const double c = std::cos(ellipse.angle), s = std::sin(ellipse.angle);
    for (int i = 0; i < 36; ++i) {
        const double t = 2 * PI * (i + 0.5) / 36 - PI;
        const double u = 30 * std::cos(t), v = 12 * std::sin(t);
        // The unit normal there, in the ellipse's frame.
        const double length = std::hypot(12 * std::cos(t), 30 * std::sin(t));
        const double nu = 12 * std::cos(t) / length, nv = 30 * std::sin(t) / length;
        for (double off : {-1.5, -0.5, 0.0, 0.5, 1.5}) {
            const double x = u + off * nu, y = v + off * nv;
            const double px = 50 + x * c - y * s, py = 40 + x * s + y * c;
            EXPECT_NEAR(frame.firstOrderDistance(px, py), std::fabs(off), 0.05 + 0.1 * off * off)
                << t << " " << off;
        }
        EXPECT_NEAR(frame.parameter(50 + u * c - v * s, 40 + u * s + v * c), t, 1e-9);
    }
}
