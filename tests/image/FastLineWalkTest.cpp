#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "image/BinaryImage.h"
#include "image/DistanceBound.h"
#include "image/FastLineWalk.h"
#include "image/PixelSearch.h"

using namespace Trelm;

namespace
{

constexpr int NO_CAP = std::numeric_limits<int>::max();

class Dice
{
  public:
    explicit Dice(std::uint64_t seed) : engine_(seed) {}

    // Uniform from lo to hi, both included.
    int between(int lo, int hi)
    {
        const auto span = static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo + 1);
        return static_cast<int>(lo + static_cast<std::int64_t>(engine_() % span));
    }
    // True with probability p, from the top 53 bits (the same on every standard library).
    bool chance(double p) { return static_cast<double>(engine_() >> 11) * 0x1p-53 < p; }
    std::int16_t coordinate() { return static_cast<std::int16_t>(between(-32768, 32767)); }

  private:
    std::mt19937_64 engine_;
};

BinaryImage blankImage(int height, int width)
{
    BinaryImage image;
    image.resize(height, width, 0);
    return image;
}

void setPixel(BinaryImage& image, int x, int y)
{
    if (x >= 0 && y >= 0 && x < image.width && y < image.height)
        image.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = 1;
}

// A straight segment by simple rounding, so that lines of every slope appear.
void drawSegment(BinaryImage& image, int x0, int y0, int x1, int y1)
{
    const int n = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int i = 0; i <= n; ++i) {
        const double t = n == 0 ? 0.0 : static_cast<double>(i) / n;
        setPixel(image, static_cast<int>(x0 + t * (x1 - x0) + 0.5),
                 static_cast<int>(y0 + t * (y1 - y0) + 0.5));
    }
}

BinaryImage randomImage(Dice& dice)
{
    int height = 0;
    int width = 0;
    switch (dice.between(0, 5)) {
    case 0: // tiny
        height = dice.between(1, 4);
        width = dice.between(1, 4);
        break;
    case 1: // thin
        height = dice.chance(0.5) ? 1 : dice.between(1, 300);
        width = height == 1 ? dice.between(1, 300) : 1;
        break;
    default:
        height = dice.between(1, 300);
        width = dice.between(1, 300);
        break;
    }
    BinaryImage image = blankImage(height, width);
    const int kinds = dice.between(1, 3);
    for (int kind = 0; kind < kinds; ++kind) {
        switch (dice.between(0, 6)) {
        case 0: // empty or nearly so
            break;
        case 1: { // salt of some density, from sparse to dense
            static const double densities[] = {0.0005, 0.002, 0.01, 0.05, 0.2, 0.5, 0.9, 1.0};
            const double density = densities[dice.between(0, 7)];
            for (auto& row : image.rows)
                for (auto& pixel : row)
                    if (dice.chance(density))
                        pixel = 1;
            break;
        }
        case 2: { // a few single pixels
            const int count = dice.between(1, 6);
            for (int i = 0; i < count; ++i)
                setPixel(image, dice.between(0, width - 1), dice.between(0, height - 1));
            break;
        }
        case 3: { // lines, some reaching past the borders
            const int count = dice.between(1, 8);
            for (int i = 0; i < count; ++i)
                drawSegment(image, dice.between(-20, width + 20), dice.between(-20, height + 20),
                            dice.between(-20, width + 20), dice.between(-20, height + 20));
            break;
        }
        case 4: { // filled rectangles: long active runs
            const int count = dice.between(1, 4);
            for (int i = 0; i < count; ++i) {
                const int x0 = dice.between(0, width - 1);
                const int y0 = dice.between(0, height - 1);
                const int x1 = std::min(width - 1, x0 + dice.between(0, 40));
                const int y1 = std::min(height - 1, y0 + dice.between(0, 40));
                for (int y = y0; y <= y1; ++y)
                    for (int x = x0; x <= x1; ++x)
                        setPixel(image, x, y);
            }
            break;
        }
        case 5: // a frame on the border
            for (int x = 0; x < width; ++x) {
                setPixel(image, x, 0);
                setPixel(image, x, height - 1);
            }
            for (int y = 0; y < height; ++y) {
                setPixel(image, 0, y);
                setPixel(image, width - 1, y);
            }
            break;
        default: { // an ellipse-like ring
            const double cx = dice.between(0, width - 1);
            const double cy = dice.between(0, height - 1);
            const double rx = dice.between(1, 150);
            const double ry = dice.between(1, 150);
            for (int i = 0; i < 2000; ++i) {
                const double t = i * (6.283185307179586 / 2000);
                setPixel(image, static_cast<int>(cx + rx * std::cos(t) + 0.5),
                         static_cast<int>(cy + ry * std::sin(t) + 0.5));
            }
            break;
        }
        }
    }
    // Non-zero values other than 1 are active too.
    if (dice.chance(0.1))
        for (auto& row : image.rows)
            for (auto& pixel : row)
                if (pixel != 0)
                    pixel = static_cast<std::uint8_t>(dice.between(1, 255));
    return image;
}

