#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "MCBitSet.h"
#include "MCMathFun.h"
#include "MCSymMatrix.h"
#include "MatrixTestUtil.h"

using MCCommonMath::MCBitSet;
using MCCommonMath::MCMathFun;
using MCCommonMath::MCSymMatrix;
using mctest::MaxAbsDiff;
using mctest::Mul;
using mctest::MulV;
using mctest::Rows;
using mctest::Sym;
using mctest::ToRows;
using mctest::Trans;

namespace {

// X'X of a random (n+3) x n X; with dependent, its last row depends on the others.
Rows RandomGram(int n, bool dependent, unsigned seed) {
  std::mt19937_64 gen(seed);
  Rows x = mctest::RandomRows(gen, n + 3, n);
  if (dependent && n >= 2)
    for (auto& row : x) row[n - 1] = row[0] - 2.0 * row[n - 2];
  return Mul(Trans(x), x);
}

struct Case {
  int n;
  bool dependent;
};

class CholProperty : public ::testing::TestWithParam<Case> {};

TEST_P(CholProperty, FactorInverseSolversAndDeterminant) {
  const int n = GetParam().n, dep = GetParam().dependent && n >= 2 ? 1 : 0;
  const Rows a = RandomGram(n, GetParam().dependent, 17u + n);
  std::vector<double> diag(n);
  for (int i = 0; i < n; ++i) diag[i] = a[i][i];

  MCSymMatrix m = Sym(a);
  MCBitSet nonRed;
  ASSERT_EQ(m.LTChol(diag, 1e-10, nonRed, true), dep);
  EXPECT_EQ(nonRed.InSet(), n - dep);
  if (dep) {
    EXPECT_FALSE(nonRed.IsIn(n - 1));
    EXPECT_EQ(m.GetElem(n - 1, n - 1), 0.0);
  }
  Rows l = ToRows(m);
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) l[i][j] = 0.0;
  EXPECT_LT(MaxAbsDiff(Mul(l, Trans(l)), a), 1e-10 * n);
  m.LTLLTrans();
  EXPECT_LT(MaxAbsDiff(ToRows(m), a), 1e-10 * n);

  // The inverse is a generalised inverse, the same as the factor's inverse.
  MCSymMatrix g;
  double minPivot = 0.0;
  ASSERT_EQ(Sym(a).CholInverse(diag, 1e-10, g, minPivot), n - dep);
  EXPECT_EQ(minPivot == 0.0, dep == 1);
  const Rows gd = ToRows(g);
  EXPECT_LT(MaxAbsDiff(Mul(Mul(a, gd), a), a), 1e-10 * n);
  if (dep) {
    for (int j = 0; j < n; ++j) EXPECT_EQ(gd[n - 1][j], 0.0);
  } else {
    EXPECT_LT(MaxAbsDiff(Mul(gd, a), mctest::Identity(n)), 1e-8);
  }
  MCSymMatrix f = Sym(a);
  f.LTChol(diag, 1e-10, false);
  f.LTInverse();
  mctest::ExpectNear(ToRows(f), gd, 1e-12);

  std::mt19937_64 gen(3);
  std::vector<double> x0 = mctest::RandomRows(gen, 1, n)[0];
  if (dep) x0[n - 1] = 0.0;
  const std::vector<double> b = MulV(a, x0);
  m = Sym(a);
  std::vector<double> x, x2, xi, xg;
  ASSERT_EQ(m.LTSolve(b, 1e-10, x), dep);
  mctest::ExpectNear({x}, {x0}, 1e-8);
  ASSERT_EQ(m.LTSubstitute(b, x2), 0);  // m holds the factor now
  EXPECT_EQ(x2, x);
  ASSERT_TRUE(Sym(a).SolveIndefinite(1e-10, b, xi));
  mctest::ExpectNear({xi}, {x0}, 1e-7);
  mctest::ExpectNear({MulV(a, xi)}, {b}, 1e-12);
  if (!dep) {
    ASSERT_TRUE(Sym(a).SolveIndefiniteGI(1e-12, b, xg));
    mctest::ExpectNear({xg}, {x0}, 1e-6);
  }

