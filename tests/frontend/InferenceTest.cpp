// Where a statistic does not apply; the values against R are FitTest's.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "Inference.h"
#include "MCSymMatrix.h"

namespace MCFrontEnd {
namespace {

TEST(SummarizeLinearTest, StatisticsThatDoNotApply) {
  struct Case {
    const char* what;
    LinearSums sums;
    bool sigma, adjusted, f, likelihood;
    double r2;
  };
  const Case cases[] = {
      // The intercept alone: R reports R squared 0 exactly and no F test.
      {"intercept only", {10.0, 1e-15, 5.0, 0.0, 1, true}, true, true, false, true, 0.0},
      {"no residual df", {1.0, 2.0, 3.0, 0.0, 3, true}, false, false, false, true, 2.0 / 3.0},
      {"perfect fit", {0.0, 2.0, 6.0, 0.0, 3, true}, true, true, false, false, 1.0},
      {"no intercept", {1.0, 3.0, 6.0, 0.0, 1, false}, true, true, true, true, 0.75},
  };
  for (const Case& c : cases) {
    const LinearSummary s = SummarizeLinear(c.sums);
    EXPECT_EQ(s.sigma.has_value(), c.sigma) << c.what;
    EXPECT_EQ(s.rSquaredAdj.has_value(), c.adjusted) << c.what;
    EXPECT_EQ(s.fStatistic.has_value(), c.f) << c.what;
    EXPECT_EQ(s.fPValue.has_value(), c.f) << c.what;
    EXPECT_EQ(s.logLikelihood.has_value(), c.likelihood) << c.what;
    EXPECT_EQ(s.aic.has_value(), c.likelihood) << c.what;
    ASSERT_TRUE(s.rSquared) << c.what;
    EXPECT_DOUBLE_EQ(*s.rSquared, c.r2) << c.what;
  }
  const LinearSums bad[] = {{-1.0, 1.0, 5.0, 0.0, 2, true},
                            {1.0, NAN, 5.0, 0.0, 2, true},
                            {1.0, 1.0, 0.0, 0.0, 2, true},
                            {1.0, 1.0, 5.0, INFINITY, 2, true},
                            {1.0, 1.0, 5.0, 0.0, -1, true}};
  for (const LinearSums& b : bad) EXPECT_THROW(SummarizeLinear(b), std::invalid_argument);
}

TEST(SummarizeLogisticTest, TestOnlyWithDegreesOfFreedom) {
  // Three categories, one empty: K = 2, so the intercept-only model has 1 parameter.
  const LogisticSummary one = SummarizeLogistic({-5.0, {3.0, 0.0, 5.0}, 8.0, 1, true});
  EXPECT_FALSE(one.lrStatistic || one.lrDf || one.lrPValue);
  const LogisticSummary three = SummarizeLogistic({-5.0, {3.0, 0.0, 5.0}, 8.0, 3, true});
  EXPECT_EQ(three.lrDf, 2.0);
  EXPECT_THROW(SummarizeLogistic({-5.0, {0.0, 0.0}, 8.0, 2, true}), std::invalid_argument);
  EXPECT_THROW(SummarizeLogistic({-5.0, {1.0, -1.0}, 8.0, 2, true}), std::invalid_argument);
  EXPECT_THROW(SummarizeLogistic({NAN, {1.0, 1.0}, 8.0, 2, true}), std::invalid_argument);
}

TEST(ConfidenceIntervalTest, RefusedOutsideTheDomain) {
  const double bad[][3] = {{1.0, 0.0, 10.0}, {1.0, 1.0, 10.0},   {1.0, NAN, 10.0},
                           {1.0, 0.95, 0.0}, {-1.0, 0.95, 10.0}, {INFINITY, 0.95, 10.0}};
  for (const auto& b : bad) {
    EXPECT_FALSE(ConfidenceInterval(0.5, b[0], b[1], b[2])) << b[0] << " " << b[1] << " " << b[2];
  }
  // A standard error of 0 is a point; the normal interval at 0.95 is +-1.959963984540054 se.
  const auto point = ConfidenceInterval(0.5, 0.0, 0.95, 10.0);
  ASSERT_TRUE(point);
  EXPECT_EQ(point->low, 0.5);
  EXPECT_EQ(point->high, 0.5);
  const auto z = ConfidenceInterval(0.0, 1.0, 0.95, INFINITY);
  ASSERT_TRUE(z);
  EXPECT_NEAR(z->high, 1.959963984540054, 1e-15);
  EXPECT_EQ(z->low, -z->high);
}

TEST(WaldTest, SingularBlocksAndGrouping) {
  // Two parameters with identical variances and full correlation: one is tested.
  MCCommonMath::MCSymMatrix v(3);
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j <= i; ++j) v.SetElem(i, j, 1.0);
  }
  v.SetElem(2, 2, 4.0);
  const std::vector<double> b{2.0, 2.0, 3.0};
  const auto chi = WaldChiSquareTest(b, v, {0, 1});
  ASSERT_TRUE(chi);
  EXPECT_EQ(chi->df1, 1.0);
  EXPECT_NEAR(chi->statistic, 4.0, 1e-12);
  const auto f = WaldFTest(b, v, 2.0, {0, 2}, 10.0);  // (4/2 + 9/8) / 2
  ASSERT_TRUE(f);
  EXPECT_NEAR(f->statistic, (4.0 / 2.0 + 9.0 / 8.0) / 2.0, 1e-12);
  EXPECT_FALSE(WaldChiSquareTest(b, v, {}));
  EXPECT_FALSE(WaldFTest(b, v, 1.0, {0}, 0.0));
  EXPECT_FALSE(WaldChiSquareTest({NAN, 1.0, 1.0}, v, {0}));
  EXPECT_THROW(WaldChiSquareTest(b, v, {3}), std::invalid_argument);
  EXPECT_THROW(WaldFTest(b, v, 0.0, {0}, 5.0), std::invalid_argument);

  const auto groups = ParametersOfEffects({-1, 0, 0, 1, 2}, {false, false, true, false, false}, 2);
  EXPECT_EQ(groups, (std::vector<std::vector<int>>{{1}, {3}}));
  EXPECT_THROW(ParametersOfEffects({0, 1}, {false}, 2), std::invalid_argument);
}

}  // namespace
}  // namespace MCFrontEnd
