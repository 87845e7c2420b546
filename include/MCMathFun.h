#ifndef MCSTAT_MCMATHFUN_H_
#define MCSTAT_MCMATHFUN_H_

#include <vector>

#include "mcstat_export.h"

namespace MCCommonMath {

// BLAS-like kernels on arrays of doubles addressed by a start offset and a stride, walks
// down the columns of packed lower-triangular matrices (element (i, j), i >= j, at
// i(i+1)/2 + j), tolerance tests, binary search and special functions.
//
// Strided kernels: n elements starting at offset o with stride inc. As in the BLAS, a
// negative stride walks the same elements backwards (the first one used is
// o + (1 - n) * inc); DASum, DNrm2 and DScal need a positive stride and do nothing
// (return 0) otherwise. n < 1 does nothing and returns 0.
class MCSTAT_EXPORT MCMathFun {
 public:
  // Sum of x*y.
  static double DDot(int n, const double* x, int ox, int incx, const double* y, int oy, int incy);
  // y += a*x.
  static void Daxpy(int n, double a, const double* x, int ox, int incx, double* y, int oy,
                    int incy);
  // x *= a.
  static void DScal(int n, double a, double* x, int ox, int incx);
  // x = a; any non-zero stride, negative ones walking backwards.
  static void DLoad(int n, double a, double* x, int ox, int incx);
  // Sum of abs(x).
  static double DASum(int n, const double* x, int ox, int incx);
  // Plain sum of n consecutive elements from ox.
  static double DSum(int n, const double* x, int ox);
  // Euclidean norm, scaled so that no square overflows; n = 1 gives abs(x).
  static double DNrm2(int n, const double* x, int ox, int incx);

  // The same on vectors; the caller keeps the walk inside the vector.
  static double DDot(int n, const std::vector<double>& x, int ox, int incx,
                     const std::vector<double>& y, int oy, int incy);
  static void Daxpy(int n, double a, const std::vector<double>& x, int ox, int incx,
                    std::vector<double>& y, int oy, int incy);
  static void DScal(int n, double a, std::vector<double>& x, int ox, int incx);
  static void DLoad(int n, double a, std::vector<double>& x, int ox, int incx);
  static double DASum(int n, const std::vector<double>& x, int ox, int incx);
  static double DSum(int n, const std::vector<double>& x, int ox);
  static double DNrm2(int n, const std::vector<double>& x, int ox, int incx);

  // Packed-column walks: like DDot, Daxpy, DScal and DLoad, but every stride grows by one
  // after each element, so the indices are o, o+s, o+2s+1, o+3s+3, ...; with s = r + 1 and
  // o the position of (r, j) this walks down column j of a packed lower-triangular matrix
  // from row r. Strides must be positive; otherwise nothing is done (0 returned).
  static double IIDot(int n, const double* x, int ox, int incx, const double* y, int oy, int incy);
  static void IIAxpy(int n, double a, const double* x, int ox, int incx, double* y, int oy,
                     int incy);
  static void IIScal(int n, double a, double* x, int ox, int incx);
  static void IIInit(int n, double a, double* x, int ox, int incx);

  // Sets n elements from o to 0 (a row of a packed matrix).
  static void LRZero(double* x, int o, int n);
  // Replaces the packed lower-triangular matrix L of order n by the packed symmetric L L'.
  static void LTGltl(int n, double* x);
  // Row i of the packed symmetric matrix s of order n (both triangles by symmetry) times v;
  // 0 when i is not a row.
  static double RVD(int n, const double* s, int i, const double* v);
  // v' S v for the packed symmetric matrix s of order n.
  static double VSV(int n, const double* s, const double* v);
  // Largest abs(x[i] - y[i]) / (abs(y[i]) + tol) over the common length; 0 when empty.
  static double VMaxRelDiff(const std::vector<double>& x, const std::vector<double>& y, double tol);
  // Largest abs(x[i] - y[i]) over the common length (the convergence measure of absolute
  // parameter change); 0 when empty.
  static double VNrm1Diff(const std::vector<double>& x, const std::vector<double>& y);

  // Searches the ascending range v[lo..hi] (inclusive) for value. With insert false:
  // the index of an element equal to value, or -1. With insert true: the index of the first
  // element not less than value (hi + 1 when all are less), the place where value belongs.
  // -1 when the range is empty or outside v (with insert false) or invalid.
  static int BinSearch(const std::vector<double>& v, int lo, int hi, double value, bool insert);
  static int BinSearch(const std::vector<int>& v, int lo, int hi, int value, bool insert);

  // Carries a parameter vector from the scale of standardised covariates,
  // (x - shift[i]) / scale[i], to the scale of the data (invert false) or back (invert
  // true), the vector counterpart of MCSymMatrix::TransformParameterMatrix. b holds nBlocks
  // blocks of p = scale.size() parameters; the first nLead of each block are intercepts
  // (or thresholds), which absorb sum over i >= nLead of c[i] * coefficient i, and every
  // coefficient i >= nLead is divided by a[i]. invert false: a = scale, c = -shift/scale;
  // invert true: a = 1/scale, c = shift; negate changes the sign of c. False (b unchanged)
  // unless b.size() = p * nBlocks, shift.size() = p, nBlocks >= 1, nLead >= 0, not both
  // nBlocks > 1 and nLead > 1, and no scale is 0.
  static bool TransformParameters(std::vector<double>& b, const std::vector<double>& shift,
                                  const std::vector<double>& scale, int nBlocks, int nLead,
                                  bool negate, bool invert);

  // False when t <= 0; otherwise abs(x) <= t * 2.220446049250313e-16.
  static bool QLReps(double x, double t);
  // True for every finite double (NaN and infinities are not valid).
  static bool IsValidDouble(double x);
  // The digamma function; the missing value for x <= 1e-16.
  static double Digamma(double x);
  // The trigamma function; the missing value for x <= 1e-16.
  static double Trigamma(double x);

  // There is nothing to assign.
  MCMathFun& operator=(const MCMathFun&) { return *this; }
};

}  // namespace MCCommonMath

#endif  // MCSTAT_MCMATHFUN_H_
