// Test support: the reference BLAS and LAPACK as an oracle for the LINPACK and BLAS-1
// routines, and generators of test matrices with a chosen condition.
#ifndef MCSTAT_TESTS_LAPACKORACLE_H_
#define MCSTAT_TESTS_LAPACKORACLE_H_

#include <dlfcn.h>

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace mctest {

// The reference BLAS and LAPACK, opened by the paths the build found. The libblas.so.3 and
// liblapack.so.3 the system selects may be an optimised library that sums in another order
// (the BLAS-1 checks are bit for bit), so the oracle never goes through that selection.
struct Reference {
  using I = const int*;
  using D = const double*;
  double (*ddot)(I n, D x, I incx, D y, I incy);
  void (*daxpy)(I n, D a, D x, I incx, double* y, I incy);
  void (*dcopy)(I n, D x, I incx, double* y, I incy);
  void (*dswap)(I n, double* x, I incx, double* y, I incy);
  void (*drot)(I n, double* x, I incx, double* y, I incy, D c, D s);
  void (*drotg)(double* a, double* b, double* c, double* s);
  void (*dscal)(I n, D a, double* x, I incx);
  double (*dasum)(I n, D x, I incx);
  double (*dnrm2)(I n, D x, I incx);
  int (*idamax)(I n, D x, I incx);
  void (*dgesv)(I n, I nrhs, double* a, I lda, int* ipiv, double* b, I ldb, int* info);
  void (*dgetrf)(I m, I n, double* a, I lda, int* ipiv, int* info);
  void (*dgetri)(I n, double* a, I lda, const int* ipiv, double* work, I lwork, int* info);
  void (*dgels)(const char* trans, I m, I n, I nrhs, double* a, I lda, double* b, I ldb,
                double* work, I lwork, int* info, std::size_t);
  void (*dgesvd)(const char* jobu, const char* jobvt, I m, I n, double* a, I lda, double* s,
                 double* u, I ldu, double* vt, I ldvt, double* work, I lwork, int* info,
                 std::size_t, std::size_t);
  void (*dtrtrs)(const char* uplo, const char* trans, const char* diag, I n, I nrhs, D a, I lda,
                 double* b, I ldb, int* info, std::size_t, std::size_t, std::size_t);
  void (*dsyev)(const char* jobz, const char* uplo, I n, double* a, I lda, double* w, double* work,
                I lwork, int* info, std::size_t, std::size_t);
  void (*dsygv)(I itype, const char* jobz, const char* uplo, I n, double* a, I lda, double* b,
                I ldb, double* w, double* work, I lwork, int* info, std::size_t, std::size_t);
};

[[noreturn]] inline void ReferenceFailure(const char* what, const char* detail) {
  std::fprintf(stderr, "reference BLAS/LAPACK: %s %s\n", what, detail ? detail : "");
  std::abort();
}

inline void* OpenReference(const char* path) {
  void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) ReferenceFailure("cannot open", dlerror());
  return lib;
}

template <class F>
void Bind(void* lib, const char* name, F& fn) {
  void* sym = dlsym(lib, name);
  if (sym == nullptr) ReferenceFailure("missing", name);
  fn = reinterpret_cast<F>(sym);
}

// Loaded once. The BLAS goes first: LAPACK's own need for libblas.so.3 is then met by it
// rather than by the system's selection, which the dgemm_ check below confirms.
inline const Reference& Ref() {
  static const Reference ref = [] {
    Reference r{};
    void* blas = OpenReference(MCSTAT_REFERENCE_BLAS);
    void* lapack = OpenReference(MCSTAT_REFERENCE_LAPACK);
    if (dlsym(lapack, "dgemm_") != dlsym(blas, "dgemm_"))
      ReferenceFailure("LAPACK does not run on the reference BLAS:", MCSTAT_REFERENCE_LAPACK);
    Bind(blas, "ddot_", r.ddot), Bind(blas, "daxpy_", r.daxpy), Bind(blas, "dcopy_", r.dcopy);
    Bind(blas, "dswap_", r.dswap), Bind(blas, "drot_", r.drot), Bind(blas, "drotg_", r.drotg);
    Bind(blas, "dscal_", r.dscal), Bind(blas, "dasum_", r.dasum), Bind(blas, "dnrm2_", r.dnrm2);
    Bind(blas, "idamax_", r.idamax), Bind(lapack, "dgesv_", r.dgesv);
    Bind(lapack, "dgetrf_", r.dgetrf), Bind(lapack, "dgetri_", r.dgetri);
    Bind(lapack, "dgels_", r.dgels), Bind(lapack, "dgesvd_", r.dgesvd);
    Bind(lapack, "dtrtrs_", r.dtrtrs), Bind(lapack, "dsyev_", r.dsyev);
    Bind(lapack, "dsygv_", r.dsygv);
    return r;
  }();
  return ref;
}

