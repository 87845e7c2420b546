#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "MCEigenValues.h"
#include "MatrixTestUtil.h"

namespace {

using MCCommonMath::MCEigenValues;
using MCCommonMath::MCRectMatrix;
using MCCommonMath::MCSymMatrix;
using mctest::Dense;

MCSymMatrix ToSym(const Dense& a) { return mctest::Sym(mctest::ToRows(a)); }
Dense RandomSym(int n, std::mt19937& rng) {
  return mctest::ToDense(mctest::ToRows(mctest::Sym(mctest::RandomRows(rng, n, n))));
}

// LAPACK's ascending eigenvalues (a and e are overwritten); e null: the ordinary problem.
std::vector<double> Lapack(Dense& a, Dense* e) {
  int n = a.rows, lwork = 64 * n + 64, info = 0, one = 1;
  std::vector<double> w(n), work(lwork);
  if (e == nullptr)
    dsyev_("N", "L", &n, a.v.data(), &n, w.data(), work.data(), &lwork, &info, 1, 1);
  else
    dsygv_(&one, "N", "L", &n, a.v.data(), &n, e->v.data(), &n, w.data(), work.data(), &lwork,
           &info, 1, 1);
  EXPECT_EQ(info, 0);
  return w;
}

class EigenBySize : public ::testing::TestWithParam<int> {
 protected:
  std::mt19937 rng{static_cast<unsigned>(1000 + GetParam())};
};

// Eigenpairs H v = lambda E v with V'EV = I: each vector of a simple eigenvalue up to its sign.
TEST_P(EigenBySize, OrdinaryAndGeneralisedProblemsMatchLapack) {
  const int n = GetParam();
  for (bool generalised : {false, true}) {
    Dense h = RandomSym(n, rng), z = h, e(n, n);
    for (int i = 0; i < n; ++i) e(i, i) = 1.0;
    if (generalised) e = mctest::SymmetricWithCondition(n, 50.0, rng, std::vector<int>(n, 1));
    Dense b = e;
    std::vector<double> ref = Lapack(z, generalised ? &b : nullptr), val, desc;
    MCEigenValues eig = generalised ? MCEigenValues(ToSym(h), ToSym(e)) : MCEigenValues(ToSym(h));
    ASSERT_TRUE(!generalised || eig.IsValidEMatrix());
    MCRectMatrix vec;
    ASSERT_EQ(eig.GetSorted(val, vec, true), n);
    ASSERT_EQ(vec.GetNRows(), n);
    const double scale = std::max(mctest::MaxAbs(ref), 1.0);
    for (int j = 0; j < n; ++j) EXPECT_NEAR(val[j], ref[j], 1e-10 * scale) << "value " << j;
    const Dense v = mctest::ToDense(mctest::ToRows(vec));
    const Dense hv = mctest::Multiply(h, v), ev = mctest::Multiply(e, v);
    const Dense vev = mctest::Multiply(mctest::Transpose(v), ev);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        EXPECT_NEAR(hv(i, j), val[j] * ev(i, j), 1e-10 * scale) << i << "," << j;
        EXPECT_NEAR(vev(i, j), i == j ? 1.0 : 0.0, 1e-10) << i << "," << j;
      }
    ASSERT_EQ(eig.GetSorted(desc, false), n);
    for (int j = 0; j < n; ++j) EXPECT_EQ(desc[j], val[n - 1 - j]);
  }
}

// E = B B' of rank k: on the leading k rows as dsygv; the other n - k eigenvalues are 0.
TEST_P(EigenBySize, RankDeficientEWorksOnItsRange) {
  const int n = GetParam() + 1, k = (n + 1) / 2;
  Dense h = RandomSym(n, rng), bm(n, k);
  for (double& x : bm.v) x = std::normal_distribution<double>()(rng);
  Dense e = mctest::Multiply(bm, mctest::Transpose(bm));
  Dense hk(k, k), ek(k, k);
  for (int i = 0; i < k; ++i)
    for (int j = 0; j < k; ++j) hk(i, j) = h(i, j), ek(i, j) = e(i, j);
  std::vector<double> ref = Lapack(hk, &ek);
  ref.resize(n, 0.0);
  std::sort(ref.begin(), ref.end());
  const double scale = mctest::MaxAbs(ref);

  MCEigenValues eig(ToSym(h), ToSym(e));
  ASSERT_TRUE(eig.IsValidEMatrix());
  std::vector<double> val;
  MCRectMatrix vec;
  ASSERT_EQ(eig.Compute(val, vec), n);
  for (int j = 0; j < n; ++j) {
    // H v = lambda E v on the rows of E's range.
    std::vector<double> v(n);
    vec.GetCol(j, v);
    const std::vector<double> hv = mctest::Apply(h, v), ev = mctest::Apply(e, v);
    for (int i = 0; i < k; ++i)
      EXPECT_NEAR(hv[i], val[j] * ev[i], 1e-8 * scale * (1.0 + mctest::MaxAbs(v))) << i << "," << j;
  }
  std::sort(val.begin(), val.end());  // with the n - k zeros
  for (int j = 0; j < n; ++j) EXPECT_NEAR(val[j], ref[j], 1e-10 * scale) << j;
}

