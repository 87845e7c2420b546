// Test support: the reference BLAS and LAPACK as oracle, and matrices of a chosen condition.
#ifndef MCSTAT_TESTS_LAPACKORACLE_H_
#define MCSTAT_TESTS_LAPACKORACLE_H_

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>
#include <random>
#include <vector>

// Linked statically from the reference libraries: the system's libblas.so.3 may be an
// optimised one that sums in another order, and the BLAS-1 checks are bit for bit.
extern "C" {
double ddot_(const int* n, const double* x, const int* incx, const double* y, const int* incy);
void daxpy_(const int* n, const double* a, const double* x, const int* incx, double* y,
            const int* incy);
void dcopy_(const int* n, const double* x, const int* incx, double* y, const int* incy);
void dswap_(const int* n, double* x, const int* incx, double* y, const int* incy);
void drot_(const int* n, double* x, const int* incx, double* y, const int* incy, const double* c,
           const double* s);
void drotg_(double* a, double* b, double* c, double* s);
void dscal_(const int* n, const double* a, double* x, const int* incx);
double dasum_(const int* n, const double* x, const int* incx);
double dnrm2_(const int* n, const double* x, const int* incx);
int idamax_(const int* n, const double* x, const int* incx);
void dgetrf_(const int* m, const int* n, double* a, const int* lda, int* ipiv, int* info);
void dgetri_(const int* n, double* a, const int* lda, const int* ipiv, double* work,
             const int* lwork, int* info);
void dgels_(const char* trans, const int* m, const int* n, const int* nrhs, double* a,
            const int* lda, double* b, const int* ldb, double* work, const int* lwork, int* info,
            std::size_t);
void dgesvd_(const char* jobu, const char* jobvt, const int* m, const int* n, double* a,
             const int* lda, double* s, double* u, const int* ldu, double* vt, const int* ldvt,
             double* work, const int* lwork, int* info, std::size_t, std::size_t);
void dsyev_(const char* jobz, const char* uplo, const int* n, double* a, const int* lda, double* w,
            double* work, const int* lwork, int* info, std::size_t, std::size_t);
void dsygv_(const int* itype, const char* jobz, const char* uplo, const int* n, double* a,
            const int* lda, double* b, const int* ldb, double* w, double* work, const int* lwork,
            int* info, std::size_t, std::size_t);
}

namespace mctest {

struct Dense {
  int rows = 0, cols = 0;
  std::vector<double> v;
  Dense(int r, int c) : rows(r), cols(c), v(static_cast<std::size_t>(r) * c, 0.0) {}
  double& operator()(int i, int j) { return v[i + static_cast<std::size_t>(j) * rows]; }
  double operator()(int i, int j) const { return v[i + static_cast<std::size_t>(j) * rows]; }
};

inline Dense Multiply(const Dense& a, const Dense& b) {
  Dense c(a.rows, b.cols);
  for (int j = 0; j < b.cols; ++j)
    for (int k = 0; k < a.cols; ++k)
      for (int i = 0; i < a.rows; ++i) c(i, j) += a(i, k) * b(k, j);
  return c;
}

inline Dense Transpose(const Dense& a) {
  Dense t(a.cols, a.rows);
  for (int j = 0; j < a.cols; ++j)
    for (int i = 0; i < a.rows; ++i) t(j, i) = a(i, j);
  return t;
}

inline double Norm1(const Dense& a) {
  double best = 0.0;
  for (int j = 0; j < a.cols; ++j) {
    double s = 0.0;
    for (int i = 0; i < a.rows; ++i) s += std::fabs(a(i, j));
    best = std::fmax(best, s);
  }
  return best;
}

inline double MaxAbs(const std::vector<double>& x) {
  double m = 0.0;
  for (double e : x) m = std::fmax(m, std::fabs(e));
  return m;
}

// Largest abs difference relative to the larger of the two maximum magnitudes.
inline double RelDiff(const std::vector<double>& x, const std::vector<double>& y) {
  double d = 0.0;
  for (std::size_t i = 0; i < x.size() && i < y.size(); ++i)
    d = std::fmax(d, std::fabs(x[i] - y[i]));
  double s = std::fmax(MaxAbs(x), MaxAbs(y));
  return s > 0.0 ? d / s : d;
}

// A random orthogonal matrix: a product of n Householder reflections.
inline Dense RandomOrthogonal(int n, std::mt19937& rng) {
  std::normal_distribution<double> g(0.0, 1.0);
  Dense q(n, n);
  for (int i = 0; i < n; ++i) q(i, i) = 1.0;
  for (int r = 0; r < n; ++r) {
    std::vector<double> v(n);
    for (double& e : v) e = g(rng);
    const double vv = std::inner_product(v.begin(), v.end(), v.begin(), 0.0);
    for (int i = 0; i < n; ++i) {
      double s = 0.0;
      for (int k = 0; k < n; ++k) s += q(i, k) * v[k];
      for (int k = 0; k < n; ++k) q(i, k) -= 2.0 * s * v[k] / vv;
    }
  }
  return q;
}

// U diag(s) V' with s spread geometrically from 1 to 1/cond, times the signs.
inline Dense WithSpectrum(Dense u, const Dense& v, double cond, const std::vector<int>& signs) {
  const int n = u.rows;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i)
      u(i, j) *= std::pow(cond, -static_cast<double>(j) / std::max(n - 1, 1)) * signs[j];
  return Multiply(u, Transpose(v));
}