std::vector<Point> activePixels(const BinaryImage& image)
{
    std::vector<Point> points;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (image.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] != 0)
                points.push_back({static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)});
    return points;
}

Point randomStart(Dice& dice, const BinaryImage& image, const std::vector<Point>& active)
{
    const int w = image.width;
    const int h = image.height;
    switch (dice.between(0, 9)) {
    case 0:
    case 1:
    case 2: // on an active pixel, so the walk begins inside a run
        if (!active.empty())
            return active[static_cast<std::size_t>(
                dice.between(0, static_cast<int>(active.size()) - 1))];
        break;
    case 3: // on the border
        return {static_cast<std::int16_t>(dice.chance(0.5) ? dice.between(0, w - 1)
                                                           : (dice.chance(0.5) ? 0 : w - 1)),
                static_cast<std::int16_t>(dice.chance(0.5) ? (dice.chance(0.5) ? 0 : h - 1)
                                                           : dice.between(0, h - 1))};
    case 4: // just outside, or anywhere at all
        if (dice.chance(0.7))
            return {static_cast<std::int16_t>(dice.between(-3, w + 2)),
                    static_cast<std::int16_t>(dice.between(-3, h + 2))};
        return {dice.coordinate(), dice.coordinate()};
    default:
        break;
    }
    return {static_cast<std::int16_t>(dice.between(0, w - 1)),
            static_cast<std::int16_t>(dice.between(0, h - 1))};
}

std::int16_t clamp16(int v)
{
    return static_cast<std::int16_t>(std::clamp(v, -32768, 32767));
}

