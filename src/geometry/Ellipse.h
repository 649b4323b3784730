#pragma once

#include <array>
#include <cstdint>

#include "geometry/Figure.h"

namespace Trelm
{

/// An ellipse through five image points: centre, full axis lengths and angle.
class Ellipse : public Figure
{
  public:
    /// Upper bound of majorAxis whatever the caller's limit.
    static constexpr int AXIS_CAP = 400;

    bool valid = false;
    std::int16_t centerX = -1;
    std::int16_t centerY = -1;
    std::int32_t majorAxis = -1;
    std::int32_t minorAxis = -1;
    double angle = 0.0;

    Ellipse() = default;
    Ellipse(const Ellipse&) = default;
    Ellipse& operator=(const Ellipse&) = default;

    /// Solves for the conic through the five points and keeps it when it is an acceptable
    /// ellipse whose majorAxis lies within [lowerLimit, upperLimit]. Returns the new valid.
    /// A singular system raises SingularSystemException before anything changes.
    bool computeFromPoints(const std::array<Point, 5>& genes, std::int32_t upperLimit,
                           std::int32_t lowerLimit);

    void generatePoints(int& xBound, int& yBound) override;
    void draw(PixelRows& rows, int rowCount, int columnCount) override;

    /// Whether the two ellipses stand for the same ellipse of the image (symmetric).
    bool isSimilar(const Ellipse& other) const;

  private:
    struct Rotation {
        double c;
        double s;
    };
    struct Conic {
        double a, b, c, d, e;
    };

    static Conic solveConic(const std::array<Point, 5>& genes);
    bool computeAxes(const Conic& q, double delta, double determinant);
    Rotation rotation() const;
    void addSymmetricPoints(int offsetX, int offsetY, const Rotation& r, int xBound, int yBound);
    void walkEllipse(int xBound, int yBound, const Rotation& r);
    void walkCircle(int xBound, int yBound, const Rotation& r);
};

} // namespace Trelm
