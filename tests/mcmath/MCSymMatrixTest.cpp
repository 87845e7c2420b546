#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "MCBitSet.h"
#include "MCComponentDisplay.h"
#include "MCMV.h"
#include "MCSymMatrix.h"

using MCCommonMath::MCBitSet;
using MCCommonMath::MCSymMatrix;
using MCCommonMath::MCSymMatrixData;

namespace {

using Dense = std::vector<std::vector<double>>;

Dense ToDense(const MCSymMatrixData& m) {
  const int n = m.GetNRows();
  Dense d(n, std::vector<double>(n));
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) d[i][j] = m.GetElem(i, j);
  return d;
}

MCSymMatrix FromDense(const Dense& d) {
  MCSymMatrix m(static_cast<int>(d.size()));
  for (size_t i = 0; i < d.size(); ++i)
    for (size_t j = 0; j <= i; ++j) m.SetElem(int(i), int(j), d[i][j]);
  return m;
}

Dense Mul(const Dense& a, const Dense& b) {
  const size_t n = a.size(), k = b.size(), m = b.empty() ? 0 : b[0].size();
  Dense c(n, std::vector<double>(m, 0.0));
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j < m; ++j)
      for (size_t t = 0; t < k; ++t) c[i][j] += a[i][t] * b[t][j];
  return c;
}

// Gauss-Jordan with partial pivoting; deliberately unrelated to the sweep.
Dense Inverse(Dense a) {
  const size_t n = a.size();
  Dense inv(n, std::vector<double>(n, 0.0));
  for (size_t i = 0; i < n; ++i) inv[i][i] = 1.0;
  for (size_t c = 0; c < n; ++c) {
    size_t p = c;
    for (size_t r = c + 1; r < n; ++r)
      if (std::fabs(a[r][c]) > std::fabs(a[p][c])) p = r;
    std::swap(a[c], a[p]);
    std::swap(inv[c], inv[p]);
    const double piv = a[c][c];
    for (size_t j = 0; j < n; ++j) a[c][j] /= piv, inv[c][j] /= piv;
    for (size_t r = 0; r < n; ++r) {
      if (r == c) continue;
      const double f = a[r][c];
      for (size_t j = 0; j < n; ++j) a[r][j] -= f * a[c][j], inv[r][j] -= f * inv[c][j];
    }
  }
  return inv;
}

std::vector<double> RandomVec(std::mt19937_64& g, int n) {
  std::uniform_real_distribution<double> u(-2.0, 2.0);
  std::vector<double> v(n);
  for (double& x : v) x = u(g);
  return v;
}

// B BT + n I: symmetric positive definite and reasonably conditioned.
Dense RandomSpd(std::mt19937_64& g, int n) {
  Dense b(n);
  for (auto& row : b) row = RandomVec(g, n);
  Dense a(n, std::vector<double>(n, 0.0));
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j)
      for (int t = 0; t < n; ++t) a[i][j] += b[i][t] * b[j][t];
    a[i][i] += n;
  }
  return a;
}

double MaxAbs(const Dense& d) {
  double m = 0.0;
  for (const auto& r : d)
    for (double x : r) m = std::max(m, std::fabs(x));
  return m;
}

void ExpectNear(const Dense& got, const Dense& want, double relTol) {
  const double scale = std::max(1.0, MaxAbs(want));
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i)
    for (size_t j = 0; j < want[i].size(); ++j)
      EXPECT_NEAR(got[i][j], want[i][j], relTol * scale) << "at (" << i << "," << j << ")";
}

// ---------------------------------------------------------------------------------------
// Properties over several sizes

class SymSizeTest : public ::testing::TestWithParam<int> {
 protected:
  int n_ = GetParam();
  std::mt19937_64 gen_{static_cast<unsigned long long>(1234 + GetParam())};
};

