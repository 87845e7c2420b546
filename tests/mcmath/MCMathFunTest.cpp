#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "MCMathFun.h"

using MCCommonMath::MCMathFun;

namespace {

const double kMissing = std::numeric_limits<double>::lowest();
const double kPi = 3.14159265358979323846;

// A packed lower-triangular matrix M of order 7 with M(i, j) = 10 i + j + 1.
class PackedColumns : public ::testing::Test {
 protected:
  static constexpr int kN = 7;
  static int Pos(int i, int j) { return i * (i + 1) / 2 + j; }
  void SetUp() override {
    for (int i = 0; i < kN; ++i)
      for (int j = 0; j <= i; ++j) pk.push_back(10.0 * i + j + 1);
  }
  double M(int i, int j) const { return i >= j ? pk[Pos(i, j)] : 0.0; }
  std::vector<double> pk;
};

TEST_F(PackedColumns, WalksGoDownAColumnFromAnyRow) {
  for (int j = 0; j < kN; ++j) {
    for (int r = j; r < kN; ++r) {
      int len = kN - r;
      for (int k = 0; k <= j; ++k) {
        double expect = 0.0;
        for (int i = r; i < kN; ++i) expect += M(i, j) * M(i, k);
        EXPECT_EQ(MCMathFun::IIDot(len, pk.data(), Pos(r, j), r + 1, pk.data(), Pos(r, k), r + 1),
                  expect);
      }
      std::vector<double> w = pk;
      MCMathFun::IIScal(len, -2.0, w.data(), Pos(r, j), r + 1);
      std::vector<double> v = pk;
      MCMathFun::IIInit(len, 0.5, v.data(), Pos(r, j), r + 1);
      std::vector<double> s = pk;
      if (j > 0)
        MCMathFun::IIAxpy(len, 3.0, pk.data(), Pos(r, 0), r + 1, s.data(), Pos(r, j), r + 1);
      for (int i = 0; i < kN; ++i) {
        for (int c = 0; c <= i; ++c) {
          bool walked = c == j && i >= r;
          EXPECT_EQ(w[Pos(i, c)], walked ? -2.0 * M(i, c) : M(i, c));
          EXPECT_EQ(v[Pos(i, c)], walked ? 0.5 : M(i, c));
          if (j > 0) {
            EXPECT_EQ(s[Pos(i, c)], walked ? M(i, c) + 3.0 * M(i, 0) : M(i, c));
          }
        }
      }
    }
  }
}

TEST_F(PackedColumns, ProductsWithTransposeRowsAndQuadraticForm) {
  std::vector<double> llt = pk;
  MCMathFun::LTGltl(kN, llt.data());
  for (int i = 0; i < kN; ++i)
    for (int j = 0; j <= i; ++j) {
      double expect = 0.0;
      for (int k = 0; k <= j; ++k) expect += M(i, k) * M(j, k);
      EXPECT_EQ(llt[Pos(i, j)], expect);
    }
  // pk read as a packed symmetric matrix S.
  std::vector<double> v = {1, -2, 0.5, 3, -1, 2, 0.25};
  double vsv = 0.0;
  for (int i = 0; i < kN; ++i) {
    double row = 0.0;
    for (int j = 0; j < kN; ++j) row += (i >= j ? M(i, j) : M(j, i)) * v[j];
    EXPECT_DOUBLE_EQ(MCMathFun::RVD(kN, pk.data(), i, v.data()), row);
    vsv += v[i] * row;
  }
  EXPECT_DOUBLE_EQ(MCMathFun::VSV(kN, pk.data(), v.data()), vsv);
  EXPECT_EQ(MCMathFun::RVD(kN, pk.data(), kN, v.data()), 0.0);
  std::vector<double> row = pk;
  MCMathFun::LRZero(row.data(), Pos(3, 0), 4);
  for (int c = 0; c <= 3; ++c) EXPECT_EQ(row[Pos(3, c)], 0.0);
  EXPECT_EQ(row[Pos(2, 2)], M(2, 2));
  EXPECT_EQ(row[Pos(4, 0)], M(4, 0));
}

TEST(MCMathFun, SumsSearchesAndDifferences) {
  // The BLAS forms are held against the reference BLAS in Blas1Test.
  EXPECT_EQ(MCMathFun::DSum(3, {1.0, -2.0, 3.0, -4.0}, 1), -3.0);
  std::vector<double> b = {1.0, 2.5, -3.0}, b0 = {1.5, 2.0, -3.0};
  EXPECT_DOUBLE_EQ(MCMathFun::VNrm1Diff(b, b0), 0.5);
  EXPECT_DOUBLE_EQ(MCMathFun::VMaxRelDiff(b, b0, 0.0), 0.5 / 1.5);  // max(0.5/1.5, 0.5/2)
  EXPECT_DOUBLE_EQ(MCMathFun::VMaxRelDiff(b, b0, 1e-6), 0.5 / (1.5 + 1e-6));
  EXPECT_EQ(MCMathFun::VNrm1Diff({}, {}), 0.0);
  // BinSearch: the index of the value, -1, or with bPlace its insertion place.
  std::vector<double> v = {-1.0, 0.5, 2.0, 2.0, 7.0};
  const std::pair<double, bool> finds[] = {
      {0.5, false}, {2.0, false}, {1.0, false}, {1.0, true}, {9.0, true}};
  const long found[] = {1, 2, -1, 2, 5};
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(MCMathFun::BinSearch(v, 0, 4, finds[i].first, finds[i].second), found[i]) << i;
  EXPECT_EQ(MCMathFun::BinSearch(v, 2, 4, -5.0, true), 2);
  EXPECT_EQ(MCMathFun::BinSearch(v, 0, 7, 2.0, false), -1);  // range outside the vector
  std::vector<int> iv = {1, 3, 5, 7};
  EXPECT_EQ(MCMathFun::BinSearch(iv, 0, 3, 7, false), 3);
  EXPECT_EQ(MCMathFun::BinSearch(iv, 0, 3, 4, true), 2);
  EXPECT_EQ(MCMathFun::BinSearch(iv, 1, 0, 4, true), 1);  // empty range: the place is lo
}

// The map itself is held in MCSymMatrixSolveTest; here bad shapes and zero scales are refused.
TEST(MCMathFun, TransformParametersRefusesBadShapes) {
  const std::vector<double> shift = {0.0, 2.0, -1.0}, scale = {1.0, 4.0, 0.5}, b = {0.3, 1.2, -0.7};
  std::vector<double> two = {0.3, 1.2, -0.7, 1.0, 2.0, 3.0}, bad = b, lead = b;
  EXPECT_FALSE(MCMathFun::TransformParameters(two, shift, scale, 2, 2, false, false));
  EXPECT_FALSE(MCMathFun::TransformParameters(bad, shift, {1.0, 0.0, 1.0}, 1, 1, false, false));
  EXPECT_EQ(bad, b);
  // More leading parameters than parameters: nothing moves (nor is written past the end).
  ASSERT_TRUE(MCMathFun::TransformParameters(lead, shift, scale, 1, 4, false, false));
  EXPECT_EQ(lead, b);
}

TEST(MCMathFun, ToleranceAndValidity) {
  EXPECT_TRUE(MCMathFun::QLReps(1e-13, 1000) && MCMathFun::QLReps(-2.0e-16, 1.0));
  EXPECT_FALSE(MCMathFun::QLReps(1e-12, 1000) || MCMathFun::QLReps(0, 0) ||
               MCMathFun::QLReps(0, -1));
  EXPECT_TRUE(MCMathFun::IsValidDouble(std::numeric_limits<double>::max()));
  EXPECT_TRUE(MCMathFun::IsValidDouble(std::numeric_limits<double>::lowest()));
  for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL})
    EXPECT_FALSE(MCMathFun::IsValidDouble(bad));
}

// Digamma itself is held against R in MCDistFunTest.
TEST(MCMathFun, PolygammaDomainsAndTrigamma) {
  EXPECT_EQ(MCMathFun::Digamma(1e-17), kMissing);
  EXPECT_EQ(MCMathFun::Digamma(-2.0), kMissing);
  EXPECT_EQ(MCMathFun::Trigamma(0.0), kMissing);
  EXPECT_NEAR(MCMathFun::Trigamma(1.0), kPi * kPi / 6.0, 1e-14);
  EXPECT_NEAR(MCMathFun::Trigamma(0.5), kPi * kPi / 2.0, 1e-14);
  // psi'(x + 1) = psi'(x) - 1/x^2 across the range; psi'(x) ~ 1/x + 1/(2x^2) for large x.
  for (double x : {1e-4, 0.3, 2.7, 9.5, 42.0, 1e4})
    EXPECT_NEAR(MCMathFun::Trigamma(x + 1.0), MCMathFun::Trigamma(x) - 1.0 / (x * x),
                1e-13 * MCMathFun::Trigamma(x));
  EXPECT_NEAR(MCMathFun::Trigamma(1e8), 1e-8 + 0.5e-16, 1e-22);
}

}  // namespace
