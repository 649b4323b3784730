#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "api/ImageSearch.h"
#include "engine/ClusterGA.h"
#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;

namespace
{

BinaryImage twoEllipses()
{
    BinaryImage image = blankImage(320, 200);
    drawEllipse(image, 90, 100, 60, 35, 0.3);
    drawEllipse(image, 235, 95, 45, 70, 0.0);
    return image;
}

BinaryImage noisyEllipse()
{
    BinaryImage image = blankImage(240, 200);
    drawEllipse(image, 120, 100, 80, 50, -0.5);
    for (int i = 0; i < 3000; ++i)
        image.rows[static_cast<std::size_t>((i * 37 + i / 200) % 200)]
                  [static_cast<std::size_t>((i * 91) % 240)] = 1;
    return image;
}

// One whole search with a run context of its own: everything it printed at verbosity 9 and
// the report lines of its solutions.
std::string search(BinaryImage image)
{
    std::ostringstream console;
    RunContext context;
    context.verbosity = 9;
    context.output = &console;
    context.random.seed(311);
    SharedChromosomes solutions;
    {
        ClusterGA engine(context, std::move(image));
        engine.createInitialCluster();
        ImageSearch::runSteps(engine, solutions);
    }
    for (const Chromosome* solution : solutions.items())
        solution->print(console);
    console << context.evaluationCount << " evaluations\n";
    return console.str();
}

} // namespace

TEST(ConcurrentSearch, TwoSearchesAtOnceGiveWhatEachGivesAlone)
{
    const std::string aloneFirst = search(twoEllipses());
    const std::string aloneSecond = search(noisyEllipse());
    ASSERT_NE(aloneFirst, aloneSecond);

    std::string first;
    std::string second;
    std::thread a([&] { first = search(twoEllipses()); });
    std::thread b([&] { second = search(noisyEllipse()); });
    a.join();
    b.join();
    EXPECT_EQ(first, aloneFirst);
    EXPECT_EQ(second, aloneSecond);
}
