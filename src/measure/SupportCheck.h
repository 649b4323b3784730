#pragma once

#include <cstdint>
#include <vector>

#include "geometry/Ellipse.h"
#include "geometry/EllipseParameters.h"
#include "image/BinaryImage.h"

namespace Trelm
{

/// Decides whether an ellipse's support in the image is beyond chance (a-contrario). Positions
/// spread evenly along the outline count as supported when an active pixel lies close across
/// the outline and the pixels around it run along it. Clutter alone would support a position
/// with the chance measured the same way on curves parallel to the outline, a few pixels off;
/// the binomial tail of the observed support under that chance, times the number of ellipses
/// the search could try in that image, is the expected number of false detections, which must
/// stay below one. The support must also cover most directions of the outline's normal, so that
/// lines and curves that only touch the ellipse on one side do not make one.
class SupportCheck
{
  public:
    /// The limits of the check, in pixels and radians.
    struct Rules {
        /// Arc length between sampled positions: each looks for its pixel half of it along the
        /// outline either way, so that no pixel supports two of them.
        double spacing = 3.0;
        /// Largest distance across the outline of a supporting pixel's centre: a one-pixel
        /// stroke's pixels lie within half a diagonal of the curve they were drawn from.
        double tolerance = 0.75;
        /// Largest angle between the outline and the local run of pixels.
        double alignment = 0.35;
        /// Half side of the window the local run of pixels is measured in.
        int directionRadius = 2;
        /// Expected false detections at or above which an ellipse is refused, as log10.
        double log10MaxFalseAlarms = 0.0;
        /// Sectors of the normal's direction, and how many must hold support (fewer in
        /// proportion when the image border cuts the outline).
        int sectors = 16;
        int minSectors = 10;
        /// Support bunched on fewer sectors, down to this many, passes only with far stronger
        /// evidence: a partial outline, not a curve that merely touches the ellipse.
        int minBunchedSectors = 8;
        double log10MaxBunchedFalseAlarms = -40.0;
        /// A partial outline (a candidate short of the completeness a whole one needs) passes
        /// on this many sectors with this much stronger evidence.
        int minPartialSectors = 4;
        double log10MaxPartialFalseAlarms = -20.0;
        /// Where clutter was found around the outline and its chance is at least this, a
        /// partial outline needs this stronger evidence instead: among many curves, some line
        /// up with an ellipse's arc by more than chance. 1 or more applies no such rule.
        double partialClutterDensity = 1.0;
        double log10MaxPartialInClutter = -20.0;
        /// A sector holds support when at least this share of its positions is supported.
        double sectorShare = 0.5;
        /// log10 of the number of ellipses tested, when the search knows it better than the
        /// image's size does; negative means log10TestCount().
        double log10Tests = -1.0;
        /// The background is sampled at every this many positions along the outline (one
        /// pixel apart): more measures the clutter's chance more finely, at a cost.
        int backgroundEvery = 1;
        /// Points the candidate was built through, supported by construction: not evidence.
        std::int32_t givenPoints = 5;
        /// An ellipse whose semi-minor axis is below this many pixels passes only with this
        /// share of its positions supported: its few samples cannot tell a small loop of
        /// clutter from an outline, so it must be nearly whole. 0 applies no such rule.
        double smallMinor = 0.0;
        double smallShare = 0.0;
    };

    /// What the check measured.
    struct Measure {
        /// Sampled outline positions inside the image, and the supported ones.
        std::int32_t samples = 0;
        std::int32_t supported = 0;
        /// Chance that a position is supported by clutter, measured around the outline.
        double density = 0.0;
        /// Positions around the outline that clutter supported: none in an empty band, whose
        /// chance is only the one hit assumed.
        std::int64_t clutterHits = 0;
        /// Sectors holding support, and those with a sampled position (an outline cut by the
        /// image border has fewer).
        std::int32_t sectors = 0;
        std::int32_t presentSectors = 0;
        /// Expected number of false detections, as log10.
        double log10FalseAlarms = 0.0;
        /// The measured ellipse's semi-minor axis.
        double semiMinor = 0.0;
    };

    /// A check on the image with the default rules, or with the given ones.
    explicit SupportCheck(const BinaryImage& image);
    SupportCheck(const BinaryImage& image, const Rules& rules);

    /// Measures the support of the ellipse in the image.
    Measure measure(const EllipseParameters& ellipse) const;
    Measure measure(const Ellipse& ellipse) const;
    /// Whether the measured support makes the ellipse a detection.
    bool accepts(const Measure& measure) const;
    bool accepts(const EllipseParameters& ellipse) const { return passes(ellipse, false); }
    /// Whether the measured support makes a partial outline a detection.
    bool acceptsPartial(const Measure& measure) const;
    bool acceptsPartial(const EllipseParameters& ellipse) const { return passes(ellipse, true); }
    /// accepts or, failing that, acceptsPartial, on one measure.
    bool acceptsWholeOrPartial(const EllipseParameters& ellipse) const;

    /// Whether the outline's own support, without the clutter's chance, leaves the ellipse
    /// (or the partial outline) a chance to pass: enough sectors, and whole enough if small.
    bool outlineCouldPass(const EllipseParameters& ellipse, bool partial) const;

    /// log10 of the number of ellipses the search could test in the image: the larger of the
    /// geometric count (five parameters, each taking about as many values as the image is wide
    /// or high: (W·H)^2.5) and the number of five-pixel candidates, C(N, 5) for N active pixels.
    double log10TestCount() const;
    /// log10 of P[X >= k] for X binomial with n trials of chance p; -infinity when impossible.
    static double log10BinomialTail(std::int32_t n, std::int32_t k, double p);

  private:
    struct Frame;
    struct OutlinePosition;

    static std::vector<OutlinePosition> spacedPositions(const Frame& frame, double spacing);
    static OutlinePosition shifted(const OutlinePosition& p, double offset);
    /// What accepts or acceptsPartial would decide on the measure, without measuring the
    /// background when the outline alone decides it.
    bool passes(const EllipseParameters& ellipse, bool partial) const;
    /// Measures the ellipse into m when its outline alone leaves it a chance to pass.
    bool measuredIfItCouldPass(const EllipseParameters& ellipse, bool partial, Measure& m) const;
    bool outlineCouldPass(const Frame& frame, const std::vector<OutlinePosition>& positions,
                          bool partial, Measure& m) const;
    void measureOutline(const Frame& frame, const std::vector<OutlinePosition>& positions,
                        Measure& m) const;
    void measureBackground(const Frame& frame, const std::vector<OutlinePosition>& positions,
                           Measure& m) const;
    void measureSectors(const Frame& frame, Measure& m) const;
    std::int32_t neededSectors(std::int32_t wholeOutline, const Measure& measure) const;
    bool wholeEnough(const Measure& measure) const;
    bool inside(double x, double y) const;
    template <typename Visit> bool visitActive(int cx, int cy, int r, Visit visit) const;
    bool supports(const OutlinePosition& p, double reach) const;
    bool runsAlong(int x, int y, double tangentX, double tangentY) const;

    const BinaryImage& image_;
    Rules rules_;
};

} // namespace Trelm
