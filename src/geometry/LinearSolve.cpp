#include "geometry/LinearSolve.h"

#include <string>

#include "geometry/FivePointSolver.h"

namespace Trelm::LinearSolve
{

void solveInPlace(Matrix& matrix, Column& solution, const Column& rhs)
{
    // The solver works column-major, as LAPACK does; the buffers live on the stack.
    std::array<double, N * N> a{};
    for (int row = 0; row < N; ++row)
        for (int column = 0; column < N; ++column)
            a[static_cast<std::size_t>(column * N + row)] =
                matrix[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
    solution = rhs;
    std::array<int, N> pivots{};
    const int info = solveFivePoint(a, solution, pivots);
    for (int row = 0; row < N; ++row)
        for (int column = 0; column < N; ++column)
            matrix[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] =
                a[static_cast<std::size_t>(column * N + row)];
    if (info > 0)
        throw SingularSystemException("Singular matrix: zero pivot " + std::to_string(info));
}

void print(std::ostream& out, const Matrix& matrix)
{
    for (const auto& row : matrix) {
        for (double value : row)
            out << value << "  ";
        out << "\n";
    }
}

void print(std::ostream& out, const Column& column)
{
    for (double value : column)
        out << value << "  \n";
}

} // namespace Trelm::LinearSolve