Point randomTarget(Dice& dice, const BinaryImage& image, Point start)
{
    static const int extremes[] = {-32768, -32767, 32767, 32766, 0};
    const int w = image.width;
    const int h = image.height;
    switch (dice.between(0, 11)) {
    case 0: // inside the image
        return {static_cast<std::int16_t>(dice.between(0, w - 1)),
                static_cast<std::int16_t>(dice.between(0, h - 1))};
    case 1: // near the image
        return {static_cast<std::int16_t>(dice.between(-40, w + 40)),
                static_cast<std::int16_t>(dice.between(-40, h + 40))};
    case 2: // anywhere in 16 bits
        return {dice.coordinate(), dice.coordinate()};
    case 3: // 16-bit extremes
        return {static_cast<std::int16_t>(extremes[dice.between(0, 4)]),
                static_cast<std::int16_t>(extremes[dice.between(0, 4)])};
    case 4: // the start itself, or one step from it
        if (dice.chance(0.5))
            return start;
        return {clamp16(start.x + dice.between(-1, 1)), clamp16(start.y + dice.between(-1, 1))};
    case 5: { // exact diagonal
        const int t = dice.between(1, 40000);
        return {clamp16(start.x + (dice.chance(0.5) ? t : -t)),
                clamp16(start.y + (dice.chance(0.5) ? t : -t))};
    }
    case 6: { // along an axis
        const int t = dice.between(-40000, 40000);
        if (dice.chance(0.5))
            return {clamp16(start.x + t), start.y};
        return {start.x, clamp16(start.y + t)};
    }
    case 7: { // near-ties: |dx| and |dy| differ by at most one
        const int t = dice.between(1, 400);
        const int u = t + dice.between(-1, 1);
        const bool swap = dice.chance(0.5);
        const int ddx = (swap ? u : t) * (dice.chance(0.5) ? 1 : -1);
        const int ddy = (swap ? t : u) * (dice.chance(0.5) ? 1 : -1);
        return {clamp16(start.x + ddx), clamp16(start.y + ddy)};
    }
    case 8: { // small rational slopes scaled up, from steep to shallow
        const int p = dice.between(0, 7);
        const int q = dice.between(1, 7);
        const int scale = dice.between(1, 5000);
        const int sx = dice.chance(0.5) ? 1 : -1;
        const int sy = dice.chance(0.5) ? 1 : -1;
        if (dice.chance(0.5))
            return {clamp16(start.x + sx * p * scale), clamp16(start.y + sy * q * scale)};
        return {clamp16(start.x + sx * q * scale), clamp16(start.y + sy * p * scale)};
    }
    default: { // a random direction, far or near
        const int reach = dice.chance(0.5) ? 600 : 40000;
        return {clamp16(start.x + dice.between(-reach, reach)),
                clamp16(start.y + dice.between(-reach, reach))};
    }
    }
}

int randomCap(Dice& dice)
{
    switch (dice.between(0, 9)) {
    case 0:
        return dice.between(-2, 3);
    case 1:
        return dice.between(0, 60);
    case 2:
        return dice.between(0, 400);
    case 3:
        return std::numeric_limits<int>::min() + dice.between(0, 1);
    default:
        return NO_CAP;
    }
}

std::string describe(const BinaryImage& image, Point start, Point target, int cap)
{
    std::ostringstream text;
    text << image.width << "x" << image.height << " start (" << start.x << ", " << start.y
         << ") target (" << target.x << ", " << target.y << ") cap " << cap;
    return text.str();
}

::testing::AssertionResult sameWalk(const BinaryImage& image, const DistanceBound& bound,
                                    Point start, Point target, int cap)
{
    Point slow{123, 456};
    Point fast{789, 321};
    const bool slowFound = findActiveAlongLine(image, start, target, slow, cap);
    const bool fastFound = findActiveAlongLineFast(image, bound, start, target, fast, cap);
    if (slowFound == fastFound && slow == fast)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << describe(image, start, target, cap) << ": step by step " << slowFound << " ("
           << slow.x << ", " << slow.y << "), fast " << fastFound << " (" << fast.x << ", "
           << fast.y << ")";
}

int bruteChessboard(const BinaryImage& image, int x, int y)
{
    int best = DistanceBound::CAP;
    for (int yy = 0; yy < static_cast<int>(image.rows.size()); ++yy) {
        const auto& row = image.rows[static_cast<std::size_t>(yy)];
        for (int xx = 0; xx < static_cast<int>(row.size()) && xx < image.width; ++xx)
            if (row[static_cast<std::size_t>(xx)] != 0)
                best = std::min(best, std::max(std::abs(xx - x), std::abs(yy - y)));
    }
    return best;
}

// Salt on a small image, sometimes very sparse, with some rows left unread: shorter than the
// width, or missing altogether.
BinaryImage saltWithUnreadRows(Dice& dice, int maxSide, double sparseDensity)
{
    BinaryImage image = blankImage(dice.between(1, maxSide), dice.between(1, maxSide));
    const double density = dice.chance(0.3) ? sparseDensity : dice.between(0, 30) / 100.0;
    for (auto& row : image.rows)
        for (auto& pixel : row)
            pixel = dice.chance(density) ? 1 : 0;
    if (dice.chance(0.3))
        image.rows[static_cast<std::size_t>(dice.between(0, image.height - 1))].resize(
            static_cast<std::size_t>(dice.between(0, image.width)));
    if (dice.chance(0.2))
        image.rows.resize(static_cast<std::size_t>(dice.between(0, image.height)));
    return image;
}

} // namespace

