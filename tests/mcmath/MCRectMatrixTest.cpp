#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include "MCBitSet.h"
#include "MCMV.h"
#include "MCRectMatrix.h"
#include "MCSymMatrix.h"
#include "MatrixTestUtil.h"

using MCCommonMath::MCBitSet;
using MCCommonMath::MCRectMatrix;
using MCCommonMath::MCSymMatrix;

namespace {

using Dense = mctest::Rows;
using mctest::ExpectNear;
using mctest::Mul;
using mctest::ToRows;
using mctest::Trans;
using mctest::Zeros;

Dense Random(std::mt19937_64& g, int r, int c) { return mctest::RandomRows(g, r, c); }
MCSymMatrix RandomSym(std::mt19937_64& g, int n) {
  return mctest::Sym(mctest::RandomRows(g, n, n));
}

// n x p matrix whose columns in `dependent` are combinations of the earlier columns.
Dense WithDependentColumns(std::mt19937_64& g, int n, int p, const std::vector<int>& dependent) {
  Dense d = Random(g, n, p);
  for (int j : dependent)
    for (int i = 0; i < n; ++i) d[i][j] = 2.0 * d[i][0] - 0.5 * d[i][j - 1];
  return d;
}

class RectShapes : public ::testing::TestWithParam<std::tuple<int, int>> {
 protected:
  std::mt19937_64 g{7};
  int r = std::get<0>(GetParam());
  int c = std::get<1>(GetParam());
};

TEST_P(RectShapes, ProductsAndNormsMatchDense) {
  const Dense a = Random(g, r, c), b = Random(g, c, 3), bt = Random(g, 4, c);
  const MCRectMatrix A = mctest::Rect(a);
  MCRectMatrix out;
  ASSERT_TRUE(A.ComputeMatrixProduct(mctest::Rect(b), out));
  ExpectNear(ToRows(out), Mul(a, b), 1e-12);
  ASSERT_TRUE(A.ComputeProductMatrixTrans(mctest::Rect(bt), out));
  ExpectNear(ToRows(out), Mul(a, Trans(bt)), 1e-12);

  const Dense v = Random(g, 1, c);
  std::vector<double> rv, vr;  // v R is RankTools' (the normal equations' right side)
  ASSERT_TRUE(A.ComputeRV(v[0], rv));
  ExpectNear({rv}, Trans(Mul(a, Trans(v))), 1e-12);
  EXPECT_FALSE(A.ComputeRV(std::vector<double>(c + 1), rv));
  EXPECT_FALSE(A.ComputeVR(std::vector<double>(r + 1), vr));

  const Dense ata = Mul(Trans(a), a), aat = Mul(a, Trans(a));
  EXPECT_NEAR(A.DotProductCol(0, c - 1), ata[0][c - 1], 1e-12);
  EXPECT_NEAR(A.ColNorm(c - 1), std::sqrt(ata[c - 1][c - 1]), 1e-12);
  EXPECT_NEAR(A.RowNorm(r - 1), std::sqrt(aat[r - 1][r - 1]), 1e-12);
  EXPECT_NEAR(A.DotProductRowCol(r - 1, mctest::Rect(b), 2), Mul(a, b)[r - 1][2], 1e-12);
}

TEST_P(RectShapes, SymmetricRectangularProductsMatchDense) {
  const Dense a = Random(g, r, c);
  const MCRectMatrix A = mctest::Rect(a);
  const MCSymMatrix S = RandomSym(g, c), T = RandomSym(g, r);
  const Dense s = ToRows(S), t = ToRows(T), at = Trans(a);

  MCRectMatrix rs;
  MCSymMatrix out;
  ASSERT_TRUE(S.ComputeRSRTrans(A, out));  // through R S
  ExpectNear(ToRows(out), Mul(Mul(a, s), at), 1e-11);
  ASSERT_TRUE(T.ComputeRTransSR(A, out));
  ExpectNear(ToRows(out), Mul(Mul(at, t), a), 1e-11);

  const MCSymMatrix S2 = RandomSym(g, c);
  ASSERT_TRUE(S.ComputeSS(S2, rs));
  ExpectNear(ToRows(rs), Mul(s, ToRows(S2)), 1e-12);

  EXPECT_NEAR(T.ComputeVSV(A, c - 1), Mul(Mul(at, t), a)[c - 1][c - 1], 1e-11);

  const Dense b = Random(g, r, 2);
  Dense ab = a;
  for (int i = 0; i < r; ++i) ab[i].insert(ab[i].end(), b[i].begin(), b[i].end());
  MCSymMatrix acc(c + 2);
  ASSERT_TRUE(acc.UpdateXXMat2(A, mctest::Rect(b), 0.5));
  ASSERT_TRUE(acc.UpdateXXMat2(A, mctest::Rect(b), 0.5));
  ExpectNear(ToRows(acc), Mul(Trans(ab), ab), 1e-12);

  EXPECT_FALSE(MCSymMatrix(c + 1).ComputeRS(A, rs));
  EXPECT_FALSE(MCSymMatrix(r + 1).ComputeRTransSR(A, out));
  EXPECT_FALSE(acc.UpdateXXMat2(A, mctest::Rect(Random(g, r, 3)), 1.0));
  EXPECT_FALSE(acc.UpdateXXMat2(A, MCRectMatrix(r + 1, 2), 1.0));
  EXPECT_EQ(S.ComputeVSV(A, c), MCMV::Missing());
}

INSTANTIATE_TEST_SUITE_P(Shapes, RectShapes,
                         ::testing::Values(std::make_tuple(1, 1), std::make_tuple(2, 3),
                                           std::make_tuple(5, 2), std::make_tuple(30, 5),
                                           std::make_tuple(4, 30)));

// The rank tools square their tolerance (they factor cross products).
constexpr double kRankTol = 1e-6;

class RankTools : public ::testing::TestWithParam<std::tuple<int, int, std::vector<int>>> {
 protected:
  std::mt19937_64 g{11};
  int n = std::get<0>(GetParam());
  int p = std::get<1>(GetParam());
  std::vector<int> dep = std::get<2>(GetParam());
  Dense x = WithDependentColumns(g, n, p, dep);
  MCRectMatrix X = mctest::Rect(x);
  bool IsDep(int j) const { return std::count(dep.begin(), dep.end(), j) > 0; }
};

TEST_P(RankTools, RedundantColumnsAndRowsAreFound) {
  MCBitSet nonRed;
  ASSERT_EQ(X.FindRedundancies(kRankTol, nonRed, false), static_cast<int>(dep.size()));
  std::vector<int> expected;
  for (int j = 0; j < p; ++j) {
    EXPECT_EQ(nonRed.IsIn(j), !IsDep(j)) << j;
    if (!IsDep(j)) expected.push_back(j);
  }
  std::vector<int> idx;
  MCRectMatrix full;  // the columns FindNonRedunIndices names
  ASSERT_EQ(X.ExtractFullRank(kRankTol, full, idx, false), static_cast<int>(expected.size()));
  EXPECT_EQ(idx, expected);
  ASSERT_EQ(full.GetNCols(), static_cast<int>(expected.size()));
  for (size_t k = 0; k < expected.size(); ++k)
    for (int i = 0; i < n; ++i) EXPECT_EQ(full.GetElem(i, int(k)), x[i][expected[k]]);

  MCRectMatrix xt(X);
  xt.Transpose();
  EXPECT_EQ(xt.FindRedundancies(kRankTol, nonRed, true), static_cast<int>(dep.size()));
  ASSERT_EQ(xt.ExtractFullRank(kRankTol, full, idx, true), static_cast<int>(expected.size()));
  EXPECT_EQ(idx, expected);
  EXPECT_EQ(full.GetNRows(), static_cast<int>(expected.size()));
}

TEST_P(RankTools, ResidualsAreOrthogonalToTheColumns) {
  const Dense y = Random(g, n, 3);
  MCRectMatrix Y = mctest::Rect(y);
  // Column 2 of Y lies in the span of X: its residual vanishes.
  for (int i = 0; i < n; ++i) Y.SetElem(i, 2, x[i][0] - 3.0 * x[i][p - 1]);
  MCBitSet nonRedX, nonZero;
  ASSERT_TRUE(Y.ResidOfOrthProjection(X, 1e-10, nonRedX, nonZero));
  ASSERT_EQ(nonRedX.Size(), p);
  for (int j = 0; j < p; ++j) EXPECT_EQ(nonRedX.IsIn(j), !IsDep(j));
  for (int k = 0; k < p; ++k)
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(Y.DotProductColCol(i, X, k), 0.0, 1e-9);
  EXPECT_FALSE(nonZero.IsIn(2));
  EXPECT_EQ(nonZero.IsIn(0), n > p - static_cast<int>(dep.size()));
  // Y minus the residual is in the span: projecting that again leaves nothing.
  MCRectMatrix fitted = mctest::Rect(y);
  for (int i = 0; i < 2; ++i) fitted.AddToColumn(i, Y, i, -1.0);
  ASSERT_TRUE(fitted.ResidOfOrthProjection(X, 1e-10, nonRedX, nonZero));
  for (int i = 0; i < 2; ++i) EXPECT_LT(fitted.ColNorm(i), 1e-9);
}

TEST_P(RankTools, GeneralisedInverseSolvesAndReproduces) {
  const Dense beta = Random(g, p, 1);
  std::vector<double> b(n), sol;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < p; ++j) b[i] += x[i][j] * beta[j][0];
  const int red = X.EstimateLinearGI(b, sol, 1e-10);
  ASSERT_GE(red, 0);
  if (n != p || !dep.empty()) {
    EXPECT_EQ(red, static_cast<int>(dep.size()));
  }
  std::vector<double> fit;
  ASSERT_TRUE(X.ComputeRV(sol, fit));
  for (int i = 0; i < n; ++i) EXPECT_NEAR(fit[i], b[i], 1e-10);
  for (int d : dep) EXPECT_EQ(sol[d], 0.0);

