#include <gtest/gtest.h>

#include <iostream>
#include <limits>
#include <sstream>
#include <string>

#include "MCComponentDisplay.h"
#include "MCRegSettings.h"

namespace {

TEST(MCRegSettingsTest, RolesAreWrittenAtTheirPositionsAndTheListGrowsWithZeros) {
  MCRegSettings s;
  EXPECT_TRUE(s.SetDependent(3));
  EXPECT_EQ(s.AddFactor(0, 4), 1);
  EXPECT_EQ(s.AddFactor(6, 2), 2);
  EXPECT_EQ(s.AddCovariate(1), 1);
  EXPECT_TRUE(s.SetFrequencyWeightVar(5));
  EXPECT_TRUE(s.SetRegrWeightVar(8));
  const std::vector<MCConst::MCVariableType> expected = {
      MCConst::kFactor,    MCConst::kCovariate, MCConst::kUnused,
      MCConst::kDependent, MCConst::kUnused,    MCConst::kFrequencyWeight,
      MCConst::kFactor,    MCConst::kUnused,    MCConst::kRegressionWeight};
  EXPECT_EQ(s.GetVariableTypes(), expected);
  EXPECT_EQ(s.GetFactors(), (std::vector<int>{0, 6}));
  EXPECT_EQ(s.GetFactorSizes(), (std::vector<int>{4, 2}));
  EXPECT_EQ(s.GetCovariates(), (std::vector<int>{1}));
  EXPECT_EQ(s.GetFrequencyWeightVar(), 5);
  EXPECT_EQ(s.GetRegrWeightVar(), 8);
  EXPECT_EQ(s.GetModelType(), MCConst::kLinearModel);
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
  EXPECT_FALSE(s.SetFrequencyWeightVar(3));
  EXPECT_FALSE(s.SetRegrWeightVar(2));
  EXPECT_EQ(s.AddCovariate(-1), -1);
  EXPECT_EQ(s.AddFactor(-1, 2), -1);
  MCRegSettings fresh;
  EXPECT_FALSE(fresh.SetDependent(-1));
  EXPECT_EQ(fresh.GetDependent(), -1);
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
  double given;
  double stored;
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
                      NumericCase{false, 0.9, 0.9}, NumericCase{false, -0.1, 0.95},
                      NumericCase{false, kNaN, 0.95}, NumericCase{true, 0.0, -1.0},
                      NumericCase{true, -3.0, -1.0}, NumericCase{true, 4.5, 4.5},
                      NumericCase{true, kNaN, -1.0}));

TEST(MCRegSettingsTest, ValidityNeedsADependentAndAnInterceptOrAnEffect) {
  MCRegSettings s;
  MCCommon::MCStatus st = s.IsValidSettings();
  EXPECT_TRUE(st.IsError());
  EXPECT_EQ(st.GetErrorCode(), 301);

  ASSERT_TRUE(s.SetDependent(0));
  EXPECT_TRUE(s.IsValidSettings().IsOK());
  s.SetInterceptUse(false);
  st = s.IsValidSettings();
  EXPECT_TRUE(st.IsError());
  EXPECT_EQ(st.GetErrorCode(), 302);

  const std::vector<int> indices = {1};
  MCModelEffect e(0, 1, &indices);
  e.AddCovariate(1);
  EXPECT_TRUE(s.AddModelEffect(e));
  EXPECT_TRUE(s.AddModelEffect(e));  // duplicates are kept
  EXPECT_EQ(s.GetNModelEffects(), 2);
  EXPECT_TRUE(s.IsValidSettings().IsOK());
}

TEST(MCRegSettingsTest, CopiesAreIndependentOfTheirSource) {
  MCRegSettings a;
  a.SetDependent(0);
  a.AddFactor(1, 3);
  a.SetConfidenceLevel(0.9);
  a.SetCovbType(MCConst::kRobust);
  MCRegSettings b(a);
  MCRegSettings c;
  c = a;
  a.AddFactor(2, 4);
  a.AddCovariate(3);
  a.AddModelEffect(MCModelEffect());
  for (const MCRegSettings* copy : {&b, &c}) {
    EXPECT_EQ(copy->GetFactors(), std::vector<int>{1});
    EXPECT_EQ(copy->GetNModelEffects(), 0);
    EXPECT_EQ(copy->GetVariableTypes().size(), 2u);
    EXPECT_DOUBLE_EQ(copy->GetConfidenceLevel(), 0.9);
    EXPECT_EQ(copy->GetCovbType(), MCConst::kRobust);
  }
  // The copy keeps its own role list: position 2 is still free there.
  EXPECT_EQ(b.AddCovariate(2), 1);
}

class MCRegSettingsDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override { MCCommon::MCComponentDisplay::SetOutStream(fOut); }
  void TearDown() override { MCCommon::MCComponentDisplay::SetOutStream(std::cout); }
  std::ostringstream fOut;
};

TEST_F(MCRegSettingsDisplayTest, PrintsLabelsInOrderAndEachEffect) {
  MCRegSettings s;
  s.SetDependent(4);
  const std::vector<int> indices = {2};
  MCModelEffect e(1, 0, &indices);
  e.AddNewFactor(2, false);
  s.AddModelEffect(e);
  s.Display();
  // Labels of the settings, then of the effect inside them, in the order written.
  // clang-format off
  const char* const labels[] = {
      "MCRegSettings display start", "fFreqWeightVar", "fRegrWeightVar", "Dependent Var = 4",
      "Factors ", "Factor Sizes ", "Covariates ", "Tolerance", "Intercept use", "Confidence",
      "Degrees of freedom", "\nModel Effects:", "Begin MCModelEffect object display.",
      "Factors in model = 1", "Factors in effect = 1", "Nesting levels = 1",
      "Covariates in model = 0", "Factor after Covariates in ()? = false",
      "Covariates in effect = 0", "The main vector", "End MCModelEffect object display.",
      "MCRegSettings display end"};
  // clang-format on
  const std::string text = fOut.str();
  size_t at = 0;
  for (const char* label : labels) {
    at = text.find(label, at);
    ASSERT_NE(at, std::string::npos) << label;
  }
}

}  // namespace
