#include "genetic/EllipseChromosome.h"

#include <algorithm>

#include "geometry/LinearSolve.h"

namespace Trelm
{

EllipseChromosome::EllipseChromosome(const EllipseChromosome& a, const EllipseChromosome& b,
                                     int cut)
    : Chromosome(a.engine)
{
    for (int i = 0; i < 5; ++i)
        genes[static_cast<std::size_t>(i)] = (i < cut ? a : b).genes[static_cast<std::size_t>(i)];
    computeFigure();
}

bool EllipseChromosome::repeatsAGene(const std::array<Point, 5>& genes)
{
    for (std::size_t i = 0; i < genes.size(); ++i)
        for (std::size_t j = i + 1; j < genes.size(); ++j)
            if (genes[i] == genes[j])
                return true;
    return false;
}

void EllipseChromosome::computeFigure()
{
    BinaryImage& image = engine->searchImage();
    if (image.depleted)
        return;
    const RunContext& context = engine->context();
    // Genes drawn from chains often repeat a pixel: no conic passes through them, and saying so
    // here spares the solver's exception, the costliest way to learn it.
    if (engine->chainSeeder() != nullptr && repeatsAGene(genes)) {
        valid = false;
        return;
    }
    try {
        valid = figure.computeFromPoints(genes, engine->upperAxisLimit(), engine->lowerAxisLimit(),
                                         context);
    } catch (const SingularSystemException&) {
        valid = false; // five points on no conic: three on a line, or repeated points
    }
    if (!valid)
        return;
    int xBound = image.width;
    int yBound = image.height;
    figure.generatePoints(xBound, yBound, context);
    evaluate();
}

bool EllipseChromosome::isSimilar(const Chromosome* other) const
{
    if (other == this)
        return true;
    return figure.isSimilar(static_cast<const EllipseChromosome*>(other)->figure);
}

void EllipseChromosome::draw(PixelRows& rows, int rowCount, int columnCount, bool ideal,
                             int thickness) const
{
    if (ideal)
        figure.draw(rows, rowCount, columnCount, thickness);
    else
        paintSquares(matchedPixels, thickness, rows, rowCount, columnCount);
}

std::ostream& EllipseChromosome::print(std::ostream& out) const
{
    if (refined)
        return out << "Age in Cluster=" << ageInCluster << " Center =(" << refined->centerX << ", "
                   << refined->centerY << "), Major Axis=" << refined->majorAxis
                   << " Minor Axis=" << refined->minorAxis << " Angle=" << refined->angle
                   << " Completeness=" << completeness << " Distance=" << distance << std::endl;
    return out << "Age in Cluster=" << ageInCluster << " Center =(" << figure.centerX << ", "
               << figure.centerY << "), Major Axis=" << figure.majorAxis
               << " Minor Axis=" << figure.minorAxis << " Completeness=" << completeness
               << " Distance=" << distance << std::endl;
}

} // namespace Trelm