  double det[2] = {-1.0, -1.0};
  ASSERT_TRUE(Sym(a).ComputeDeterminant(1e-10, det));
  if (dep) {
    EXPECT_EQ(std::vector<double>(det, det + 2), std::vector<double>(2, 0.0));
  } else {
    EXPECT_GE(std::fabs(det[0]), 1.0);
    EXPECT_LT(std::fabs(det[0]), 10.0);
    EXPECT_NEAR(det[1] + std::log10(det[0]), std::log10(mctest::LapackDet(mctest::ToDense(a))),
                1e-9);
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, CholProperty,
                         ::testing::Values(Case{1, false}, Case{2, false}, Case{2, true},
                                           Case{5, false}, Case{5, true}, Case{30, false},
                                           Case{30, true}));

TEST(CholEdges, ZeroToleranceAndRefusals) {
  // tol = 0: s = 1e-300 > 0 is accepted, s = 0 and s < 0 are not.
  MCSymMatrix d = Sym({{1e-300, 0, 0}, {0, 0, 0}, {0, 0, -1}});
  EXPECT_EQ(d.LTChol(std::vector<double>{1, 1, 1}, 0.0, true), 2);
  EXPECT_GT(d.GetElem(0, 0), 0.0);

  MCSymMatrix c = Sym({{4, 1}, {1, 3}});
  const auto before = c.AsVectorConst();
  EXPECT_EQ(c.LTChol(std::vector<double>{4, 3}, -1.0, true), -1);
  EXPECT_EQ(c.LTChol(std::vector<double>{4, -3}, 1e-8, true), -1);
  EXPECT_EQ(c.LTChol(std::vector<double>{4}, 1e-8, false), -1);
  EXPECT_EQ(c.AsVectorConst(), before);

  MCSymMatrix g;
  MCBitSet nonRed(5);
  nonRed.Set(1);
  EXPECT_EQ(Sym({{4, 0}, {0, 0}}).CholInverse({4, 1}, 1e-8, g, nonRed), 1);
  EXPECT_EQ(g.AsVectorConst(), (std::vector<double>{0.25, 0, 0}));
  EXPECT_TRUE(nonRed.IsIn(0));
  EXPECT_FALSE(nonRed.IsIn(1));
}

TEST(CholEdges, DeterminantRefusalsAndOfFactor) {
  double det[2];
  EXPECT_FALSE(MCSymMatrix().ComputeDeterminant(1e-8, det));
  EXPECT_FALSE(Sym({{2}}).ComputeDeterminant(-1.0, det));
  // LTDetInverse: job 1 gives the determinant of L only and leaves the factor.
  MCSymMatrix l = Sym({{0.02, 0}, {1, 30}});
  EXPECT_EQ(l.LTDetInverse(det, 1), 0);
  EXPECT_NEAR(det[0] * std::pow(10.0, det[1]), 0.6, 1e-14);
  EXPECT_EQ(l.GetElem(0, 0), 0.02);
}

TEST(CholEdges, IndependentRowSelection) {
  const MCSymMatrix m = Sym({{1, 1, 0, 1}, {1, 1, 0, 1}, {0, 0, 2, 0}, {1, 1, 0, 3}});
  const auto before = m.AsVectorConst();
  std::vector<int> idx{9};  // no limit (0) is RankTools' case
  EXPECT_EQ(m.CholIndNonRed(2, 1e-8, idx), 2);
  EXPECT_EQ(idx, (std::vector<int>{0, 2}));
  EXPECT_EQ(m.CholIndNonRed(0, -1.0, idx), 0);
  EXPECT_TRUE(idx.empty());

  // Masked leading rows of a packed matrix: rows 0 and 1 dependent, 2 not.
  MCSymMatrix w;
  MCBitSet mask(4);
  mask.SetRange(0, 2);
  EXPECT_EQ(w.CheckMDependent(3, before, mask, 1e-8), 1);
  EXPECT_EQ(w.GetNRows(), 3);
  mask.Set(1, false);
  EXPECT_EQ(w.CheckMDependent(3, before, mask, 1e-8), 0);
  EXPECT_EQ(w.CheckMDependent(-1, before, mask, 1e-8), -1);
  EXPECT_EQ(w.CheckMDependent(5, before, MCBitSet(5), 1e-8), -1);  // short packed
  EXPECT_EQ(w.CheckMDependent(4, before, MCBitSet(3), 1e-8), -1);  // short mask
}

TEST(Indefinite, SolvesIndefiniteSingularAndMaskedSystems) {
  const Rows a{{1, 2, 0.5}, {2, -3, 1}, {0.5, 1, -2}};
  const std::vector<double> b{1, -1, 2};
  std::vector<double> x;
  EXPECT_FALSE(Sym(a).SolveIndefinite(0.0, b, x));
  EXPECT_FALSE(Sym(a).SolveIndefinite(1e-10, {1, 2}, x));
  EXPECT_FALSE(MCSymMatrix(3).SolveIndefiniteGI(1e-8, b, x));

  // Mask form: rows 0 and 2 of the system restricted to columns 0 and 2.
  MCBitSet mask(3);
  mask.SetSubset({0, 2});
  ASSERT_TRUE(Sym(a).SolveIndefinite(mask, b, x));
  ASSERT_EQ(x.size(), 3u);
  EXPECT_EQ(x[1], 0.0);
  EXPECT_NEAR(a[0][0] * x[0] + a[0][2] * x[2], b[0], 1e-12);
  EXPECT_NEAR(a[2][0] * x[0] + a[2][2] * x[2], b[2], 1e-12);
  // A mask shorter than the matrix keeps the rows past it.
  MCBitSet shortMask(2);
  shortMask.Set(0);
  ASSERT_TRUE(Sym(a).SolveIndefinite(shortMask, b, x));
  EXPECT_NEAR(a[2][0] * x[0] + a[2][2] * x[2], b[2], 1e-12);
  EXPECT_FALSE(Sym(a).SolveIndefinite(MCBitSet(3), b, x));
}

TEST(Indefinite, DropsRowsThatOnlyTheSubmatrixShowsDependent) {
  // Row 3 = (row 1 - row 0) d / delta: rows 0 and 1 differ in S^2 (through column 3) but not in
  // the kept submatrix, so row 1 is dropped too and the rest placed back at 0 and 2.
  const double delta = 1e-7, d = 1e-3;
  const Rows s{{1, 1, 0, 0}, {1, 1 + delta, 0, d}, {0, 0, 5, 0}, {0, d, 0, d * d / delta}};
  std::vector<double> x;
  ASSERT_TRUE(Sym(s).SolveIndefinite(1e-8, {2, 1, 3, 4}, x));
  mctest::ExpectNear({x}, {{2.0, 0.0, 0.6, 0.0}}, 5e-13);
}

TEST(PositiveDefinite, RidgesIndefiniteMatrix) {
  bool changed = true;
  double shift = 5.0;
  EXPECT_EQ(Sym({{1}}).TransformToPositiveDefinite(1e-6, changed, shift), -1);
  EXPECT_FALSE(changed);
  MCSymMatrix pd = Sym({{4, 1}, {1, 3}});
  EXPECT_EQ(pd.TransformToPositiveDefinite(0.0, changed, shift), -2);
  EXPECT_EQ(pd.TransformToPositiveDefinite(1e-6, changed, shift), 1);
  EXPECT_FALSE(changed);
  EXPECT_EQ(pd.AsVectorConst(), (std::vector<double>{4, 1, 3}));

  const Rows a{{1, 2, 0}, {2, 1, 0}, {0, 0, 3}};  // eigenvalues -1, 3, 3
  MCSymMatrix m = Sym(a);
  EXPECT_GT(m.TransformToPositiveDefinite(1e-6, changed, shift), 1);
  EXPECT_TRUE(changed);
  // The smallest ridge making it definite is 1; then 1% of the largest diagonal (4).
  EXPECT_NEAR(shift, 1.0 + 0.04, 1e-5);
  Rows expect = a;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) expect[i][j] = (a[i][j] + (i == j ? shift : 0.0)) / (shift + 1);
  EXPECT_LT(MaxAbsDiff(ToRows(m), expect), 1e-12);
}

