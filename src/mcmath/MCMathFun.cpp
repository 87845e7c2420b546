#include "MCMathFun.h"

#include <cmath>
#include <limits>

#include "Blas1.h"

namespace MCCommonMath {

namespace {

// The system-missing value: the most negative finite double.
constexpr double kMissing = std::numeric_limits<double>::lowest();

// First index of a walk of n elements from o with stride inc; a negative stride starts at
// the far end, as in the BLAS.
inline long StartOf(int n, int o, int inc) {
  return inc < 0 ? o + static_cast<long>(1 - n) * inc : o;
}

template <class T>
int Search(const std::vector<T>& v, int lo, int hi, T value, bool insert) {
  if (lo < 0 || hi >= static_cast<int>(v.size()) || lo > hi + 1) return -1;
  int first = lo;
  int last = hi + 1;  // half-open [first, last)
  while (first < last) {
    int mid = first + (last - first) / 2;
    if (v[mid] < value) {
      first = mid + 1;
    } else {
      last = mid;
    }
  }
  if (insert) return first;
  return (first <= hi && v[first] == value) ? first : -1;
}

}  // namespace

// The offset forms walk the same elements as the level-1 BLAS from x + ox, so they are
// those kernels (which take writable pointers, as published, and do not write x).
double MCMathFun::DDot(int n, const double* x, int ox, int incx, const double* y, int oy,
                       int incy) {
  if (n < 1) return 0.0;
  return Blas1::DDot(n, const_cast<double*>(x) + ox, incx, const_cast<double*>(y) + oy, incy);
}

void MCMathFun::Daxpy(int n, double a, const double* x, int ox, int incx, double* y, int oy,
                      int incy) {
  if (n < 1) return;
  Blas1::Daxpy(n, a, const_cast<double*>(x) + ox, incx, y + oy, incy);
}

void MCMathFun::DScal(int n, double a, double* x, int ox, int incx) {
  if (n < 1) return;
  Blas1::DScal(n, a, x + ox, incx);
}

void MCMathFun::DLoad(int n, double a, double* x, int ox, int incx) {
  if (n < 1 || incx == 0) return;
  long ix = StartOf(n, ox, incx);
  for (int i = 0; i < n; ++i, ix += incx) x[ix] = a;
}

double MCMathFun::DASum(int n, const double* x, int ox, int incx) {
  if (n < 1) return 0.0;
  return Blas1::DASum(n, const_cast<double*>(x) + ox, incx);
}

double MCMathFun::DSum(int n, const double* x, int ox) {
  double sum = 0.0;
  for (int i = 0; i < n; ++i) sum += x[ox + i];
  return sum;
}

double MCMathFun::DNrm2(int n, const double* x, int ox, int incx) {
  if (n < 1) return 0.0;
  return Blas1::DNrm2(n, const_cast<double*>(x) + ox, incx);
}

double MCMathFun::DDot(int n, const std::vector<double>& x, int ox, int incx,
                       const std::vector<double>& y, int oy, int incy) {
  return DDot(n, x.data(), ox, incx, y.data(), oy, incy);
}
void MCMathFun::Daxpy(int n, double a, const std::vector<double>& x, int ox, int incx,
                      std::vector<double>& y, int oy, int incy) {
  Daxpy(n, a, x.data(), ox, incx, y.data(), oy, incy);
}
void MCMathFun::DScal(int n, double a, std::vector<double>& x, int ox, int incx) {
  DScal(n, a, x.data(), ox, incx);
}
void MCMathFun::DLoad(int n, double a, std::vector<double>& x, int ox, int incx) {
  DLoad(n, a, x.data(), ox, incx);
}
double MCMathFun::DASum(int n, const std::vector<double>& x, int ox, int incx) {
  return DASum(n, x.data(), ox, incx);
}
double MCMathFun::DSum(int n, const std::vector<double>& x, int ox) {
  return DSum(n, x.data(), ox);
}
double MCMathFun::DNrm2(int n, const std::vector<double>& x, int ox, int incx) {
  return DNrm2(n, x.data(), ox, incx);
}

double MCMathFun::IIDot(int n, const double* x, int ox, int incx, const double* y, int oy,
                        int incy) {
  if (n < 1 || incx < 1 || incy < 1) return 0.0;
  double sum = 0.0;
  long ix = ox;
  long iy = oy;
  for (int i = 0; i < n; ++i) {
    sum += x[ix] * y[iy];
    ix += incx + i;
    iy += incy + i;
  }
  return sum;
}

void MCMathFun::IIAxpy(int n, double a, const double* x, int ox, int incx, double* y, int oy,
                       int incy) {
  if (n < 1 || incx < 1 || incy < 1 || a == 0.0) return;
  long ix = ox;
  long iy = oy;
  for (int i = 0; i < n; ++i) {
    y[iy] = y[iy] + a * x[ix];
    ix += incx + i;
    iy += incy + i;
  }
}

void MCMathFun::IIScal(int n, double a, double* x, int ox, int incx) {
  if (n < 1 || incx < 1) return;
  long ix = ox;
  for (int i = 0; i < n; ++i) {
    x[ix] = a * x[ix];
    ix += incx + i;
  }
}

void MCMathFun::IIInit(int n, double a, double* x, int ox, int incx) {
  if (n < 1 || incx < 1) return;
  long ix = ox;
  for (int i = 0; i < n; ++i) {
    x[ix] = a;
    ix += incx + i;
  }
}

void MCMathFun::LRZero(double* x, int o, int n) {
  for (int i = 0; i < n; ++i) x[o + i] = 0.0;
}

void MCMathFun::LTGltl(int n, double* x) {
  // (L L')(i, j) = sum over k <= j of L(i, k) L(j, k), for j <= i. Rows are rewritten from
  // the last upwards and each row from the diagonal leftwards, so every element is read
  // before it is overwritten.
  for (int i = n - 1; i >= 0; --i) {
    long ri = static_cast<long>(i) * (i + 1) / 2;
    for (int j = i; j >= 0; --j) {
      long rj = static_cast<long>(j) * (j + 1) / 2;
      double sum = 0.0;
      for (int k = 0; k <= j; ++k) sum += x[ri + k] * x[rj + k];
      x[ri + j] = sum;
    }
  }
}

double MCMathFun::RVD(int n, const double* s, int i, const double* v) {
  if (i < 0 || i >= n) return 0.0;
  long ri = static_cast<long>(i) * (i + 1) / 2;
  double sum = 0.0;
  for (int j = 0; j <= i; ++j) sum += s[ri + j] * v[j];
  // Right of the diagonal, row i is column i: (j, i) for j > i.
  long pos = ri + i + (i + 1);  // position of (i + 1, i)
  for (int j = i + 1; j < n; ++j) {
    sum += s[pos] * v[j];
    pos += j + 1;
  }
  return sum;
}

double MCMathFun::VSV(int n, const double* s, const double* v) {
  double sum = 0.0;
  long pos = 0;
  for (int i = 0; i < n; ++i) {
    double off = 0.0;
    for (int j = 0; j < i; ++j) off += s[pos + j] * v[j];
    sum += v[i] * (2.0 * off + s[pos + i] * v[i]);
    pos += i + 1;
  }
  return sum;
}

double MCMathFun::VMaxRelDiff(const std::vector<double>& x, const std::vector<double>& y,
                              double tol) {
  double worst = 0.0;
  size_t n = x.size() < y.size() ? x.size() : y.size();
  for (size_t i = 0; i < n; ++i) {
    double d = std::fabs(x[i] - y[i]) / (std::fabs(y[i]) + tol);
    if (d > worst) worst = d;
  }
  return worst;
}

double MCMathFun::VNrm1Diff(const std::vector<double>& x, const std::vector<double>& y) {
  double worst = 0.0;
  size_t n = x.size() < y.size() ? x.size() : y.size();
  for (size_t i = 0; i < n; ++i) {
    double d = std::fabs(x[i] - y[i]);
    if (d > worst) worst = d;
  }
  return worst;
}

int MCMathFun::BinSearch(const std::vector<double>& v, int lo, int hi, double value, bool insert) {
  return Search(v, lo, hi, value, insert);
}

int MCMathFun::BinSearch(const std::vector<int>& v, int lo, int hi, int value, bool insert) {
  return Search(v, lo, hi, value, insert);
}

bool MCMathFun::TransformParameters(std::vector<double>& b, const std::vector<double>& shift,
                                    const std::vector<double>& scale, int nBlocks, int nLead,
                                    bool negate, bool invert) {
  int p = static_cast<int>(scale.size());
  if (nBlocks < 1 || nLead < 0 || (nBlocks > 1 && nLead > 1)) return false;
  if (static_cast<int>(shift.size()) != p ||
      static_cast<long>(b.size()) != static_cast<long>(p) * nBlocks) {
    return false;
  }
  for (double s : scale) {
    if (s == 0.0) return false;
  }
  // More leading parameters than parameters: all are leading and nothing changes.
  if (nLead > p) nLead = p;
  std::vector<double> a(p, 1.0);
  std::vector<double> c(p, 1.0);
  for (int i = nLead; i < p; ++i) {
    if (invert) {
      a[i] = 1.0 / scale[i];
      c[i] = shift[i];
    } else {
      a[i] = scale[i];
      c[i] = -shift[i] / scale[i];
    }
    if (negate) c[i] = -c[i];
  }
  for (int blk = 0; blk < nBlocks; ++blk) {
    double* v = b.data() + static_cast<long>(blk) * p;
    double adjust = 0.0;
    for (int i = nLead; i < p; ++i) adjust += c[i] * v[i];
    for (int t = 0; t < nLead; ++t) v[t] += adjust;
    for (int i = nLead; i < p; ++i) v[i] = v[i] / a[i];
  }
  return true;
}

bool MCMathFun::QLReps(double x, double t) {
  if (!(t > 0.0)) return false;
  return std::fabs(x) <= t * 2.220446049250313e-16;
}

bool MCMathFun::IsValidDouble(double x) {
  return -1.7976931348623157e308 <= x && !(x > 1.7976931348623157e308);
}

double MCMathFun::Digamma(double x) {
  if (!(x > 1e-16)) return kMissing;
  if (x < 1e-05) return -0.5772156649015329 - 1.0 / x;
  // psi(x) = psi(x + 10) - sum 1/(x + k), with psi(x + 10) from its asymptotic series.
  double y = x + 10.0;
  double z = 1.0 / (y * y);
  double series = std::log(y) - 0.5 / y -
                  z * (0.08333333333333333 -
                       z * (0.008333333333333333 -
                            z * (0.003968253968253968 -
                                 z * (0.004166666666666667 -
                                      z * (0.007575757575757576 - z * 0.021092796092796094)))));
  double sum = 0.0;
  for (int k = 0; k <= 9; ++k) sum += 1.0 / (x + k);
  return series - sum;
}

double MCMathFun::Trigamma(double x) {
  if (!(x > 1e-16)) return kMissing;
  // psi'(x) = psi'(x + 10) + sum 1/(x + k)^2; the asymptotic series at y = x + 10 >= 10 is
  // 1/y + 1/(2y^2) + sum B_2k / y^(2k+1).
  double y = x + 10.0;
  double z = 1.0 / (y * y);
  double series =
      1.0 / y + 0.5 * z +
      (z / y) *
          (1.0 / 6.0 -
           z * (1.0 / 30.0 -
                z * (1.0 / 42.0 - z * (1.0 / 30.0 - z * (5.0 / 66.0 - z * (691.0 / 2730.0 -
                                                                           z * (7.0 / 6.0)))))));
  double sum = 0.0;
  for (int k = 9; k >= 0; --k) {
    double t = 1.0 / (x + k);
    sum += t * t;
  }
  return series + sum;
}

}  // namespace MCCommonMath
