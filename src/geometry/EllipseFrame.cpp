#include "geometry/EllipseFrame.h"

#include <cmath>
#include <limits>

namespace Trelm
{

EllipseFrame::EllipseFrame(const EllipseParameters& ellipse)
    : centerX_(ellipse.centerX), centerY_(ellipse.centerY), cos_(std::cos(ellipse.angle)),
      sin_(std::sin(ellipse.angle)), a_(ellipse.majorAxis / 2), b_(ellipse.minorAxis / 2),
      inverseA_(2 / ellipse.majorAxis), inverseB_(2 / ellipse.minorAxis)
{
}

double EllipseFrame::firstOrderDistance(double x, double y) const
{
    const double dx = x - centerX_, dy = y - centerY_;
    // Coordinates scaled so that the ellipse is the unit circle.
    const double u = (dx * cos_ + dy * sin_) * inverseA_;
    const double v = (dy * cos_ - dx * sin_) * inverseB_;
    const double gu = u * inverseA_, gv = v * inverseB_;
    const double gradient = 2 * std::sqrt(gu * gu + gv * gv);
    return gradient > 0 ? std::fabs(u * u + v * v - 1) / gradient
                        : std::numeric_limits<double>::max();
}

double EllipseFrame::parameter(double x, double y) const
{
    const double dx = x - centerX_, dy = y - centerY_;
    return std::atan2((dy * cos_ - dx * sin_) * inverseB_, (dx * cos_ + dy * sin_) * inverseA_);
}

PlanePoint EllipseFrame::pointAt(double t) const
{
    const double u = a_ * std::cos(t), v = b_ * std::sin(t);
    return {centerX_ + u * cos_ - v * sin_, centerY_ + u * sin_ + v * cos_};
}

} // namespace Trelm
