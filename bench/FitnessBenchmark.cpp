#include <benchmark/benchmark.h>

#include <cmath>

#include "core/RunContext.h"
#include "engine/ClusterGA.h"
#include "genetic/EllipseChromosome.h"
#include "geometry/LinearSolve.h"
#include "image/EdgeChains.h"

namespace
{

using namespace Trelm;

RunContext quietContext()
{
    RunContext context;
    context.verbosity = 0;
    context.random.seed(311);
    return context;
}

// How the image relates to the outline being evaluated.
enum class Outline { AllHits, NeighbourMatched, MostlyRadial };

// A square image holding an ellipse of the given semi-major axis (about 3 outline points per
// pixel of the two semi-axes) drawn so that evaluation meets the kind of match asked for: on the
// outline itself, one pixel outside it, or only a few scattered pixels well inside and outside.
struct Scene {
    RunContext context = quietContext();
    std::unique_ptr<ClusterGA> engine;
    std::unique_ptr<EllipseChromosome> chromosome;

    Scene(double semiMajor, Outline kind)
    {
        const double semiMinor = 0.9 * semiMajor;
        const int side = static_cast<int>(2 * semiMajor + 40);
        const double centre = side / 2.0;
        BinaryImage image;
        image.resize(side, side, 0);
        const auto set = [&](double x, double y) {
            image.rows[static_cast<std::size_t>(std::lround(y))]
                      [static_cast<std::size_t>(std::lround(x))] = 1;
        };
        const double grow = kind == Outline::NeighbourMatched ? 1.0 : 0.0;
        const int samples = static_cast<int>(16 * semiMajor);
        for (int i = 0; i < samples; ++i) {
            const double t = 2 * M_PI * i / samples;
            if (kind == Outline::MostlyRadial) {
                if (i % 40 == 0)
                    set(centre + (semiMajor - 6) * std::cos(t),
                        centre + (semiMinor - 6) * std::sin(t));
                if (i % 40 == 20)
                    set(centre + (semiMajor + 9) * std::cos(t),
                        centre + (semiMinor + 9) * std::sin(t));
                continue;
            }
            set(centre + (semiMajor + grow) * std::cos(t),
                centre + (semiMinor + grow) * std::sin(t));
        }
        // The five genes lie on the ideal ellipse, whatever the image holds.
        for (int i = 0; i < 40; ++i)
            set(i % 2, i / 2); // keeps the image from counting as used up
        engine = std::make_unique<ClusterGA>(context, std::move(image));
        chromosome = std::make_unique<EllipseChromosome>(engine.get());
        const double ts[5] = {0.0, 1.3, 2.2, 3.6, 5.0};
        for (int g = 0; g < 5; ++g)
            chromosome->genes[static_cast<std::size_t>(g)] = {
                static_cast<std::int16_t>(std::lround(centre + semiMajor * std::cos(ts[g]))),
                static_cast<std::int16_t>(std::lround(centre + semiMinor * std::sin(ts[g])))};
        chromosome->figure = Ellipse();
        chromosome->computeFigure();
    }
};

// Semi-major axes giving outlines of about 100, 300 and 1000 points.
void outlineSizes(benchmark::internal::Benchmark* b)
{
    for (int semiMajor : {18, 54, 178})
        b->Arg(semiMajor);
}

template <Outline Kind> void BM_Evaluate(benchmark::State& state)
{
    Scene scene(static_cast<double>(state.range(0)), Kind);
    for (auto _ : state) {
        scene.chromosome->evaluate();
        benchmark::DoNotOptimize(scene.chromosome->completeness);
    }
    state.counters["outline_points"] = static_cast<double>(scene.chromosome->outline().size());
    state.counters["completeness"] = scene.chromosome->completeness;
}
BENCHMARK_TEMPLATE(BM_Evaluate, Outline::AllHits)->Apply(outlineSizes);
BENCHMARK_TEMPLATE(BM_Evaluate, Outline::NeighbourMatched)->Apply(outlineSizes);
BENCHMARK_TEMPLATE(BM_Evaluate, Outline::MostlyRadial)->Apply(outlineSizes);

void BM_FivePointSolve(benchmark::State& state)
{
    LinearSolve::Matrix m{};
    const int points[5][2] = {{70, 50}, {50, 70}, {30, 50}, {50, 30}, {62, 66}};
    for (int i = 0; i < 5; ++i) {
        const int x = points[i][0];
        const int y = points[i][1];
        m[static_cast<std::size_t>(i)] = {double(x * x), double(2 * x * y), double(y * y),
                                          double(2 * x), double(2 * y)};
    }
    const LinearSolve::Column rhs{-1, -1, -1, -1, -1};
    for (auto _ : state) {
        LinearSolve::Matrix work = m;
        LinearSolve::Column solution{};
        LinearSolve::solveInPlace(work, solution, rhs);
        benchmark::DoNotOptimize(solution);
    }
}
BENCHMARK(BM_FivePointSolve);

void BM_GeneratePoints(benchmark::State& state)
{
    Scene scene(static_cast<double>(state.range(0)), Outline::AllHits);
    Ellipse figure = scene.chromosome->figure;
    int width = scene.engine->image.width;
    int height = scene.engine->image.height;
    for (auto _ : state) {
        figure.points.clear();
        figure.generatePoints(width, height, scene.context);
        benchmark::DoNotOptimize(figure.points.data());
    }
    state.counters["outline_points"] = static_cast<double>(figure.points.size());
}
BENCHMARK(BM_GeneratePoints)->Apply(outlineSizes);

// A 320 x 240 scene of three ellipses and light noise.
BinaryImage threeEllipses()
{
    BinaryImage image;
    image.resize(240, 320, 0);
    const double ellipses[3][5] = {
        {80, 70, 50, 30, 0.2}, {220, 80, 40, 40, 0}, {160, 170, 70, 35, -0.6}};
    for (const auto& e : ellipses)
        for (int i = 0; i < 800; ++i) {
            const double t = 2 * M_PI * i / 800;
            const double x =
                e[0] + e[2] * std::cos(t) * std::cos(e[4]) - e[3] * std::sin(t) * std::sin(e[4]);
            const double y =
                e[1] + e[2] * std::cos(t) * std::sin(e[4]) + e[3] * std::sin(t) * std::cos(e[4]);
            image.rows[static_cast<std::size_t>(std::lround(y))]
                      [static_cast<std::size_t>(std::lround(x))] = 1;
        }
    for (int i = 0; i < 400; ++i)
        image.rows[static_cast<std::size_t>((i * 37) % 240)]
                  [static_cast<std::size_t>((i * 91) % 320)] = 1;
    return image;
}

// One generation step of a search on the three ellipses, from the same state every time.
void BM_ClusterGAStep(benchmark::State& state)
{
    const BinaryImage image = threeEllipses();
    for (auto _ : state) {
        state.PauseTiming();
        RunContext context = quietContext();
        ClusterGA engine(context, image);
        engine.createInitialCluster();
        state.ResumeTiming();
        engine.step();
        benchmark::DoNotOptimize(engine.clusterCount());
    }
}
BENCHMARK(BM_ClusterGAStep)->Unit(benchmark::kMillisecond);

// Linking the three ellipses' pixels into edge chains, as a search with --arcs does first.
void BM_LinkEdgeChains(benchmark::State& state)
{
    const BinaryImage image = threeEllipses();
    for (auto _ : state) {
        EdgeChains chains = EdgeChains::link(image.rows, image.width, image.height);
        benchmark::DoNotOptimize(chains.size());
    }
}
BENCHMARK(BM_LinkEdgeChains)->Unit(benchmark::kMicrosecond);

} // namespace
