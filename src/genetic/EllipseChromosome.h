#pragma once

#include <optional>

#include "genetic/Chromosome.h"
#include "genetic/SearchHost.h"
#include "geometry/Ellipse.h"
#include "geometry/EllipseParameters.h"
#include "image/BinaryImage.h"
#include "image/FastLineWalk.h"
#include "image/PixelSearch.h"

namespace Trelm
{

/// A chromosome whose figure is the ellipse through its five genes.
class EllipseChromosome : public Chromosome
{
  public:
    Ellipse figure;
    /// The figure refitted to its pixels with real parameters, when the search was asked to
    /// refine its solutions; reports and printouts prefer it.
    std::optional<EllipseParameters> refined;

    /// Creates random genes (or genes found by casting rays) from the engine's image and
    /// evaluates them; tells the engine whether the creation gave a valid chromosome.
    explicit EllipseChromosome(SearchHost* owner);
    /// Crossover child: genes 0 to cut - 1 from a, the rest from b; evaluated at once.
    EllipseChromosome(const EllipseChromosome& a, const EllipseChromosome& b, int cut);
    /// A copy of source with its fitness and outline, not evaluated again.
    EllipseChromosome(const EllipseChromosome& source) = default;

    void evaluate() override;
    bool isSimilar(const Chromosome* other) const override;
    void draw(PixelRows& rows, int rowCount, int columnCount, bool ideal,
              int thickness) const override;
    std::ostream& print(std::ostream& out) const override;
    const std::vector<Point>& outline() const override { return figure.points; }
    void computeFigure() override;
    /// Whether two of the genes are the same pixel.
    static bool repeatsAGene(const std::array<Point, 5>& genes);

    /// Fills genes 1 to 4 by casting rays from gene 0; true when all four were found.
    static bool searchGenesByRays(EllipseChromosome& chromosome);
    /// The point on (or beyond) the image border toward which a ray from start at angle phi
    /// is cast.
    static Point rayTarget(const BinaryImage& image, Point start, double phi);
    /// Appends up to max-tracing + 1 pixels connected to start, following the fullest branch.
    static void traceFrom(EllipseChromosome& chromosome, Point start, std::vector<Point>& out);
    /// Replaces genes by pixels traced from a kept gene, or by random active pixels.
    static void mutate(EllipseChromosome& chromosome);

  private:
    void pickGenes(BinaryImage& image, RunContext& context);
};

} // namespace Trelm
