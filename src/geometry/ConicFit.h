#pragma once

#include <vector>

#include "geometry/EllipseParameters.h"
#include "geometry/PlanePoint.h"

namespace Trelm
{

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

    /// The points whose orthogonal distance from the outline is at most band, in their order.
    static std::vector<PlanePoint> pointsWithin(const EllipseParameters& ellipse,
                                                const std::vector<PlanePoint>& points, double band);

    /// Root mean square of the orthogonal distances of the points (0 for no point).
    static double rmsDistance(const EllipseParameters& ellipse,
                              const std::vector<PlanePoint>& points);
};

} // namespace Trelm
