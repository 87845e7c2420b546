#ifndef MCSTAT_MCDDKERNELS_H_
#define MCSTAT_MCDDKERNELS_H_

#include <cmath>
#include <cstddef>
#include <vector>

#include "mcstat_export.h"

// Double-double arithmetic for sums that must not lose digits: a value is the unevaluated sum
// hi + lo of two doubles (about 106 significant bits). Built from error-free transformations:
// TwoSum (Knuth), FastTwoSum (Dekker) and TwoProd through a fused multiply-add; the operations
// follow Dekker and Hida, Li and Bailey. The library is compiled without floating-point
// contraction, so every fused operation below is an explicit std::fma.
//
// Accumulators (AddProduct and the kernels built on it) keep a pair (hi, lo) in which hi is
// the running double sum and lo collects the exact rounding error of every product and every
// addition (compensated dot product, Ogita, Rump and Oishi). Its error after n terms is about
// u^2 (sum of |terms|) with u = 2^-53, as if the sum had been formed in twice the precision.
// Normalised (or any read through Value) brings a pair to |lo| <= ulp(hi) / 2.
//
// The kernels are internal to the library (exported only for their tests), take no ownership
// and check no arguments.
namespace MCCommonMath {
namespace ddkernels {

struct DD {
  double hi = 0.0;
  double lo = 0.0;
};

// s + e == a + b exactly, s = fl(a + b).
inline DD TwoSum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  const double e = (a - (s - bb)) + (b - bb);
  return {s, e};
}

// As TwoSum when |a| >= |b| (or a == 0).
inline DD FastTwoSum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

// p + e == a * b exactly (barring underflow), p = fl(a * b).
inline DD TwoProd(double a, double b) {
  const double p = a * b;
  return {p, std::fma(a, b, -p)};
}

inline DD Normalised(const DD& a) { return TwoSum(a.hi, a.lo); }
inline double ToDouble(const DD& a) { return a.hi + a.lo; }
inline DD Neg(const DD& a) { return {-a.hi, -a.lo}; }

// a + b with a relative error of a few u^2 even under cancellation.
inline DD Add(const DD& a, const DD& b) {
  DD s = TwoSum(a.hi, b.hi);
  const DD t = TwoSum(a.lo, b.lo);
  s.lo += t.hi;
  s = FastTwoSum(s.hi, s.lo);
  s.lo += t.lo;
  return FastTwoSum(s.hi, s.lo);
}
inline DD Add(const DD& a, double b) {
  DD s = TwoSum(a.hi, b);
  s.lo += a.lo;
  return FastTwoSum(s.hi, s.lo);
}
inline DD Sub(const DD& a, const DD& b) { return Add(a, Neg(b)); }

inline DD Mul(const DD& a, const DD& b) {
  DD p = TwoProd(a.hi, b.hi);
  p.lo = std::fma(a.hi, b.lo, p.lo);
  p.lo = std::fma(a.lo, b.hi, p.lo);
  return FastTwoSum(p.hi, p.lo);
}
inline DD Mul(const DD& a, double b) {
  DD p = TwoProd(a.hi, b);
  p.lo = std::fma(a.lo, b, p.lo);
  return FastTwoSum(p.hi, p.lo);
}

// a / b; b must not be 0.
inline DD Div(const DD& a, const DD& b) {
  const double q1 = a.hi / b.hi;
  DD r = Sub(a, Mul(b, q1));
  const double q2 = r.hi / b.hi;
  r = Sub(r, Mul(b, q2));
  const double q3 = r.hi / b.hi;
  return Add(FastTwoSum(q1, q2), q3);
}

// The square root of a >= 0 (0 for a <= 0), by one Newton step on the double root.
inline DD Sqrt(const DD& a) {
  if (!(a.hi > 0.0)) return {};
  const double x = std::sqrt(a.hi);
  const DD r = Sub(a, TwoProd(x, x));
  return FastTwoSum(x, r.hi / (2.0 * x));
}

// Sign of a - b: -1, 0 or 1 (0 also when either is a NaN).
inline int Compare(const DD& a, const DD& b) {
  const DD d = Sub(a, b);
  return d.hi > 0.0 ? 1 : (d.hi < 0.0 ? -1 : 0);
}

// acc += a * b, compensated: acc.hi is the running sum, acc.lo the sum of all the errors.
inline void AddProduct(DD& acc, double a, double b) {
  const double p = a * b;
  const double e = std::fma(a, b, -p);
  const double s = acc.hi + p;
  const double bb = s - acc.hi;
  acc.lo += ((acc.hi - (s - bb)) + (p - bb)) + e;
  acc.hi = s;
}
// acc += (a.hi + a.lo) * b; a.lo * b enters the error sum, whose own rounding is of order u^2.
inline void AddProduct(DD& acc, const DD& a, double b) {
  const double p = a.hi * b;
  const double e = std::fma(a.lo, b, std::fma(a.hi, b, -p));
  const double s = acc.hi + p;
  const double bb = s - acc.hi;
  acc.lo += ((acc.hi - (s - bb)) + (p - bb)) + e;
  acc.hi = s;
}
inline void AddValue(DD& acc, double a) {
  const double s = acc.hi + a;
  const double bb = s - acc.hi;
  acc.lo += (acc.hi - (s - bb)) + (a - bb);
  acc.hi = s;
}
// acc += a for an accumulated or normalised pair a, keeping both errors.
inline void AddPair(DD& acc, const DD& a) {
  AddValue(acc, a.hi);
  acc.lo += a.lo;
}

// Packed lower-triangular storage: row i (columns 0..i) starts at i(i+1)/2.
inline std::size_t PackedRowStart(int i) {
  return static_cast<std::size_t>(i) * (static_cast<std::size_t>(i) + 1) / 2;
}

// ---------------------------------------------------------------------------------------------
// Accumulation kernels. The hot ones are built for the default target and for FMA machines and
// chosen at run time; both give the same bits.

// packed += w z z' over a sparse row: m entries at strictly increasing rows idx[0..m-1] with
// values val, w > 0. Per pair k >= l: element (idx[k], idx[l]) += (val[k] w) val[l], where the
// product val[k] w is carried exactly as a pair.
MCSTAT_EXPORT void AddOuterSparse(int m, const int* idx, const double* val, double w, DD* packed);

// nb packed matrices of sums kept together: for every packed position e, the nb high parts
// at sums[2 nb e + t] and then the nb low parts at sums[2 nb e + nb + t], t < nb. Each matrix
// t += coef[t] x x' over a sparse row as in AddOuterSparse. On processors with AVX and FMA the
// blocks go four at a time through vector registers, each lane doing the scalar operations (the
// same bits); elsewhere, and for nb = 1, through the portable path.
MCSTAT_EXPORT void AddOuterSparseBlocks(int m, const int* idx, const double* val, int nb,
                                        const DD* coef, double* sums);
// The same on a chosen path, 0 portable, 1 AVX and FMA (for tests and benchmarks); false,
// nothing added, when the processor lacks it.
MCSTAT_EXPORT bool AddOuterSparseBlocksOn(int path, int m, const int* idx, const double* val,
                                          int nb, const DD* coef, double* sums);
// Sum t at a packed position of that layout, normalised.
MCSTAT_EXPORT DD BlockSum(const double* sums, int nb, std::size_t position, int t);
// dst += src for nPositions positions of that layout, as Merge does.
MCSTAT_EXPORT void MergeBlocks(std::size_t nPositions, int nb, const double* src, double* dst);

// out[t] = a * b[t] exactly, as pairs, for t < n.
MCSTAT_EXPORT void TwoProducts(int n, double a, const double* b, DD* out);

// Sums over dense columns with their parts apart: (hi[j c + a], lo[j c + a]) += coef[j] v[a]
// for j < n and a < c, each as AddProduct adds it (the same bits). On processors with AVX and
// FMA the columns go four at a time; elsewhere the portable path.
MCSTAT_EXPORT void AddScaledColumns(int c, const double* v, int n, const DD* coef, double* hi,
                                    double* lo);
// The same on a chosen path (0 portable, 1 AVX and FMA); false, nothing added, when the
// processor lacks it.
MCSTAT_EXPORT bool AddScaledColumnsOn(int path, int c, const double* v, int n, const DD* coef,
                                      double* hi, double* lo);

// One row of a multinomial logit's score and information sums, with weight w: the coefficients
// w residual[j] and w products[t] carried exactly as pairs (coef receives the nb = nLogits
// (nLogits + 1) / 2 of the blocks); scores[j p + idx[k]] += w residual[j] val[k] and the
// information blocks (layout of AddOuterSparseBlocks) += w products[t] x x'.
MCSTAT_EXPORT void AddLogitRow(int m, const int* idx, const double* val, int nLogits, int p,
                               double w, const double* residual, const double* products, DD* coef,
                               DD* scores, double* information);

// One record of a linear model's residual pass: e = y - sum val[k] beta[idx[k]] and d = y - c,
// formed exactly as pairs; sums[0] += w e^2, sums[1] += w d, sums[2] += w d^2.
MCSTAT_EXPORT void AddResidualTerms(int m, const int* idx, const double* val, const double* beta,
                                    double y, double c, double w, DD* sums);

// dst[t] += src[t] for t < n: both pairs are added with error-free transformations, so a sum
// split over parts and merged has the accuracy of one accumulation.
MCSTAT_EXPORT void Merge(int n, const DD* src, DD* dst);

// out[t * stride] = the double rounding of x[t].
MCSTAT_EXPORT void Round(int n, const DD* x, double* out, int stride);

// ---------------------------------------------------------------------------------------------
// Packed symmetric matrices in double-double.

// Sweeps pivot k (0 <= k < n) as MCSymMatrix::Sweep does: a(k,k) becomes -1/d, column k
// a(i,k)/|d| and every other element a(i,j) - a(i,k) a(j,k) / d. A forward sweep (swept[k] ==
// 0) is refused, false with nothing changed, when d <= tol refDiag[k] or when a row i already
// swept would get (a(i,i) - a(i,k)^2 / d) tol refDiag[i] <= -1. On success swept[k] toggles
// and the result is true. A reverse sweep makes no test.
MCSTAT_EXPORT bool SweepPivot(int n, DD* packed, int k, double tol, const DD* refDiag,
                              unsigned char* swept);

// Cholesky row i of an n-row packed matrix whose rows 0..i-1 hold L, as the double kernel:
// s = a(i,j) - L(i,0..j-1).L(j,0..j-1); L(i,j) = s / L(j,j) (0 when L(j,j) == 0); the pivot
// is redundant (L(i,i) = 0) when s <= refDiag tol, otherwise L(i,i) = sqrt(s). True when the
// pivot was accepted.
MCSTAT_EXPORT bool CholeskyRow(DD* packed, int i, const DD& refDiag, double tol);
// y = L^-1 b, x = L^-T y; components with a zero diagonal become 0. Output may be the input.
MCSTAT_EXPORT void ForwardSubstitute(int n, const DD* packed, const DD* b, DD* y);
MCSTAT_EXPORT void BackSubstitute(int n, const DD* packed, const DD* y, DD* x);
// L becomes the lower triangle of L^-T L^-1 (zero rows and columns for zero diagonals), the
// generalised inverse of L L'.
MCSTAT_EXPORT void InverseFromFactor(int n, DD* packed);

// ---------------------------------------------------------------------------------------------

// A fixed number of double-double sums: a plain value that can be copied, merged and read, the
// state of a partial pass.
class DDSums {
 public:
  DDSums() = default;
  explicit DDSums(std::size_t n) : fvSums(n) {}

  std::size_t Size() const { return fvSums.size(); }
  void Resize(std::size_t n) { fvSums.assign(n, DD{}); }
  void Clear() { fvSums.assign(fvSums.size(), DD{}); }
  DD* Data() { return fvSums.data(); }
  const DD* Data() const { return fvSums.data(); }
  DD& operator[](std::size_t t) { return fvSums[t]; }
  // Normalised value of sum t.
  DD Value(std::size_t t) const { return Normalised(fvSums[t]); }
  double Rounded(std::size_t t) const { return ToDouble(Value(t)); }
  // Adds other's sums (same size) to these.
  void Merge(const DDSums& other) {
    ddkernels::Merge(static_cast<int>(fvSums.size()), other.Data(), fvSums.data());
  }

 private:
  std::vector<DD> fvSums;
};

}  // namespace ddkernels
}  // namespace MCCommonMath

#endif  // MCSTAT_MCDDKERNELS_H_