TEST_P(SymSizeTest, IndexRuleAndOutOfRangeReads) {
  const MCSymMatrix m = FromDense(RandomSpd(gen_, n_));
  const auto& packed = m.AsVectorConst();
  ASSERT_EQ(packed.size(), size_t(n_) * (n_ + 1) / 2);
  for (int i = 0; i < n_; ++i) {
    EXPECT_EQ(packed[size_t(i) * (i + 3) / 2], m.GetElem(i, i));
    for (int j = 0; j <= i; ++j) {
      EXPECT_EQ(packed[size_t(i) * (i + 1) / 2 + j], m.GetElem(i, j));
      EXPECT_EQ(m.GetElem(i, j), m.GetElem(j, i));
    }
  }
  for (int bad : {-1, n_, INT_MIN}) {
    EXPECT_TRUE(MCMV::IsMissing(m.GetElem(bad, 0)));
    EXPECT_TRUE(MCMV::IsMissing(m.GetElem(0, bad)));
  }
}

TEST_P(SymSizeTest, SweepingEveryPivotTwiceRestores) {
  const Dense a = RandomSpd(gen_, n_);
  MCSymMatrix m = FromDense(a);
  std::vector<double> ref;
  m.GetDiagonal(ref);
  MCBitSet swept(n_);
  for (int k = 0; k < n_; ++k) {
    ASSERT_TRUE(m.Sweep(k, 1e-12, ref, swept, true));
    EXPECT_TRUE(swept.IsIn(k));
    ASSERT_TRUE(m.Sweep(k, 1e-12, ref, swept, true));
    EXPECT_FALSE(swept.IsIn(k));
    ExpectNear(ToDense(m), a, 1e-12);
  }
  // All forward, then all back in another order.
  for (int k = 0; k < n_; ++k) ASSERT_TRUE(m.Sweep(k, 1e-12, ref, swept, true));
  for (int k = n_ - 1; k >= 0; --k) ASSERT_TRUE(m.Sweep(k, 1e-12, ref, swept, true));
  EXPECT_EQ(swept.InSet(), 0);
  ExpectNear(ToDense(m), a, 1e-12);
}

TEST_P(SymSizeTest, SweepingAllPivotsGivesMinusInverse) {
  const Dense a = RandomSpd(gen_, n_);
  MCSymMatrix m = FromDense(a);
  std::vector<double> ref;
  m.GetDiagonal(ref);
  MCBitSet swept(n_);
  for (int k = 0; k < n_; ++k) ASSERT_TRUE(m.Sweep(k, 1e-12, ref, swept, false));
  m.ChangeSign();
  Dense ident(n_, std::vector<double>(n_, 0.0));
  for (int i = 0; i < n_; ++i) ident[i][i] = 1.0;
  ExpectNear(Mul(ToDense(m), a), ident, 1e-12);
  ExpectNear(ToDense(m), Inverse(a), 1e-12);
}

TEST_P(SymSizeTest, AccumulationVariantsAgree) {
  MCSymMatrix xx(n_), sparse(n_), posneg(n_);
  Dense want(n_, std::vector<double>(n_, 0.0));
  for (int r = 0; r < 6; ++r) {
    std::vector<double> x = RandomVec(gen_, n_);
    for (int i = r % 3; i < n_; i += 3) x[i] = 0.0;  // rows skipped by UpdateXX
    const double w = 0.5 + r;
    ASSERT_TRUE(xx.UpdateXX(x, w));
    ASSERT_TRUE(posneg.UpdateXXPosNegW(x, w));
    std::vector<int> idx = {-1};  // outside the matrix: contributes nothing
    std::vector<double> val = {5.0};
    for (int i = 0; i < n_; ++i)
      if (x[i] != 0.0) idx.push_back(i), val.push_back(x[i]);
    idx.push_back(n_);
    val.push_back(99.0);
    ASSERT_TRUE(sparse.UpdateXXSparse(int(idx.size()), idx, val, w));
    for (int i = 0; i < n_; ++i)
      for (int j = 0; j < n_; ++j) want[i][j] += w * x[i] * x[j];
  }
  ExpectNear(ToDense(xx), want, 1e-13);
  EXPECT_EQ(sparse.AsVectorConst(), xx.AsVectorConst());
  EXPECT_EQ(posneg.AsVectorConst(), xx.AsVectorConst());
}