TEST(DistanceBound, IsTheCappedChessboardDistance)
{
    Dice dice(7);
    for (int round = 0; round < 300; ++round) {
        BinaryImage image = saltWithUnreadRows(dice, 24, 0.002);
        const DistanceBound bound(image);
        ASSERT_EQ(bound.width(), image.width);
        ASSERT_EQ(bound.height(), image.height);
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                ASSERT_EQ(bound.at(x, y), bruteChessboard(image, x, y))
                    << "round " << round << " at (" << x << ", " << y << ")";
    }
}

TEST(DistanceBound, CapsFarDistancesAndEmptyImages)
{
    BinaryImage line = blankImage(1, 600);
    setPixel(line, 10, 0);
    const DistanceBound bound(line);
    EXPECT_EQ(bound.at(10, 0), 0);
    EXPECT_EQ(bound.at(0, 0), 10);
    EXPECT_EQ(bound.at(264, 0), 254);
    EXPECT_EQ(bound.at(265, 0), 255);
    EXPECT_EQ(bound.at(599, 0), 255);

    const DistanceBound empty(blankImage(3, 4));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(empty.at(x, y), DistanceBound::CAP);

    BinaryImage dense = blankImage(20, 20);
    for (int y = 0; y < 20; y += 2)
        for (int x = 0; x < 20; x += 2)
            setPixel(dense, x, y);
    DistanceBound denseBound(dense);
    EXPECT_GT(denseBound.jumpFrom(), 3); // most bounds are 1: only long jumps pay
    EXPECT_EQ(bound.jumpFrom(), 3);      // most bounds are large
    denseBound.setJumpFrom(-5);
    EXPECT_EQ(denseBound.jumpFrom(), 1);
    denseBound.setJumpFrom(1000);
    EXPECT_EQ(denseBound.jumpFrom(), DistanceBound::CAP + 1);

    const DistanceBound none(blankImage(0, 0));
    EXPECT_EQ(none.width(), 0);
    EXPECT_EQ(none.height(), 0);
}

TEST(DistanceBound, StaysALowerBoundAfterClearing)
{
    Dice dice(11);
    for (int round = 0; round < 50; ++round) {
        BinaryImage image = blankImage(dice.between(1, 30), dice.between(1, 30));
        for (auto& row : image.rows)
            for (auto& pixel : row)
                pixel = dice.chance(0.1) ? 1 : 0;
        const DistanceBound bound(image);
        for (const Point& p : activePixels(image))
            if (dice.chance(0.5))
                image.clearPixel(p);
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                ASSERT_LE(bound.at(x, y), bruteChessboard(image, x, y));
    }
}

TEST(ExactQuotient, MatchesDivisionForEveryDivisor)
{
    Dice dice(9);
    constexpr std::uint32_t limit = 1u << 26;
    for (std::uint32_t divisor = 1; divisor <= (1u << 17); ++divisor) {
        const ExactQuotient quotient(divisor);
        const std::uint32_t top = (limit - 1) / divisor * divisor;
        for (const std::uint32_t n :
             {0u, 1u, divisor - 1, divisor, divisor + 1, top - 1, top, limit - 1,
              static_cast<std::uint32_t>(dice.between(0, static_cast<int>(limit - 1)))}) {
            if (n < limit) {
                ASSERT_EQ(quotient.of(n), n / divisor) << n << " / " << divisor;
            }
        }
    }
}

