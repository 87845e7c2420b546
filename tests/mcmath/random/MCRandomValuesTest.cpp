#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "MCDistFun.h"
#include "MCMV.h"
#include "MCRandomValues.h"
#include "RandomTestUtil.h"

using MCCommonMath::MCDistFun;
using MCCommonMath::MCRandomValues;
using MCCommonMath::MCSymMatrix;
using MCCommonMath::MCURandom;
using randomtest::Scripted;

namespace {

MCSymMatrix Matrix(int n, const std::vector<double>& lower) {
  MCSymMatrix m(n);
  m.AsVector() = lower;
  return m;
}

TEST(MCRandomValuesTest, RefusedSettingsChangeNothing) {
  MCRandomValues rv;
  EXPECT_FALSE(rv.SetTolerance(0));
  EXPECT_FALSE(rv.SetURNGPtr(nullptr));
  ASSERT_TRUE(rv.SetParamNormal(2.0, 4.0));
  EXPECT_FALSE(rv.SetParamUniform(2, 1));
  EXPECT_FALSE(rv.SetParamNormal(0, 0));
  EXPECT_FALSE(rv.SetParamUniform(0));
  EXPECT_FALSE(rv.SetParamUniform({0, 1}, {1}));
  EXPECT_FALSE(rv.SetParamUniform({0, 1}, {1, 1}));
  EXPECT_FALSE(rv.SetParamChi(0));
  EXPECT_FALSE(rv.SetParamWishart(3, 2));
  EXPECT_FALSE(rv.SetParamWishart(2, 3, MCSymMatrix(3)));
  EXPECT_FALSE(rv.SetParamWishart(2, 3, MCSymMatrix(2)));  // every row redundant
  EXPECT_FALSE(rv.SetParamNormal({1, 2}, 1.0, MCSymMatrix(2)));
  EXPECT_FALSE(rv.SetParamNormal({1, 2}, 0.0, Matrix(2, {1, 0, 1})));
  EXPECT_TRUE(rv.GetDistType() == MCRandomValues::kNormal && rv.GetUnivariate());
  EXPECT_FALSE(rv.GetStandard());
  EXPECT_TRUE(rv.SetParamUniform(1));
  EXPECT_TRUE(rv.GetUnivariate());
  EXPECT_TRUE(rv.SetParamNormal({5}, 2.0, Matrix(1, {1})));
  EXPECT_TRUE(rv.GetUnivariate());
}

TEST(MCRandomValuesTest, DrawsMatchTheSetting) {
  MCRandomValues rv;
  rv.SetSeed(11);
  ASSERT_TRUE(rv.SetParamUniform(-2.0, 3.0));
  randomtest::ExpectFits([&rv] { return rv.GetRandom(); }, [](double x) { return (x + 2) / 5; });
  std::vector<double> v;
  EXPECT_FALSE(rv.GetRandom(v));
  ASSERT_TRUE(rv.SetParamUniform({0, 10}, {1, 20}));
  EXPECT_TRUE(MCMV::IsMissing(rv.GetRandom()));
  ASSERT_TRUE(rv.GetRandom(v));
  ASSERT_EQ(v.size(), 2u);
  EXPECT_TRUE(v[0] >= 0 && v[0] < 1 && v[1] >= 10 && v[1] < 20);
  ASSERT_TRUE(rv.SetParamWishart(3, 5));
  EXPECT_TRUE(MCMV::IsMissing(rv.GetRandom()));
  EXPECT_FALSE(rv.GetRandom(v));
  MCSymMatrix w;  // Wishart draws themselves: WishartQuadraticFormsAreChiSquare
  rv.SetParamNormal();
  EXPECT_FALSE(rv.GetRandom(w));
}

TEST(MCRandomValuesTest, CopiesOwnGeneratorsRestartedFromTheSeed) {
  MCRandomValues a;
  a.SetSeed(99);
  const double first = a.GetRandom();
  MCRandomValues b(a);
  EXPECT_NE(b.GetURNGPtr(), a.GetURNGPtr());
  EXPECT_EQ(b.GetRandom(), first);
  MCURandom external(5, true, false, nullptr);
  ASSERT_TRUE(a.SetURNGPtr(&external));
  MCRandomValues c;
  c = a;
  EXPECT_TRUE(c.GetURNGPtr() == &external && !c.GetOwnsURNG());
}

const double kE = 2.718281828459045;
const double kGsC = (0.5 + kE) / kE;  // Ahrens-Dieter constant for shape 1/2

// Each gamma branch through chi-square (rate 1/2). Shape 1 is an exponential, 2 (-ln u); 5/2
// (Fishman): V1 = 1 always passes, V1 = 0.01 fails against ln 0.5; shape 1/2 (GS): P = c u <= 1
// gives x = P^2, P > 1 x = -ln(2 (c - P)). The tolerances are 1e-12 relative.
TEST(GammaBranchTest, ValueAndDraws) {
  const double gsPower = 2 * std::pow(kGsC * 0.5, 2);
  randomtest::ExpectScripted(
      {{"exponential", {2}, {0.5}, 2 * std::log(2.0), 1.3e-12, 1},
       {"exponentialOfOne", {2}, {1.0}, MCMV::Missing(), 0, 1},
       {"fishman", {5}, {std::exp(-1.0), 0.5}, 5.0, 5e-12, 2},
       {"fishmanReject", {5}, {0.99, 0.5, std::exp(-1.0), 0.5}, 5.0, 5e-12, 4},
       {"gsPower", {1}, {0.0, 0.5, 0.5}, gsPower, 7e-13, 3},
       {"gsLog", {1}, {0.95, 0.5}, -2 * std::log(2 * (kGsC - kGsC * 0.95)), 4.2e-12, 2},
       {"gsLogReject", {1}, {0.95, 0.9, 0.5, 0.5}, gsPower, 7e-13, 4}},
      [](const std::vector<double>& df, Scripted& host) {
        MCURandom source(0, false, false, &host);
        MCRandomValues rv;
        EXPECT_TRUE(rv.SetURNGPtr(&source) && rv.SetParamChi(df[0]));
        return rv.GetRandom();
      });
}

// One degree of freedom per gamma branch, and a large one.
TEST(ChiSquareFitTest, KolmogorovSmirnov) {
  for (double df : {1.0, 0.3, 2.0, 5.0, 40.0}) {
    SCOPED_TRACE(df);
    MCRandomValues rv;
    rv.SetSeed(1234567);
    ASSERT_TRUE(rv.SetParamChi(df));
    randomtest::ExpectFits([&rv] { return rv.GetRandom(); },
                           [df](double v) { return MCDistFun::CdfChi(v, df); });
  }
}

// Covariance 2 [[4, 1.2], [1.2, 1]]: the variates are N(1, 8) and N(-1, 2), and the second less
// its regression on the first, v1 + 1 - 0.3 (v0 - 1), is N(0, 1.28).
TEST(MCRandomValuesFitTest, MultivariateNormalMarginalsAndRegressionResidual) {
  MCRandomValues rv;
  rv.SetSeed(777);
  ASSERT_TRUE(rv.SetParamNormal({1.0, -1.0}, 2.0, Matrix(2, {4, 1.2, 1})));
  std::vector<double> v;
  randomtest::ExpectFits([&] { return rv.GetRandom(v) ? v[0] : 0.0; },
                         [](double x) { return MCDistFun::CdfNorm(x, 1.0, std::sqrt(8.0)); });
  randomtest::ExpectFits([&] { return rv.GetRandom(v) ? v[1] : 0.0; },
                         [](double x) { return MCDistFun::CdfNorm(x, -1.0, std::sqrt(2.0)); });
  randomtest::ExpectFits([&] { return rv.GetRandom(v) ? v[1] + 1.0 - 0.3 * (v[0] - 1.0) : 0.0; },
                         [](double x) { return MCDistFun::CdfNorm(x, 0.0, std::sqrt(1.28)); });
}

// a'Wa / a'Sa is chi-square with m degrees of freedom for every a; the unit vectors and their
// pairwise sums pin every element of the scale S.
TEST(MCRandomValuesFitTest, WishartQuadraticFormsAreChiSquare) {
  const double m = 5.5;
  const MCSymMatrix scale = Matrix(3, {2.0, 0.5, 1.0, -0.3, 0.2, 1.5});
  const MCSymMatrix identity = Matrix(3, {1, 0, 1, 0, 0, 1});
  const std::vector<double> forms[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                       {1, 1, 0}, {1, 0, 1}, {0, 1, 1}};
  for (bool standard : {true, false}) {
    MCRandomValues rv;
    rv.SetSeed(standard ? 5 : 6);
    ASSERT_TRUE(standard ? rv.SetParamWishart(3, m) : rv.SetParamWishart(3, m, scale));
    for (const std::vector<double>& a : forms) {
      SCOPED_TRACE(testing::PrintToString(a) + (standard ? " standard" : " scaled"));
      const double asa = (standard ? identity : scale).ComputeVSV(a);
      MCSymMatrix w;
      randomtest::ExpectFits([&] { return rv.GetRandom(w) ? w.ComputeVSV(a) / asa : 0.0; },
                             [m](double x) { return MCDistFun::CdfChi(x, m); });
    }
  }
}

}  // namespace
