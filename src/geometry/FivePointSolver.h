#pragma once

#include <array>

namespace Trelm
{

/// Solves the 5x5 system A·x = b of the five-point conic fit by LU factorisation with partial
/// pivoting, bit for bit as the reference LAPACK dgesv (version 3.11) does for N = 5, NRHS = 1:
/// the same floating-point operations in the same order, without its per-call overhead.
///
/// columnMajorA: A in column-major order (element (row, column) at column * 5 + row); on return
///               it holds the factors L (unit diagonal, not stored) and U of A = P·L·U.
/// b:            the right-hand side; on return the solution x, left untouched when singular.
/// pivots:       on return the interchanges, 1-based as in LAPACK: for i = 0..4 in turn, row i was
///               interchanged with row pivots[i] - 1.
/// Returns 0 on success, or k > 0 when the k-th diagonal entry of U is the first that is exactly
/// zero: the factorisation is then complete but b is left as it was. Never allocates nor throws.
int solveFivePoint(std::array<double, 25>& columnMajorA, std::array<double, 5>& b,
                   std::array<int, 5>& pivots) noexcept;

} // namespace Trelm
