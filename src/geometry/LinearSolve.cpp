#include "geometry/LinearSolve.h"

#include <stdexcept>
#include <string>

#include <lapacke.h>

namespace Trelm
{

void LinearSolve::solveInPlace(Matrix& matrix, Column& solution, const Column& rhs)
{
    // LAPACK works column-major; the buffers live on the stack, nothing is allocated per call.
    std::array<double, N * N> a{};
    for (int row = 0; row < N; ++row)
        for (int column = 0; column < N; ++column)
            a[static_cast<std::size_t>(column * N + row)] =
                matrix[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
    solution = rhs;
    std::array<lapack_int, N> pivots{};
    const lapack_int info =
        LAPACKE_dgesv_work(LAPACK_COL_MAJOR, N, 1, a.data(), N, pivots.data(), solution.data(), N);
    for (int row = 0; row < N; ++row)
        for (int column = 0; column < N; ++column)
            matrix[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] =
                a[static_cast<std::size_t>(column * N + row)];
    if (info > 0)
        throw SingularSystemException("Singular matrix: zero pivot " + std::to_string(info));
    if (info < 0)
        throw std::logic_error("dgesv rejected argument " + std::to_string(-info));
}

void LinearSolve::print(std::ostream& out, const Matrix& matrix)
{
    for (const auto& row : matrix) {
        for (double value : row)
            out << value << "  ";
        out << "\n";
    }
}

void LinearSolve::print(std::ostream& out, const Column& column)
{
    for (double value : column)
        out << value << "  \n";
}

} // namespace Trelm