TEST(FindActiveAlongLineFast, KnownCases)
{
    BinaryImage image = blankImage(1, 8);
    for (int x : {0, 1, 2, 5, 7})
        setPixel(image, x, 0);
    DistanceBound bound(image);
    bound.setJumpFrom(2);
    Point found;
    ASSERT_TRUE(findActiveAlongLineFast(image, bound, {0, 0}, {7, 0}, found));
    EXPECT_EQ(found, (Point{5, 0}));
    EXPECT_FALSE(findActiveAlongLineFast(image, bound, {3, 0}, {5, 0}, found));
    EXPECT_EQ(found, (Point{-1, -1}));

    // A long empty stretch crossed in jumps, then a pixel right at the end.
    BinaryImage wide = blankImage(3, 640);
    setPixel(wide, 639, 1);
    DistanceBound wideBound(wide);
    EXPECT_EQ(wideBound.jumpFrom(), 3); // a sparse image
    wideBound.setJumpFrom(2);
    ASSERT_TRUE(findActiveAlongLineFast(wide, wideBound, {0, 1}, {32767, 1}, found));
    EXPECT_EQ(found, (Point{639, 1}));
    EXPECT_FALSE(findActiveAlongLineFast(wide, wideBound, {0, 1}, {639, 1}, found));
    EXPECT_FALSE(findActiveAlongLineFast(wide, wideBound, {0, 1}, {32767, 1}, found, 639));
    ASSERT_TRUE(findActiveAlongLineFast(wide, wideBound, {0, 1}, {32767, 1}, found, 640));
    EXPECT_EQ(found, (Point{639, 1}));

    // A bound of another size falls back to the step-by-step walk.
    const DistanceBound stale(blankImage(2, 2));
    ASSERT_TRUE(findActiveAlongLineFast(wide, stale, {0, 1}, {32767, 1}, found));
    EXPECT_EQ(found, (Point{639, 1}));
}

TEST(FindActiveAlongLineFast, UnreadRowsCountAsBackground)
{
    // The step-by-step walk needs full rows; the fast one reads a row only where the bound is 0,
    // so on short or missing rows it must answer as the step-by-step walk does on padded rows.
    Dice dice(13);
    long cases = 0;
    for (int round = 0; round < 200; ++round) {
        BinaryImage padded = blankImage(dice.between(1, 40), dice.between(1, 40));
        for (auto& row : padded.rows)
            for (auto& pixel : row)
                pixel = dice.chance(0.05) ? 1 : 0;
        BinaryImage shortRows = padded;
        for (std::size_t y = 0; y < shortRows.rows.size(); ++y) {
            if (!dice.chance(0.4))
                continue;
            auto& row = shortRows.rows[y];
            row.resize(static_cast<std::size_t>(dice.between(0, padded.width)));
            // What the padded copy sees past the end of a short row is background.
            auto& full = padded.rows[y];
            std::fill(full.begin() + static_cast<std::ptrdiff_t>(row.size()), full.end(), 0);
        }
        if (dice.chance(0.3)) {
            const auto kept = static_cast<std::size_t>(dice.between(0, padded.height));
            shortRows.rows.resize(kept);
            for (std::size_t y = kept; y < padded.rows.size(); ++y)
                std::fill(padded.rows[y].begin(), padded.rows[y].end(), 0);
        }
        DistanceBound bound(shortRows);
        bound.setJumpFrom(dice.between(1, 4));
        const std::vector<Point> active = activePixels(padded);
        for (int i = 0; i < 500; ++i) {
            const Point start = randomStart(dice, padded, active);
            const Point target = randomTarget(dice, padded, start);
            const int cap = randomCap(dice);
            Point slow;
            Point fast;
            const bool slowFound = findActiveAlongLine(padded, start, target, slow, cap);
            const bool fastFound =
                findActiveAlongLineFast(shortRows, bound, start, target, fast, cap);
            ASSERT_EQ(slowFound, fastFound) << describe(padded, start, target, cap);
            ASSERT_EQ(slow, fast) << describe(padded, start, target, cap);
            ++cases;
        }
    }
    EXPECT_EQ(cases, 100000);
}

