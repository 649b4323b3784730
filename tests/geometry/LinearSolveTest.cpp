#include <gtest/gtest.h>

#include <sstream>

#include "geometry/LinearSolve.h"

using namespace Trelm;

TEST(LinearSolve, SolvesAndReportsSingularSystems)
{
    LinearSolve::Matrix m{};
    for (int i = 0; i < 5; ++i)
        m[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)] = i + 1.0;
    m[0][4] = 1.0;
    LinearSolve::Column s{};
    LinearSolve::solveInPlace(m, s, {1, 2, 3, 4, 5});
    EXPECT_DOUBLE_EQ(s[4], 1.0);
    EXPECT_DOUBLE_EQ(s[0], 0.0);
    EXPECT_DOUBLE_EQ(s[1], 1.0);

    LinearSolve::Matrix singular{};
    singular[0] = {1, 2, 3, 4, 5};
    singular[1] = {2, 4, 6, 8, 10};
    EXPECT_THROW(LinearSolve::solveInPlace(singular, s, {1, 1, 1, 1, 1}), SingularSystemException);
}

TEST(LinearSolve, PrintsOneRowPerLine)
{
    LinearSolve::Matrix m{};
    m[0][0] = 1.5;
    std::ostringstream out;
    LinearSolve::print(out, m);
    EXPECT_EQ(out.str().substr(0, 19), "1.5  0  0  0  0  \n0");
}