  // G column by column from unit right-hand sides; A G A = A.
  Dense gi = Zeros(p, n);
  for (int i = 0; i < n; ++i) {
    std::vector<double> e(n, 0.0);
    e[i] = 1.0;
    ASSERT_GE(X.EstimateLinearGI(e, sol, 1e-10), 0);
    for (int j = 0; j < p; ++j) gi[j][i] = sol[j];
  }
  ExpectNear(Mul(Mul(x, gi), x), x, 1e-8);
}

TEST_P(RankTools, RowsOfTheRowSpaceAreEstimable) {
  // H = I - Z'(ZZ')^-1 Z projects on the row space: the rows of Z span the null space of X.
  Dense z = Zeros(dep.size(), p), h = mctest::Identity(p);
  for (size_t k = 0; k < dep.size(); ++k) {
    z[k][dep[k]] += 1.0;
    z[k][0] -= 2.0;
    z[k][dep[k] - 1] += 0.5;
  }
  if (!dep.empty()) {
    const Dense proj = Mul(Mul(Trans(z), mctest::Inverse(Mul(z, Trans(z)))), z);
    for (int i = 0; i < p; ++i)
      for (int j = 0; j < p; ++j) h[i][j] -= proj[i][j];
  }
  const MCRectMatrix H = mctest::Rect(h);
  MCBitSet all(p);
  all.Resize(p, true);

  Dense l = Zeros(3, p);
  for (int j = 0; j < p; ++j) l[0][j] = x[0][j] - 2.0 * x[n - 1][j];  // row space; row 1 zero
  l[2] = x[n / 2];
  EXPECT_TRUE(mctest::Rect(l).IsEstimable(H, all, 1e-8));
  // A direction orthogonal to every row is not estimable.
  EXPECT_TRUE(dep.empty() || !mctest::Rect({z[0]}).IsEstimable(H, all, 1e-6));
  EXPECT_FALSE(mctest::Rect(l).IsEstimable(H, MCBitSet(p - 1), 1e-8));
  EXPECT_FALSE(mctest::Rect(l).IsEstimable(H, all, 0.0));
}

