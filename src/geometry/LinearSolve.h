#pragma once

#include <array>
#include <ostream>

#include "core/Exceptions.h"

namespace Trelm
{

/// Raised by the linear solve for a singular system; the chromosome turns it into an invalid
/// figure.
class SingularSystemException : public MessageException
{
  public:
    using MessageException::MessageException;
};

/// The 5x5 system M·S = R of the conic through five points.
namespace LinearSolve
{

constexpr int N = 5;
using Matrix = std::array<std::array<double, N>, N>; ///< [row][column]
using Column = std::array<double, N>;

/// Solves matrix·solution = rhs by LU factorisation with partial pivoting, bit for bit as the
/// reference LAPACK dgesv; matrix is overwritten by its factorisation. Throws
/// SingularSystemException when a pivot is exactly zero.
void solveInPlace(Matrix& matrix, Column& solution, const Column& rhs);

/// Writes a matrix one row per line.
void print(std::ostream& out, const Matrix& matrix);
/// Writes a column one entry per line.
void print(std::ostream& out, const Column& column);

} // namespace LinearSolve

} // namespace Trelm
