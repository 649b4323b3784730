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
    cones_.clear();
    ahead_.fill(Ahead{cells_.data(), 1, width_});
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
    // The cones take eight bytes a pixel: left out of very large images, whose walks then use
    // the chessboard bound in every direction.
    const std::size_t pixels = w * static_cast<std::size_t>(height_);
    if (pixels <= CONE_PIXEL_LIMIT)
        buildCones(image);
    for (std::size_t direction = 0; direction < ahead_.size(); ++direction) {
        const bool steep = direction >= 4;
        if (cones_.empty())
            ahead_[direction] =
                steep ? Ahead{cells_.data(), width_, 1} : Ahead{cells_.data(), 1, width_};
        else // each direction's bounds lie in lines along its minor axis
            ahead_[direction] = {cones_.data() + direction * pixels, steep ? width_ : height_, 1};
    }
    // The median bound is at least SPARSE_MEDIAN when fewer than half the bounds lie below it.
    std::size_t below = 0;
    for (const Cell c : cells_)
        below += c < SPARSE_MEDIAN ? 1 : 0;
    jumpFrom_ = 2 * below < cells_.size() ? SPARSE_JUMP_FROM : DENSE_JUMP_FROM;
}

namespace
{

// The image's activity (1 active, 0 not) in lines along one axis: row after row, or with
// byColumns column after column. Rows shorter than the width, and missing rows, count as
// background where they lack pixels.
std::vector<Cell> activityLines(const BinaryImage& image, int width, int height, bool byColumns)
{
    std::vector<Cell> lines(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    const auto rowCount =
        std::min<std::size_t>(image.rows.size(), static_cast<std::size_t>(height));
    for (std::size_t y = 0; y < rowCount; ++y) {
        const auto& row = image.rows[y];
        const std::size_t known =
            std::min<std::size_t>(row.size(), static_cast<std::size_t>(width));
        for (std::size_t x = 0; x < known; ++x) {
            const std::size_t index = byColumns ? x * static_cast<std::size_t>(height) + y
                                                : y * static_cast<std::size_t>(width) + x;
            lines[index] = row[x] != 0 ? 1 : 0;
        }
    }
    return lines;
}

// The cone ahead of a pixel in one direction: the pixels a walk from it can reach, k positions
// ahead with 0 ... k minor moves. Without the pixel itself, it is the union of the cones of its
// two successors (one position ahead, with and without a minor move), so the number of
// positions ahead to its nearest active pixel is one more than the smaller of theirs. The cone
// is stored line by line along the minor axis, so each line follows from the next one ahead
// alone, the far end first.
void buildCone(const std::vector<Cell>& activity, int majorLimit, int minorLimit, int majorStep,
               int minorStep, Cell* cone)
{
    const auto length = static_cast<std::size_t>(minorLimit);
    const std::vector<Cell> beyond(length, DistanceBound::CAP);
    for (int i = 0; i < majorLimit; ++i) {
        const int major = majorStep > 0 ? majorLimit - 1 - i : i;
        const int nextMajor = major + majorStep;
        const Cell* next = nextMajor >= 0 && nextMajor < majorLimit
                               ? cone + static_cast<std::size_t>(nextMajor) * length
                               : beyond.data();
        const Cell* active = activity.data() + static_cast<std::size_t>(major) * length;
        Cell* line = cone + static_cast<std::size_t>(major) * length;
        // The successor with a minor move of the line's last pixel lies outside the image.
        const std::size_t first = minorStep > 0 ? 0 : 1;
        const std::size_t last = minorStep > 0 ? length - 1 : length;
        for (std::size_t m = first; m < last; ++m) {
            const Cell reach = plusOne(smaller(next[m], next[m + minorStep]));
            line[m] = active[m] != 0 ? 0 : reach;
        }
        const std::size_t edge = minorStep > 0 ? length - 1 : 0;
        line[edge] = active[edge] != 0 ? 0 : plusOne(next[edge]);
    }
}

} // namespace

void DistanceBound::buildCones(const BinaryImage& image)
{
    const std::size_t pixels = cells_.size();
    cones_.assign(8 * pixels, CAP);
    for (const bool steep : {false, true}) {
        // Lines along the minor axis: rows for steep walks, columns for the others.
        const std::vector<Cell> activity = activityLines(image, width_, height_, !steep);
        for (int direction = steep ? 4 : 0; direction < (steep ? 8 : 4); ++direction)
            buildCone(activity, steep ? height_ : width_, steep ? width_ : height_,
                      (direction & 2) != 0 ? 1 : -1, (direction & 1) != 0 ? 1 : -1,
                      cones_.data() + static_cast<std::size_t>(direction) * pixels);
    }
}

void DistanceBound::setJumpFrom(int bound)
{
    jumpFrom_ = std::clamp(bound, 1, CAP + 1);
}

} // namespace Trelm
