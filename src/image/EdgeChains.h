#pragma once

#include <cstdint>
#include <vector>

#include "core/PixelRows.h"
#include "core/Point.h"

namespace Trelm
{

/// A thin curve of active pixels that turns one way only: a candidate arc of an ellipse.
struct EdgeChain {
    /// The pixels in order along the curve: 8-connected, or across a gap of up to 3 pixels.
    std::vector<Point> pixels;
    /// Length along the curve, in pixels.
    double length = 0;
    /// +1 when the curve turns toward increasing angle (clockwise on screen, y down), -1 the
    /// other way.
    int sense = 0;
    /// Total turning of the curve's direction, in radians.
    double turning = 0;
    /// Tangent directions at the first and the last pixel (unit vectors along the curve).
    double startDx = 0, startDy = 0, endDx = 0, endDy = 0;
};

/// The image's active pixels linked into chains, split where a curve forks, bends sharply or
/// changes its sense of turning; chains too short or too straight to tell an ellipse are
/// dropped.
class EdgeChains
{
  public:
    /// Links the active pixels of rows (rows may be shorter than width).
    static EdgeChains link(const PixelRows& rows, std::int32_t width, std::int32_t height);

    const std::vector<EdgeChain>& chains() const { return chains_; }
    std::size_t size() const { return chains_.size(); }
    const EdgeChain& operator[](std::size_t index) const { return chains_[index]; }

    /// Whether b can lie on one convex outline with a: b lies on the inner side of a's end
    /// tangents and a on the inner side of b's, both turning the same way.
    static bool convexTogether(const EdgeChain& a, const EdgeChain& b);

    /// Shortest chain kept, in pixels.
    static constexpr std::size_t MIN_PIXELS = 8;

  private:
    struct Tracer;

    void addSplit(const std::vector<Point>& curve);
    void addArc(const std::vector<Point>& curve, std::size_t first, std::size_t last);

    std::vector<EdgeChain> chains_;
};

} // namespace Trelm
