#pragma once

#include <array>
#include <ostream>

#include "core/Exceptions.h"

namespace Trelm
{

/// Raised by LinearSolve for a singular system; the chromosome turns it into an invalid figure.
class SingularSystemException : public MessageException
{
  public:
    using MessageException::MessageException;
};

/// A 5x5 system M·S = R solved in place by LU factorisation with partial pivoting.
class LinearSolve
{
  public:
    static constexpr int N = 5;
    using Matrix = std::array<std::array<double, N>, N>; ///< [row][column]
    using Column = std::array<double, N>;

    /// Solves matrix·solution = rhs; matrix is overwritten by its factorisation.
    /// Throws SingularSystemException when the matrix is singular.
    static void solveInPlace(Matrix& matrix, Column& solution, const Column& rhs);

    /// Writes a matrix one row per line.
    static void print(std::ostream& out, const Matrix& matrix);
    /// Writes a column one entry per line.
    static void print(std::ostream& out, const Column& column);
};

} // namespace Trelm
