// Writes the fixed scenes of the golden-output guard into a folder: PBM scenes of every kind the
// search meets, and one small scene as a BMP of every supported depth. Everything is drawn from
// a generator of its own and whole-pixel arithmetic, so the scenes are the same on every run.
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace
{

class SceneRandom
{
  public:
    explicit SceneRandom(std::uint64_t seed) : state_(seed) {}
    std::uint32_t next()
    {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state_ >> 33);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }

  private:
    std::uint64_t state_;
};

struct Grid {
    int width;
    int height;
    std::vector<std::uint8_t> pixels;

    Grid(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w * h), 0) {}
    void set(long x, long y)
    {
        if (x >= 0 && y >= 0 && x < width && y < height)
            pixels[static_cast<std::size_t>(y * width + x)] = 1;
    }
    bool at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)] != 0; }
};

// Dense parametric sampling; the outline is left out where t lies in [gapFrom, gapTo).
void drawEllipse(Grid& g, double cx, double cy, double a, double b, double theta,
                 double gapFrom = 0.0, double gapTo = 0.0, int thickness = 1)
{
    const int steps = static_cast<int>(8 * (a + b));
    for (int i = 0; i < steps; ++i) {
        const double t = 2 * M_PI * i / steps;
        if (t >= gapFrom && t < gapTo)
            continue;
        const double x = cx + a * std::cos(t) * std::cos(theta) - b * std::sin(t) * std::sin(theta);
        const double y = cy + a * std::cos(t) * std::sin(theta) + b * std::sin(t) * std::cos(theta);
        for (int d = 0; d < thickness; ++d)
            g.set(std::lround(x) + d, std::lround(y));
    }
}

