#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "MCMV.h"
#include "MCRegRecordValidator.h"
#include "RegTestSupport.h"

namespace {

using MCCommon::MCStatus;
using MCCommon::Record;
using regtest::MakeRecord;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Positions: 0 dependent, 1 covariate, 2 factor with 3 categories, 3 frequency weight,
// 4 regression weight, 5 unused. fStatus is a marker that silent failures must leave alone.
class ValidatorTest : public ::testing::Test {
 protected:
  static Record With(int position, double x) {
    Record r = MakeRecord({1.5, 0.25, 1.0, 1.0, 2.0, -7.0});
    r[position] = x;
    return r;
  }
  MCRegRecordValidator fValidator{
      {MCConst::kDependent, MCConst::kCovariate, MCConst::kFactor, MCConst::kFrequencyWeight,
       MCConst::kRegressionWeight, MCConst::kUnused},
      {2},
      {3},
      0};
  MCStatus fStatus{42, true};
};

struct FactorCase {
  double value;
  bool valid, reports316;
};

class FactorValueTest : public ValidatorTest, public ::testing::WithParamInterface<FactorCase> {};

TEST_P(FactorValueTest, BuildAndScoringApplyTheSameCategoryRule) {
  const FactorCase c = GetParam();
  for (bool scoring : {false, true}) {
    MCStatus status(42, true);
    const Record r = With(2, c.value);
    EXPECT_EQ(scoring ? fValidator.IsValid4Scoring(r, status) : fValidator.IsValidRecord(r, status),
              c.valid);
    if (c.reports316) {
      EXPECT_TRUE(status.IsError());
      EXPECT_EQ(status.GetErrorCode(), 316);
      EXPECT_EQ(status.GetDiscreteDatum(1), 2);  // the factor's record position
      EXPECT_EQ(status.GetScaleDatum(1), c.value);
    } else {
      EXPECT_EQ(status, MCStatus(42, true));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, FactorValueTest,
    ::testing::Values(FactorCase{0.0, true, false},
                      FactorCase{3.0, true, false},  // equal to the size: accepted here
                      FactorCase{2.5, false, true}, FactorCase{4.0, false, true},
                      FactorCase{-0.5, false, true}, FactorCase{-0.7, false, false},
                      FactorCase{MCMV::kMissing, false, false}));

// Only the missing value fails a covariate silently, for building and scoring; any finite value
// is valid.
TEST_F(ValidatorTest, CovariateRejectsOnlyTheMissingValue) {
  EXPECT_FALSE(fValidator.IsValidRecord(With(1, MCMV::kMissing), fStatus));
  EXPECT_FALSE(fValidator.IsValid4Scoring(With(1, MCMV::kMissing), fStatus));
  for (double value : {-1e300, 1e308}) {
    EXPECT_TRUE(fValidator.IsValidRecord(With(1, value), fStatus)) << value;
    EXPECT_TRUE(fValidator.IsValid4Scoring(With(1, value), fStatus)) << value;
  }
  EXPECT_EQ(fStatus, MCStatus(42, true));
}

TEST_F(ValidatorTest, WeightsAndDependentAreCheckedForBuildingOnly) {
  for (int position : {0, 3, 4}) {
    for (double bad : {0.0, -1.0, MCMV::kMissing}) {
      if (position == 0 && bad != MCMV::kMissing) continue;  // a valid continuous dependent
      EXPECT_FALSE(fValidator.IsValidRecord(With(position, bad), fStatus)) << position << bad;
      EXPECT_TRUE(fValidator.IsValid4Scoring(With(position, bad), fStatus)) << position << bad;
    }
  }
  EXPECT_EQ(fStatus, MCStatus(42, true));
}

// A value that is not a number or infinite in a role a pass accumulates (dependent, covariate,
// weights) ends the build with 313 naming it; scoring leaves such a covariate to the prediction.
// An infinite factor code is no whole code in range: 316 (or skipped below -0.5).
TEST_F(ValidatorTest, NonFiniteValuesCannotBeAccumulated) {
  for (int position : {0, 1, 3, 4, 2}) {
    for (double bad : {kNaN, kInf, -kInf}) {
      MCStatus build(42, true), scoring(42, true);
      EXPECT_FALSE(fValidator.IsValidRecord(With(position, bad), build));
      const bool factor = position == 2;
      EXPECT_EQ(build.GetErrorCode(), factor ? (bad < 0 ? 42 : 316) : 313) << position << bad;
      EXPECT_EQ(build.GetDiscreteDatum(1), factor && bad < 0 ? 0 : position);
      EXPECT_EQ(fValidator.IsValid4Scoring(With(position, bad), scoring), !factor);
    }
  }
}

TEST_F(ValidatorTest, ShortRecordGives315AndLongerRecordsAreFine) {
  const Record shortRecord = MakeRecord({1.0, 2.0, 1.0, 1.0, 1.0});  // 5 values, 6 roles
  EXPECT_FALSE(fValidator.IsValidRecord(shortRecord, fStatus));
  EXPECT_EQ(fStatus, MCStatus(315, false));
  MCStatus scoring, ok;
  EXPECT_FALSE(fValidator.IsValid4Scoring(shortRecord, scoring));
  EXPECT_EQ(scoring, MCStatus(315, false));
  EXPECT_TRUE(fValidator.IsValidRecord(MakeRecord({1, 2, 1, 1, 1, 0, 99}), ok));
  EXPECT_TRUE(ok.IsOK());
}

TEST(MCRegRecordValidatorTest, CategoricalDependentUsesTheResponseCountAsItsLimit) {
  // Two dependent roles: only the first one gets the response count as its limit.
  const MCRegRecordValidator v({MCConst::kFactor, MCConst::kDependent, MCConst::kDependent}, {0},
                               {4}, 2);
  EXPECT_EQ(v.GetCategoryLimits(), (std::vector<int>{4, 2, 0}));
  MCStatus status, silent;
  EXPECT_TRUE(v.IsValidRecord(MakeRecord({4, 2, 0}), status));
  EXPECT_FALSE(v.IsValidRecord(MakeRecord({4, 3, 0}), status));
  EXPECT_EQ(status.GetErrorCode(), 316);
  EXPECT_EQ(status.GetDiscreteDatum(1), 1);
  EXPECT_FALSE(v.IsValidRecord(MakeRecord({1, MCMV::kMissing, 0}), silent));
  EXPECT_TRUE(silent.IsOK());
  EXPECT_TRUE(v.IsValid4Scoring(MakeRecord({1, 7.5, 0}), silent));  // dependent not examined
}

TEST(MCRegRecordValidatorTest, FirstFailingPositionWinsAndOutOfRangeFactorsAreIgnored) {
  MCRegRecordValidator v;
  v.SetRecordInfo({MCConst::kFactor, MCConst::kFactor}, {0, 1, 9}, {2, 5, 3}, 0);
  EXPECT_EQ(v.GetCategoryLimits(), (std::vector<int>{2, 5}));
  MCStatus status;
  EXPECT_FALSE(v.IsValidRecord(MakeRecord({2.5, 9.0}), status));
  EXPECT_EQ(status.GetDiscreteDatum(1), 0);
  EXPECT_EQ(status.GetScaleDatum(1), 2.5);
}

TEST(MCRecordExtractorTest, CompactLayoutWithFrequencyWeightOnly) {
  const MCRecordExtractor e(0, {4, 2}, {7}, 9, -1);
  EXPECT_EQ(e.GetAllRecordIndices(), (std::vector<int>{0, 4, 2, 7, 9}));
  EXPECT_EQ(e.GetRegrWeightOffset(), -1);
  std::vector<double> in(10);
  for (int i = 0; i < 10; ++i) in[i] = 10.0 * i;
  double raw[5] = {};
  e.ExtractRecord(in.data(), raw);
  EXPECT_EQ(std::vector<double>(raw, raw + 5), (std::vector<double>{0, 40, 20, 70, 90}));
  std::vector<double> out(6, -1.0), tooShort(4, -1.0);
  ASSERT_TRUE(e.ExtractRecord(in.data(), out));
  EXPECT_EQ(out, (std::vector<double>{0, 40, 20, 70, 90, -1.0}));
  EXPECT_FALSE(e.ExtractRecord(in.data(), tooShort));
  EXPECT_EQ(tooShort, std::vector<double>(4, -1.0));
  // Reset with both weights: they follow the covariates, frequency first.
  MCRecordExtractor r(0, {1}, {}, 3, -1);
  r.SetRecordIndices(5, {}, {1, 2}, 4, 0);
  EXPECT_EQ(r.GetAllRecordIndices(), (std::vector<int>{5, 1, 2, 4, 0}));
}

}  // namespace
