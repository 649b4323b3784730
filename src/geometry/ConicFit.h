#pragma once

#include <vector>

namespace Trelm
{

/// A point of the plane in pixel units: x to the right, y down, (0, 0) the centre of the
/// top-left pixel.
struct PlanePoint {
    double x = 0.0;
    double y = 0.0;
};

/// An ellipse with real parameters: centre, full axis lengths (major >= minor > 0) and the
/// angle of the major axis in radians, in [-pi/2, pi/2).
struct EllipseParameters {
    double centerX = 0.0;
    double centerY = 0.0;
    double majorAxis = 0.0;
    double minorAxis = 0.0;
    double angle = 0.0;
};

/// Least-squares ellipse fitting to points: a direct algebraic fit that can only give an
/// ellipse, and iterations that minimise the orthogonal distances from there.
class ConicFit
{
  public:
    /// The conic minimising the algebraic distances under the constraint 4ac - b^2 = 1, solved
    /// in coordinates centred on the points and scaled to unit spread. False (result unchanged)
    /// for fewer than five points or when the points admit no ellipse.
    static bool fitAlgebraic(const std::vector<PlanePoint>& points, EllipseParameters& result);

    /// Damped Gauss-Newton iterations on the sum of squared orthogonal distances, starting from
    /// ellipse; a step is kept only when it lowers the sum. False (ellipse unchanged) for fewer
    /// than five points or an unusable start.
    static bool refineGeometric(const std::vector<PlanePoint>& points, EllipseParameters& ellipse,
                                int iterations);

    /// Orthogonal distance of p from the outline: negative inside, positive outside.
    static double signedDistance(const EllipseParameters& ellipse, PlanePoint p);

    /// Root mean square of the orthogonal distances of the points (0 for no point).
    static double rmsDistance(const EllipseParameters& ellipse,
                              const std::vector<PlanePoint>& points);
};

} // namespace Trelm
