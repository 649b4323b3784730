#pragma once

#include <array>
#include <cstdint>

#include "core/Constants.h"
#include "core/RunContext.h"
#include "geometry/EllipseParameters.h"
#include "geometry/Figure.h"

namespace Trelm
{

/// An ellipse through five image points: centre, full axis lengths and angle.
class Ellipse : public Figure
{
  public:
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
                           std::int32_t lowerLimit, const RunContext& context);

    void generatePoints(int& xBound, int& yBound, const RunContext& context) override;
    void draw(PixelRows& rows, int rowCount, int columnCount, int thickness) const override;

    /// Whether the two ellipses stand for the same ellipse of the image (symmetric).
    bool isSimilar(const Ellipse& other) const;

    /// The centre, full axes and angle as real numbers.
    EllipseParameters parameters() const
    {
        return {static_cast<double>(centerX), static_cast<double>(centerY),
                static_cast<double>(majorAxis), static_cast<double>(minorAxis), angle};
    }

  private:
    struct Rotation {
        double c;
        double s;
    };
    struct Conic {
        double a, b, c, d, e;
    };

    static Conic solveConic(const std::array<Point, 5>& genes, const RunContext& context);
    bool computeAxes(const Conic& q, double delta, double determinant);
    Rotation rotation() const;
    /// The bounds and console of one outline generation.
    struct Raster {
        Rotation rotation;
        int xBound;
        int yBound;
        const RunContext& context;
    };
    void addSymmetricPoints(int offsetX, int offsetY, const Raster& raster);
    void walkEllipse(const Raster& raster);
    void walkCircle(const Raster& raster);
};

} // namespace Trelm