TEST_P(SymSizeTest, ProductsMatchDenseArithmetic) {
  const Dense a = RandomSpd(gen_, n_), b = RandomSpd(gen_, n_), c = RandomSpd(gen_, n_);
  const MCSymMatrix m = FromDense(a), m2 = FromDense(b), m3 = FromDense(c);
  const std::vector<double> v = RandomVec(gen_, n_), w = RandomVec(gen_, n_);
  const double s = MaxAbs(a) * n_ * 4;
  Dense vCol(n_, std::vector<double>(1));
  for (int i = 0; i < n_; ++i) vCol[i][0] = v[i];
  const Dense av = Mul(a, vCol);
  double vaw = 0, vav = 0;
  for (int i = 0; i < n_; ++i)
    for (int j = 0; j < n_; ++j) vaw += v[i] * a[i][j] * w[j], vav += v[i] * a[i][j] * v[j];
  EXPECT_NEAR(m.ComputeVSW(v, w), vaw, 1e-12 * s);
  EXPECT_NEAR(m.ComputeVSV(v), vav, 1e-12 * s);
  EXPECT_NEAR(m.SquareRootVSV(v), std::sqrt(vav), 1e-12 * s);
  std::vector<double> sv;
  ASSERT_TRUE(m.ComputeSV(v, sv));
  for (int i = 0; i < n_; ++i) EXPECT_NEAR(sv[i], av[i][0], 1e-12 * s);

  // Lower triangle L (diagonal included) of the matrix.
  Dense l = a, lt = a;
  for (int i = 0; i < n_; ++i)
    for (int j = i + 1; j < n_; ++j) l[i][j] = lt[j][i] = 0.0;
  std::vector<double> lv, ltv;
  ASSERT_TRUE(m.ComputeLV(v, lv));
  ASSERT_TRUE(m.ComputeLTransV(v, ltv));
  for (int i = 0; i < n_; ++i) {
    double wantLv = 0, wantLtv = 0;
    for (int j = 0; j < n_; ++j) wantLv += l[i][j] * v[j], wantLtv += l[j][i] * v[j];
    EXPECT_NEAR(lv[i], wantLv, 1e-12 * s);
    EXPECT_NEAR(ltv[i], wantLtv, 1e-12 * s);
  }
  MCSymMatrix out;
  ASSERT_TRUE(m.ComputeLSLTrans(m2, out));
  ExpectNear(ToDense(out), Mul(Mul(l, b), lt), 1e-12);
  m.ComputeSTransS(out);
  ExpectNear(ToDense(out), Mul(a, a), 1e-12);

  double tr2 = 0, tr3 = 0;
  const Dense ab = Mul(a, b), abc = Mul(ab, c);
  for (int i = 0; i < n_; ++i) tr2 += ab[i][i], tr3 += abc[i][i];
  EXPECT_NEAR(m.TraceOfProduct(m2), tr2, 1e-12 * std::fabs(tr2));
  EXPECT_NEAR(m.TraceOfProductOfThree(m2, m3), tr3, 1e-12 * std::fabs(tr3));

  // The inverse is a generalised inverse: G M G = G.
  const MCSymMatrix g = FromDense(Inverse(a));
  ASSERT_TRUE(m.ComputeGMG(g, out));
  ExpectNear(ToDense(out), ToDense(g), 1e-10);
  EXPECT_TRUE(m.CheckGMG(g, 1e-10));
  EXPECT_FALSE(m.CheckGMG(m2, 1e-10));

  // Row and part products against the dense rows.
  const int i = n_ / 2, first = n_ / 3, cnt = n_ - first;
  double rowDot = 0, part = 0;
  for (int t = 0; t < n_; ++t) rowDot += a[i][t] * v[t];
  EXPECT_NEAR(m.ComputeRVD(i, v.data(), n_), rowDot, 1e-12 * s);
  EXPECT_NEAR(m.ComputeRowDotProductS(i, v, n_), rowDot, 1e-12 * s);
  std::vector<double> vPart(v.begin(), v.begin() + cnt), wPart(w.begin(), w.begin() + cnt);
  for (int r = 0; r < cnt; ++r)
    for (int q = 0; q < cnt; ++q) part += vPart[r] * a[first + r][q] * wPart[q];
  EXPECT_NEAR(m.ComputeVSWParts(vPart, first, wPart, 0), part, 1e-12 * s);
  std::vector<double> col, incr(n_, 1.0);
  ASSERT_TRUE(m.GetPCol(i, first, cnt, col, 2));
  ASSERT_TRUE(m.IncrVecByRow(i, incr, first, cnt, 2.0, true));
  for (int t = 0; t < cnt; ++t) {
    EXPECT_EQ(col[2 + t], a[first + t][i]);
    EXPECT_NEAR(incr[first + t], 1.0 + 2.0 * a[i][first + t], 1e-15 * s);
  }
  for (int t = 0; t < first; ++t) EXPECT_EQ(incr[t], 1.0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SymSizeTest, ::testing::Values(1, 2, 5, 7, 17, 64));

// ---------------------------------------------------------------------------------------
// Sweep tolerance and argument checks

TEST(SymSweepTest, PivotExactlyAtToleranceIsRefused) {
  MCSymMatrix m(2);
  m.SetElem(0, 0, 0.25);
  m.SetElem(1, 0, 0.125);
  m.SetElem(1, 1, 2.0);
  const std::vector<double> ref = {1.0, 1.0};
  MCBitSet swept(2);
  const auto before = m.AsVectorConst();
  EXPECT_FALSE(m.Sweep(0, 0.25, ref, swept, true));
  EXPECT_EQ(m.AsVectorConst(), before);
  EXPECT_EQ(swept.InSet(), 0);
  EXPECT_TRUE(m.Sweep(0, 0.2499999, ref, swept, true));
  EXPECT_TRUE(swept.IsIn(0));
}

TEST(SymSweepTest, CollinearColumnIsRefusedByThePivotTest) {
  // Columns 1, x, 2x + 1: the third is an exact combination of the first two.
  MCSymMatrix m(3);
  for (double x : {0.5, 1.0, 2.0, 3.5, 7.0}) ASSERT_TRUE(m.UpdateXX({1.0, x, 2 * x + 1}, 1.0));
  std::vector<double> ref;
  m.GetDiagonal(ref);
  MCBitSet swept(3);
  ASSERT_TRUE(m.Sweep(0, 1e-10, ref, swept, true));
  ASSERT_TRUE(m.Sweep(1, 1e-10, ref, swept, true));
  const auto before = m.AsVectorConst();
  EXPECT_FALSE(m.Sweep(2, 1e-10, ref, swept, true));
  EXPECT_EQ(m.AsVectorConst(), before);
  EXPECT_FALSE(swept.IsIn(2));
}

TEST(SymSweepTest, ConditioningTestRefusesAPivotThatInflatesASweptRow) {
  // Correlations: rows 0 and 1 strongly related, row 2 mildly related to row 0 only.
  const Dense r = {{1.0, 0.9, 0.4}, {0.9, 1.0, 0.0}, {0.4, 0.0, 1.0}};
  const Dense inv = Inverse(r), inv01 = Inverse({{1.0, 0.9}, {0.9, 1.0}});
  // Row 2 passes the pivot test after rows 0 and 1 when 1 / inv[2][2] > tol, while the
  // scaled inverse diagonal of row 0 then reaches 1 / tol when inv[0][0] >= 1 / tol.
  // Between the two lies a tol at which rows 0 and 1 still sweep but row 2 is refused.
  const double lo = 1.0 / inv[0][0], hi = std::min(1.0 / inv[2][2], 1.0 / inv01[0][0]);
  ASSERT_LT(lo, hi);
  const double tol = std::sqrt(lo * hi);
  ASSERT_GT(1.0 / inv[2][2], tol);
  MCSymMatrix m = FromDense(r);
  const std::vector<double> ref = {1.0, 1.0, 1.0};
  MCBitSet swept(3);
  ASSERT_TRUE(m.Sweep(0, tol, ref, swept, true));
  ASSERT_TRUE(m.Sweep(1, tol, ref, swept, true));
  const auto before = m.AsVectorConst();
  EXPECT_FALSE(m.Sweep(2, tol, ref, swept, true));
  EXPECT_EQ(m.AsVectorConst(), before);
  EXPECT_FALSE(swept.IsIn(2));
  EXPECT_TRUE(m.Sweep(2, lo / 2, ref, swept, true));
}

TEST(SymSweepTest, ArgumentChecks) {
  MCSymMatrix m = FromDense({{4.0, 1.0}, {1.0, 3.0}});
  const auto before = m.AsVectorConst();
  MCBitSet swept(2);
  // A negative reference entry elsewhere fails the checked call although the pivot is good.
  EXPECT_FALSE(m.Sweep(0, 1e-8, {4.0, -3.0}, swept, true));
  EXPECT_FALSE(m.Sweep(0, 0.0, {4.0, 3.0}, swept, true));
  EXPECT_FALSE(m.Sweep(2, 1e-8, {4.0, 3.0}, swept, false));
  EXPECT_FALSE(m.Sweep(-1, 1e-8, {4.0, 3.0}, swept, false));
  EXPECT_FALSE(m.Sweep(0, 1e-8, {4.0}, swept, false));
  MCBitSet shortSet(1);
  EXPECT_FALSE(m.Sweep(0, 1e-8, {4.0, 3.0}, shortSet, false));
  EXPECT_EQ(m.AsVectorConst(), before);
  EXPECT_EQ(swept.InSet(), 0);
  EXPECT_TRUE(m.Sweep(0, 1e-8, {4.0, -3.0}, swept, false));
}

TEST(SymSweepTest, UncheckedNegativeToleranceCountsAsZero) {
  const std::vector<double> ref = {1.0};
  for (double d : {0.0, -0.5}) {
    MCSymMatrix m(1);
    m.SetElem(0, 0, d);
    MCBitSet swept(1);
    EXPECT_FALSE(m.Sweep(0, -1.0, ref, swept, false)) << d;
    EXPECT_EQ(m.GetElem(0, 0), d);
  }
  MCSymMatrix m(1);
  m.SetElem(0, 0, 1e-300);
  MCBitSet swept(1);
  EXPECT_TRUE(m.Sweep(0, -1.0, ref, swept, false));
}

// ---------------------------------------------------------------------------------------
// Regression coefficients

class SymRegressionTest : public ::testing::Test {
 protected:
  // Rows (1, x1, x2, [x1 + x2,] y) with y = 1.5 + 2 x1 - 0.5 x2 + noise.
  MCSymMatrix Accumulate(bool collinear, double noise, Dense* design, std::vector<double>* ys) {
    std::mt19937_64 g(99);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    MCSymMatrix m(collinear ? 5 : 4);
    for (int r = 0; r < 20; ++r) {
      const double x1 = r * 0.3 + u(g), x2 = std::cos(r) * 3 + u(g);
      const double y = 1.5 + 2 * x1 - 0.5 * x2 + noise * u(g);
      std::vector<double> z = {1.0, x1, x2};
      if (collinear) z.push_back(x1 + x2);
      if (design) design->push_back(z);
      if (ys) ys->push_back(y);
      z.push_back(y);
      EXPECT_TRUE(m.UpdateXX(z, 1.0 + (r % 3)));
    }
    return m;
  }
  MCBitSet SweepAll(MCSymMatrix& m) {
    std::vector<double> ref;
    m.GetDiagonal(ref);
    MCBitSet swept(m.GetNRows());
    for (int k = 0; k + 1 < m.GetNRows(); ++k) m.Sweep(k, 1e-10, ref, swept, false);
    return swept;
  }
};

TEST_F(SymRegressionTest, MatchesNormalEquationsAndZeroesTheRedundantColumn) {
  Dense x;
  std::vector<double> y;
  Accumulate(false, 0.7, &x, &y);
  // Weighted normal equations X'WX b = X'Wy, solved with the dense inverse.
  Dense xtx(3, std::vector<double>(3, 0.0)), xty(3, std::vector<double>(1, 0.0));
  for (size_t r = 0; r < x.size(); ++r) {
    const double w = 1.0 + (r % 3);
    for (int i = 0; i < 3; ++i) {
      xty[i][0] += w * x[r][i] * y[r];
      for (int j = 0; j < 3; ++j) xtx[i][j] += w * x[r][i] * x[r][j];
    }
  }
  const Dense want = Mul(Inverse(xtx), xty);
  for (bool collinear : {false, true}) {
    MCSymMatrix m = Accumulate(collinear, 0.7, nullptr, nullptr);
    const MCBitSet swept = SweepAll(m);
    EXPECT_EQ(swept.InSet(), 3);
    std::vector<double> b;
    ASSERT_TRUE(m.GetRegCoeffs(b, swept));
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(b[i], want[i][0], 1e-9) << i;
    if (collinear) {
      EXPECT_EQ(b[3], 0.0);
    }
  }
  // Without noise the generating coefficients come back.
  MCSymMatrix m = Accumulate(false, 0.0, nullptr, nullptr);
  std::vector<double> b;
  ASSERT_TRUE(m.GetRegCoeffs(b, SweepAll(m)));
  EXPECT_NEAR(b[0], 1.5, 1e-10);
  EXPECT_NEAR(b[1], 2.0, 1e-10);
  EXPECT_NEAR(b[2], -0.5, 1e-10);
  EXPECT_FALSE(m.GetRegCoeffs(b, MCBitSet(2)));
  EXPECT_TRUE(MCSymMatrix(1).GetRegCoeffs(b, MCBitSet()));
  EXPECT_TRUE(b.empty());
}

// ---------------------------------------------------------------------------------------
// Construction, shape and edge cases

TEST(SymShapeTest, ConstructionAndBlocks) {
  const MCSymMatrixData empty;
  EXPECT_TRUE(empty.AsVectorConst().empty());
  EXPECT_EQ(empty.GetElem(0, 0), -1.7976931348623157e308);
  const MCSymMatrixData zeroBlocks(3, 0);
  EXPECT_EQ(zeroBlocks.GetNRows(), 0);
  EXPECT_EQ(zeroBlocks.GetNBlocks(), 0);
  EXPECT_EQ(zeroBlocks.GetBlockSize(), 0);
  EXPECT_EQ(MCSymMatrixData(-4).GetNRows(), 0);
  const MCSymMatrixData huge(INT_MAX);
  EXPECT_FALSE(huge.IsValidMatrix());
  EXPECT_EQ(huge.GetNRows(), -1);
  EXPECT_TRUE(huge.AsVectorConst().empty());

  MCSymMatrix blocks(2, 3);
  ASSERT_EQ(blocks.GetNRows(), 6);
  for (int p = 0; p < 21; ++p) blocks.SetElem(p, p + 1.0);
  EXPECT_EQ(blocks.GetElem(1, 0, 2, 1), blocks.GetElem(5, 1));
  EXPECT_EQ(blocks.GetElem(0, 1, 1, 2), blocks.GetElem(5, 1));
  EXPECT_TRUE(MCMV::IsMissing(blocks.GetElem(0, 0, 3, 0)));
  EXPECT_TRUE(MCMV::IsMissing(blocks.GetElem(2, 0, 0, 0)));
  const std::vector<double> v = {1, 2, 3}, w = {-1, 0.5, 2};
  double want = 0;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) want += v[r] * blocks.GetElem(1, 0, r, c) * w[c];
  EXPECT_DOUBLE_EQ(blocks.ComputeBlockVSW(1, 0, v, w), want);
  EXPECT_TRUE(MCMV::IsMissing(blocks.ComputeBlockVSW(1, 0, v, {1.0})));

  const auto before = blocks.AsVectorConst();
  MCSymMatrix four(4);
  EXPECT_FALSE(four.SetNBlocks(3));
  EXPECT_FALSE(four.SetNBlocks(0));
  EXPECT_TRUE(blocks.SetNBlocks(3));
  EXPECT_EQ(blocks.GetBlockSize(), 2);
  EXPECT_EQ(blocks.AsVectorConst(), before);
  EXPECT_FALSE(MCSymMatrix().SetNBlocks(1));
}

