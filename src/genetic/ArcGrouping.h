#pragma once

#include <cstdint>
#include <vector>

#include "core/Point.h"
#include "geometry/EllipseFrame.h"
#include "geometry/EllipseParameters.h"
#include "image/EdgeChains.h"

namespace Trelm
{

/// Gathers the edge chains that lie along an ellipse fitted to a few of them: the other arcs of
/// an outline broken by clutter, occlusion or weak contrast. Chains are found through a grid of
/// the cells they cross, so a look costs the outline's length, not the number of chains.
class ArcGrouping
{
  public:
    explicit ArcGrouping(const EdgeChains& chains);

    /// The pixels of seeds and of every other chain lying along fit, in order around fit, with
    /// fit refitted to them all; empty (fit unchanged) when no other chain lies along it or the
    /// refit strays.
    std::vector<Point> grow(const EdgeChains& chains, const std::vector<std::uint32_t>& seeds,
                            EllipseParameters& fit);

    /// The least-squares ellipse of the chains, each giving up to about 64 pixels spread evenly
    /// along it (enough for the fit, and a long chain does not outweigh a short one beside it);
    /// false when they give none.
    static bool fitChains(const EdgeChains& chains, const std::vector<std::uint32_t>& ids,
                          EllipseParameters& fit);

    /// Edge of the grid's square cells, in pixels.
    static constexpr int CELL = 8;

  private:
    std::vector<std::uint32_t> chainsAlong(const EdgeChains& chains, const EllipseParameters& fit,
                                           const std::vector<std::uint32_t>& seeds);
    static bool liesAlong(const EdgeChain& chain, const EllipseFrame& frame);

    int columns_ = 0, rows_ = 0;
    /// The chains crossing each cell, row by row.
    std::vector<std::vector<std::uint32_t>> cells_;
    /// The look each chain was last met in: a chain is weighed once per look.
    std::vector<std::uint32_t> lastLook_;
    std::uint32_t look_ = 0;
};

} // namespace Trelm
