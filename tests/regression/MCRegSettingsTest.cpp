#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "MCLogRegSettings.h"
#include "MCRegSettings.h"

namespace {

TEST(MCRegSettingsTest, RolesAreWrittenAtTheirPositionsAndTheListGrowsWithUnused) {
  MCRegSettings s;
  EXPECT_TRUE(s.SetDependent(3));
  EXPECT_EQ(s.AddFactor(0, 4), 1);
  EXPECT_EQ(s.AddFactor(6, 2), 2);
  EXPECT_EQ(s.AddCovariate(1), 1);
  EXPECT_TRUE(s.SetFrequencyWeightVar(5));
  EXPECT_TRUE(s.SetRegrWeightVar(8));
  using C = MCConst::MCVariableType;
  EXPECT_EQ(s.GetVariableTypes(),
            (std::vector<C>{MCConst::kFactor, MCConst::kCovariate, MCConst::kUnused,
                            MCConst::kDependent, MCConst::kUnused, MCConst::kFrequencyWeight,
                            MCConst::kFactor, MCConst::kUnused, MCConst::kRegressionWeight}));
  EXPECT_EQ(s.GetFactorSizes(), (std::vector<int>{4, 2}));
}

TEST(MCRegSettingsTest, RefusedRoleAssignmentsChangeNothing) {
  MCRegSettings s;
  ASSERT_TRUE(s.SetDependent(3));
  EXPECT_FALSE(s.SetDependent(4));  // a dependent is already set
  EXPECT_EQ(s.GetDependent(), 3);
  ASSERT_EQ(s.AddFactor(2, 3), 1);
  EXPECT_EQ(s.AddCovariate(2), -1);
  EXPECT_EQ(s.AddFactor(7, 0), -1);
  EXPECT_EQ(s.AddFactor(2, 5), -1);
  EXPECT_FALSE(s.SetRegrWeightVar(2));
  EXPECT_EQ(s.AddCovariate(-1), -1);
  EXPECT_FALSE(MCRegSettings().SetDependent(-1));
  EXPECT_EQ(s.GetFactors(), std::vector<int>{2});
  EXPECT_EQ(s.GetFactorSizes(), std::vector<int>{3});
  EXPECT_TRUE(s.GetCovariates().empty());
  // The refused position 7 must not have been given a role.
  EXPECT_EQ(s.GetVariableTypes().size(), 4u);
  EXPECT_EQ(s.AddCovariate(7), 1);
}

// A confidence level is kept only in [0, 1), degrees of freedom only above 0.
struct NumericCase {
  bool isDF;
  double given, stored;
};

class MCRegSettingsNumericTest : public ::testing::TestWithParam<NumericCase> {};

TEST_P(MCRegSettingsNumericTest, OutOfRangeValuesAreIgnored) {
  MCRegSettings s;
  const NumericCase c = GetParam();
  c.isDF ? s.SetDF(c.given) : s.SetConfidenceLevel(c.given);
  EXPECT_DOUBLE_EQ(c.isDF ? s.GetDF() : s.GetConfidenceLevel(), c.stored);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
INSTANTIATE_TEST_SUITE_P(
    MCRegSettingsOptions, MCRegSettingsNumericTest,
    ::testing::Values(NumericCase{false, 1.0, 0.95}, NumericCase{false, 0.0, 0.0},
                      NumericCase{false, kNaN, 0.95}, NumericCase{true, 0.0, -1.0},
                      NumericCase{true, 4.5, 4.5}, NumericCase{true, kNaN, -1.0}));

TEST(MCLogRegSettingsTest, SettersRefuseBadValuesAndChangeNothing) {
  MCLogRegSettings s;
  EXPECT_TRUE(s.SetDependentRefCat(-2, 2));
  EXPECT_TRUE(s.SetDependentRefCat(1, 2));
  EXPECT_FALSE(s.SetDependentRefCat(2, 2));
  EXPECT_FALSE(s.SetDependentRefCat(-3, 5));
  EXPECT_FALSE(s.SetDependentRefCat(0, 1));
  EXPECT_EQ(s.GetDependentRefCateg(), 1);
  EXPECT_EQ(s.GetDependentNCategs(), 2);
  EXPECT_TRUE(s.SetMaxIterations(0));
  EXPECT_FALSE(s.SetMaxIterations(-1));
  EXPECT_FALSE(s.SetMaxStepHalvingValue(0));
  EXPECT_FALSE(s.SetIterationFrequency(0));
  EXPECT_TRUE(s.SetLLConCriterion(0.0));
  EXPECT_FALSE(s.SetLLConCriterion(-1e-12));
  EXPECT_FALSE(s.SetParamEstConCriterion(std::nan("")));
  EXPECT_EQ(s.GetMaxIterations(), 0);
  EXPECT_EQ(s.GetMaxStepHalvingValue(), 5);
  EXPECT_EQ(s.GetIterationFrequency(), 1);
  EXPECT_EQ(s.GetParamEstConCriterion(), 1e-6);
}

}  // namespace
