// What the linear and the logistic component (records or patterns) share.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "MCMV.h"
#include "RegTestSupport.h"

namespace {

using MCCommon::MCStatus;
using regtest::Built;
using regtest::kA;
using regtest::kF;
using regtest::kX;
using regtest::kX2;
using regtest::kY;
using regtest::MemoryRecords;
using regtest::Overlapping;
using regtest::Rows;

enum Models { kLin = 1, kLogRecords = 2, kLogPatterns = 4, kLog = 6, kAll = 7 };

// Frequency weights; logistic with three categories.
std::unique_ptr<MCRegSettings> Settings(int model, const std::vector<int>& effects) {
  if (model == kLin) return std::make_unique<MCRegSettings>(regtest::Linear(effects, true));
  auto s = std::make_unique<MCLogRegSettings>(regtest::Logistic(effects, true));
  s->SetUsePatternTabulator(model == kLogPatterns);
  return s;
}

// A build that ends with the case's status and no model; every later step returns it.
struct StatusCase {
  const char* name;
  int models;
  long code;
  Rows rows;
  int position = -1;  // the record position the status names (discrete datum 1)
  int maxPasses = -1, nullAt = -1, cancelAfter = -1;
  bool cancelFirst = false, undeclaredFactor = false, noEffects = false;
  int faultPass = -1;           // from this pass on (1 the first) record 12 reads as changed,
  std::vector<double> changed = {};  // or in this pass only as a null record when changed is empty
};

// A fault at record 12 that the earlier passes did not see.
StatusCase InPass(const char* name, int models, long code, int pass, int position,
                  const std::vector<double>& changed = {}) {
  StatusCase c{name, models, code, regtest::Overlapping(), position};
  c.faultPass = pass;
  c.changed = changed;
  return c;
}

class BuildStatusTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(BuildStatusTest, EndsTheBuildAndStays) {
  const StatusCase& c = GetParam();
  for (int model : {kLin, kLogRecords, kLogPatterns}) {
    if ((c.models & model) == 0) continue;
    SCOPED_TRACE(model);
    std::unique_ptr<MCRegSettings> s =
        Settings(model, c.noEffects ? std::vector<int>{} : std::vector<int>{kA, kX});
    if (c.noEffects) s->SetInterceptUse(false);
    const std::vector<int> indices{kA, 5};
    MCModelEffect undeclared(2, 0, &indices);  // a factor (position 5) not declared
    if (c.undeclaredFactor && undeclared.AddNewFactor(5, false)) s->AddModelEffect(undeclared);
    MemoryRecords data(c.rows);
    data.SetMaxPasses(c.maxPasses);
    data.SetNullAt(c.nullAt);
    if (c.faultPass > 0 && c.changed.empty()) data.SetNullAt(12, c.faultPass);
    if (!c.changed.empty()) data.ChangeFrom(c.faultPass, 12, c.changed);
    regtest::CancelAfter query(&data, c.cancelAfter);
    if (c.cancelAfter >= 0) s->SetCancelPointer(&query);
    std::unique_ptr<IMCRegComponent> component = regtest::MakeComponent(*s);
    if (c.cancelFirst) component->Cancel();
    const MCStatus status = component->BuildModel(data);
    EXPECT_EQ(status.GetErrorCode(), c.code);
    EXPECT_TRUE(status.IsError());
    EXPECT_FALSE(component->IsModelBuilt());
    if (c.cancelAfter >= 0 || c.cancelFirst) {
      EXPECT_EQ(data.Delivered(), std::max(c.cancelAfter, 0));
    }
    if (c.noEffects) {
      EXPECT_EQ(data.Passes(), 0);
    }
    if (c.position >= 0) {
      EXPECT_EQ(status.GetDiscreteDatum(1), c.position);
    }
    // The validator's statuses are also among the warnings.
    if (c.position >= 0 || c.code == 315) {
      const std::vector<MCStatus> warnings = component->GetWarnings();
      ASSERT_EQ(warnings.size(), 1u);
      EXPECT_EQ(warnings[0].GetErrorCode(), c.code);
      EXPECT_EQ(warnings[0].GetDiscreteDatum(1), status.GetDiscreteDatum(1));
    }
    const auto same = [&status](const MCStatus& later) {
      EXPECT_EQ(later.GetErrorCode(), status.GetErrorCode());
      EXPECT_EQ(later.GetDiscreteDatum(1), status.GetDiscreteDatum(1));
    };
    same(component->GetStatus());
    std::vector<MCRegrParameter> parameters;
    same(component->CreateParameters(data, parameters));
    same(component->BuildModel(data));
    IMCRegOutputStats* stats = nullptr;
    same(component->GetOutputStats(stats));
    double predicted = 0.0;
    std::vector<double> pi;
    same(component->Score(regtest::MakeRecord(Overlapping()[0]), predicted, pi));
  }
}

Rows With(std::size_t at, int position, double value) {
  Rows rows = Overlapping();
  rows[at][static_cast<std::size_t>(position)] = value;
  return rows;
}
Rows WithRow(std::size_t at, const std::vector<double>& row) {
  Rows rows = Overlapping();
  rows[at] = row;
  return rows;
}
Rows AllWeights(double w) {
  Rows rows = Overlapping();
  for (std::vector<double>& r : rows) r[kF] = w;
  return rows;
}

const double kNaN = std::nan(""), kInf = HUGE_VAL, kMiss = MCMV::Missing();

INSTANTIATE_TEST_SUITE_P(
    Statuses, BuildStatusTest,
    ::testing::Values(
        StatusCase{"NoRecords307", kAll, 307, {}},
        StatusCase{"OnlyMissing307", kAll, 307, {{1, 0, kMiss, 0, 1}, {kMiss, 0, 1, 0, 1}}},
        StatusCase{"FirstPassOnly309", kLin, 309, Overlapping(), -1, 1},
        StatusCase{"NoResidualPass308", kLin, 308, Overlapping(), -1, 2},
        StatusCase{"NoNewEstimationPass307", kLogRecords, 307, Overlapping(), -1, 3},
        StatusCase{"NullRecord312", kAll, 312, Overlapping(), -1, -1, 3},
        StatusCase{"ShortRecord315", kAll, 315, WithRow(2, {1.0, 0.0, 2.0})},
        StatusCase{"FactorNotWhole316", kAll, 316, With(6, kA, 2.5), kA},
        StatusCase{"NaNCovariate313", kAll, 313, With(4, kX, kNaN), kX},
        StatusCase{"NaNUnusedCovariate313", kAll, 313, With(4, kX2, kNaN), kX2},
        StatusCase{"NaNWeight313", kAll, 313, With(4, kF, kNaN), kF},
        StatusCase{"MinusInfiniteDependent313", kAll, 313, With(4, kY, -kInf), kY},
        // The total weight overflows: nothing to divide by.
        StatusCase{"HugeWeights313", kLin, 313, AllWeights(1e308)},
        // x^2 of 1e200 overflows: the record cannot be added.
        StatusCase{"ProductOverflow313", kAll, 313, With(2, kX, 1e200)},
        StatusCase{"OneCategory318", kLog, 318, {{1, 0, 0.5, 0, 1}, {1, 1, -0.5, 0, 1}}},
        StatusCase{"UndeclaredFactor302", kAll, 302, Overlapping(), -1, -1, -1, -1, false, true},
        StatusCase{"NoEffects302", kAll, 302, Overlapping(), -1, -1, -1, -1, false, false, true},
        StatusCase{"CancelledBefore", kLin | kLogRecords, 1, Overlapping(), -1, -1, -1, -1, true},
        StatusCase{"CancelInFirstPass", kAll, 1, Overlapping(), -1, -1, -1, 3},
        StatusCase{"CancelInSecondPass", kLin | kLogPatterns, 1, Overlapping(), -1, -1, -1, 36 + 5},
        StatusCase{"CancelInThirdPass", kLin, 1, Overlapping(), -1, -1, -1, 72 + 5},
        StatusCase{"CancelInEstimation", kLogRecords, 1, Overlapping(), -1, -1, -1, 36 * 4 + 5},
        // Patterns are made in the second pass; the records' estimation starts at the fourth.
        InPass("NullRecordInSecondPass312", kAll, 312, 2, -1),
        InPass("ShortRecordInSecondPass315", kAll, 315, 2, -1, {1.0, 0.0, 2.0}),
        InPass("FactorNotWholeInSecondPass316", kAll, 316, 2, kA, {1.0, 0.5, 2.0, 0, 1}),
        InPass("NullRecordInEstimation304", kLogRecords, 304, 4, -1),
        InPass("ShortRecordInEstimation315", kLogRecords, 315, 4, -1, {1.0, 0.0, 2.0}),
        InPass("FactorNotWholeInEstimation316", kLogRecords, 316, 4, kA, {1.0, 0.5, 2.0, 0, 1})),
    [](const ::testing::TestParamInfo<StatusCase>& info) { return std::string(info.param.name); });

// Repeats are refused whatever their source and leave the built model as it was.
TEST(RegComponentTest, RepeatedStepsGive306And310) {
  for (int model : {kLin, kLogRecords}) {
    SCOPED_TRACE(model);
    std::unique_ptr<IMCRegComponent> c = regtest::MakeComponent(*Settings(model, {kA, kX}));
    MemoryRecords data(Overlapping());
    std::vector<MCRegrParameter> parameters, second;
    ASSERT_TRUE(c->CreateParameters(data, parameters).IsOK());
    EXPECT_EQ(parameters.size(), model == kLin ? 5u : 10u);
    ASSERT_TRUE(c->BuildModel(data).IsOK());
    IMCRegOutputStats* stats = nullptr;
    ASSERT_TRUE(c->GetOutputStats(stats).IsOK());
    const std::vector<double> first = stats->GetParamEstimates();
    MemoryRecords empty(Rows{}), spent(Overlapping());
    spent.SetMaxPasses(0);
    for (MemoryRecords* source : {&data, &empty, &spent}) {
      EXPECT_EQ(c->BuildModel(*source).GetErrorCode(), 310);
      EXPECT_EQ(c->CreateParameters(*source, second).GetErrorCode(), 306);
      EXPECT_TRUE(second.empty());
      EXPECT_TRUE(c->IsModelBuilt() && c->GetStatus().IsOK());
      EXPECT_EQ(stats->GetParamEstimates(), first);
    }
  }
}

TEST(RegComponentTest, StatisticsAndScoringNeedABuiltModelAndNoCancel) {
  for (int model : {kLin, kLogRecords}) {
    SCOPED_TRACE(model);
    const std::unique_ptr<MCRegSettings> s = Settings(model, {kA, kX});
    double predicted = 0;
    std::vector<double> pi;
    const std::unique_ptr<IMCRegComponent> fresh = regtest::MakeComponent(*s);
    IMCRegOutputStats* stats = reinterpret_cast<IMCRegOutputStats*>(&predicted);
    EXPECT_EQ(fresh->GetOutputStats(stats).GetErrorCode(), model == kLin ? 311 : 310);
    EXPECT_EQ(stats == nullptr, model != kLin);
    EXPECT_EQ(fresh->Score(regtest::MakeRecord(Overlapping()[0]), predicted, pi).GetErrorCode(),
              311);
    EXPECT_TRUE(fresh->GetStatus().IsOK());
    Built fit(*s, Overlapping());
    ASSERT_TRUE(fit.status.IsOK());
    fit.Predict(Overlapping()[0]);
    EXPECT_TRUE(fit.scored.IsOK());
    if (model == kLin) {
      fit.stats->Cancel();
    } else {
      fit.component->Cancel();
    }
    fit.Predict(Overlapping()[0]);
    EXPECT_EQ(fit.scored.GetErrorCode(), 1);
  }
}

// Also a code equal to the size of a declared factor (B at 5) no effect uses, and a record that
// reads from the second pass on with a dependent code the first did not count.
TEST(RegComponentTest, UnusableRecordsAreSkippedInEveryPass) {
  for (int model : {kLin, kLogRecords, kLogPatterns}) {
    SCOPED_TRACE(model);
    std::unique_ptr<MCRegSettings> s = Settings(model, {kA, kX, kX2});
    s->AddFactor(5, 2);
    if (model != kLin) static_cast<MCLogRegSettings&>(*s).SetDependentRefCat(-1, 4);
    Rows clean = Overlapping();
    for (std::size_t i = 0; i < clean.size(); ++i) clean[i].push_back(double(i % 2));
    Rows dirty = clean;
    dirty.insert(dirty.begin() + 3, {2, 1, kMiss, 0.0, 1, 0});
    dirty.insert(dirty.begin() + 7, {2, 1, 5.0, 0.0, 0, 0});
    dirty.insert(dirty.begin() + 9, {2, 3, 5.0, 0.0, 1, 0});
    dirty.insert(dirty.begin() + 5, {2, 0, 3.0, 0.0, 5, 2});
    Built a(*s, clean), b(*s, dirty, [model](MemoryRecords& data) {
      if (model != kLin) data.ChangeFrom(2, 3, {3, 1, 0.5, 0.0, 1, 0});
    });
    ASSERT_TRUE(a.status.IsOK() && b.status.IsOK());
    EXPECT_EQ(a.stats->GetParamEstimates(), b.stats->GetParamEstimates());
    EXPECT_EQ(a.stats->GetTotalFreqWeight(), b.stats->GetTotalFreqWeight());
    EXPECT_EQ(a.stats->GetMeanValues(), b.stats->GetMeanValues());
    for (int which = 0; which < 5; ++which) {
      const auto stat = static_cast<MCConst::MCModelFitStat>(which);
      EXPECT_EQ(a.stats->GetModelFitStat(stat), b.stats->GetModelFitStat(stat)) << which;
    }
    std::vector<double> row = {7.0};
    EXPECT_FALSE(b.stats->ExpandRow(regtest::MakeRecord({1, 2, kMiss, 0, 1, 0}), row));
    EXPECT_EQ(row, std::vector<double>{7.0});
  }
}

}  // namespace
