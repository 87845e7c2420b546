#include "mcmath/MCSymKernels.h"

#include <cmath>

namespace MCCommonMath {
namespace symkernels {

void Axpy(int n, double a, const double* x, double* y) {
  int t = 0;
  for (; t + 4 <= n; t += 4) {
    y[t] += x[t] * a;
    y[t + 1] += x[t + 1] * a;
    y[t + 2] += x[t + 2] * a;
    y[t + 3] += x[t + 3] * a;
  }
  for (; t < n; ++t) y[t] += x[t] * a;
}

double Dot(int n, const double* x, const double* y) {
  // One accumulator, so the sum is the same as the plain loop's, operation by operation.
  double sum = 0.0;
  int t = 0;
  for (; t + 4 <= n; t += 4) {
    sum += x[t] * y[t];
    sum += x[t + 1] * y[t + 1];
    sum += x[t + 2] * y[t + 2];
    sum += x[t + 3] * y[t + 3];
  }
  for (; t < n; ++t) sum += x[t] * y[t];
  return sum;
}

void AxpyPackedCol(int n, double a, const double* x, int stride, double* y) {
  std::size_t off = 0;
  std::size_t s = static_cast<std::size_t>(stride);
  int t = 0;
  for (; t + 4 <= n; t += 4) {
    y[t] += x[off] * a;
    off += s;
    y[t + 1] += x[off] * a;
    off += s + 1;
    y[t + 2] += x[off] * a;
    off += s + 2;
    y[t + 3] += x[off] * a;
    off += s + 3;
    s += 4;
  }
  for (; t < n; ++t) {
    y[t] += x[off] * a;
    off += s;
    ++s;
  }
}

double DotPackedCol(int n, const double* x, int stride, const double* y) {
  double sum = 0.0;
  std::size_t off = 0;
  std::size_t s = static_cast<std::size_t>(stride);
  int t = 0;
  for (; t + 4 <= n; t += 4) {
    sum += x[off] * y[t];
    off += s;
    sum += x[off] * y[t + 1];
    off += s + 1;
    sum += x[off] * y[t + 2];
    off += s + 2;
    sum += x[off] * y[t + 3];
    off += s + 3;
    s += 4;
  }
  for (; t < n; ++t) {
    sum += x[off] * y[t];
    off += s;
    ++s;
  }
  return sum;
}

void AddWeightedOuter(int n, const double* x, double w, double* packed) {
  double* row = packed;
  for (int i = 0; i < n; ++i) {
    const double xi = x[i];
    if (xi != 0.0) Axpy(i + 1, xi * w, x, row);
    row += i + 1;
  }
}

void SweepPivot(int n, double* packed, int k) {
  double* rowK = packed + PackedRowStart(k);
  const double d = rowK[k];
  const double absD = std::fabs(d);
  rowK[k] = -1.0 / d;

  // Rows above the pivot: their column-k element sits in row k, and every a(j,k) with
  // j <= i is already rescaled when row i is updated, so one axpy per row suffices.
  double* rowI = packed;
  for (int i = 0; i < k; ++i) {
    const double m = rowK[i];
    rowK[i] = m / absD;
    const double f = d > 0.0 ? -m : m;
    Axpy(i + 1, f, rowK, rowI);
    rowI += i + 1;
  }

  // Rows below the pivot: columns before k read row k; columns k+1..i read column k,
  // rows k+1..i, whose elements are rescaled by the time row i gets there.
  rowI = rowK + k + 1;
  const double* colK = rowI + k;  // element (k+1, k)
  for (int i = k + 1; i < n; ++i) {
    const double m = rowI[k];
    rowI[k] = m / absD;
    const double f = d > 0.0 ? -m : m;
    Axpy(k, f, rowK, rowI);
    AxpyPackedCol(i - k, f, colK, k + 2, rowI + k + 1);
    rowI += i + 1;
  }
}

}  // namespace symkernels
}  // namespace MCCommonMath
