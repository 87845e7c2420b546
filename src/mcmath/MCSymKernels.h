#ifndef MCSTAT_MCSYMKERNELS_H_
#define MCSTAT_MCSYMKERNELS_H_

#include <cstddef>

// Numeric kernels of the packed symmetric matrix. Packed lower-triangular storage keeps
// row i (columns 0..i) at offset i(i+1)/2, so a row is contiguous and a column is a walk
// whose stride grows by one after each element. The kernels are internal to the library
// (hidden like everything not exported) and are exercised through MCSymMatrix.
// None of them checks its arguments: n <= 0 does nothing (or gives 0).
namespace MCCommonMath {
namespace symkernels {

// Offset of the first element of row i in packed storage.
inline std::size_t PackedRowStart(int i) {
  return static_cast<std::size_t>(i) * (static_cast<std::size_t>(i) + 1) / 2;
}

// y[t] += x[t] * a for t = 0..n-1.
void Axpy(int n, double a, const double* x, double* y);

// Sum of x[t] * y[t] for t = 0..n-1, accumulated in index order.
double Dot(int n, const double* x, const double* y);

// Column walk: element t of x is x[t * stride + t(t-1)/2] (offsets 0, s, 2s+1, 3s+3, ...),
// which follows column k of packed storage downwards when x points at element (j, k)
// and stride = j + 1. y is contiguous.
void AxpyPackedCol(int n, double a, const double* x, int stride, double* y);
double DotPackedCol(int n, const double* x, int stride, const double* y);

// packed += w x xT over n rows: rows with x[i] == 0 are skipped; otherwise c = x[i] * w and
// element (i, j) += x[j] * c for j = 0..i.
void AddWeightedOuter(int n, const double* x, double w, double* packed);

// Sweeps pivot k (0 <= k < n) of an n-row packed matrix in place, in one pass: a(k,k)
// becomes -1/d, column k becomes a(i,k)/|d| and every other element a(i,j) - a(i,k)a(j,k)/d.
// No tolerance test; d = a(k,k) must be non-zero.
void SweepPivot(int n, double* packed, int k);

}  // namespace symkernels
}  // namespace MCCommonMath

#endif  // MCSTAT_MCSYMKERNELS_H_
