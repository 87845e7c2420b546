#include <gmock/gmock.h>
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

// One value at one position, for building and for scoring (status 42: a silent failure).
struct ValueCase {
  int position;
  double value;
  bool buildValid;
  long buildCode;
  bool scoreValid;
  long scoreCode;
};

class ValueTest : public ValidatorTest, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(ValueTest, BuildAndScoringRules) {
  const ValueCase c = GetParam();
  for (bool scoring : {false, true}) {
    SCOPED_TRACE(scoring ? "scoring" : "build");
    MCStatus status(42, true);
    const Record r = With(c.position, c.value);
    EXPECT_EQ(scoring ? fValidator.IsValid4Scoring(r, status) : fValidator.IsValidRecord(r, status),
              scoring ? c.scoreValid : c.buildValid);
    EXPECT_EQ(status.GetErrorCode(), scoring ? c.scoreCode : c.buildCode);
    if (status.GetErrorCode() != 42) {
      EXPECT_TRUE(status.IsError());
      EXPECT_EQ(status.GetDiscreteDatum(1), c.position);
    }
    if (status.GetErrorCode() == 316) {
      EXPECT_THAT(status.GetScaleDatum(1), ::testing::NanSensitiveDoubleEq(c.value));
    }
  }
}

const double kMiss = MCMV::kMissing;
// A factor code equal to the size is accepted here (the passes skip it).
INSTANTIATE_TEST_SUITE_P(
    Values, ValueTest,
    ::testing::Values(
        ValueCase{2, 0.0, true, 42, true, 42}, ValueCase{2, 3.0, true, 42, true, 42},
        ValueCase{2, 2.5, false, 316, false, 316}, ValueCase{2, 4.0, false, 316, false, 316},
        ValueCase{2, -0.5, false, 316, false, 316}, ValueCase{2, -0.7, false, 42, false, 42},
        ValueCase{2, kMiss, false, 42, false, 42}, ValueCase{2, kNaN, false, 316, false, 316},
        ValueCase{2, kInf, false, 316, false, 316}, ValueCase{2, -kInf, false, 42, false, 42},
        ValueCase{1, kMiss, false, 42, false, 42}, ValueCase{1, -1e300, true, 42, true, 42},
        ValueCase{1, 1e308, true, 42, true, 42}, ValueCase{1, kNaN, false, 313, true, 42},
        ValueCase{1, kInf, false, 313, true, 42}, ValueCase{1, -kInf, false, 313, true, 42},
        ValueCase{0, kMiss, false, 42, true, 42}, ValueCase{0, kNaN, false, 313, true, 42},
        ValueCase{0, kInf, false, 313, true, 42}, ValueCase{0, -kInf, false, 313, true, 42},
        ValueCase{3, 0.0, false, 42, true, 42}, ValueCase{3, -1.0, false, 42, true, 42},
        ValueCase{3, kMiss, false, 42, true, 42}, ValueCase{3, kNaN, false, 313, true, 42},
        ValueCase{3, -kInf, false, 313, true, 42}, ValueCase{4, 0.0, false, 42, true, 42},
        ValueCase{4, -1.0, false, 42, true, 42}, ValueCase{4, kMiss, false, 42, true, 42},
        ValueCase{4, kInf, false, 313, true, 42}, ValueCase{4, kNaN, false, 313, true, 42}));

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
