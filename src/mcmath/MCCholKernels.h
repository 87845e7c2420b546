#ifndef MCSTAT_MCCHOLKERNELS_H_
#define MCSTAT_MCCHOLKERNELS_H_

#include <cstddef>

// Kernels of the Cholesky-based solvers on packed lower-triangular storage (row i, columns
// 0..i, at offset i(i+1)/2). A factor L is kept in the same layout; a redundant row has a
// zero diagonal and zeros below it in its column, and every kernel treats a zero diagonal
// as "drop this row". None of them checks its arguments.
namespace MCCommonMath {
namespace cholkernels {

// Factors row i of an n-row packed matrix whose rows 0..i-1 already hold L:
// s = a(i, j) - L(i, 0..j-1).L(j, 0..j-1); below the diagonal L(i, j) = s / L(j, j) (0 when
// L(j, j) = 0); on the diagonal the row is redundant when s <= refDiag * tol, which zeroes
// L(i, i), otherwise L(i, i) = sqrt(s). Returns true when the pivot was accepted.
bool CholeskyRow(double* packed, int i, double refDiag, double tol);

// y = L^-1 b (forward) and x = L^-T y (backward) over n rows; a component whose diagonal is
// 0 becomes 0. The output may be the input.
void ForwardSubstitute(int n, const double* packed, const double* b, double* y);
void BackSubstitute(int n, const double* packed, const double* y, double* x);

// Replaces L by L^-1 in place, column by column from the last; the row and column of a
// zero diagonal become 0. Returns the number of zero diagonals.
int InvertLower(int n, double* packed);

// Replaces L by the lower triangle of LT L (in place) or of L LT (through a copy).
void LowerTransTimesLower(int n, double* packed);
void LowerTimesLowerTrans(int n, double* packed);

// Brings m x 10^e to 1 <= |m| < 10 (m = 0 sets e = 0 too).
void NormaliseDecimal(double& m, double& e);

}  // namespace cholkernels
}  // namespace MCCommonMath

#endif  // MCSTAT_MCCHOLKERNELS_H_