INSTANTIATE_TEST_SUITE_P(Sizes, EigenBySize, ::testing::Values(1, 2, 3, 5, 8, 13, 21, 40));

TEST(MCEigenValuesEdges, DiagonalIdentityEAndSettings) {
  MCSymMatrix h(3);
  h.SetElem(0, 0, 4.0), h.SetElem(1, 1, -2.0), h.SetElem(2, 2, 7.0);
  MCEigenValues eig(h, 0.0, 0);
  EXPECT_EQ(eig.GetTolerance(), 1e-12);
  EXPECT_EQ(eig.GetMaxIter(), 30);
  EXPECT_FALSE(eig.SetMaxIter(0));
  EXPECT_FALSE(eig.SetTolerance(0.0));
  EXPECT_EQ(eig.GetMaxIter(), 30);
  std::vector<double> val;
  ASSERT_EQ(eig.GetSorted(val, true), 3);
  EXPECT_EQ(val, (std::vector<double>{-2.0, 4.0, 7.0}));

  EXPECT_FALSE(eig.SetEMatrix(MCSymMatrix(2)));
  EXPECT_FALSE(eig.IsValidEMatrix());
  EXPECT_FALSE(eig.SetEMatrix(MCSymMatrix(3)));  // zero metric: nothing left of its range
  MCSymMatrix id(3);
  id.AddToDiagonal(1.0);
  ASSERT_TRUE(eig.SetEMatrix(id));
  std::vector<double> withE;
  ASSERT_EQ(eig.GetSorted(withE, true), 3);
  EXPECT_EQ(withE, val);

  // A new H keeps E: 2 H under the metric 2 I has the eigenvalues of H.
  id.MultiplyByNumber(2.0);
  ASSERT_TRUE(eig.SetEMatrix(id));
  h.MultiplyByNumber(2.0);
  eig.SetHMatrix(h);
  ASSERT_TRUE(eig.IsValidEMatrix());
  ASSERT_EQ(eig.GetSorted(withE, true), 3);
  for (int j = 0; j < 3; ++j) EXPECT_NEAR(withE[j], val[j], 1e-14);

  MCEigenValues none;
  std::vector<double> untouched = {5.0};
  EXPECT_EQ(none.Compute(untouched), -1);
  EXPECT_EQ(untouched, std::vector<double>{5.0});
  std::vector<double> d = {1.0, 2.0, 3.0}, e = {1.0};  // e shorter than d
  EXPECT_EQ(MCEigenValues::EigenValuesTQLI(3, d, e, 1e-12, 30, nullptr), -1);
}

TEST(MCEigenValuesEdges, IterationLimitReportsOnlyConvergedValues) {
  std::mt19937 rng(3);
  Dense h = RandomSym(40, rng), z = h;
  std::vector<double> ref = Lapack(z, nullptr);
  MCEigenValues eig(ToSym(h), 1e-12, 1);
  std::vector<double> val;
  const int count = eig.Compute(val);
  ASSERT_GE(count, 0);
  ASSERT_LT(count, 40);
  for (int j = 0; j < count; ++j) {
    double best = 1e300;
    for (double r : ref) best = std::min(best, std::fabs(r - val[j]));
    EXPECT_LT(best, 1e-10 * mctest::MaxAbs(ref)) << j;
  }
  MCEigenValues copy = eig;
  ASSERT_TRUE(copy.SetMaxIter(30));
  EXPECT_EQ(copy.Compute(val), 40);
}

}  // namespace
