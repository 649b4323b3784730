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
    /// How far the fit may move from the ellipse it starts from before it is taken for a fit to
    /// something else: the centre by a share of the major axis, each axis by a share of itself
    /// (or by 3 pixels, whichever is larger).
    struct Reach {
        double shiftShare = 0.1;
        double axisShare = 0.2;
    };

    /// The ellipse fitted to the active pixels near the outline of ellipse: an algebraic fit,
    /// then orthogonal-distance iterations on the pixels that lie close to it. False (result
    /// unchanged) when too few pixels remain or the fit strays beyond reach of ellipse.
    static bool refit(const BinaryImage& image, const Ellipse& ellipse, EllipseParameters& result,
                      const Reach& reach);
    static bool refit(const BinaryImage& image, const Ellipse& ellipse, EllipseParameters& result)
    {
        return refit(image, ellipse, result, Reach());
    }
};

} // namespace Trelm
