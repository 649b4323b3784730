#pragma once

namespace Trelm
{

/// An ellipse with real parameters: centre, full axis lengths (major >= minor > 0) and the
/// angle of the major axis in radians, in [-pi/2, pi/2).
struct EllipseParameters {
    double centerX = 0.0;
    double centerY = 0.0;
    double majorAxis = 0.0;
    double minorAxis = 0.0;
    double angle = 0.0;
};

} // namespace Trelm