TEST(FindActiveAlongLineFast, ExhaustiveOnSmallImages)
{
    Dice dice(5);
    static const int caps[] = {std::numeric_limits<int>::min(), -1, 0, 1, 2, 3, 5, NO_CAP};
    static const int extremes[] = {-32768, -32767, 32767};
    long cases = 0;
    for (int round = 0; round < 40; ++round) {
        BinaryImage image = blankImage(dice.between(1, 6), dice.between(1, 7));
        const double density = dice.between(0, 10) / 10.0;
        for (auto& row : image.rows)
            for (auto& pixel : row)
                pixel = dice.chance(density) ? 1 : 0;
        DistanceBound bound(image);
        bound.setJumpFrom(round % 3 == 0 ? 1 : 2);
        std::vector<int> targetXs;
        std::vector<int> targetYs;
        for (int v = -3; v <= image.width + 2; ++v)
            targetXs.push_back(v);
        for (int v = -3; v <= image.height + 2; ++v)
            targetYs.push_back(v);
        for (int v : extremes) {
            targetXs.push_back(v);
            targetYs.push_back(v);
        }
        for (int sy = -1; sy <= image.height; ++sy)
            for (int sx = -1; sx <= image.width; ++sx)
                for (int ty : targetYs)
                    for (int tx : targetXs)
                        for (int cap : caps) {
                            const Point start{static_cast<std::int16_t>(sx),
                                              static_cast<std::int16_t>(sy)};
                            const Point target{static_cast<std::int16_t>(tx),
                                               static_cast<std::int16_t>(ty)};
                            ASSERT_TRUE(sameWalk(image, bound, start, target, cap));
                            ++cases;
                        }
    }
    EXPECT_GT(cases, 100000);
}

TEST(FindActiveAlongLineFast, MatchesTheStepwiseWalkOnRandomCases)
{
    Dice dice(20240601);
    long cases = 0;
    long foundCount = 0;
    for (int round = 0; round < 4000; ++round) {
        BinaryImage image = randomImage(dice);
        DistanceBound bound(image);
        // Any threshold gives the same results; try the chosen one, every-jump and never-jump.
        const int pick = dice.between(0, 3);
        if (pick == 1)
            bound.setJumpFrom(dice.between(1, 3));
        else if (pick == 2)
            bound.setJumpFrom(dice.between(4, 40));
        else if (pick == 3)
            bound.setJumpFrom(DistanceBound::CAP + 1);
        std::vector<Point> active = activePixels(image);
        const auto walkSome = [&](int count) {
            for (int i = 0; i < count; ++i) {
                const Point start = randomStart(dice, image, active);
                const Point target = randomTarget(dice, image, start);
                const int cap = randomCap(dice);
                Point found;
                foundCount += findActiveAlongLine(image, start, target, found, cap) ? 1 : 0;
                ASSERT_TRUE(sameWalk(image, bound, start, target, cap)) << "round " << round;
                ++cases;
            }
        };
        walkSome(400);
        if (::testing::Test::HasFatalFailure())
            return;
        // Clear pixels after the build: the bound is now only a lower bound. Starts still
        // come from the old active list, so some begin on cleared pixels.
        const double share = dice.between(1, 10) / 10.0;
        for (const Point& p : active)
            if (dice.chance(share))
                image.clearPixel(p);
        walkSome(300);
        if (::testing::Test::HasFatalFailure())
            return;
        // Restoring pixels active at the build keeps the bound valid.
        image.restoreClearedPixels();
        walkSome(100);
        if (::testing::Test::HasFatalFailure())
            return;
    }
    EXPECT_GE(cases, 3000000);
    // Both outcomes are well represented.
    EXPECT_GT(foundCount, cases / 10);
    EXPECT_LT(foundCount, cases - cases / 10);
}

