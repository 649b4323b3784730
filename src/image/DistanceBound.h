#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/BinaryImage.h"

namespace Trelm
{

/// For every pixel of an image, a lower bound on the chessboard distance (max(|dx|, |dy|)) to
/// the nearest active pixel: 0 on an active pixel, otherwise the exact distance as of the last
/// rebuild, capped at CAP (CAP means "CAP or more"; an image without any active pixel is CAP
/// everywhere). One byte per pixel, row-major.
///
/// The walk along a line (findActiveAlongLineFast) jumps over a stretch when the bound there is
/// at least jumpFrom(). Jumps pay only for large bounds, so rebuild picks a low threshold for
/// sparse images and a high one where most bounds are small; the walk's results do not depend
/// on it. Each direction of walk also has its own, larger bound: how many positions ahead the
/// walk can first meet an active pixel (see ahead()); a radius walk jumps by those.
///
/// The bound stays valid while pixels only turn inactive: clearing pixels after a rebuild is
/// fine, and so is restoring pixels that were active at the rebuild. Rebuild after anything
/// that makes a pixel active which was not active at the rebuild (a new image, or a rebuild
/// taken while pixels were cleared and later restored).
class DistanceBound
{
  public:
    /// The largest bound stored.
    static constexpr int CAP = 255;

    DistanceBound() = default;
    explicit DistanceBound(const BinaryImage& image) { rebuild(image); }

    /// Recomputes the bound from the image's grid in O(width * height). Rows shorter than the
    /// width, and missing rows, count as background where they lack pixels.
    void rebuild(const BinaryImage& image);

    /// The smallest bound the walk jumps over, from 1 to CAP + 1 (never).
    int jumpFrom() const { return jumpFrom_; }
    /// Overrides the threshold rebuild picked (clamped to 1 ... CAP + 1); for tuning and tests.
    void setJumpFrom(int bound);

    int width() const { return width_; }
    int height() const { return height_; }

    /// The bound at (x, y), which must lie inside the grid.
    std::uint8_t at(int x, int y) const
    {
        return cells_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                      static_cast<std::size_t>(x)];
    }

    /// The bounds, row-major, width() per row.
    const std::uint8_t* data() const { return cells_.data(); }

    /// Bounds laid out for one direction of walk: the bound at (major, minor) is
    /// cells[major * majorStride + minor * minorStride].
    struct Ahead {
        const std::uint8_t* cells;
        std::ptrdiff_t majorStride;
        std::ptrdiff_t minorStride;
    };

    /// For a walk along a digital line whose major coordinate is y when steep, moving by
    /// majorStep and minorStep (each 1 or -1): per pixel, a lower bound on the number of
    /// positions ahead at which the walk can meet an active pixel, 0 on an active pixel. Exact
    /// as of the last rebuild and capped at CAP; the chessboard bound of at() on images of more
    /// than CONE_PIXEL_LIMIT pixels.
    Ahead ahead(bool steep, int majorStep, int minorStep) const
    {
        return ahead_[(steep ? 4u : 0u) + (majorStep > 0 ? 2u : 0u) + (minorStep > 0 ? 1u : 0u)];
    }

    /// The largest image, in pixels, given the bounds ahead in each direction (8 bytes a pixel).
    static constexpr std::size_t CONE_PIXEL_LIMIT = std::size_t{1} << 19;

  private:
    int width_ = 0;
    int height_ = 0;
    int jumpFrom_ = CAP + 1;
    std::vector<std::uint8_t> cells_;
    /// The bounds ahead in the eight directions, one grid after another; empty on large images.
    std::vector<std::uint8_t> cones_;
    /// Where ahead() finds each direction's bounds.
    std::array<Ahead, 8> ahead_{};

    void buildCones(const BinaryImage& image);
};

} // namespace Trelm