INSTANTIATE_TEST_SUITE_P(Dependent, RankTools,
                         ::testing::Values(std::make_tuple(1, 1, std::vector<int>{}),
                                           std::make_tuple(2, 2, std::vector<int>{1}),
                                           std::make_tuple(5, 5, std::vector<int>{}),
                                           std::make_tuple(5, 4, std::vector<int>{2}),
                                           std::make_tuple(30, 6, std::vector<int>{3, 5}),
                                           std::make_tuple(30, 30, std::vector<int>{4, 17})));

// Regular square systems are RankTools' (5, 5) case; a singular one is refused, the solution
// untouched.
TEST(MCRectMatrixSolve, SingularSquareSystemIsRefused) {
  const MCRectMatrix S = mctest::Rect({{1, 2}, {3, 6}});
  std::vector<double> sol{9, 9};
  EXPECT_FALSE(S.SolveLinearSquare({1, 3}, sol, 1e-12));
  EXPECT_EQ(sol, (std::vector<double>{9, 9}));
  EXPECT_FALSE(mctest::Rect({{1, 2}}).SolveLinearSquare({1}, sol, 1e-12));
  EXPECT_EQ(S.EstimateLinearGI({1, 3}, sol, 0.0), -1);
  EXPECT_EQ(MCRectMatrix().EstimateLinearGI({}, sol, 1e-8), -1);
}

