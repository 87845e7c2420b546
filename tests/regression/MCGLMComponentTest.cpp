// The linear component on small data: fits, weights, skipped records, scoring, and one check for
// every status of the build. R conformance is in MCGLMConformanceTest.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "../../src/regression/MCGLMAlgorithm.h"
#include "MCGLMComponent.h"
#include "MCGLMOutputStats.h"
#include "MCMV.h"
#include "MCModelEffect.h"
#include "MCRegFactory.h"
#include "RegTestSupport.h"

namespace {

using MCCommon::MCStatus;
using regtest::CancelAfter;
using regtest::MakeRecord;
using regtest::MemoryRecords;
using regtest::Rows;

// Record layout: y at 0, factor A (3 levels) at 1, covariates x at 2 and x2 at 3, frequency
// weight at 4.
constexpr int kY = 0, kA = 1, kX = 2, kX2 = 3, kF = 4;

// Effects in order: kA the factor, kX or kX2 a covariate.
MCRegSettings Linear(const std::vector<int>& effects, bool freq = false) {
  static const std::vector<int> indices = {kA, kX, kX2};
  MCRegSettings s;
  s.SetDependent(kY);
  s.AddFactor(kA, 3);
  s.AddCovariate(kX);
  s.AddCovariate(kX2);
  if (freq) s.SetFrequencyWeightVar(kF);
  for (int e : effects) {
    MCModelEffect effect(1, 2, &indices);
    if (e == kA) effect.AddNewFactor(kA, false);
    if (e != kA) effect.AddCovariate(e);
    s.AddModelEffect(effect);
  }
  return s;
}

// y = 2 + 3x on x = 0..9 (A = 0, x2 = x squared, weight 1).
Rows ExactLine() {
  Rows rows;
  for (int i = 0; i < 10; ++i) rows.push_back({2.0 + 3.0 * i, 0, double(i), double(i * i), 1});
  return rows;
}

// A noisy data set with three levels of A.
Rows Noisy(int n = 30) {
  Rows rows;
  for (int i = 0; i < n; ++i) {
    const double x = 0.37 * i - 2.0, a = i % 3;
    rows.push_back(
        {1.0 + 0.5 * a + 2.0 * x + 0.1 * std::sin(7.0 * i), a, x, std::cos(1.3 * i), 1.0 + i % 2});
  }
  return rows;
}

// A component built on the rows, its statistics, and scoring through it.
struct Fit {
  Fit(const MCRegSettings& s, const Rows& rows) : data(rows), c(s), status(c.BuildModel(data)) {
    c.GetOutputStats(stats);
  }
  double Predict(const std::vector<double>& row) {
    double prediction = -12345.0;
    std::vector<double> unused;
    scored = c.Score(MakeRecord(row), prediction, unused);
    return prediction;
  }
  MemoryRecords data;
  MCGLMComponent c;
  MCStatus status, scored;
  IMCRegOutputStats* stats = nullptr;
};

TEST(MCGLMComponentTest, ExactLineGivesTwoAndThree) {
  Fit fit(Linear({kX}), ExactLine());
  ASSERT_TRUE(fit.status.IsOK());
  ASSERT_NE(fit.stats, nullptr);
  EXPECT_EQ(fit.data.Passes(), 3);
  const std::vector<double>& b = fit.stats->GetParamEstimates();
  ASSERT_EQ(b.size(), 2u);
  EXPECT_NEAR(b[0], 2.0, 1e-12);
  EXPECT_NEAR(b[1], 3.0, 1e-12);
  EXPECT_NEAR(fit.stats->GetModelFitStat(MCConst::kRSquare), 1.0, 1e-14);
  EXPECT_NEAR(fit.stats->GetModelFitStat(MCConst::kRMSE), 0.0, 1e-12);
  EXPECT_TRUE(MCMV::IsMissing(fit.stats->GetModelFitStat(MCConst::kCoxSnellRSquare)));
  EXPECT_EQ(fit.stats->GetMeanValues(), (std::vector<double>{4.5, 28.5, 15.5}));  // x, x2, y
  EXPECT_EQ(fit.stats->GetNDegFreedom(), 8.0);
  EXPECT_NEAR(fit.Predict({MCMV::Missing(), 0, 20.0, 0, 1}), 62.0, 1e-10);
  EXPECT_TRUE(fit.scored.IsOK());
  // Given degrees of freedom replace weight minus parameters.
  MCRegSettings s = Linear({kX, kX2});
  s.SetDF(4.5);
  Fit given(s, ExactLine());
  ASSERT_NE(given.stats, nullptr);
  EXPECT_EQ(given.stats->GetNDegFreedom(), 4.5);
}

// Records that no pass may use leave the fit as if they were absent: a missing covariate, a
// zero weight, and a factor code equal to the factor size (valid, but never counted).
TEST(MCGLMComponentTest, UnusableRecordsAreSkippedInEveryPass) {
  Rows dirty = Noisy();
  dirty.insert(dirty.begin() + 3, {100.0, 1, MCMV::Missing(), 0.0, 1});
  dirty.insert(dirty.begin() + 7, {100.0, 1, 5.0, 0.0, 0});
  dirty.push_back({100.0, 3, 5.0, 0.0, 1});
  Fit clean(Linear({kA, kX, kX2}, true), Noisy()), fit(Linear({kA, kX, kX2}, true), dirty);
  ASSERT_TRUE(clean.status.IsOK() && fit.status.IsOK());
  EXPECT_EQ(clean.stats->GetParamEstimates(), fit.stats->GetParamEstimates());
  EXPECT_EQ(clean.stats->GetModelFitStat(MCConst::kRSquare),
            fit.stats->GetModelFitStat(MCConst::kRSquare));
  // The same for a declared factor that no effect uses (B at 5, two categories): a record
  // with its code equal to its size is in none of the first pass's totals, so in no other pass.
  MCRegSettings withB = Linear({kA, kX, kX2}, true);
  withB.AddFactor(5, 2);
  Rows cleanB = Noisy();
  for (std::size_t i = 0; i < cleanB.size(); ++i) cleanB[i].push_back(double(i % 2));
  Rows dirtyB = cleanB;
  dirtyB.insert(dirtyB.begin() + 4, {100.0, 1, 5.0, 0.0, 1, 2});
  Fit cleanFitB(withB, cleanB), fitB(withB, dirtyB);
  ASSERT_TRUE(cleanFitB.status.IsOK() && fitB.status.IsOK());
  EXPECT_EQ(cleanFitB.stats->GetParamEstimates(), fitB.stats->GetParamEstimates());
  for (auto which : {MCConst::kRSquare, MCConst::kRMSE}) {
    EXPECT_EQ(cleanFitB.stats->GetModelFitStat(which), fitB.stats->GetModelFitStat(which));
  }
  EXPECT_EQ(cleanFitB.stats->GetTotalFreqWeight(), fitB.stats->GetTotalFreqWeight());
  // Scoring a level that never occurred gives the missing value.
  EXPECT_TRUE(MCMV::IsMissing(fit.Predict({0, 3, 1.0, 0, 1})));
  EXPECT_TRUE(fit.scored.IsOK());
  // A record with a missing covariate has no design row; the row passed in stays as it was.
  std::vector<double> row = {7.0};
  EXPECT_FALSE(fit.stats->ExpandRow(MakeRecord({1, 2, MCMV::Missing(), 0, 1}), row));
  EXPECT_EQ(row, std::vector<double>{7.0});
}

// ----------------------------------------------------------------------------------------
// Statuses

TEST(MCGLMStatusTest, FactoryAndSettingsErrors301And302) {
  MCRegFactory factory;
  MCRegSettings none, linearSettings = Linear({kX});
  EXPECT_EQ(factory.CreateRegAlgorithm(none), nullptr);
  EXPECT_EQ(factory.GetStatus().GetErrorCode(), 301);
  std::unique_ptr<IMCRegComponent> linear(factory.CreateRegAlgorithm(linearSettings));
  EXPECT_TRUE(linear != nullptr && factory.GetStatus().IsOK());

  MCRegSettings noEffects = Linear({});
  noEffects.SetInterceptUse(false);
  Fit fit(noEffects, ExactLine());
  EXPECT_EQ(fit.status.GetErrorCode(), 302);
  EXPECT_EQ(fit.data.Passes(), 0);
  // An effect naming a factor (position 5) the settings do not declare: 302 from the first
  // pass, nothing fitted.
  const std::vector<int> indices = {kA, 5};
  MCModelEffect undeclared(2, 0, &indices);
  undeclared.AddNewFactor(5, false);
  MCRegSettings withUndeclared = Linear({kX});
  withUndeclared.AddModelEffect(undeclared);
  Fit none302(withUndeclared, ExactLine());
  EXPECT_EQ(none302.status.GetErrorCode(), 302);
  EXPECT_FALSE(none302.c.IsModelBuilt());
}

TEST(MCGLMStatusTest, TooManyParametersGive305BeforeAnyMatrix) {
  const int levels = 23170;  // 23170 occurring levels plus the intercept
  MCRegSettings settings;
  settings.SetDependent(0);
  settings.AddFactor(1, levels);
  std::vector<int> indices = {1};
  MCModelEffect effect(1, 0, &indices);
  effect.AddNewFactor(1, false);
  settings.AddModelEffect(effect);
  Rows rows;
  for (int i = 0; i < levels; ++i) rows.push_back({0.5 * i, double(i)});
  MCGLMAlgorithm algorithm(&settings);
  MemoryRecords data(rows);
  ASSERT_TRUE(algorithm.ProcessData(data).IsOK());
  const MCStatus status = algorithm.SetupParameters();
  EXPECT_EQ(status.GetErrorCode(), 305);
  EXPECT_EQ(status.GetDiscreteDatum(0), levels + 1);
  EXPECT_EQ(status.GetDiscreteDatum(1), 23169);
  EXPECT_EQ(algorithm.GetModel().GetZPrimeZ(), nullptr);
  EXPECT_FALSE(algorithm.AreParametersReady());
}

TEST(MCGLMStatusTest, ResidualsBeforeTheSolveGive303) {
  MCRegSettings s = Linear({kX});
  MCGLMAlgorithm algorithm(&s);
  MemoryRecords data(ExactLine());
  ASSERT_TRUE(algorithm.ProcessData(data).IsOK());
  ASSERT_TRUE(algorithm.SetupParameters().IsOK());
  EXPECT_EQ(algorithm.GetModel().AddResidual(MakeRecord(ExactLine()[0])).GetErrorCode(), 303);
}

// Repeats are refused (306, 310) and leave the component and its model usable.
TEST(MCGLMStatusTest, RepeatedStepsGive306And310) {
  MCGLMComponent c(Linear({kA}));
  MemoryRecords data(Noisy());
  std::vector<MCRegrParameter> parameters;
  ASSERT_TRUE(c.CreateParameters(data, parameters).IsOK());
  ASSERT_EQ(parameters.size(), 4u);  // intercept and A = 0, 1, 2
  EXPECT_EQ(parameters[3].GetCategories(), std::vector<int>{2});
  std::vector<MCRegrParameter> second;
  EXPECT_EQ(c.CreateParameters(data, second).GetErrorCode(), 306);
  EXPECT_TRUE(second.empty());
  ASSERT_TRUE(c.BuildModel(data).IsOK());
  IMCRegOutputStats* stats = nullptr;
  ASSERT_TRUE(c.GetOutputStats(stats).IsOK());
  const std::vector<double> first = stats->GetParamEstimates();
  // Whatever the source of the repeat (the same, empty, or one that cannot start a pass).
  MemoryRecords empty(Rows{}), spent(Noisy());
  spent.SetMaxPasses(0);
  for (MemoryRecords* source : {&data, &empty, &spent}) {
    EXPECT_EQ(c.BuildModel(*source).GetErrorCode(), 310);
    EXPECT_EQ(c.CreateParameters(*source, second).GetErrorCode(), 306);
    EXPECT_TRUE(c.GetStatus().IsOK());
    EXPECT_TRUE(c.IsModelBuilt());
    EXPECT_EQ(stats->GetParamEstimates(), first);
  }
}

TEST(MCGLMStatusTest, NoModelYetGives311AndCancelFirstGives1) {
  MCGLMComponent c(Linear({kX}));
  IMCRegOutputStats* stats = reinterpret_cast<IMCRegOutputStats*>(&c);
  IMCRegOutputStats* const before = stats;
  EXPECT_EQ(c.GetOutputStats(stats).GetErrorCode(), 311);
  EXPECT_EQ(stats, before);
  double prediction = 0.0;
  std::vector<double> unused;
  EXPECT_EQ(c.Score(MakeRecord({0, 0, 1, 0, 1}), prediction, unused).GetErrorCode(), 311);
  EXPECT_TRUE(c.GetStatus().IsOK());
  // Cancelled before the build: 1 before any record is read.
  c.Cancel();
  MemoryRecords data(ExactLine());
  EXPECT_EQ(c.BuildModel(data).GetErrorCode(), 1);
  EXPECT_EQ(data.Delivered(), 0);
}

// The first error stays: every later step returns it, whatever the step.
TEST(MCGLMStatusTest, BadFactorCodeGives316AndStays) {
  Rows rows = Noisy();
  rows[6][kA] = 2.5;
  Fit fit(Linear({kA}), rows);
  EXPECT_EQ(fit.status.GetErrorCode(), 316);
  EXPECT_EQ(fit.status.GetDiscreteDatum(1), kA);
  EXPECT_EQ(fit.status.GetScaleDatum(1), 2.5);
  std::vector<MCRegrParameter> parameters;
  EXPECT_EQ(fit.c.CreateParameters(fit.data, parameters), fit.status);
  EXPECT_EQ(fit.c.BuildModel(fit.data), fit.status);
  IMCRegOutputStats* stats = nullptr;
  EXPECT_EQ(fit.c.GetOutputStats(stats), fit.status);
  fit.Predict(Noisy()[0]);
  EXPECT_EQ(fit.scored, fit.status);
}

TEST(MCGLMStatusTest, CancelAfterTheBuildRefusesScoring) {
  Fit after(Linear({kX}), ExactLine());
  ASSERT_TRUE(after.status.IsOK());
  after.stats->Cancel();
  after.Predict(ExactLine()[0]);
  EXPECT_EQ(after.scored.GetErrorCode(), 1);
}

// A build that ends with the case's status; the model is then not built.
struct BuildCase {
  const char* name;
  long code;
  Rows rows;
  int maxPasses = -1;    // passes the source allows
  int nullAt = -1;       // a promised record that does not come
  int cancelAfter = -1;  // the host's cancel query says yes after so many records
};

class BuildStatusTest : public ::testing::TestWithParam<BuildCase> {};

TEST_P(BuildStatusTest, EndsTheBuild) {
  const BuildCase& c = GetParam();
  MCRegSettings s = Linear({kA, kX}, true);
  MemoryRecords data(c.rows);
  data.SetMaxPasses(c.maxPasses);
  data.SetNullAt(c.nullAt);
  CancelAfter query(&data, c.cancelAfter);
  if (c.cancelAfter >= 0) s.SetCancelPointer(&query);
  MCGLMComponent component(s);
  const MCStatus status = component.BuildModel(data);
  EXPECT_EQ(status.GetErrorCode(), c.code);
  EXPECT_TRUE(status.IsError());
  EXPECT_EQ(component.GetStatus().GetErrorCode(), c.code);
  EXPECT_FALSE(component.IsModelBuilt());
  if (c.cancelAfter >= 0) {
    EXPECT_EQ(data.Delivered(), c.cancelAfter);
  }
  if (c.code == 315) {
    ASSERT_EQ(component.GetWarnings().size(), 1u);
    EXPECT_EQ(component.GetWarnings()[0].GetErrorCode(), 315);
  }
}

Rows With(Rows rows, std::size_t at, const std::vector<double>& row) {
  rows[at] = row;
  return rows;
}

Rows HugeWeights() {
  Rows rows = Noisy(5);
  for (auto& r : rows) r[kF] = 1e308;  // the total weight overflows: nothing to divide by
  return rows;
}

const double kMiss = MCMV::Missing();
INSTANTIATE_TEST_SUITE_P(
    Statuses, BuildStatusTest,
    ::testing::Values(BuildCase{"NoRecords307", 307, {}},
                      BuildCase{"OnlyMissing307", 307, {{1, 0, kMiss, 0, 1}, {kMiss, 0, 1, 0, 1}}},
                      BuildCase{"FirstPassOnly309", 309, ExactLine(), 1},
                      BuildCase{"NoResidualPass308", 308, ExactLine(), 2},
                      BuildCase{"NullRecord312", 312, ExactLine(), -1, 4},
                      BuildCase{"RowNotAdded313", 313, HugeWeights()},
                      // x^2 of 1e200 overflows: the record cannot be added.
                      BuildCase{"ProductOverflow313", 313,
                                With(Noisy(5), 2, {1.0, 0.0, 1e200, 0.0, 1.0})},
                      BuildCase{"ShortRecord315", 315, With(ExactLine(), 2, {1.0, 0.0, 2.0})},
                      // Not a number or infinite: a covariate no effect uses (its mean would
                      // show it) and a weight cannot be accumulated either.
                      BuildCase{"NaNUnusedCovariate313", 313,
                                With(Noisy(5), 2, {1.0, 0.0, 1.0, std::nan(""), 1.0})},
                      BuildCase{"NaNWeight313", 313,
                                With(Noisy(5), 2, {1.0, 0.0, 1.0, 0.0, std::nan("")})},
                      BuildCase{"CancelInFirstPass", 1, ExactLine(), -1, -1, 3},
                      BuildCase{"CancelInSecondPass", 1, ExactLine(), -1, -1, 14},
                      BuildCase{"CancelInThirdPass", 1, ExactLine(), -1, -1, 27}),
    [](const ::testing::TestParamInfo<BuildCase>& info) { return std::string(info.param.name); });

}  // namespace