TEST(SymShapeTest, ResizeExtractExpand) {
  MCSymMatrix m = FromDense({{1, 2, 4}, {2, 3, 5}, {4, 5, 6}});
  MCSymMatrix grown = m;
  ASSERT_TRUE(grown.Resize(4));
  EXPECT_EQ(grown.GetElem(2, 1), 5.0);
  EXPECT_EQ(grown.GetElem(3, 0), 0.0);
  MCSymMatrix lead;
  m.ExtractFirstNRows(lead);
  EXPECT_EQ(ToDense(lead), (Dense{{1, 2}, {2, 3}}));
  MCSymMatrix(1).ExtractFirstNRows(lead);
  EXPECT_EQ(lead.GetNRows(), 0);

  MCSymMatrix sub;
  ASSERT_TRUE(m.ExtractSubmatrix({2, 0}, sub));
  EXPECT_EQ(ToDense(sub), (Dense{{6, 4}, {4, 1}}));
  EXPECT_FALSE(m.ExtractSubmatrix({0, 3}, sub));
  EXPECT_EQ(sub.GetNRows(), 2);

  MCBitSet mask(5);
  mask.Set(1);
  mask.Set(3);
  mask.Set(4);
  MCSymMatrix big;
  m.Expand(mask, big);
  ASSERT_EQ(big.GetNRows(), 5);
  MCSymMatrix back;
  ASSERT_TRUE(big.ExtractSubmatrix({1, 3, 4}, back));
  EXPECT_EQ(back.AsVectorConst(), m.AsVectorConst());
  EXPECT_EQ(big.Trace(), m.Trace());  // everything else is zero

  MCSymMatrix target(4);
  EXPECT_FALSE(target.ReplaceFirstRows(m, 4));
  EXPECT_TRUE(target.ReplaceFirstRows(m, 2));
  EXPECT_EQ(target.GetElem(1, 0), 2.0);
  EXPECT_EQ(target.GetElem(2, 0), 0.0);

  ASSERT_TRUE(m.SetNRows(2));
  EXPECT_EQ(m.AsVectorConst(), std::vector<double>(3, 0.0));
  m.SetNRows(-3);
  EXPECT_EQ(m.GetNRows() + m.GetNBlocks() + m.GetBlockSize(), 0);
}