TEST(MCRectMatrixEdge, EmptyMatrixAndOutOfRange) {
  EXPECT_EQ(MCRectMatrix().GetElem(0, 0), MCMV::Missing());
  EXPECT_EQ(MCRectMatrix(-2, 3).GetNRows(), 0);
  MCRectMatrix m = mctest::Rect({{1, 2, 3}, {4, 5, 6}}), out = m;
  std::vector<double> v{7};
  EXPECT_EQ(m.GetColPtr(3), nullptr);
  EXPECT_EQ(m.GetRowPtr(1)[0], 4.0);
  for (double x : {m.GetElem(2, 0), m.GetElem(0, -1), m.RowNorm(2), m.ColNorm(-1),
                   m.DotProductColCol(0, MCRectMatrix(3, 3), 0)})
    EXPECT_EQ(x, MCMV::Missing());
  EXPECT_EQ(m.FindFirstNonZeroInRow(0, 1.5), 1);
  int pivot = 7;
  double ratio = 5;
  MCBitSet a, b;
  // Every call below must refuse; their count of acceptances must stay 0.
  const int accepted = m.GetRow(2, v) + m.GetCol(-1, v) + m.SetElem(0, 3, 1.0) + m.IsRowZero(5) +
                       m.ZeroOutRowPart(0, 2, 1) + m.AddToColumn(0, MCRectMatrix(3, 1), 0, 1.0) +
                       m.CopyRowToRow(MCRectMatrix(1, 2), 0, 0) + m.CopyRows(m, 1, 2, 0) +
                       m.IncrVecByColumn(0, v, 0, 1, 1.0, true) + m.ExtractRows({0, 2}, out) +
                       m.ExtractColumns({-1}, out) + m.Expand(MCBitSet(5), true, out) +
                       m.CreateBlockDiagonal(0, out) + m.ZeroOutPivotRow(2, 1e-8, pivot) +
                       m.ColClean(3, 1e-8) + m.IsERowMultipleOfAnother(0, 2, 1, 1, ratio) +
                       m.ResidOfOrthProjection(MCRectMatrix(3, 2), 1e-8, a, b) +
                       m.ResidOfOrthProjection(MCRectMatrix(2, 2), 0.0, a, b);
  EXPECT_EQ(accepted, 0);
  EXPECT_EQ(pivot, -1);
  EXPECT_EQ(v, std::vector<double>{7});
  EXPECT_EQ(ToRows(out), ToRows(m));
  std::vector<int> idx;
  EXPECT_EQ(m.FindRedundancies(-1, a, false), -1);
  EXPECT_EQ(m.FindNonRedunIndices(-1, idx, true), -1);
  EXPECT_EQ(ToRows(m), (Dense{{1, 2, 3}, {4, 5, 6}}));
}

// Column 1 keeps 5% of its squared length off column 0: independent at tol 0.1, not at 0.3.
TEST(MCRectMatrixEdge, RedundancyToleranceActsOnSquaredLengths) {
  const double a = std::sqrt(0.05 / 0.95);
  const MCRectMatrix near = mctest::Rect({{1, 1}, {0, a}});
  MCBitSet nonRed;
  EXPECT_EQ(near.FindRedundancies(0.1, nonRed, false), 0);
  EXPECT_EQ(near.FindRedundancies(0.3, nonRed, false), 1);
  std::vector<int> idx;
  EXPECT_EQ(near.FindNonRedunIndices(0.1, idx, false), 2);
  EXPECT_EQ(near.FindNonRedunIndices(0.3, idx, false), 1);
  EXPECT_EQ(idx, std::vector<int>{0});
}

