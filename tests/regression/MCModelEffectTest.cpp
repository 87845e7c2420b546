#include <gtest/gtest.h>

#include <vector>

#include "MCModelEffect.h"

namespace {

// A model with factors at record positions 10, 11, 12 and covariates at 20, 21.
class MCModelEffectTest : public ::testing::Test {
 protected:
  MCModelEffect Make() const { return MCModelEffect(3, 2, &fIndices); }
  const std::vector<int> fIndices = {10, 11, 12, 20, 21};
};

TEST_F(MCModelEffectTest, NestingPushesExistingFactorsDeeper) {
  MCModelEffect e = Make();
  ASSERT_TRUE(e.AddNewFactor(10, true));  // the first factor gives one level
  ASSERT_TRUE(e.AddNewFactor(11, true));
  EXPECT_EQ(e.ContainsFactor(10), 1);
  EXPECT_EQ(e.ContainsFactor(11), 0);
  EXPECT_EQ(e.GetNLevels(), 2);
  ASSERT_TRUE(e.AddNewFactor(12, false));
  EXPECT_EQ(e.GetFactors(), (std::vector<int>{10, 11, 12}));
  EXPECT_EQ(e.GetFactorLevels(), (std::vector<int>{1, 0, 0}));
  EXPECT_FALSE(e.AddNewFactor(12, true));   // already in the effect
  EXPECT_FALSE(e.AddNewFactor(20, false));  // a covariate, not a factor
  EXPECT_EQ(e.GetNLevels(), 2);
  EXPECT_EQ(e.ContainsFactor(99), -1);
  EXPECT_FALSE(MCModelEffect().AddNewFactor(10, false));
}

TEST_F(MCModelEffectTest, CovariatePowersAccumulate) {
  MCModelEffect e = Make();
  EXPECT_EQ(e.AddCovariate(21), 1);
  EXPECT_EQ(e.AddCovariate(21), 2);
  EXPECT_EQ(e.AddCovariate(20), 1);
  EXPECT_EQ(e.AddCovariate(10), -1);  // a factor, not a covariate
  EXPECT_EQ(e.GetNCovariateMult(), 3);
  EXPECT_EQ(e.GetCovariateMult(21), 2);
  EXPECT_EQ(e.GetCovariateMult(11), -1);
  EXPECT_EQ(e.GetCovariates(), (std::vector<int>{20, 21}));
  EXPECT_EQ(e.GetCovMultiplicities(), (std::vector<int>{1, 2}));
}

TEST_F(MCModelEffectTest, ContainmentNeedsFewerFactorsAndTheSameCovariates) {
  MCModelEffect a = Make();
  a.AddNewFactor(10, false);
  MCModelEffect ab = a, ax = a;
  ab.AddNewFactor(11, false);
  ax.AddCovariate(20);
  MCModelEffect abx = ab;
  abx.AddCovariate(20);
  EXPECT_TRUE(a.IsContainedIn(ab));
  EXPECT_FALSE(ab.IsContainedIn(a));
  EXPECT_FALSE(ab.IsContainedIn(ab));  // not strictly fewer factors
  EXPECT_FALSE(a.IsContainedIn(abx));  // different covariate part
  EXPECT_TRUE(ax.IsContainedIn(abx));
  MCModelEffect c = Make();
  c.AddNewFactor(12, false);
  EXPECT_FALSE(c.IsContainedIn(ab));  // factor 12 is not in ab
  const std::vector<int> other = fIndices;
  MCModelEffect elsewhere(3, 2, &other);
  elsewhere.AddNewFactor(10, false);
  EXPECT_FALSE(elsewhere.IsContainedIn(ab));
}

TEST_F(MCModelEffectTest, SetupKeepsEntriesAndResetClears) {
  MCModelEffect e = Make();
  EXPECT_EQ(e.GetModelEffect(), (std::vector<int>{-1, -1, -1, 0, 0}));
  e.AddNewFactor(11, false);
  e.AddCovariate(20);
  const std::vector<int> wider = {10, 11, 12, 13, 20, 21, 22};
  e.Setup(4, 3, &wider);
  EXPECT_EQ(e.GetModelEffect(), (std::vector<int>{-1, 0, -1, -1, 1, 0, 0}));
  e.SetFactorsInParens(true);
  e.Reset();
  EXPECT_EQ(e.GetModelEffect(), (std::vector<int>{-1, -1, -1, -1, 0, 0, 0}));
  EXPECT_TRUE(e.IsIntercept());
  EXPECT_FALSE(e.GetFactorsInParens());
}

TEST_F(MCModelEffectTest, ApplyMaskDropsEntriesAndReportsUsedOnes) {
  MCModelEffect e = Make();
  e.AddNewFactor(10, false);
  e.AddCovariate(21);
  EXPECT_TRUE(e.ApplyMask({true, false, false, false, true}));
  EXPECT_EQ(e.GetModelEffect(), (std::vector<int>{0, 1}));
  EXPECT_EQ(e.GetNModelCovariates(), 1);
  MCModelEffect f = Make();
  f.AddCovariate(20);
  EXPECT_FALSE(f.ApplyMask({true, true, true, false, true}));
  EXPECT_EQ(f.GetModelEffect(), (std::vector<int>{-1, -1, -1, 0}));
  EXPECT_EQ(f.GetNModelCovariates(), 1);
}

TEST_F(MCModelEffectTest, UsedVariablesFollowFirstUse) {
  std::vector<MCModelEffect> effects(3, Make());
  effects[0].AddCovariate(21);
  effects[0].AddNewFactor(12, false);
  effects[1].AddNewFactor(10, false);
  effects[1].AddNewFactor(12, false);
  effects[2].AddCovariate(20);
  effects[2].AddCovariate(21);
  std::vector<int> factors = {99}, covariates = {98};
  MCModelEffect::GetUsedVariables(effects, factors, covariates);
  EXPECT_EQ(factors, (std::vector<int>{12, 10}));
  EXPECT_EQ(covariates, (std::vector<int>{21, 20}));
  EXPECT_EQ(MCModelEffect::CheckVariableUse(effects),
            (std::vector<bool>{true, false, true, true, true}));

  MCModelEffect::GetUsedVariables({}, factors, covariates);
  EXPECT_EQ(factors, (std::vector<int>{12, 10}));
  EXPECT_TRUE(MCModelEffect::CheckVariableUse({}).empty());
}

}  // namespace