TEST(SymShapeTest, WritesRefuseOutOfRangeAndChangeNothing) {
  MCSymMatrix m = FromDense({{1, 2}, {2, 3}});
  const auto before = m.AsVectorConst();
  EXPECT_FALSE(m.SetElem(2, 0, 9.0));
  EXPECT_FALSE(m.SetElem(0, -1, 9.0));
  EXPECT_FALSE(m.SetElem(3, 9.0));
  EXPECT_FALSE(m.SetElem(-1, 9.0));
  EXPECT_FALSE(m.PutRow(0, {1.0}));
  EXPECT_FALSE(m.PutRow(2, {1.0, 1.0}));
  EXPECT_FALSE(m.SetRowColToConst(2, 9.0));
  EXPECT_FALSE(m.ZeroOut(-1));
  EXPECT_FALSE(m.UpdateXX({1.0, 1.0}, 0.0));
  EXPECT_FALSE(m.UpdateXX({1.0}, 1.0));
  EXPECT_FALSE(m.UpdateXXSparse(2, {0}, {1.0}, 1.0));
  EXPECT_FALSE(m.ComputeAXpY(1.0, MCSymMatrix(3)));
  EXPECT_EQ(m.AsVectorConst(), before);
  std::vector<double> row;
  EXPECT_FALSE(m.GetRow(2, row));
  EXPECT_TRUE(MCMV::IsMissing(m.ComputeVSV({1.0})));
  EXPECT_TRUE(MCMV::IsMissing(m.ComputeVSWParts({1.0, 1.0}, 1, {1.0}, 0)));
  EXPECT_TRUE(MCMV::IsMissing(m.SquareRootVSV({2.0, -1.0})));  // vSv = -1

  ASSERT_TRUE(m.PutRow(1, {7.0, 8.0}));
  EXPECT_EQ(ToDense(m), (Dense{{1, 7}, {7, 8}}));
  ASSERT_TRUE(m.UpdateXXPosNegW({1.0, 2.0}, -1.0));
  EXPECT_EQ(ToDense(m), (Dense{{0, 5}, {5, 4}}));
  ASSERT_TRUE(m.SetElem(0, 1, 3.0));
  EXPECT_EQ(m.GetElem(1, 0), 3.0);
}