// T of the change of scale: coefficient i of a block is divided by a[i]; each leading
// parameter gains the sum over the block's coefficients of c[i] times them.
Rows ScaleMap(const std::vector<double>& shift, const std::vector<double>& scale, int nBlocks,
              int nLead, bool negate, bool invert) {
  const int p = int(scale.size());
  Rows t = mctest::Zeros(p * nBlocks, p * nBlocks);
  for (int b = 0; b < nBlocks; ++b)
    for (int i = 0; i < p; ++i) {
      const int r = b * p + i;
      t[r][r] = i < nLead ? 1.0 : invert ? scale[i] : 1.0 / scale[i];
      for (int k = nLead; i < nLead && k < p; ++k) {
        const double c = invert ? shift[k] : -shift[k] / scale[k];
        t[r][b * p + k] = negate ? -c : c;
      }
    }
  return t;
}

struct TransformCase {
  int nBlocks, nLead;
  bool negate, invert;
};

class TransformParams : public ::testing::TestWithParam<TransformCase> {};

TEST_P(TransformParams, EqualsExplicitTSTtAndReverses) {
  const TransformCase tc = GetParam();
  const std::vector<double> shift{0.7, -1.5, 2.0, 0.3}, scale{1.0, 2.5, 0.4, -3.0};
  const int n = 4 * tc.nBlocks;
  const Rows s = RandomGram(n, false, 99u);
  MCSymMatrix m = Sym(s);
  ASSERT_TRUE(m.TransformParameterMatrix(shift, scale, tc.nBlocks, tc.nLead, tc.negate, tc.invert));
  const Rows t = ScaleMap(shift, scale, tc.nBlocks, tc.nLead, tc.negate, tc.invert);
  EXPECT_LT(MaxAbsDiff(ToRows(m), Mul(Mul(t, s), Trans(t))), 1e-10);
  // The vector form applies the same map: its image of each unit vector is a column of T.
  Rows images;
  for (int k = 0; k < n; ++k) {
    images.emplace_back(n, 0.0);
    images[k][k] = 1.0;
    ASSERT_TRUE(MCMathFun::TransformParameters(images[k], shift, scale, tc.nBlocks, tc.nLead,
                                               tc.negate, tc.invert));
  }
  EXPECT_LT(MaxAbsDiff(images, Trans(t)), 1e-14);
  ASSERT_TRUE(
      m.TransformParameterMatrix(shift, scale, tc.nBlocks, tc.nLead, tc.negate, !tc.invert));
  EXPECT_LT(MaxAbsDiff(ToRows(m), s), 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Leads, TransformParams,
                         ::testing::Values(TransformCase{1, 0, false, false},
                                           TransformCase{1, 1, true, true},
                                           TransformCase{1, 2, true, false},
                                           TransformCase{2, 1, false, false},
                                           TransformCase{2, 0, false, true}));

TEST(TransformParamsEdges, RefusalsAndFixedParameters) {
  const MCSymMatrix before = Sym(RandomGram(4, false, 5u));
  MCSymMatrix m = before;
  EXPECT_FALSE(m.TransformParameterMatrix({0.5, 1.0}, {2.0, 4.0}, 2, 2, false, false));
  EXPECT_FALSE(m.TransformParameterMatrix({0.5, 1.0}, {2.0, 0.0}, 2, 1, false, false));
  EXPECT_FALSE(m.TransformParameterMatrix({0.5, 1.0}, {2.0, 4.0}, 3, 1, false, false));
  const std::vector<double> z4(4, 0.0);
  EXPECT_FALSE(m.TransformParameterMatrix(z4, {1, 1, 0, 1}, MCBitSet(4), 1, false, false));
  EXPECT_FALSE(m.TransformParameterMatrix(z4, {1, 1, 1, 1}, MCBitSet(3), 1, false, false));
  EXPECT_EQ(m.AsVectorConst(), before.AsVectorConst());

  // Every parameter fixed: the block form with the given shift and scale.
  const std::vector<double> sh4{0, 0.5, -1, 2}, sc4{1, 2, 4, 0.5};
  MCBitSet all(4);
  all.SetRange(0, 3);
  MCSymMatrix f = before, g = before;
  ASSERT_TRUE(f.TransformParameterMatrix(sh4, sc4, all, 1, false, false));
  ASSERT_TRUE(g.TransformParameterMatrix(sh4, sc4, 1, 1, false, false));
  EXPECT_EQ(f.AsVectorConst(), g.AsVectorConst());
  // With an intercept the changed parameter's shift is not absorbed but added to (i, 0).
  MCSymMatrix k = Sym({{2, 1}, {1, 3}});
  ASSERT_TRUE(k.TransformParameterMatrix({0, 2}, {1, 4}, MCBitSet(2), 1, false, false));
  EXPECT_EQ(k.AsVectorConst(), (std::vector<double>{2, 6, 48}));
}

}  // namespace
