#pragma once

namespace Trelm
{

/// A point of the plane in pixel units: x to the right, y down, (0, 0) the centre of the
/// top-left pixel.
struct PlanePoint {
    double x = 0.0;
    double y = 0.0;
};

} // namespace Trelm