TEST(SymCleanupTest, ZeroingAndCorrelationRules) {
  MCSymMatrix m = FromDense({{0, 1, 2, 1}, {1, 1, 1, 1}, {2, 1, 1e-9, 1}, {1, 1, 1, 4}});
  m.ZeroOutRowsForSmallDiag(1e-6);  // row 0: running max 0; row 2: 1e-9 / 1 < tol
  EXPECT_EQ(ToDense(m), (Dense{{0, 0, 0, 0}, {0, 1, 0, 1}, {0, 0, 0, 0}, {0, 1, 0, 4}}));

  MCSymMatrix c = FromDense({{1, 1.0, -1.2}, {1.0, 1, 0.5}, {-1.2, 0.5, 1}});
  EXPECT_FALSE(c.AdjustOffDiagCorr(1.5));
  EXPECT_FALSE(c.AdjustOffDiagCorr(-0.1));
  ASSERT_TRUE(c.AdjustOffDiagCorr(0.01));
  EXPECT_EQ(ToDense(c), (Dense{{1, 0.99, -0.99}, {0.99, 1, 0.5}, {-0.99, 0.5, 1}}));

  MCSymMatrix t = FromDense({{100, 0.5, -3}, {0.5, 4, 0.01}, {-3, 0.01, 0.2}});
  MCBitSet keep(3);
  keep.Set(0);
  keep.Set(2);
  EXPECT_FALSE(t.ZeroOutRedundant(MCBitSet(2)));
  ASSERT_TRUE(t.ZeroOutRedundant(keep));
  MCBitSet only1(3);
  only1.Set(1);
  EXPECT_TRUE(t.IsZeroRow(1, keep));
  EXPECT_TRUE(t.IsZeroRow(0, only1));
  EXPECT_FALSE(t.IsZeroRow(0, keep));
  EXPECT_FALSE(t.IsZeroRow(1, MCBitSet()));
}

