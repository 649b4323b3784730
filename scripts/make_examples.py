#!/usr/bin/env python3
"""Writes the sample images of examples/ (binary PBM, 1 = black = active)."""
import math
import random
import sys
from pathlib import Path


def blank(width, height):
    return [[0] * width for _ in range(height)]


def draw_ellipse(grid, cx, cy, a, b, theta, gaps=()):
    height, width = len(grid), len(grid[0])
    steps = int(8 * (a + b))
    for i in range(steps):
        t = 2 * math.pi * i / steps
        if any(lo <= t < hi for lo, hi in gaps):
            continue
        x = cx + a * math.cos(t) * math.cos(theta) - b * math.sin(t) * math.sin(theta)
        y = cy + a * math.cos(t) * math.sin(theta) + b * math.sin(t) * math.cos(theta)
        px, py = int(round(x)), int(round(y))
        if 0 <= px < width and 0 <= py < height:
            grid[py][px] = 1


def write_pbm(path, grid):
    height, width = len(grid), len(grid[0])
    data = bytearray()
    for row in grid:
        for start in range(0, width, 8):
            byte = 0
            for bit, value in enumerate(row[start:start + 8]):
                byte |= value << (7 - bit)
            data.append(byte)
    path.write_bytes(b"P4\n%d %d\n" % (width, height) + bytes(data))


def main(folder):
    out = Path(folder)
    out.mkdir(parents=True, exist_ok=True)

    circle = blank(200, 200)
    draw_ellipse(circle, 100, 100, 40, 40, 0)
    write_pbm(out / "circle.pbm", circle)

    two = blank(320, 200)
    draw_ellipse(two, 90, 100, 60, 35, 0.3)
    draw_ellipse(two, 235, 95, 45, 70, 0)
    write_pbm(out / "two_ellipses.pbm", two)

    rng = random.Random(7)
    noisy = blank(240, 200)
    draw_ellipse(noisy, 120, 100, 80, 50, -0.5, gaps=[(0.5, 0.9), (3.5, 3.8)])
    for _ in range(120):
        noisy[rng.randrange(200)][rng.randrange(240)] = 1
    write_pbm(out / "noisy_ellipse.pbm", noisy)


def busy(folder):
    """A larger scene for timing: six ellipses, broken outlines and 1% noise."""
    rng = random.Random(11)
    grid = blank(640, 480)
    for cx, cy, a, b, theta in [(120, 110, 80, 50, 0.2), (330, 120, 60, 60, 0), (520, 140, 70, 40, -0.7),
                                (150, 340, 90, 60, 1.1), (370, 330, 50, 30, 0.4), (540, 360, 60, 80, 0)]:
        draw_ellipse(grid, cx, cy, a, b, theta, gaps=[(1.0, 1.3)])
    for _ in range(3000):
        grid[rng.randrange(480)][rng.randrange(640)] = 1
    write_pbm(Path(folder) / "busy.pbm", grid)


if __name__ == "__main__":
    folder = sys.argv[1] if len(sys.argv) > 1 else "examples"
    main(folder)
    if "--bench" in sys.argv[2:]:
        busy(folder)
