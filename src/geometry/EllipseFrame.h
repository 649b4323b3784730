#pragma once

#include "geometry/EllipseParameters.h"
#include "geometry/PlanePoint.h"

namespace Trelm
{

/// An ellipse in its own frame (centre at the origin, major axis along x), for measuring many
/// points against it quickly.
class EllipseFrame
{
  public:
    explicit EllipseFrame(const EllipseParameters& ellipse);

    /// How far (x, y) lies off the ellipse, to first order: the implicit function over its
    /// gradient. Close to the orthogonal distance near the outline, at a fraction of its cost;
    /// a very large value at the centre.
    double firstOrderDistance(double x, double y) const;
    /// The parameter t of the outline point a cos t, b sin t on the ray from the centre
    /// through (x, y) in the ellipse's own frame, in [-pi, pi].
    double parameter(double x, double y) const;
    /// The outline point of parameter t: a cos t, b sin t turned and moved into place.
    PlanePoint pointAt(double t) const;

  private:
    double centerX_, centerY_, cos_, sin_, a_, b_, inverseA_, inverseB_;
};

} // namespace Trelm