void drawLine(Grid& g, int x0, int y0, int x1, int y1)
{
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        g.set(x0, y0);
        if (x0 == x1 && y0 == y1)
            return;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void addSalt(Grid& g, SceneRandom& random, int count)
{
    for (int i = 0; i < count; ++i)
        g.set(random.below(g.width), random.below(g.height));
}

void writePbm(const std::string& path, const Grid& g)
{
    std::ofstream out(path, std::ios::binary);
    out << "P4\n" << g.width << " " << g.height << "\n";
    for (int y = 0; y < g.height; ++y)
        for (int start = 0; start < g.width; start += 8) {
            unsigned char byte = 0;
            for (int bit = 0; bit < 8 && start + bit < g.width; ++bit)
                if (g.at(start + bit, y))
                    byte = static_cast<unsigned char>(byte | (0x80u >> bit));
            out.put(static_cast<char>(byte));
        }
}

void le(std::string& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A BMP of the given depth: active pixels dark, the rest light. Palette depths index a grey
// table; 16 bits use 5-5-5, or 5-6-5 with bit fields.
void writeBmp(const std::string& path, const Grid& g, int depth, bool bitFields = false)
{
    const int paletteEntries = depth <= 8 ? 1 << depth : 0;
    const int masksSize = bitFields ? 12 : 0;
    const int offset = 54 + 4 * paletteEntries + masksSize;
    const int rowSize = ((g.width * depth + 31) / 32) * 4;
    std::string bytes = "BM";
    le(bytes, static_cast<std::uint32_t>(offset + rowSize * g.height), 4);
    le(bytes, 0, 4);
    le(bytes, static_cast<std::uint32_t>(offset), 4);
    le(bytes, 40, 4);
    le(bytes, static_cast<std::uint32_t>(g.width), 4);
    le(bytes, static_cast<std::uint32_t>(g.height), 4);
    le(bytes, 1, 2);
    le(bytes, static_cast<std::uint32_t>(depth), 2);
    le(bytes, bitFields ? 3 : 0, 4);
    for (int i = 0; i < 5; ++i)
        le(bytes, 0, 4);
    for (int k = 0; k < paletteEntries; ++k) {
        const auto level = static_cast<std::uint32_t>(255 * k / (paletteEntries - 1));
        le(bytes, level | level << 8 | level << 16, 4);
    }
    if (bitFields) {
        le(bytes, 0xF800, 4);
        le(bytes, 0x07E0, 4);
        le(bytes, 0x001F, 4);
    }
    for (int y = g.height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(rowSize), 0);
        for (int x = 0; x < g.width; ++x) {
            const bool dark = g.at(x, y);
            // Palette: index 1 of 16 (grey 17) and 3 of 256 are dark; the top index is white.
            if (depth == 1) {
                if (!dark)
                    row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
            } else if (depth == 4) {
                const unsigned index = dark ? 1 : 15;
                row[static_cast<std::size_t>(x / 2)] |=
                    static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
            } else if (depth == 8) {
                row[static_cast<std::size_t>(x)] = dark ? 3 : 250;
            } else if (depth == 16) {
                const unsigned value = dark ? 0x0421 : (bitFields ? 0xFFFF : 0x7FFF);
                row[static_cast<std::size_t>(2 * x)] = static_cast<std::uint8_t>(value & 0xFF);
                row[static_cast<std::size_t>(2 * x + 1)] = static_cast<std::uint8_t>(value >> 8);
            } else {
                const int perPixel = depth / 8;
                for (int c = 0; c < perPixel; ++c)
                    row[static_cast<std::size_t>(perPixel * x + c)] =
                        c == 3 ? 0x80 : (dark ? 20 : 230);
            }
        }
        bytes.append(reinterpret_cast<const char*>(row.data()), row.size());
    }
    std::ofstream(path, std::ios::binary) << bytes;
}

void writeScenes(const std::string& dir)
{
    {
        Grid g(320, 240);
        drawEllipse(g, 80, 70, 50, 30, 0.2);
        drawEllipse(g, 220, 80, 40, 40, 0);
        drawEllipse(g, 160, 170, 70, 35, -0.6);
        writePbm(dir + "/several.pbm", g);
    }
    {
        Grid g(320, 240);
        drawEllipse(g, 140, 120, 80, 50, 0.3);
        drawEllipse(g, 190, 120, 60, 45, 1.0);
        drawEllipse(g, 140, 120, 40, 25, 0.3);
        writePbm(dir + "/overlapping.pbm", g);
    }
    {
        Grid g(240, 200);
        drawEllipse(g, 120, 100, 85, 55, 0.1, 0.0, 2.2);
        drawEllipse(g, 120, 100, 40, 30, -0.4, 3.0, 4.5);
        writePbm(dir + "/partial.pbm", g);
    }
    {
        SceneRandom random(5);
        Grid g(240, 200);
        drawEllipse(g, 110, 95, 70, 45, 0.7);
        addSalt(g, random, 720);
        writePbm(dir + "/salt.pbm", g);
    }
    {
        SceneRandom random(9);
        Grid g(320, 240);
        drawEllipse(g, 150, 120, 75, 50, -0.2, 0.0, 0.0, 2);
        for (int i = 0; i < 8; ++i)
            drawLine(g, random.below(320), random.below(240), random.below(320), random.below(240));
        writePbm(dir + "/lines.pbm", g);
    }
    {
        SceneRandom random(13);
        Grid g(640, 480);
        const double ellipses[][5] = {{120, 110, 80, 50, 0.2}, {330, 120, 60, 60, 0},
                                      {520, 140, 70, 40, -0.7}, {150, 340, 90, 60, 1.1},
                                      {370, 330, 50, 30, 0.4},  {540, 360, 60, 80, 0}};
        for (const auto& e : ellipses)
            drawEllipse(g, e[0], e[1], e[2], e[3], e[4], 1.0, 1.3);
        for (int i = 0; i < 6; ++i)
            drawLine(g, random.below(640), random.below(480), random.below(640), random.below(480));
        addSalt(g, random, 3000);
        writePbm(dir + "/busy.pbm", g);
    }
    Grid small(160, 120);
    drawEllipse(small, 55, 60, 35, 22, 0.4);
    drawEllipse(small, 118, 58, 28, 28, 0);
    for (int depth : {1, 4, 8, 16, 24, 32})
        writeBmp(dir + "/depth" + std::to_string(depth) + ".bmp", small, depth);
    writeBmp(dir + "/depth16fields.bmp", small, 16, true);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::cout << "usage: korvath_golden_scenes DIR\n";
        return 2;
    }
    writeScenes(argv[1]);
    return 0;
}