namespace
{

// The cone ahead of (x, y) for a walk of that direction: k positions ahead along the major
// axis and 0 ... k moves along the minor one; the fewest positions to an active pixel in it.
int bruteCone(const BinaryImage& image, int x, int y, bool steep, int majorStep, int minorStep)
{
    int best = DistanceBound::CAP;
    for (int yy = 0; yy < static_cast<int>(image.rows.size()); ++yy) {
        const auto& row = image.rows[static_cast<std::size_t>(yy)];
        for (int xx = 0; xx < static_cast<int>(row.size()) && xx < image.width; ++xx) {
            if (row[static_cast<std::size_t>(xx)] == 0)
                continue;
            const int along = (steep ? yy - y : xx - x) * majorStep;
            const int across = (steep ? xx - x : yy - y) * minorStep;
            if (along >= 0 && across >= 0 && across <= along)
                best = std::min(best, along);
        }
    }
    return best;
}

// What the fitness did before the radius walk: the step-by-step walk inward, then outward up
// to the inward pixel's distance, the nearer winning and a tie going outward.
bool twoStepwiseWalks(const BinaryImage& image, Point p, Point centre, Point& found)
{
    const auto manhattan = [](Point a, Point b) {
        return std::abs(a.x - b.x) + std::abs(a.y - b.y);
    };
    const Point beyond{static_cast<std::int16_t>(2 * p.x - centre.x),
                       static_cast<std::int16_t>(2 * p.y - centre.y)};
    Point inward;
    Point outward;
    const bool foundIn = findActiveAlongLine(image, p, centre, inward);
    const bool foundOut =
        findActiveAlongLine(image, p, beyond, outward, foundIn ? manhattan(inward, p) + 1 : NO_CAP);
    if (!foundIn && !foundOut)
        return false;
    if (foundIn && foundOut)
        found = manhattan(inward, p) < manhattan(outward, p) ? inward : outward;
    else
        found = foundIn ? inward : outward;
    return true;
}

::testing::AssertionResult sameRadius(const BinaryImage& image, const DistanceBound& bound, Point p,
                                      Point centre)
{
    Point slow{123, 456};
    Point fast{123, 456};
    const bool slowFound = twoStepwiseWalks(image, p, centre, slow);
    const bool fastFound = findNearestAlongRadius(image, bound, p, centre, fast);
    if (slowFound == fastFound && (!slowFound || slow == fast))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << describe(image, p, centre, NO_CAP) << ": two walks " << slowFound << " (" << slow.x
           << ", " << slow.y << "), radius walk " << fastFound << " (" << fast.x << ", " << fast.y
           << ")";
}

} // namespace

TEST(DistanceBound, AheadIsTheCappedConeDistanceInEveryDirection)
{
    Dice dice(17);
    for (int round = 0; round < 200; ++round) {
        const BinaryImage image = saltWithUnreadRows(dice, 20, 0.005);
        const DistanceBound bound(image);
        for (const bool steep : {false, true})
            for (const int majorStep : {-1, 1})
                for (const int minorStep : {-1, 1}) {
                    const DistanceBound::Ahead ahead = bound.ahead(steep, majorStep, minorStep);
                    for (int y = 0; y < image.height; ++y)
                        for (int x = 0; x < image.width; ++x)
                            ASSERT_EQ(ahead.cells[(steep ? y : x) * ahead.majorStride +
                                                  (steep ? x : y) * ahead.minorStride],
                                      bruteCone(image, x, y, steep, majorStep, minorStep))
                                << "round " << round << " at (" << x << ", " << y << ") steep "
                                << steep << " steps " << majorStep << ", " << minorStep;
                }
    }
    // Far pixels are capped.
    BinaryImage line = blankImage(1, 600);
    setPixel(line, 590, 0);
    const DistanceBound far(line);
    const auto along = [&](int majorStep, int x) {
        const DistanceBound::Ahead ahead = far.ahead(false, majorStep, 1);
        return ahead.cells[x * ahead.majorStride];
    };
    EXPECT_EQ(along(1, 0), DistanceBound::CAP);
    EXPECT_EQ(along(1, 400), 190);
    EXPECT_EQ(along(-1, 599), 9);
    EXPECT_EQ(along(-1, 400), DistanceBound::CAP);
}

