#include "geometry/FivePointSolver.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

// The reference routine factors recursively, halving the columns at each level. The same recursion
// is written here with compile-time block sizes, so every loop has constant bounds and unrolls,
// while each element still receives its updates in the reference order. The products and
// differences are written exactly as the reference forms them; the build must not fuse them
// (-ffp-contract=off).

namespace Trelm
{
namespace
{

constexpr int LD = 5; // leading dimension: every block is a view into the 5x5 column-major array

/// Element (row, column) of a block whose top-left element is *block.
inline double& at(double* block, int row, int column)
{
    return block[column * LD + row];
}

/// Applies the interchanges of rows first..last - 1 recorded in pivots (1-based, relative to the
/// block's top row) to the given number of columns, first interchange first.
template <int Columns> void swapRows(double* block, int first, int last, const int* pivots)
{
    for (int row = first; row < last; ++row) {
        const int other = pivots[row] - 1;
        if (other != row)
            for (int column = 0; column < Columns; ++column)
                std::swap(at(block, row, column), at(block, other, column));
    }
}

/// Factors a single column of Rows entries: its pivot, the interchange and the scaling below the
/// pivot; returns 1 when the pivot is exactly zero, 0 otherwise.
template <int Rows> int factorColumn(double* block, int* pivots)
{
    // Pivot: the first entry of largest magnitude (a NaN is never chosen after the first).
    int pivot = 0;
    double largest = std::fabs(block[0]);
    for (int row = 1; row < Rows; ++row) {
        if (std::fabs(block[row]) > largest) {
            pivot = row;
            largest = std::fabs(block[row]);
        }
    }
    pivots[0] = pivot + 1;
    if (block[pivot] == 0.0)
        return 1; // the column is left as it is
    std::swap(block[0], block[pivot]);
    // Multiplying by the reciprocal is what the reference does, unless the reciprocal would
    // overflow (subnormal pivot): then it divides.
    if (std::fabs(block[0]) >= DBL_MIN) {
        const double reciprocal = 1.0 / block[0];
        for (int row = 1; row < Rows; ++row)
            block[row] = reciprocal * block[row];
    } else {
        for (int row = 1; row < Rows; ++row)
            block[row] = block[row] / block[0];
    }
    return 0;
}

/// With the left panel factored and its interchanges applied to A12: A12 := inv(L11)·A12 and
/// A22 := A22 - A21·A12, the updates of the reference in its order.
template <int Rows, int Left, int Right> void updateRight(double* block)
{
    double* const top = &at(block, 0, Left);       // A12, Left x Right
    double* const bottom = &at(block, Left, Left); // A22, (Rows - Left) x Right
    // Column by column; a zero entry of A12 is skipped, as the reference does.
    for (int column = 0; column < Right; ++column)
        for (int k = 0; k < Left; ++k) {
            const double factorK = at(top, k, column);
            if (factorK != 0.0)
                for (int row = k + 1; row < Left; ++row)
                    at(top, row, column) = at(top, row, column) - factorK * at(block, row, k);
        }
    // Column by column, one term at a time, zeros not skipped. The reference adds
    // (-1·A12)·A21, which rounds exactly as subtracting A12·A21.
    for (int column = 0; column < Right; ++column)
        for (int k = 0; k < Left; ++k) {
            const double factorK = at(top, k, column);
            for (int row = 0; row < Rows - Left; ++row)
                at(bottom, row, column) =
                    at(bottom, row, column) - factorK * at(block, Left + row, k);
        }
}

/// LU factorisation with partial pivoting of the Rows x Columns block; returns the 1-based index
/// of the first exactly zero pivot, 0 if none. Mirrors the reference recursive factorisation.
template <int Rows, int Columns> int factor(double* block, int* pivots)
{
    if constexpr (Rows == 1) {
        pivots[0] = 1;
        return block[0] == 0.0 ? 1 : 0;
    } else if constexpr (Columns == 1) {
        return factorColumn<Rows>(block, pivots);
    } else {
        constexpr int left = std::min(Rows, Columns) / 2;
        constexpr int right = Columns - left;
        // Factor the left panel [A11; A21], then bring A12 and A22 up to date.
        int info = factor<Rows, left>(block, pivots);
        swapRows<right>(&at(block, 0, left), 0, left, pivots);
        updateRight<Rows, left, right>(block);
        // Factor A22, then express its pivots relative to this block and apply them to A21.
        const int lowerInfo = factor<Rows - left, right>(&at(block, left, left), pivots + left);
        if (info == 0 && lowerInfo > 0)
            info = lowerInfo + left;
        constexpr int diagonal = std::min(Rows, Columns);
        for (int i = left; i < diagonal; ++i)
            pivots[i] += left;
        swapRows<left>(block, left, diagonal, pivots);
        return info;
    }
}

} // namespace

int solveFivePoint(std::array<double, 25>& columnMajorA, std::array<double, 5>& b,
                   std::array<int, 5>& pivots) noexcept
{
    double* const a = columnMajorA.data();
    const int info = factor<5, 5>(a, pivots.data());
    if (info != 0)
        return info;
    // P·b, then forward substitution with the unit lower factor, then back substitution with the
    // upper factor; as in the reference, a zero entry of b contributes nothing and is skipped.
    swapRows<1>(b.data(), 0, 5, pivots.data());
    for (int k = 0; k < 5; ++k)
        if (b[k] != 0.0)
            for (int row = k + 1; row < 5; ++row)
                b[row] = b[row] - b[k] * at(a, row, k);
    for (int k = 4; k >= 0; --k)
        if (b[k] != 0.0) {
            b[k] = b[k] / at(a, k, k);
            for (int row = 0; row < k; ++row)
                b[row] = b[row] - b[k] * at(a, row, k);
        }
    return 0;
}

} // namespace Trelm
