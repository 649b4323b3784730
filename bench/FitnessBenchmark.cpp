#include <benchmark/benchmark.h>

#include <cmath>

#include "core/Random.h"
#include "core/RunContext.h"
#include "engine/ClusterGA.h"
#include "genetic/EllipseChromosome.h"

namespace
{

using namespace Trelm;

constexpr double CENTRE = 200;
constexpr double SEMI_MAJOR = 62;
constexpr double SEMI_MINOR = 41;

Point onOutline(double t)
{
    return {static_cast<std::int16_t>(std::lround(CENTRE + SEMI_MAJOR * std::cos(t))),
            static_cast<std::int16_t>(std::lround(CENTRE + SEMI_MINOR * std::sin(t)))};
}

// A 400 x 400 image holding the outline of an ellipse of about 300 outline points, with
// gaps, so that evaluation meets hits, neighbour matches and radial searches.
BinaryImage benchmarkImage()
{
    BinaryImage image;
    image.resize(400, 400, 0);
    for (int i = 0; i < 2000; ++i) {
        if (i % 97 < 10)
            continue; // gaps
        const Point p = onOutline(2 * M_PI * i / 2000);
        image.rows[static_cast<std::size_t>(p.y)][static_cast<std::size_t>(p.x)] = 1;
    }
    return image;
}

RunContext quietContext()
{
    RunContext context;
    context.verbosity = 0;
    context.random.seed(311);
    return context;
}

struct Setup {
    Setup() : context(quietContext()), engine(context, benchmarkImage()), chromosome(&engine)
    {
        chromosome.genes = {onOutline(0.0), onOutline(1.3), onOutline(2.2), onOutline(3.6),
                            onOutline(5.0)};
        chromosome.figure = Ellipse();
        chromosome.computeFigure();
    }
    RunContext context;
    ClusterGA engine;
    EllipseChromosome chromosome;
};

void BM_EvaluateEllipseOutline(benchmark::State& state)
{
    Setup setup;
    state.counters["outline_points"] = static_cast<double>(setup.chromosome.pointCount());
    for (auto _ : state) {
        setup.chromosome.evaluate();
        benchmark::DoNotOptimize(setup.chromosome.completeness);
    }
}
BENCHMARK(BM_EvaluateEllipseOutline);

// The whole figure computation: the 5x5 solve, the outline and the evaluation.
void BM_ComputeFigure(benchmark::State& state)
{
    Setup setup;
    for (auto _ : state) {
        setup.chromosome.figure.points.clear();
        setup.chromosome.computeFigure();
        benchmark::DoNotOptimize(setup.chromosome.completeness);
    }
}
BENCHMARK(BM_ComputeFigure);

} // namespace