TEST(DistanceBound, LargeImagesWalkOnTheChessboardBound)
{
    const int side = 725; // 725^2 pixels, just past the limit of the bounds ahead
    ASSERT_GT(static_cast<std::size_t>(side) * side, DistanceBound::CONE_PIXEL_LIMIT);
    BinaryImage image = blankImage(side, side);
    setPixel(image, 700, 700);
    const DistanceBound bound(image);
    for (const bool steep : {false, true}) {
        const DistanceBound::Ahead ahead = bound.ahead(steep, 1, -1);
        EXPECT_EQ(ahead.cells, bound.data());
        EXPECT_EQ(ahead.majorStride, steep ? side : 1);
        EXPECT_EQ(ahead.minorStride, steep ? 1 : side);
    }
    Point found;
    ASSERT_TRUE(findNearestAlongRadius(image, bound, {100, 700}, {720, 700}, found));
    EXPECT_EQ(found, (Point{700, 700}));
}

TEST(FindNearestAlongRadius, MatchesTwoStepwiseWalksOnRandomCases)
{
    Dice dice(20261209);
    long cases = 0;
    long found = 0;
    for (int round = 0; round < 3000; ++round) {
        BinaryImage image = randomImage(dice);
        const DistanceBound bound(image);
        const std::vector<Point> active = activePixels(image);
        const auto walkSome = [&](int count) {
            for (int i = 0; i < count; ++i) {
                const Point p = randomStart(dice, image, active);
                // Centres as the fitness has them: inside, near, far, at 16-bit extremes (where
                // the outward target wraps), on p itself.
                const Point centre = randomTarget(dice, image, p);
                Point q;
                found += twoStepwiseWalks(image, p, centre, q) ? 1 : 0;
                ASSERT_TRUE(sameRadius(image, bound, p, centre)) << "round " << round;
                ++cases;
            }
        };
        walkSome(300);
        if (::testing::Test::HasFatalFailure())
            return;
        // Pixels cleared after the build, as an evaluation clears its matches.
        const double share = dice.between(1, 10) / 10.0;
        for (const Point& p : active)
            if (dice.chance(share))
                image.clearPixel(p);
        walkSome(200);
        if (::testing::Test::HasFatalFailure())
            return;
    }
    EXPECT_EQ(cases, 1500000);
    EXPECT_GT(found, cases / 4); // most cases meet a pixel, so they test the choice between two
}

TEST(FindNearestAlongRadius, ExhaustiveOnSmallImages)
{
    Dice dice(23);
    long cases = 0;
    for (int round = 0; round < 60; ++round) {
        BinaryImage image = blankImage(dice.between(1, 7), dice.between(1, 7));
        const double density = dice.between(0, 10) / 10.0;
        for (auto& row : image.rows)
            for (auto& pixel : row)
                pixel = dice.chance(density) ? 1 : 0;
        const DistanceBound bound(image);
        if (round % 2 == 1)
            for (const Point& p : activePixels(image))
                if (dice.chance(0.4))
                    image.clearPixel(p);
        for (int py = -1; py <= image.height; ++py)
            for (int px = -1; px <= image.width; ++px)
                for (int cy = -12; cy <= image.height + 12; ++cy)
                    for (int cx = -12; cx <= image.width + 12; ++cx) {
                        const Point p{static_cast<std::int16_t>(px), static_cast<std::int16_t>(py)};
                        const Point centre{static_cast<std::int16_t>(cx),
                                           static_cast<std::int16_t>(cy)};
                        ASSERT_TRUE(sameRadius(image, bound, p, centre));
                        ++cases;
                    }
    }
    EXPECT_GT(cases, 200000);
}
