#pragma once

#include <cstdint>

namespace Trelm
{

/// A pixel position: column then row, each a signed 16-bit value.
struct Point {
    std::int16_t x = 0;
    std::int16_t y = 0;

    friend bool operator==(const Point& a, const Point& b) { return a.x == b.x && a.y == b.y; }
    friend bool operator!=(const Point& a, const Point& b) { return !(a == b); }
};

} // namespace Trelm