// Column-major dense matrix with 0-based access.
struct Dense {
  int rows = 0;
  int cols = 0;
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
    double vv = 0.0;
    for (double& e : v) {
      e = g(rng);
      vv += e * e;
    }
    // q := q (I - 2 v v' / v'v)
    for (int i = 0; i < n; ++i) {
      double s = 0.0;
      for (int k = 0; k < n; ++k) s += q(i, k) * v[k];
      for (int k = 0; k < n; ++k) q(i, k) -= 2.0 * s * v[k] / vv;
    }
  }
  return q;
}

// Singular values (or eigenvalue magnitudes) spread geometrically from 1 to 1/cond.
inline std::vector<double> Spectrum(int n, double cond) {
  std::vector<double> s(n, 1.0);
  for (int i = 1; i < n; ++i) s[i] = std::pow(cond, -static_cast<double>(i) / (n - 1));
  return s;
}

// U diag(s) V' with the spectrum above.
inline Dense GeneralWithCondition(int n, double cond, std::mt19937& rng) {
  Dense u = RandomOrthogonal(n, rng);
  Dense vt = Transpose(RandomOrthogonal(n, rng));
  std::vector<double> s = Spectrum(n, cond);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) u(i, j) *= s[j];
  return Multiply(u, vt);
}

// Q diag(d) Q' with d = spectrum times the given signs (all +1: positive definite).
inline Dense SymmetricWithCondition(int n, double cond, std::mt19937& rng,
                                    const std::vector<int>& signs) {
  Dense q = RandomOrthogonal(n, rng);
  std::vector<double> d = Spectrum(n, cond);
  Dense qd = q;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) qd(i, j) *= d[j] * signs[j];
  Dense a = Multiply(qd, Transpose(q));
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

// Copies a into an array with leading dimension ld >= a.rows (padding filled with a
// sentinel so that stray reads show up in the results).
inline std::vector<double> WithLeadingDim(const Dense& a, int ld) {
  std::vector<double> out(static_cast<std::size_t>(ld) * a.cols, 1e300);
  for (int j = 0; j < a.cols; ++j)
    for (int i = 0; i < a.rows; ++i) out[i + static_cast<std::size_t>(j) * ld] = a(i, j);
  return out;
}

// Solves a x = b (or a' x = b) with LAPACK; returns the LAPACK info.
inline int LapackSolve(Dense a, std::vector<double>& b, bool transposed = false) {
  if (transposed) a = Transpose(a);
  int n = a.rows;
  int one = 1;
  int info = 0;
  std::vector<int> ipiv(n);
  Ref().dgesv(&n, &one, a.v.data(), &n, ipiv.data(), b.data(), &n, &info);
  return info;
}

inline Dense LapackInverse(Dense a) {
  int n = a.rows;
  int info = 0;
  std::vector<int> ipiv(n);
  Ref().dgetrf(&n, &n, a.v.data(), &n, ipiv.data(), &info);
  int lwork = 64 * n;
  std::vector<double> work(lwork);
  Ref().dgetri(&n, a.v.data(), &n, ipiv.data(), work.data(), &lwork, &info);
  return a;
}

// Determinant from LAPACK's LU factors.
inline double LapackDet(Dense a) {
  int n = a.rows;
  int info = 0;
  std::vector<int> ipiv(n);
  Ref().dgetrf(&n, &n, a.v.data(), &n, ipiv.data(), &info);
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
