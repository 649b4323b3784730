#include <benchmark/benchmark.h>

#include <cmath>

#include "driver/SearchSettings.h"
#include "engine/ClusterGA.h"
#include "genetic/EllipseChromosome.h"
#include "genetic/Random.h"

namespace {

using namespace Trelm;

// A 400x400 image holding the outline of an ellipse with semi-axes 90 and 60 (about 300
// outline points), with gaps, so that evaluation exercises hits, neighbours and radial searches.
BinaryImage benchmarkImage()
{
    BinaryImage image;
    image.resize(400, 400, 0);
    for (int i = 0; i < 2000; ++i) {
        const double t = 2 * 3.141592653589793 * i / 2000;
        if (i % 97 < 10)
            continue; // gaps
        const int x = static_cast<int>(std::lround(200 + 90 * std::cos(t)));
        const int y = static_cast<int>(std::lround(200 + 60 * std::sin(t)));
        image.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = 1;
    }
    return image;
}

void BM_EvaluateEllipseOutline(benchmark::State& state)
{
    searchSettings = SearchSettings::defaults();
    verbosity = 0;
    ClusterGA engine(benchmarkImage());
    Trelm::srand(311);
    EllipseChromosome chromosome(&engine);
    // Genes on the drawn ellipse: an ellipse of about 300 outline points.
    chromosome.genes = {Point{290, 200}, Point{110, 200}, Point{200, 260}, Point{200, 140},
                        Point{264, 242}};
    chromosome.figure = Ellipse();
    chromosome.computeFigure();
    state.counters["outline_points"] = static_cast<double>(chromosome.pointCount());
    for (auto _ : state) {
        chromosome.evaluate();
        benchmark::DoNotOptimize(chromosome.completeness);
    }
}
BENCHMARK(BM_EvaluateEllipseOutline);

} // namespace
