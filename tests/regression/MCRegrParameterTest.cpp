#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "MCMV.h"
#include "MCModelEffect.h"
#include "MCRegrParameter.h"

namespace {

TEST(MCRegrParameterTest, FactorsAreKeptInNestLevelOrder) {
  MCRegrParameter p;
  ASSERT_TRUE(p.AddFactor(7, 1, 2));
  ASSERT_TRUE(p.AddFactor(3, 0, 0));
  ASSERT_TRUE(p.AddFactor(5, 4, 1));
  EXPECT_EQ(p.GetFactorNestLevels(), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(p.GetFactors(), (std::vector<int>{3, 5, 7}));
  EXPECT_EQ(p.GetCategories(), (std::vector<int>{0, 4, 1}));
  // Equal levels keep the order in which they came.
  ASSERT_TRUE(p.AddFactor(9, 2, 1));
  EXPECT_EQ(p.GetFactors(), (std::vector<int>{3, 5, 9, 7}));
  EXPECT_EQ(p.ContainsFactor(9, -5), 2);
  EXPECT_EQ(p.ContainsFactor(8, -5), -5);
  // Refusals: a repeated position, a negative position or level.
  EXPECT_FALSE(p.AddFactor(3, 2, 1));
  EXPECT_FALSE(p.AddFactor(-1, 2, 1));
  EXPECT_FALSE(p.AddFactor(4, 2, -1));
  EXPECT_EQ(p.GetNFactors(), 4);
  EXPECT_EQ(p.ContainsFactor(3, -1), 0);
}

TEST(MCRegrParameterTest, CovariateMultiplicitiesAdd) {
  MCRegrParameter p;
  EXPECT_EQ(p.AddCovariate(4, 1), 1);
  EXPECT_EQ(p.AddCovariate(2, 2), 2);
  EXPECT_EQ(p.AddCovariate(4, 2), 3);
  EXPECT_EQ(p.AddCovariate(-1, 1), 0);
  EXPECT_EQ(p.AddCovariate(2, 0), 0);
  EXPECT_EQ(p.GetCovariates(), (std::vector<int>{4, 2}));
  EXPECT_EQ(p.GetCovariateMultiplicities(), (std::vector<int>{3, 2}));
  EXPECT_EQ(p.GetCovariateMult(9), 0);
  EXPECT_EQ(p.GetNCovariateMult(), 5);
}

TEST(MCRegrParameterTest, SetupFromEffectOrdersNestedFactors) {
  const std::vector<int> indices = {10, 11, 20};
  MCModelEffect e(2, 1, &indices);
  e.AddNewFactor(11, false);
  e.AddNewFactor(10, true);  // 11 becomes the outer factor
  e.AddCovariate(20);
  e.AddCovariate(20);
  MCRegrParameter p;
  p.AddFactor(99, 9, 0);  // replaced by the effect's factors
  ASSERT_TRUE(p.SetupFromEffect(e, 3, 1));
  EXPECT_EQ(p.GetEffectIndex(), 3);
  EXPECT_EQ(p.GetFactors(), (std::vector<int>{10, 11}));
  EXPECT_EQ(p.GetFactorNestLevels(), (std::vector<int>{0, 1}));
  EXPECT_EQ(p.GetCategories(), (std::vector<int>{1, 1}));
  EXPECT_EQ(p.GetCovariates(), std::vector<int>{20});
  EXPECT_EQ(p.GetCovariateMultiplicities(), std::vector<int>{2});
  p.GetCategories()[1] = 4;
  EXPECT_EQ(p.ContainsFactor(11, -1), 4);
}

TEST(MCRegrParameterTest, SetupFromEffectRefusesInterceptAndNegativeIndex) {
  const std::vector<int> indices = {10};
  MCModelEffect intercept(1, 0, &indices);
  MCRegrParameter p;
  EXPECT_FALSE(p.SetupFromEffect(intercept, 0, 0));
  MCModelEffect a(intercept);
  a.AddNewFactor(10, false);
  EXPECT_FALSE(p.SetupFromEffect(a, -1, 0));
  EXPECT_EQ(p.GetEffectIndex(), -1);
  EXPECT_TRUE(p.IsIntercept());
}

TEST(MCRegrParameterStatsTest, SquareRootOfDesignEffectNeedsAValidDeff) {
  MCRegrParameterStats s;
  for (double deff : {2.25, -0.5, std::numeric_limits<double>::quiet_NaN()}) {
    s.fDeff = deff;
    EXPECT_TRUE(deff > 0 ? s.GetSqrtDeff() == 1.5 : MCMV::IsMissing(s.GetSqrtDeff())) << deff;
  }
}

}  // namespace
