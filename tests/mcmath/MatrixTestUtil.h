// Test support: row-major dense matrices as plain vectors, for checking MCSymMatrix and
// MCRectMatrix against straightforward arithmetic.
#ifndef MCSTAT_TESTS_MATRIXTESTUTIL_H_
#define MCSTAT_TESTS_MATRIXTESTUTIL_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

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

inline Rows ToRows(const MCCommonMath::MCSymMatrixData& m) {
  Rows d = Zeros(m.GetNRows(), m.GetNRows());
  for (int i = 0; i < m.GetNRows(); ++i)
    for (int j = 0; j < m.GetNRows(); ++j) d[i][j] = m.GetElem(i, j);
  return d;
}

inline Rows ToRows(const MCCommonMath::MCRectMatrix& m) {
  Rows d = Zeros(m.GetNRows(), m.GetNCols());
  for (int i = 0; i < m.GetNRows(); ++i)
    for (int j = 0; j < m.GetNCols(); ++j) d[i][j] = m.GetElem(i, j);
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

inline Rows Mul(const Rows& a, const Rows& b) {
  Rows c = Zeros(a.size(), b.empty() ? 0 : b[0].size());
  for (size_t i = 0; i < a.size(); ++i)
    for (size_t t = 0; t < b.size(); ++t)
      for (size_t j = 0; j < c[i].size(); ++j) c[i][j] += a[i][t] * b[t][j];
  return c;
}

inline Rows Trans(const Rows& a) {
  Rows t = Zeros(a.empty() ? 0 : a[0].size(), a.size());
  for (size_t i = 0; i < a.size(); ++i)
    for (size_t j = 0; j < a[i].size(); ++j) t[j][i] = a[i][j];
  return t;
}

inline std::vector<double> MulV(const Rows& a, const std::vector<double>& x) {
  std::vector<double> y(a.size(), 0.0);
  for (size_t i = 0; i < a.size(); ++i)
    for (size_t j = 0; j < x.size(); ++j) y[i] += a[i][j] * x[j];
  return y;
}

// Gauss-Jordan with partial pivoting; deliberately unrelated to sweeps and Cholesky.
inline Rows Inverse(Rows a) {
  const size_t n = a.size();
  Rows inv = Identity(n);
  for (size_t c = 0; c < n; ++c) {
    size_t p = c;
    for (size_t r = c + 1; r < n; ++r)
      if (std::fabs(a[r][c]) > std::fabs(a[p][c])) p = r;
    std::swap(a[c], a[p]);
    std::swap(inv[c], inv[p]);
    const double piv = a[c][c];
    for (size_t j = 0; j < n; ++j) a[c][j] /= piv, inv[c][j] /= piv;
    for (size_t r = 0; r < n; ++r) {
      const double f = r == c ? 0.0 : a[r][c];
      for (size_t j = 0; j < n; ++j) a[r][j] -= f * a[c][j], inv[r][j] -= f * inv[c][j];
    }
  }
  return inv;
}

inline Rows RandomRows(std::mt19937_64& g, size_t r, size_t c) {
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
