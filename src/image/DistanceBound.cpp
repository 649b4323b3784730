#include "image/DistanceBound.h"

#include <algorithm>

namespace Trelm
{

namespace
{

// Thresholds measured with radial walks on generated scenes and on 640x480 images of a few
// ellipses and lines plus uniform salt: with a median bound of SPARSE_MEDIAN or more, jumping
// from SPARSE_JUMP_FROM on is fastest; below it (salt of about 1% and more), a jump rarely
// recovers its cost unless it is long, and the walk is then about as fast as stepping.
constexpr int SPARSE_MEDIAN = 6;
constexpr int SPARSE_JUMP_FROM = 3;
constexpr int DENSE_JUMP_FROM = 16;

using Cell = std::uint8_t;

// One more than v, saturating at the cap; branch-free.
inline Cell plusOne(Cell v)
{
    return static_cast<Cell>(v + (v < DistanceBound::CAP ? 1 : 0));
}

// Horizontal pass: the distance along the row to the nearest active pixel of that row.
void rowDistances(const std::vector<std::uint8_t>* pixels, int width, Cell* out)
{
    const int known =
        pixels == nullptr ? 0 : static_cast<int>(std::min<std::size_t>(pixels->size(), width));
    const std::uint8_t* in = known > 0 ? pixels->data() : nullptr;
    Cell run = DistanceBound::CAP;
    for (int x = 0; x < known; ++x) {
        // 0 on an active pixel, else one more than the run: a mask instead of a branch.
        const Cell keep = static_cast<Cell>(in[x] == 0 ? 0xFF : 0);
        run = static_cast<Cell>(plusOne(run) & keep);
        out[x] = run;
    }
    for (int x = known; x < width; ++x) {
        run = plusOne(run);
        out[x] = run;
    }
    run = DistanceBound::CAP;
    for (int x = width - 1; x >= 0; --x) {
        const Cell keep = static_cast<Cell>(out[x] == 0 ? 0 : 0xFF);
        run = static_cast<Cell>(plusOne(run) & keep);
        out[x] = out[x] < run ? out[x] : run;
    }
}

// Vertical pass: row takes the minimum of itself and one more than the closest of the three
// cells above (or below) it in the finished neighbouring row. Plain selections, no branches.
inline Cell smaller(Cell a, Cell b)
{
    return a < b ? a : b;
}

void fromNeighbourRow(const Cell* neighbour, int width, Cell* row)
{
    if (width == 1) {
        row[0] = smaller(row[0], plusOne(neighbour[0]));
        return;
    }
    row[0] = smaller(row[0], plusOne(smaller(neighbour[0], neighbour[1])));
    for (int x = 1; x < width - 1; ++x) {
        const Cell closest = smaller(smaller(neighbour[x - 1], neighbour[x]), neighbour[x + 1]);
        row[x] = smaller(row[x], plusOne(closest));
    }
    row[width - 1] =
        smaller(row[width - 1], plusOne(smaller(neighbour[width - 2], neighbour[width - 1])));
}

} // namespace

// The chessboard distance separates: with h(x, y') the distance along row y' to its nearest
// active pixel, d(x, y) = min over y' of max(|y - y'|, h(x, y')). A downward sweep then an
// upward sweep, each taking one more than the best of three neighbours in the finished row,
// computes that minimum exactly (h is 1-Lipschitz along the row).
void DistanceBound::rebuild(const BinaryImage& image)
{
    width_ = std::max(image.width, 0);
    height_ = std::max(image.height, 0);
    const auto w = static_cast<std::size_t>(width_);
    cells_.assign(w * static_cast<std::size_t>(height_), CAP);
    jumpFrom_ = CAP + 1;
    if (width_ == 0 || height_ == 0)
        return;
    Cell* cells = cells_.data();
    for (int y = 0; y < height_; ++y) {
        const auto row = static_cast<std::size_t>(y);
        rowDistances(row < image.rows.size() ? &image.rows[row] : nullptr, width_, cells + row * w);
    }
    for (int y = 1; y < height_; ++y) {
        const auto row = static_cast<std::size_t>(y);
        fromNeighbourRow(cells + (row - 1) * w, width_, cells + row * w);
    }
    for (int y = height_ - 2; y >= 0; --y) {
        const auto row = static_cast<std::size_t>(y);
        fromNeighbourRow(cells + (row + 1) * w, width_, cells + row * w);
    }
    // The median bound is at least SPARSE_MEDIAN when fewer than half the bounds lie below it.
    std::size_t below = 0;
    for (const Cell c : cells_)
        below += c < SPARSE_MEDIAN ? 1 : 0;
    jumpFrom_ = 2 * below < cells_.size() ? SPARSE_JUMP_FROM : DENSE_JUMP_FROM;
}

void DistanceBound::setJumpFrom(int bound)
{
    jumpFrom_ = std::clamp(bound, 1, CAP + 1);
}

} // namespace Trelm
