#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <vector>

#include "MCComponentDisplay.h"
#include "MCMV.h"
#include "MCRegRecordValidator.h"

namespace {

using MCCommon::MCStatus;
using MCCommon::Record;

Record MakeRecord(const std::vector<double>& values) {
  Record r(static_cast<int>(values.size()));
  for (int i = 0; i < r.Size(); ++i) r[i] = values[i];
  return r;
}

// Positions: 0 dependent, 1 covariate, 2 factor with 3 categories, 3 frequency weight,
// 4 regression weight, 5 unused.
class ValidatorTest : public ::testing::Test {
 protected:
  ValidatorTest()
      : fValidator({MCConst::kDependent, MCConst::kCovariate, MCConst::kFactor,
                    MCConst::kFrequencyWeight, MCConst::kRegressionWeight, MCConst::kUnused},
                   {2}, {3}, 0) {}

  // A valid record with the given factor value.
  static Record WithFactor(double x) { return MakeRecord({1.5, 0.25, x, 1.0, 2.0, -7.0}); }

  MCRegRecordValidator fValidator;
  // A marker that must survive silent failures.
  MCStatus fStatus{42, true};
};

struct FactorCase {
  double value;
  bool valid;
  bool reports316;
};

class FactorValueTest : public ValidatorTest, public ::testing::WithParamInterface<FactorCase> {};

TEST_P(FactorValueTest, BuildAndScoringApplyTheSameCategoryRule) {
  const FactorCase c = GetParam();
  const Record r = WithFactor(c.value);
  for (bool scoring : {false, true}) {
    MCStatus status(42, true);
    const bool valid =
        scoring ? fValidator.IsValid4Scoring(r, status) : fValidator.IsValidRecord(r, status);
    EXPECT_EQ(valid, c.valid) << c.value;
    if (c.reports316) {
      EXPECT_TRUE(status.IsError());
      EXPECT_EQ(status.GetErrorCode(), 316);
      EXPECT_EQ(status.GetDiscreteDatum(1), 2);  // the factor's record position
      EXPECT_EQ(status.GetScaleDatum(1), c.value);
    } else {
      EXPECT_EQ(status, MCStatus(42, true)) << c.value;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, FactorValueTest,
    ::testing::Values(FactorCase{2.0, true, false}, FactorCase{0.0, true, false},
                      FactorCase{3.0, true, false},  // equal to the size: accepted here
                      FactorCase{2.5, false, true}, FactorCase{4.0, false, true},
                      FactorCase{-0.3, false, true}, FactorCase{-0.5, false, true},
                      FactorCase{-0.7, false, false}, FactorCase{MCMV::kMissing, false, false}));

TEST_F(ValidatorTest, CovariateOnlyRejectsTheMissingValue) {
  Record r = WithFactor(1.0);
  r[1] = -1e300;
  EXPECT_TRUE(fValidator.IsValidRecord(r, fStatus));
  r[1] = MCMV::kMissing;
  EXPECT_FALSE(fValidator.IsValidRecord(r, fStatus));
  EXPECT_FALSE(fValidator.IsValid4Scoring(r, fStatus));
  EXPECT_EQ(fStatus, MCStatus(42, true));
}

TEST_F(ValidatorTest, WeightsAndDependentAreCheckedForBuildingOnly) {
  for (int position : {3, 4}) {
    for (double bad : {0.0, -1.0, MCMV::kMissing}) {
      Record r = WithFactor(1.0);
      r[position] = bad;
      EXPECT_FALSE(fValidator.IsValidRecord(r, fStatus)) << position << " " << bad;
      EXPECT_TRUE(fValidator.IsValid4Scoring(r, fStatus)) << position << " " << bad;
    }
  }
  Record r = WithFactor(1.0);
  r[0] = MCMV::kMissing;
  EXPECT_FALSE(fValidator.IsValidRecord(r, fStatus));
  EXPECT_TRUE(fValidator.IsValid4Scoring(r, fStatus));
  EXPECT_EQ(fStatus, MCStatus(42, true));
}

TEST_F(ValidatorTest, ShortRecordGives315AndLongerRecordsAreFine) {
  const Record shortRecord = MakeRecord({1.0, 2.0, 1.0, 1.0, 1.0});  // 5 values, 6 roles
  EXPECT_FALSE(fValidator.IsValidRecord(shortRecord, fStatus));
  EXPECT_EQ(fStatus.GetErrorCode(), 315);
  EXPECT_TRUE(fStatus.IsError());
  MCStatus scoring;
  EXPECT_FALSE(fValidator.IsValid4Scoring(shortRecord, scoring));
  EXPECT_EQ(scoring.GetErrorCode(), 315);
  MCStatus ok;
  EXPECT_TRUE(fValidator.IsValidRecord(MakeRecord({1, 2, 1, 1, 1, 0, 99}), ok));
  EXPECT_TRUE(ok.IsOK());
}

TEST(MCRegRecordValidatorTest, CategoricalDependentUsesTheResponseCountAsItsLimit) {
  // Two dependent roles: only the first one gets the response count as its limit.
  const MCRegRecordValidator v({MCConst::kFactor, MCConst::kDependent, MCConst::kDependent}, {0},
                               {4}, 2);
  EXPECT_EQ(v.GetCategoryLimits(), (std::vector<int>{4, 2, 0}));
  EXPECT_EQ(v.GetNResponseCategories(), 2);
  MCStatus status;
  EXPECT_TRUE(v.IsValidRecord(MakeRecord({4, 2, 0}), status));
  EXPECT_FALSE(v.IsValidRecord(MakeRecord({4, 3, 0}), status));
  EXPECT_EQ(status.GetErrorCode(), 316);
  EXPECT_EQ(status.GetDiscreteDatum(1), 1);
  MCStatus silent;
  EXPECT_FALSE(v.IsValidRecord(MakeRecord({1, MCMV::kMissing, 0}), silent));
  EXPECT_TRUE(silent.IsOK());
  // Scoring ignores the dependent altogether.
  EXPECT_TRUE(v.IsValid4Scoring(MakeRecord({1, 7.5, 0}), silent));
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
  EXPECT_EQ(e.GetExtractSize(), 5);
  EXPECT_EQ(e.GetAllRecordIndices(), (std::vector<int>{0, 4, 2, 7, 9}));
  EXPECT_EQ(e.GetDependentOffset(), 0);
  EXPECT_EQ(e.GetFactorOffsets(), (std::vector<int>{1, 2}));
  EXPECT_EQ(e.GetCovariateOffsets(), std::vector<int>{3});
  EXPECT_EQ(e.GetFreqWeightOffset(), 4);
  EXPECT_EQ(e.GetRegrWeightOffset(), -1);

  std::vector<double> in(10);
  for (int i = 0; i < 10; ++i) in[i] = 10.0 * i;
  double raw[5] = {};
  e.ExtractRecord(in.data(), raw);
  EXPECT_EQ(std::vector<double>(raw, raw + 5), (std::vector<double>{0, 40, 20, 70, 90}));
  std::vector<double> out(6, -1.0);
  ASSERT_TRUE(e.ExtractRecord(in.data(), out));
  EXPECT_EQ(out, (std::vector<double>{0, 40, 20, 70, 90, -1.0}));
  std::vector<double> tooShort(4, -1.0);
  EXPECT_FALSE(e.ExtractRecord(in.data(), tooShort));
  EXPECT_EQ(tooShort, std::vector<double>(4, -1.0));
}

TEST(MCRecordExtractorTest, ResettingWithBothWeightsAppendsThemInOrder) {
  MCRecordExtractor e(0, {1}, {}, 3, -1);
  e.SetRecordIndices(5, {}, {1, 2}, 4, 0);
  EXPECT_EQ(e.GetAllRecordIndices(), (std::vector<int>{5, 1, 2, 4, 0}));
  EXPECT_TRUE(e.GetFactorOffsets().empty());
  EXPECT_EQ(e.GetCovariateOffsets(), (std::vector<int>{1, 2}));
  EXPECT_EQ(e.GetFreqWeightOffset(), 3);
  EXPECT_EQ(e.GetRegrWeightOffset(), 4);
}

TEST(MCRegRecordValidatorTest, DisplaysNameTheirClassesAndFields) {
  std::ostringstream out;
  MCCommon::MCComponentDisplay::SetOutStream(out);
  MCRegRecordValidator({MCConst::kFactor}, {0}, {3}, 0).Display();
  MCRecordExtractor(0, {4, 2}, {7}, 9, -1).Display();
  MCCommon::MCComponentDisplay::SetOutStream(std::cout);
  const std::string text = out.str();
  for (const char* label : {"MCRegRecordValidator display start", "fvCategoryLimits",
                            "MCRegRecordValidator display end", "MCRecordExtractor display start",
                            "fvRecordIndices", "MCRecordExtractor display end"}) {
    EXPECT_NE(text.find(label), std::string::npos) << label;
  }
}

}  // namespace