TEST(MCRectMatrixEdge, CheckForOnesAndColClean) {
  MCRectMatrix m = mctest::Rect({{0.995, -0.502, 0.97}, {-1.004, 0.49, 0.2}});
  m.CheckForOnes(0.01);
  EXPECT_EQ(ToRows(m), (Dense{{1, -0.5, 0.97}, {-1, 0.5, 0.2}}));

  MCRectMatrix c = mctest::Rect({{1.0, 1e-20}, {1e-13, 1e-21}, {-2.0, 0.0}});
  ASSERT_TRUE(c.ColClean(0, 1.0));  // 1e-13 is below 1e4 eps relative to the norm
  EXPECT_EQ(ToRows(c), (Dense{{1, 1e-20}, {0, 1e-21}, {-2, 0}}));
  ASSERT_TRUE(c.ColClean(1, 1.0));  // a negligible column is zeroed whole
  EXPECT_TRUE(c.IsColZero(1));
}

TEST(MCRectMatrixEdge, RowMultiplesPivotsAndColumnRedundancies) {
  const MCRectMatrix m = mctest::Rect({{0, 2, -4}, {0, 1, -2}, {0, 1, 2}, {0, 0, 0}});
  double ratio = 0;
  ASSERT_TRUE(m.IsERowMultipleOfAnother(0, 1, 6, 3, ratio));
  EXPECT_EQ(ratio, 2.0);
  EXPECT_FALSE(m.IsERowMultipleOfAnother(0, 1, 6, 2, ratio));  // extra values disagree
  EXPECT_FALSE(m.IsERowMultipleOfAnother(0, 2, 0, 0, ratio));
  EXPECT_FALSE(m.IsERowMultipleOfAnother(3, 1, 0, 0, ratio));  // zero extended row

  MCRectMatrix z = mctest::Rect({{0, 2, 3}, {1, 1, 1}});
  int pivot = -1;
  ASSERT_TRUE(z.ZeroOutPivotRow(0, 1e-8, pivot));
  EXPECT_EQ(pivot, 1);
  // Column 0 += 0 * col1, column 2 += 3 * col1, then column 1 zeroed.
  EXPECT_EQ(ToRows(z), (Dense{{0, 0, 9}, {1, 0, 4}}));

  const MCRectMatrix r = mctest::Rect({{1, 0, 5, 0}, {0, 3, 0, 0}, {0, 0, 0, 0}});
  MCBitSet in(4), out;
  in.SetSubset({0, 1, 3});
  int col = -2;
  EXPECT_TRUE(r.IsRowZeroButOne(1, in, col));
  EXPECT_EQ(col, 1);
  EXPECT_FALSE(r.IsRowZeroButOne(2, in, col));
  // Rows 0 and 1 are single within `in`: columns 0 and 1 cleared; column 3 zero, not counted.
  EXPECT_EQ(r.CheckAddColRedundancies(in, out), 0);
  EXPECT_EQ(out.Size(), 4);
  EXPECT_EQ(out.InSet(), 1);
  EXPECT_TRUE(out.IsIn(3));
  in.Set(2, true);
  EXPECT_EQ(r.CheckAddColRedundancies(in, out), 2);  // row 0 has two: columns 0 and 2 count
}

