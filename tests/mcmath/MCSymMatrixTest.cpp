#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "MCBitSet.h"
#include "MCMV.h"
#include "MCSymMatrix.h"
#include "MatrixTestUtil.h"

using MCCommonMath::MCBitSet;
using MCCommonMath::MCSymMatrix;
using MCCommonMath::MCSymMatrixData;
using mctest::Rows;
using mctest::Sym;
using mctest::ToRows;

namespace {

const double kMaxDouble = 1.7976931348623157e308;

std::vector<double> RandomVec(std::mt19937_64& g, int n) { return mctest::RandomRows(g, 1, n)[0]; }

// B B' + n I: symmetric positive definite and reasonably conditioned.
Rows RandomSpd(std::mt19937_64& g, int n) {
  const Rows b = mctest::RandomRows(g, n, n);
  Rows a = mctest::Mul(b, mctest::Trans(b));
  for (int i = 0; i < n; ++i) a[i][i] += n;
  return a;
}

MCBitSet Bits(int n, const std::vector<int>& on) {
  MCBitSet s(n);
  for (int i : on) s.Set(i);
  return s;
}

class SymSizeTest : public ::testing::TestWithParam<int> {
 protected:
  int n_ = GetParam();
  std::mt19937_64 gen_{static_cast<unsigned long long>(1234 + GetParam())};
};

TEST_P(SymSizeTest, SweepTwiceRestoresAndSweepAllGivesMinusInverse) {
  const Rows a = RandomSpd(gen_, n_);
  MCSymMatrix m = Sym(a);
  std::vector<double> ref;
  m.GetDiagonal(ref);
  MCBitSet swept(n_);
  for (int k = 0; k < n_; ++k) ASSERT_TRUE(m.Sweep(k, 1e-12, ref, swept, true));
  EXPECT_EQ(swept.InSet(), n_);
  m.ChangeSign();
  mctest::ExpectNear(ToRows(m), mctest::Inverse(a), 1e-12);
  m.ChangeSign();
  for (int k = n_ - 1; k >= 0; --k) ASSERT_TRUE(m.Sweep(k, 1e-12, ref, swept, true));
  EXPECT_EQ(swept.InSet(), 0);
  mctest::ExpectNear(ToRows(m), a, 1e-12);
}

TEST_P(SymSizeTest, AccumulationVariantsAgree) {
  MCSymMatrix xx(n_), sparse(n_), posneg(n_);
  Rows want = mctest::Zeros(n_, n_);
  for (int r = 0; r < 6; ++r) {
    std::vector<double> x = RandomVec(gen_, n_);
    for (int i = r % 3; i < n_; i += 3) x[i] = 0.0;  // rows skipped by UpdateXX
    const double w = 0.5 + r;
    ASSERT_TRUE(xx.UpdateXX(x, w));
    ASSERT_TRUE(posneg.UpdateXXPosNegW(x, w));
    std::vector<int> idx = {-1, n_};  // outside the matrix: contribute nothing
    std::vector<double> val = {5.0, 99.0};
    for (int i = 0; i < n_; ++i)
      if (x[i] != 0.0) idx.push_back(i), val.push_back(x[i]);
    ASSERT_TRUE(sparse.UpdateXXSparse(int(idx.size()), idx, val, w));
    for (int i = 0; i < n_; ++i)
      for (int j = 0; j < n_; ++j) want[i][j] += w * x[i] * x[j];
  }
  mctest::ExpectNear(ToRows(xx), want, 1e-13);
  EXPECT_EQ(sparse.AsVectorConst(), xx.AsVectorConst());
  EXPECT_EQ(posneg.AsVectorConst(), xx.AsVectorConst());
}

TEST_P(SymSizeTest, ProductsMatchDenseArithmetic) {
  const Rows a = RandomSpd(gen_, n_), b = RandomSpd(gen_, n_), c = RandomSpd(gen_, n_);
  const MCSymMatrix m = Sym(a), m2 = Sym(b), m3 = Sym(c);
  const std::vector<double> v = RandomVec(gen_, n_), w = RandomVec(gen_, n_);
  const double s = 4e-12 * n_ * mctest::MaxAbs(mctest::ToDense(a).v);  // absolute tolerance
  const std::vector<double> av = mctest::MulV(a, v), aw = mctest::MulV(a, w);
  double vaw = 0, vav = 0;
  for (int i = 0; i < n_; ++i) vaw += v[i] * aw[i], vav += v[i] * av[i];
  EXPECT_NEAR(m.ComputeVSW(v, w), vaw, s);
  EXPECT_NEAR(m.SquareRootVSV(v), std::sqrt(vav), s);
  std::vector<double> lv;  // S v, L' v and L S L': the indefinite and eigen solvers' steps
  Rows l = a;
  for (int i = 0; i < n_; ++i)
    for (int j = i + 1; j < n_; ++j) l[i][j] = 0.0;
  ASSERT_TRUE(m.ComputeLV(v, lv));
  mctest::ExpectNear({lv}, {mctest::MulV(l, v)}, 1e-13 * n_);
  MCSymMatrix out;
  m.ComputeSTransS(out);
  mctest::ExpectNear(ToRows(out), mctest::Mul(a, a), 1e-12);

  double tr2 = 0, tr3 = 0;
  const Rows ab = mctest::Mul(a, b), abc = mctest::Mul(ab, c);
  for (int i = 0; i < n_; ++i) tr2 += ab[i][i], tr3 += abc[i][i];
  EXPECT_NEAR(m.TraceOfProduct(m2), tr2, 1e-12 * std::fabs(tr2));
  EXPECT_NEAR(m.TraceOfProductOfThree(m2, m3), tr3, 1e-12 * std::fabs(tr3));

  const MCSymMatrix g = Sym(mctest::Inverse(a));
  EXPECT_TRUE(m.CheckGMG(g, 1e-10));  // G M G = G, through ComputeGMG
  EXPECT_FALSE(m.CheckGMG(m2, 1e-10));

  const int i = n_ / 2, first = n_ / 3, cnt = n_ - first;
  EXPECT_NEAR(m.ComputeRVD(i, v.data(), n_), av[i], s);
  EXPECT_NEAR(m.ComputeRowDotProductS(i, v, n_), av[i], s);
  std::vector<double> vPart(v.begin(), v.begin() + cnt), wPart(w.begin(), w.begin() + cnt);
  double part = 0;
  for (int r = 0; r < cnt; ++r)
    for (int q = 0; q < cnt; ++q) part += vPart[r] * a[first + r][q] * wPart[q];
  EXPECT_NEAR(m.ComputeVSWParts(vPart, first, wPart, 0), part, s);
  std::vector<double> col, incr(n_, 1.0);
  ASSERT_TRUE(m.GetPCol(i, first, cnt, col, 2));
  ASSERT_TRUE(m.IncrVecByRow(i, incr, first, cnt, 2.0, true));
  for (int t = 0; t < cnt; ++t) {
    EXPECT_EQ(col[2 + t], a[first + t][i]);
    EXPECT_NEAR(incr[first + t], 1.0 + 2.0 * a[i][first + t], 1e-14 * n_);
  }
  for (int t = 0; t < first; ++t) EXPECT_EQ(incr[t], 1.0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SymSizeTest, ::testing::Values(1, 2, 5, 7, 17, 64));

TEST(SymSweepTest, ConditioningTestRefusesAPivotThatInflatesASweptRow) {
  // Correlations: rows 0 and 1 strongly related, row 2 mildly related to row 0 only.
  const Rows r = {{1.0, 0.9, 0.4}, {0.9, 1.0, 0.0}, {0.4, 0.0, 1.0}};
  const Rows inv = mctest::Inverse(r), inv01 = mctest::Inverse({{1.0, 0.9}, {0.9, 1.0}});
  // Row 2 passes the pivot test when 1 / inv[2][2] > tol, but inflates row 0's inverse diagonal
  // to 1 / tol when inv[0][0] >= 1 / tol: between the two, only row 2 is refused.
  const double lo = 1.0 / inv[0][0], hi = std::min(1.0 / inv[2][2], 1.0 / inv01[0][0]);
  ASSERT_LT(lo, hi);
  const double tol = std::sqrt(lo * hi);
  MCSymMatrix m = Sym(r);
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
  MCSymMatrix m = Sym({{4.0, 1.0}, {1.0, 3.0}});
  const auto before = m.AsVectorConst();
  MCBitSet swept(2), shortSet(1);
  // A negative reference entry elsewhere fails the checked call although the pivot is good.
  EXPECT_FALSE(m.Sweep(0, 1e-8, {4.0, -3.0}, swept, true));
  EXPECT_FALSE(m.Sweep(0, 0.0, {4.0, 3.0}, swept, true));
  EXPECT_FALSE(m.Sweep(2, 1e-8, {4.0, 3.0}, swept, false));
  EXPECT_FALSE(m.Sweep(0, 1e-8, {4.0}, swept, false));
  EXPECT_FALSE(m.Sweep(0, 1e-8, {4.0, 3.0}, shortSet, false));
  EXPECT_EQ(m.AsVectorConst(), before);
  EXPECT_EQ(swept.InSet(), 0);
  EXPECT_TRUE(m.Sweep(0, 1e-8, {4.0, -3.0}, swept, false));
  // Unchecked, a negative tolerance counts as zero: only a positive pivot sweeps.
  for (double d : {0.0, -0.5, 1e-300}) {
    MCSymMatrix one = Sym({{d}});
    MCBitSet s1(1);
    EXPECT_EQ(one.Sweep(0, -1.0, {1.0}, s1, false), d > 0) << d;
  }
}

TEST(SymShapeTest, ConstructionAndBlocks) {
  EXPECT_EQ(MCSymMatrixData().GetElem(0, 0), -kMaxDouble);
  EXPECT_EQ(MCSymMatrixData(3, 0).GetNRows(), 0);
  const MCSymMatrixData huge(INT_MAX);  // too large to allocate: invalid, not a crash
  EXPECT_FALSE(huge.IsValidMatrix());
  EXPECT_EQ(huge.GetNRows(), -1);

  MCSymMatrix blocks(2, 3);
  ASSERT_EQ(blocks.GetNRows(), 6);
  for (int p = 0; p < 21; ++p) blocks.SetElem(p, p + 1.0);
  EXPECT_EQ(blocks.GetElem(1, 0, 2, 1), blocks.GetElem(5, 1));
  EXPECT_EQ(blocks.GetElem(0, 1, 1, 2), blocks.GetElem(5, 1));
  EXPECT_TRUE(MCMV::IsMissing(blocks.GetElem(0, 0, 3, 0)));
  const std::vector<double> v = {1, 2, 3}, w = {-1, 0.5, 2};
  double want = 0;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) want += v[r] * blocks.GetElem(1, 0, r, c) * w[c];
  EXPECT_DOUBLE_EQ(blocks.ComputeBlockVSW(1, 0, v, w), want);
  EXPECT_TRUE(MCMV::IsMissing(blocks.ComputeBlockVSW(1, 0, v, {1.0})));
  EXPECT_FALSE(MCSymMatrix(4).SetNBlocks(3));
  EXPECT_TRUE(blocks.SetNBlocks(3));
  EXPECT_EQ(blocks.GetBlockSize(), 2);
}

TEST(SymShapeTest, ResizeExtractExpand) {
  MCSymMatrix m = Sym({{1, 2, 4}, {2, 3, 5}, {4, 5, 6}});
  MCSymMatrix grown = m, part;
  ASSERT_TRUE(grown.Resize(4));
  EXPECT_EQ(grown.AsVectorConst(), (std::vector<double>{1, 2, 3, 4, 5, 6, 0, 0, 0, 0}));
  m.ExtractFirstNRows(part);
  EXPECT_EQ(part.AsVectorConst(), (std::vector<double>{1, 2, 3}));
  ASSERT_TRUE(m.ExtractSubmatrix({2, 0}, part));
  EXPECT_EQ(part.AsVectorConst(), (std::vector<double>{6, 4, 1}));
  EXPECT_FALSE(m.ExtractSubmatrix({0, 3}, part));

  MCSymMatrix big;
  m.Expand(Bits(5, {1, 3, 4}), big);
  ASSERT_TRUE(big.ExtractSubmatrix({1, 3, 4}, part));
  EXPECT_EQ(part.AsVectorConst(), m.AsVectorConst());
  EXPECT_EQ(big.Trace(), m.Trace());  // everything else is zero

  MCSymMatrix target(4);
  EXPECT_FALSE(target.ReplaceFirstRows(m, 4));
  EXPECT_TRUE(target.ReplaceFirstRows(m, 2));
  EXPECT_EQ(target.AsVectorConst(), (std::vector<double>{1, 2, 3, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(SymShapeTest, WritesRefuseOutOfRangeAndChangeNothing) {
  MCSymMatrix m = Sym({{1, 2}, {2, 3}});
  const auto before = m.AsVectorConst();
  std::vector<double> row;
  // Every call below must refuse; their count of acceptances must stay 0.
  const int accepted = m.SetElem(2, 0, 9.0) + m.SetElem(0, -1, 9.0) + m.SetElem(3, 9.0) +
                       m.SetElem(-1, 9.0) + m.PutRow(0, {1.0}) + m.PutRow(2, {1.0, 1.0}) +
                       m.SetRowColToConst(2, 9.0) + m.ZeroOut(-1) + m.UpdateXX({1.0, 1.0}, 0.0) +
                       m.UpdateXX({1.0}, 1.0) + m.UpdateXXSparse(2, {0}, {1.0}, 1.0) +
                       m.ComputeAXpY(1.0, MCSymMatrix(3)) + m.GetRow(2, row);
  EXPECT_EQ(accepted, 0);
  EXPECT_EQ(m.AsVectorConst(), before);
  for (double x : {m.GetElem(-1, 0), m.GetElem(2, 0), m.GetElem(INT_MIN, 0), m.GetElem(0, 2),
                   m.ComputeVSV({1.0}), m.ComputeVSWParts({1.0, 1.0}, 1, {1.0}, 0),
                   m.SquareRootVSV({2.0, -1.0})})  // the last has vSv = -1
    EXPECT_TRUE(MCMV::IsMissing(x));
  ASSERT_TRUE(m.PutRow(1, {7.0, 8.0}));
  ASSERT_TRUE(m.UpdateXXPosNegW({1.0, 2.0}, -1.0));
  EXPECT_EQ(m.AsVectorConst(), (std::vector<double>{0, 5, 4}));
}

TEST(SymCleanupTest, ZeroingCorrelationAndDiagonalRules) {
  MCSymMatrix m = Sym({{0, 1, 2, 1}, {1, 1, 1, 1}, {2, 1, 1e-9, 1}, {1, 1, 1, 4}});
  m.ZeroOutRowsForSmallDiag(1e-6);  // row 0: running max 0; row 2: 1e-9 / 1 < tol
  EXPECT_EQ(m.AsVectorConst(), (std::vector<double>{0, 0, 1, 0, 0, 0, 0, 1, 0, 4}));

  MCSymMatrix c = Sym({{1, 0, 0}, {1.0, 1, 0}, {-1.2, 0.5, 1}});
  EXPECT_FALSE(c.AdjustOffDiagCorr(1.5));
  EXPECT_FALSE(c.AdjustOffDiagCorr(-0.1));
  ASSERT_TRUE(c.AdjustOffDiagCorr(0.01));
  EXPECT_EQ(c.AsVectorConst(), (std::vector<double>{1, 0.99, 1, -0.99, 0.5, 1}));

  MCSymMatrix t = Sym({{100, 0, 0}, {0.5, 4, 0}, {-3, 0.01, 0.2}});
  const MCBitSet keep = Bits(3, {0, 2});
  EXPECT_FALSE(t.ZeroOutRedundant(MCBitSet(2)));
  ASSERT_TRUE(t.ZeroOutRedundant(keep));
  EXPECT_TRUE(t.IsZeroRow(1, keep));
  EXPECT_TRUE(t.IsZeroRow(0, Bits(3, {1})));
  EXPECT_FALSE(t.IsZeroRow(0, keep));
  EXPECT_FALSE(t.IsZeroRow(1, MCBitSet()));

  double hi = 0, lo = 0, hiO = 0, loO = 0;
  ASSERT_TRUE(Sym({{3, 0}, {-7, -2}}).MaxMinDiagOffDiag(hi, lo, hiO, loO));
  EXPECT_EQ(std::vector<double>({hi, lo, hiO, loO}), std::vector<double>({3, -2, -7, -7}));
  ASSERT_TRUE(Sym({{5}}).MaxMinDiagOffDiag(hi, lo, hiO, loO));  // no off-diagonal
  EXPECT_EQ(loO, kMaxDouble);
  EXPECT_FALSE(MCSymMatrix().MaxMinDiag(hi, lo));
}

}  // namespace