inline Dense GeneralWithCondition(int n, double cond, std::mt19937& rng) {
  const Dense u = RandomOrthogonal(n, rng);
  return WithSpectrum(u, RandomOrthogonal(n, rng), cond, std::vector<int>(n, 1));
}

// Q diag(s) Q', made exactly symmetric (all signs +1: positive definite).
inline Dense SymmetricWithCondition(int n, double cond, std::mt19937& rng,
                                    const std::vector<int>& signs) {
  const Dense q = RandomOrthogonal(n, rng);
  Dense a = WithSpectrum(q, q, cond, signs);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < j; ++i) a(j, i) = a(i, j) = 0.5 * (a(i, j) + a(j, i));
  return a;
}

inline std::vector<double> RandomVector(int n, std::mt19937& rng) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> x(n);
  for (double& e : x) e = u(rng);
  return x;
}

// a with leading dimension ld >= a.rows, padded with a sentinel that stray reads would show.
inline std::vector<double> WithLeadingDim(const Dense& a, int ld) {
  std::vector<double> out(static_cast<std::size_t>(ld) * a.cols, 1e300);
  for (int j = 0; j < a.cols; ++j)
    for (int i = 0; i < a.rows; ++i) out[i + static_cast<std::size_t>(j) * ld] = a(i, j);
  return out;
}

inline Dense LapackInverse(Dense a) {
  int n = a.rows, info = 0, lwork = 64 * n;
  std::vector<int> ipiv(n);
  dgetrf_(&n, &n, a.v.data(), &n, ipiv.data(), &info);
  std::vector<double> work(lwork);
  dgetri_(&n, a.v.data(), &n, ipiv.data(), work.data(), &lwork, &info);
  return a;
}

inline double LapackDet(Dense a) {
  int n = a.rows, info = 0;
  std::vector<int> ipiv(n);
  dgetrf_(&n, &n, a.v.data(), &n, ipiv.data(), &info);
  double det = 1.0;
  for (int i = 0; i < n; ++i) det *= (ipiv[i] != i + 1 ? -a(i, i) : a(i, i));
  return det;
}

// The true reciprocal 1-norm condition number, from the explicit inverse.
inline double TrueRcond(const Dense& a) { return 1.0 / (Norm1(a) * Norm1(LapackInverse(a))); }

inline std::vector<double> Apply(const Dense& a, const std::vector<double>& x) {
  std::vector<double> y(a.rows, 0.0);
  for (int j = 0; j < a.cols; ++j)
    for (int i = 0; i < a.rows; ++i) y[i] += a(i, j) * x[j];
  return y;
}

}  // namespace mctest

#endif  // MCSTAT_TESTS_LAPACKORACLE_H_