TEST(MCRectMatrixShape, ReshapingAndCopies) {
  MCRectMatrix m = mctest::Rect({{1, 2}, {3, 4}, {5, 6}});
  EXPECT_EQ(m.AddColumn(), 3);
  EXPECT_EQ(m.AddRow(), 4);
  ASSERT_TRUE(m.Resize(2, 3));
  EXPECT_EQ(ToRows(m), (Dense{{1, 2, 0}, {3, 4, 0}}));
  ASSERT_TRUE(m.Resize(3, 2));  // no re-layout: leading elements kept in order
  ASSERT_TRUE(m.ColScale(1, -2.0));
  ASSERT_TRUE(m.ZeroOutRowPart(2, 0, 0));
  EXPECT_EQ(ToRows(m), (Dense{{1, -4}, {0, -6}, {0, 0}}));

  MCRectMatrix s = mctest::Rect({{1, 2}, {3, 4}, {5, 6}, {7, 8}});
  ASSERT_TRUE(s.CopyRows(s, 0, 3, 1));  // overlapping, moving down
  EXPECT_EQ(ToRows(s), (Dense{{1, 2}, {1, 2}, {3, 4}, {5, 6}}));
  ASSERT_TRUE(s.ShiftRows(2, -1));
  ASSERT_TRUE(s.ShiftRows(0, 2));
  ASSERT_TRUE(s.ShiftColumns(1, -1));
  EXPECT_EQ(ToRows(s), (Dense{{0, 0}, {0, 0}, {2, 0}, {4, 0}}));

  MCRectMatrix t = mctest::Rect({{1, 2, 3}, {4, 5, 6}}), u(3, 2);
  ASSERT_TRUE(u.CopyColToRow(t, 2, 1));
  EXPECT_EQ(ToRows(u), (Dense{{0, 0}, {3, 6}, {0, 0}}));
  std::vector<double> v{-1};
  ASSERT_TRUE(t.CopyColToVec(1, v, 2));
  ASSERT_TRUE(t.IncrVecByColumn(0, v, 1, 1, 2.0, true));
  EXPECT_EQ(v, (std::vector<double>{-1, 8, 2, 5}));

  // Expand is the inverse of extraction on the mask's positions.
  MCBitSet mask(5);
  mask.SetSubset({1, 4});
  MCRectMatrix e, back;
  ASSERT_TRUE(t.Expand(mask, true, e));
  ASSERT_TRUE(e.ExtractRows({1, 4}, back));
  EXPECT_EQ(ToRows(back), ToRows(t));
  EXPECT_TRUE(e.IsRowZero(0) && e.IsRowZero(2) && e.IsRowZero(3));
  mask.Set(2);
  ASSERT_TRUE(t.Expand(mask, false, e));
  ASSERT_TRUE(e.ExtractColumns({1, 2, 4}, back));
  EXPECT_EQ(ToRows(back), ToRows(t));
  ASSERT_TRUE(mctest::Rect({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}).ExpandSquare(mask, e));
  EXPECT_EQ(e.GetElem(4, 2), 8.0);
  ASSERT_TRUE(t.CreateBlockDiagonal(2, e));
  EXPECT_EQ(ToRows(e)[3], (std::vector<double>{0, 0, 0, 4, 5, 6}));
}

TEST(MCSymMatrixRect, ExpansionExtractionAndRowCopies) {
  const MCSymMatrix s = mctest::Sym({{1}, {11, 12}, {21, 22, 23}});
  MCSymMatrix big(5);
  ASSERT_TRUE(s.ExpandSym(mctest::Rect({{4, -1, 0}}), big));
  EXPECT_EQ(big.GetElem(4, 0), s.GetElem(0, 2));
  EXPECT_EQ(big.GetElem(0, 0), s.GetElem(2, 2));
  EXPECT_EQ(big.GetElem(1, 1), 0.0);
  for (const Dense& bad : {Dense{{5, 0, 1}}, Dense{{1, 1, 2}}, Dense{{0.5, 1, 2}}})
    EXPECT_FALSE(s.ExpandSym(mctest::Rect(bad), big));  // beyond, repeated, not whole

  MCRectMatrix r(2, 4);
  ASSERT_TRUE(s.ExpandSymToRect(mctest::Rect({{1, -1, 0}, {3, 0, 2}}), r));
  EXPECT_EQ(ToRows(r), (Dense{{22, 0, 23, 21}, {11, 0, 21, 1}}));
  MCRectMatrix h;
  ASSERT_TRUE(s.ExtractH({2, 0}, {1}, h));
  EXPECT_EQ(ToRows(h), (Dense{{22}, {11}}));
  EXPECT_FALSE(s.ExtractH({3}, {0}, h));

  MCRectMatrix c(5, 2);
  ASSERT_TRUE(s.CopyRowToRColumn(1, c, 1, 2));
  EXPECT_EQ(Trans(ToRows(c))[1], (std::vector<double>{0, 0, 11, 12, 22}));
  EXPECT_FALSE(s.CopyRowToRColumn(1, c, 1, 3));
  EXPECT_FALSE(s.CopyRowToRColumn(3, c, 0, 0));
}

}  // namespace
