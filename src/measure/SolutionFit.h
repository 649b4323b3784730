#pragma once

#include "geometry/Ellipse.h"
#include "geometry/EllipseParameters.h"
#include "image/BinaryImage.h"

namespace Trelm
{

/// Refits a solution's ellipse, found on whole pixels, to the image pixels along its outline,
/// so that centre, axes and angle come to a fraction of a pixel.
class SolutionFit
{
  public:
    /// The ellipse fitted to the active pixels near the outline of ellipse: an algebraic fit,
    /// then orthogonal-distance iterations on the pixels that lie close to it. False (result
    /// unchanged) when too few pixels remain or the fit strays far from ellipse.
    static bool refit(const BinaryImage& image, const Ellipse& ellipse, EllipseParameters& result);
};

} // namespace Trelm
