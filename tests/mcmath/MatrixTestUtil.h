// Test support: row-major dense matrices as nested vectors, for MCSymMatrix and MCRectMatrix.
#ifndef MCSTAT_TESTS_MATRIXTESTUTIL_H_
#define MCSTAT_TESTS_MATRIXTESTUTIL_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "LapackOracle.h"
#include "MCRectMatrix.h"
#include "MCSymMatrix.h"

namespace mctest {

using Rows = std::vector<std::vector<double>>;

inline Rows Zeros(size_t r, size_t c) { return Rows(r, std::vector<double>(c, 0.0)); }

inline Rows Identity(size_t n) {
  Rows d = Zeros(n, n);
  for (size_t i = 0; i < n; ++i) d[i][i] = 1.0;
  return d;
}

inline int NCols(const MCCommonMath::MCSymMatrixData& m) { return m.GetNRows(); }
inline int NCols(const MCCommonMath::MCRectMatrix& m) { return m.GetNCols(); }

template <class M>
Rows ToRows(const M& m) {
  Rows d = Zeros(m.GetNRows(), NCols(m));
  for (int i = 0; i < m.GetNRows(); ++i)
    for (int j = 0; j < NCols(m); ++j) d[i][j] = m.GetElem(i, j);
  return d;
}

// Lower triangle of d (the upper one is ignored).
inline MCCommonMath::MCSymMatrix Sym(const Rows& d) {
  MCCommonMath::MCSymMatrix m(static_cast<int>(d.size()));
  for (size_t i = 0; i < d.size(); ++i)
    for (size_t j = 0; j <= i; ++j) m.SetElem(int(i), int(j), d[i][j]);
  return m;
}

inline MCCommonMath::MCRectMatrix Rect(const Rows& d) {
  MCCommonMath::MCRectMatrix m(int(d.size()), d.empty() ? 0 : int(d[0].size()));
  for (size_t i = 0; i < d.size(); ++i)
    for (size_t j = 0; j < d[i].size(); ++j) m.SetElem(int(i), int(j), d[i][j]);
  return m;
}

// Dense arithmetic through the column-major matrices of the LAPACK oracle.
inline Dense ToDense(const Rows& r) {
  Dense d(static_cast<int>(r.size()), r.empty() ? 0 : static_cast<int>(r[0].size()));
  for (int i = 0; i < d.rows; ++i)
    for (int j = 0; j < d.cols; ++j) d(i, j) = r[i][j];
  return d;
}

inline Rows ToRows(const Dense& d) {
  Rows r = Zeros(d.rows, d.cols);
  for (int i = 0; i < d.rows; ++i)
    for (int j = 0; j < d.cols; ++j) r[i][j] = d(i, j);
  return r;
}

inline Rows Mul(const Rows& a, const Rows& b) { return ToRows(Multiply(ToDense(a), ToDense(b))); }
inline Rows Trans(const Rows& a) { return ToRows(Transpose(ToDense(a))); }
inline Rows Inverse(const Rows& a) { return ToRows(LapackInverse(ToDense(a))); }
inline std::vector<double> MulV(const Rows& a, const std::vector<double>& x) {
  return Apply(ToDense(a), x);
}

template <class Generator>
Rows RandomRows(Generator& g, size_t r, size_t c) {
  std::uniform_real_distribution<double> u(-2.0, 2.0);
  Rows d = Zeros(r, c);
  for (auto& row : d)
    for (double& x : row) x = u(g);
  return d;
}

inline double MaxAbsDiff(const Rows& a, const Rows& b) {
  if (a.size() != b.size()) return HUGE_VAL;
  double m = 0.0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].size() != b[i].size()) return HUGE_VAL;
    for (size_t j = 0; j < a[i].size(); ++j) m = std::max(m, std::fabs(a[i][j] - b[i][j]));
  }
  return m;
}

// Elementwise agreement to tol times the larger of 1 and the largest wanted magnitude.
inline void ExpectNear(const Rows& got, const Rows& want, double tol) {
  double scale = 1.0;
  for (const auto& r : want)
    for (double x : r) scale = std::max(scale, std::fabs(x));
  EXPECT_LE(MaxAbsDiff(got, want), tol * scale);
}

}  // namespace mctest

#endif  // MCSTAT_TESTS_MATRIXTESTUTIL_H_
