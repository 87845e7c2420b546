#include "mcmath/MCCholKernels.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "MCMathFun.h"

namespace MCCommonMath {
namespace cholkernels {

namespace {

std::size_t RowStart(int i) {
  return static_cast<std::size_t>(i) * (static_cast<std::size_t>(i) + 1) / 2;
}

// Sum of x[t] y[t], t < n, in index order.
double Dot(int n, const double* x, const double* y) {
  double sum = 0.0;
  for (int t = 0; t < n; ++t) sum += x[t] * y[t];
  return sum;
}

}  // namespace

bool CholeskyRow(double* packed, int i, double refDiag, double tol) {
  double* ri = packed + RowStart(i);
  for (int j = 0; j < i; ++j) {
    const double* rj = packed + RowStart(j);
    const double s = ri[j] - MCMathFun::DDot(j, ri, 0, 1, rj, 0, 1);
    ri[j] = rj[j] == 0.0 ? 0.0 : s / rj[j];
  }
  const double s = ri[i] - MCMathFun::DDot(i, ri, 0, 1, ri, 0, 1);
  if (s <= refDiag * tol) {
    ri[i] = 0.0;
    return false;
  }
  ri[i] = std::sqrt(s);
  return true;
}

void ForwardSubstitute(int n, const double* packed, const double* b, double* y) {
  for (int i = 0; i < n; ++i) {
    const double* ri = packed + RowStart(i);
    const double s = b[i] - Dot(i, ri, y);
    y[i] = ri[i] == 0.0 ? 0.0 : s / ri[i];
  }
}

void BackSubstitute(int n, const double* packed, const double* y, double* x) {
  for (int i = n - 1; i >= 0; --i) {
    // Column i below the diagonal: L(j, i) for j > i.
    double s = y[i];
    for (int j = i + 1; j < n; ++j) s -= packed[RowStart(j) + i] * x[j];
    const double d = packed[RowStart(i) + i];
    x[i] = d == 0.0 ? 0.0 : s / d;
  }
}

int InvertLower(int n, double* packed) {
  int zeros = 0;
  std::vector<double> col(static_cast<std::size_t>(n > 0 ? n : 0));
  for (int k = n - 1; k >= 0; --k) {
    double& dkk = packed[RowStart(k) + k];
    if (dkk == 0.0) {
      ++zeros;
      for (int i = k + 1; i < n; ++i) packed[RowStart(i) + k] = 0.0;
      continue;
    }
    // Columns k+1.. already hold the inverse of the trailing block; column k of L is
    // needed whole before it is overwritten.
    for (int j = k + 1; j < n; ++j) col[j] = packed[RowStart(j) + k];
    const double inv = 1.0 / dkk;
    dkk = inv;
    for (int i = k + 1; i < n; ++i) {
      double* ri = packed + RowStart(i);
      ri[k] = -inv * Dot(i - k, ri + k + 1, col.data() + k + 1);
    }
  }
  // A zero diagonal already zeroes its row through the recursion; make it exact.
  for (int k = 0; k < n; ++k) {
    double* rk = packed + RowStart(k);
    if (rk[k] == 0.0) {
      for (int j = 0; j < k; ++j) rk[j] = 0.0;
    }
  }
  return zeros;
}

void LowerTransTimesLower(int n, double* packed) {
  // Element (i, j) needs rows k >= i only, and of row i just L(i, j) and L(i, i), so rows
  // in increasing order with the diagonal last can be overwritten in place.
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j <= i; ++j) {
      double sum = 0.0;
      for (int k = i; k < n; ++k) {
        const double* rk = packed + RowStart(k);
        sum += rk[i] * rk[j];
      }
      packed[RowStart(i) + j] = sum;
    }
  }
}

void LowerTimesLowerTrans(int n, double* packed) {
  if (n <= 0) return;
  const std::vector<double> l(packed, packed + RowStart(n));
  for (int i = 0; i < n; ++i) {
    const double* li = l.data() + RowStart(i);
    for (int j = 0; j <= i; ++j) {
      packed[RowStart(i) + j] = Dot(j + 1, li, l.data() + RowStart(j));
    }
  }
}

void NormaliseDecimal(double& m, double& e) {
  if (m == 0.0 || !std::isfinite(m)) {
    if (m == 0.0) e = 0.0;
    return;
  }
  while (std::fabs(m) < 1.0) {
    m *= 10.0;
    e -= 1.0;
  }
  while (std::fabs(m) >= 10.0) {
    m /= 10.0;
    e += 1.0;
  }
}

}  // namespace cholkernels
}  // namespace MCCommonMath