TEST(SymCleanupTest, DiagonalQueries) {
  MCSymMatrix m = FromDense({{3, -7}, {-7, -2}});
  double hi = 0, lo = 0, hiO = 0, loO = 0;
  ASSERT_TRUE(m.MaxMinDiag(hi, lo));
  EXPECT_EQ(hi, 3.0);
  EXPECT_EQ(lo, -2.0);
  ASSERT_TRUE(m.MaxMinDiagOffDiag(hi, lo, hiO, loO));
  EXPECT_EQ(hiO, -7.0);
  EXPECT_EQ(loO, -7.0);
  MCSymMatrix one = FromDense({{5}});
  ASSERT_TRUE(one.MaxMinDiagOffDiag(hi, lo, hiO, loO));
  EXPECT_EQ(hiO, -1.7976931348623157e308);
  EXPECT_EQ(loO, 1.7976931348623157e308);
  hi = 42;
  EXPECT_FALSE(MCSymMatrix().MaxMinDiag(hi, lo));
  EXPECT_EQ(hi, 42.0);
}

TEST(SymDisplayTest, LabelsAreExact) {
  std::ostringstream out;
  MCCommon::MCComponentDisplay::SetOutStream(out);
  const MCSymMatrix m = FromDense({{1, 2}, {2, 3}});
  m.Display();
  m.DisplayF();
  MCCommon::MCComponentDisplay::SetOutStream(std::cout);
  const std::string s = out.str();
  EXPECT_EQ(s.find("\nMCSymMatrixData display start\nThe number of rows = 2\nThe number of "
                   "blocks = 1\nThe block size = 2\nLower triangular (size = 3)"),
            0u);
  EXPECT_NE(s.find(" 1 2 3\nMCSymMatrixData display end\n"), std::string::npos);
  EXPECT_NE(s.find("\nMCSymMatrix full matrix display start\nNumber of rows = 2\nrow 0: 1, "
                   "2\nrow 1: 2, 3"),
            std::string::npos);
}

}  // namespace
