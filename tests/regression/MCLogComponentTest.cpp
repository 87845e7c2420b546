// The logistic component end to end on small data: reference-category rules, start values,
// scoring and its tie rule, classification, separation, output statistics and the statuses of
// the failure tables.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <tuple>
#include <vector>

#include "../../src/regression/MCLogAlgorithm.h"
#include "MCLogComponent.h"
#include "MCLogOutputStats.h"
#include "MCLogRegSettings.h"
#include "MCMV.h"
#include "MCModelEffect.h"
#include "RegTestSupport.h"

namespace {

using MCCommon::MCStatus;
using regtest::CancelAfter;
using regtest::MakeRecord;
using regtest::MemoryRecords;
using regtest::Rows;

// Record layout: y at 0, factor A (3 levels) at 1, covariate x at 2, frequency weight at 3.
constexpr int kY = 0, kA = 1, kX = 2, kF = 3;

MCLogRegSettings Settings(int nCategories, int reference, bool withX, bool withA,
                          bool freq = false) {
  static const std::vector<int> indices{kA, kX};
  MCLogRegSettings s;
  s.SetDependent(kY);
  s.AddFactor(kA, 3);
  s.AddCovariate(kX);
  if (freq) s.SetFrequencyWeightVar(kF);
  MCModelEffect a(1, 1, &indices), x(1, 1, &indices);
  a.AddNewFactor(kA, false);
  x.AddCovariate(kX);
  if (withA) s.AddModelEffect(a);
  if (withX) s.AddModelEffect(x);
  s.SetDependentRefCat(reference, nCategories);
  return s;
}

// Overlapping classes: y depends on x and A but is not separated.
Rows Overlapping() {
  Rows rows;
  const double xs[] = {-1.2, -0.7, -0.3, 0.1, 0.4, 0.9, 1.3, -0.1, 0.6, -0.9, 1.1, 0.2};
  for (int i = 0; i < 36; ++i) {
    const double x = xs[i % 12];
    const int a = i % 3;
    rows.push_back({double((i * 7 + a + (x > 0 ? 1 : 0)) % 3), double(a), x, 1.0 + (i % 2)});
  }
  return rows;
}

struct Fit {
  Fit(const MCLogRegSettings& s, const Rows& rows) : data(rows), component(s) {
    status = component.BuildModel(data);
    IMCRegOutputStats* out = nullptr;
    component.GetOutputStats(out);
    stats = dynamic_cast<MCLogOutputStats*>(out);
  }
  double Predict(const std::vector<double>& row) {
    double predicted = -7;
    scored = component.Score(MakeRecord(row), predicted, pi);
    return predicted;
  }
  MemoryRecords data;
  MCLogComponent component;
  MCStatus status, scored;
  MCLogOutputStats* stats = nullptr;
  std::vector<double> pi;
};

class ReferenceRuleTest : public ::testing::TestWithParam<std::tuple<int, int, bool>> {};

// Categories 0, 2 and 5 occur (6 declared); the reference goes last, the others in code order.
TEST_P(ReferenceRuleTest, ResolvesAgainstThePresentCategories) {
  int requested, expected;
  bool warns;
  std::tie(requested, expected, warns) = GetParam();
  Rows rows;
  for (int i = 0; i < 18; ++i)
    rows.push_back({double(i % 3 == 0 ? 0 : i % 3 == 1 ? 2 : 5), double(i % 3), 0.1 * (i % 5), 1});
  Fit fit(Settings(6, requested, false, false), rows);
  ASSERT_FALSE(fit.status.IsError());
  ASSERT_NE(fit.stats, nullptr);
  std::vector<int> order;
  for (int c : {0, 2, 5}) {
    if (c != expected) order.push_back(c);
  }
  order.push_back(expected);
  EXPECT_EQ(fit.stats->GetDependCategories(), order);
  EXPECT_EQ(fit.status.IsWarning(), warns);
  const std::vector<MCStatus> warnings = fit.component.GetWarnings();
  EXPECT_EQ(warnings, warns ? std::vector<MCStatus>{MCStatus(319, true)} : std::vector<MCStatus>{});
}

INSTANTIATE_TEST_SUITE_P(Rules, ReferenceRuleTest,
                         ::testing::Values(std::make_tuple(-2, 0, false),
                                           std::make_tuple(-1, 5, false),
                                           std::make_tuple(2, 2, false),
                                           std::make_tuple(3, 5, true)));

TEST(LogComponentTest, InterceptOnlyGivesTheStartValuesWithoutIterating) {
  // Weighted counts 6, 3, 2 for categories 0, 1, 2 (frequency weights).
  Fit fit(Settings(3, -1, false, false, true),
          {{0, 0, 0.0, 4}, {0, 1, 0.0, 2}, {1, 2, 0.0, 3}, {2, 0, 0.0, 1}, {2, 1, 0.0, 1}});
  ASSERT_TRUE(fit.status.IsOK());
  ASSERT_NE(fit.stats, nullptr);
  const std::vector<double>& b = fit.stats->GetParamEstimates();
  ASSERT_EQ(b.size(), 2u);
  EXPECT_DOUBLE_EQ(b[0], std::log(6.0 / 2.0));
  EXPECT_DOUBLE_EQ(b[1], std::log(3.0 / 2.0));
  EXPECT_EQ(fit.stats->GetStopReason(), 9);
  EXPECT_EQ(fit.stats->GetNIterations(), 0);
  for (auto which :
       {MCConst::kCoxSnellRSquare, MCConst::kNagelkerkeRSquare, MCConst::kMcFaddenRSquare}) {
    EXPECT_EQ(fit.stats->GetModelFitStat(which), 0.0);
  }
  EXPECT_TRUE(MCMV::IsMissing(fit.stats->GetModelFitStat(MCConst::kRMSE)));
  EXPECT_TRUE(MCMV::IsMissing(fit.stats->GetModelFitStat(MCConst::kRSquare)));
  EXPECT_EQ(fit.stats->GetNDegFreedom(), 9.0);  // total weight 11 minus 2 parameters
  // The inverse information of the intercepts: block (j, l) = (delta_jl / w_j + 1 / w_ref).
  const MCCommonMath::MCSymMatrixData* cov = fit.stats->GetCovarianceMatrix();
  ASSERT_NE(cov, nullptr);
  EXPECT_NEAR(cov->GetElem(0, 0), 1.0 / 6 + 1.0 / 2, 1e-12);
  EXPECT_NEAR(cov->GetElem(1, 0), 1.0 / 2, 1e-12);
}

TEST(LogComponentTest, ScoringTieRulePrefersTheEarlierCategory) {
  // Intercept-only estimates log(4/2) for categories 0 and 1: an exact tie above 0.
  Fit tie(Settings(3, -1, false, false, true), {{0, 0, 0.0, 4}, {1, 0, 0.0, 4}, {2, 0, 0.0, 2}});
  EXPECT_EQ(tie.Predict({9, 0, 0.0, 1}), 0.0);
  ASSERT_TRUE(tie.scored.IsOK());
  ASSERT_EQ(tie.pi.size(), 3u);
  for (int j = 0; j < 3; ++j) EXPECT_NEAR(tie.pi[j], j < 2 ? 0.4 : 0.2, 1e-15);
  // Both predictors below 0: the reference.
  Fit low(Settings(3, -1, false, false, true), {{0, 0, 0.0, 2}, {1, 0, 0.0, 2}, {2, 0, 0.0, 4}});
  EXPECT_EQ(low.Predict({0, 0, 0.0, 1}), 2.0);
  // Reference first in code order (-2): the reference is category 0, listed last.
  Fit first(Settings(3, -2, false, false, true), {{0, 0, 0.0, 2}, {1, 0, 0.0, 4}, {2, 0, 0.0, 4}});
  EXPECT_EQ(first.Predict({0, 0, 0.0, 1}), 1.0);
  EXPECT_NEAR(first.pi[2], 0.2, 1e-15);
}

TEST(LogComponentTest, ScoringFailures) {
  // A factor level the data never had: no row, category -1, probabilities missing.
  Rows rows = Overlapping();
  for (auto& r : rows) r[kA] = r[kA] == 2 ? 1 : r[kA];
  Fit two(Settings(3, -1, true, true), rows);
  EXPECT_EQ(two.Predict({0, 2, 0.3, 1}), -1.0);
  EXPECT_TRUE(two.scored.IsOK());
  ASSERT_EQ(two.pi.size(), 3u);
  EXPECT_TRUE(MCMV::IsMissing(two.pi[0]));
  // A non-whole factor value fails the scoring check with 316.
  Fit fit(Settings(3, -1, true, true), Overlapping());
  ASSERT_TRUE(fit.status.IsOK());
  fit.Predict({0, 1.5, 0.3, 1});
  EXPECT_EQ(fit.scored.GetErrorCode(), 316);
  // Before a build: 311. A cancel pending: 1.
  double predicted = 0;
  std::vector<double> pi;
  EXPECT_EQ(MCLogComponent(Settings(3, -1, true, true))
                .Score(MakeRecord({0, 1, 0.3, 1}), predicted, pi)
                .GetErrorCode(),
            311);
  fit.component.Cancel();
  fit.Predict({0, 1, 0.3, 1});
  EXPECT_EQ(fit.scored.GetErrorCode(), 1);
}

TEST(LogComponentTest, ClassificationTableAndScoreContributions) {
  Fit fit(Settings(3, -1, true, true, true), Overlapping());
  ASSERT_TRUE(fit.status.IsOK());
  ASSERT_NE(fit.stats, nullptr);
  const int nAll = static_cast<int>(fit.stats->GetParamEstimates().size());
  std::vector<double> total(static_cast<std::size_t>(nAll), 0.0), observed(3, 0.0);
  for (const auto& row : Overlapping()) {
    std::vector<double> contributions;
    ASSERT_TRUE(fit.stats->AddToClassification(MakeRecord(row), contributions));
    ASSERT_EQ(static_cast<int>(contributions.size()), nAll);
    for (int k = 0; k < nAll; ++k) total[k] += contributions[k];
    observed[static_cast<std::size_t>(row[kY])] += row[kF];
  }
  // At the maximum the score, the sum of the contributions, vanishes.
  for (int k = 0; k < nAll; ++k) EXPECT_NEAR(total[k], 0.0, 1e-7) << k;
  const MCCommonMath::MCRectMatrix& table = fit.stats->GetClassificationTable();
  ASSERT_EQ(table.GetNRows(), 3);
  for (int i = 0; i < 3; ++i) {
    double rowSum = 0.0;
    for (int j = 0; j < 3; ++j) rowSum += table.GetElem(i, j);
    EXPECT_DOUBLE_EQ(rowSum, observed[static_cast<std::size_t>(i)]);
  }
  EXPECT_EQ(fit.stats->GetNClassified(), 36);
  // The predicted column agrees with Score.
  const std::vector<double> first = Overlapping()[0];
  const int predicted = static_cast<int>(fit.Predict(first));
  ASSERT_TRUE(fit.scored.IsOK());
  const double before = table.GetElem(static_cast<int>(first[kY]), predicted);
  std::vector<double> contributions;
  ASSERT_TRUE(fit.stats->AddToClassification(MakeRecord(first), contributions));
  EXPECT_EQ(table.GetElem(static_cast<int>(first[kY]), predicted), before + first[kF]);
}

// A declared factor that no effect uses (B at 4, two categories) with its code equal to its
// size: the first pass does not count the record, so no later pass may use it, with either
// data handler.
TEST(LogComponentTest, RecordsTheFirstPassDidNotCountAreSkipped) {
  for (bool pattern : {false, true}) {
    MCLogRegSettings s = Settings(3, -1, true, true, true);
    s.AddFactor(4, 2);
    s.SetUsePatternTabulator(pattern);
    Rows clean = Overlapping();
    for (std::size_t i = 0; i < clean.size(); ++i) clean[i].push_back(double(i % 2));
    Rows dirty = clean;
    dirty.insert(dirty.begin() + 5, {2, 0, 3.0, 5, 2});
    Fit a(s, clean), b(s, dirty);
    ASSERT_TRUE(a.status.IsOK() && b.status.IsOK()) << pattern;
    EXPECT_EQ(a.stats->GetParamEstimates(), b.stats->GetParamEstimates()) << pattern;
    EXPECT_EQ(a.stats->GetTotalFreqWeight(), b.stats->GetTotalFreqWeight()) << pattern;
  }
}

// Redundancy, estimates and fit statistics are checked against R in MCLogConformanceTest.
TEST(LogComponentTest, OutputStatisticsExpandRows) {
  Fit fit(Settings(3, -1, true, true, true), Overlapping());
  ASSERT_NE(fit.stats, nullptr);
  // Intercept, 3 levels of A (the last aliased with the intercept), x: 5 per logit.
  EXPECT_EQ(fit.stats->GetNDegFreedom(), 54.0 - 10);
  // Dense row: intercept, A = 1, x; sparse row over the 4 estimated basic parameters.
  std::vector<double> row;
  ASSERT_TRUE(fit.stats->ExpandRow(MakeRecord({0, 1, 0.5, 1}), row));
  EXPECT_EQ(row, (std::vector<double>{1, 0, 1, 0, 0.5}));
  std::vector<int> idx;
  std::vector<double> val;
  ASSERT_TRUE(fit.stats->ExpandRow(MakeRecord({0, 2, 0.5, 1}), idx, val));
  EXPECT_EQ(idx, (std::vector<int>{0, 3}));
  EXPECT_EQ(val, (std::vector<double>{1, 0.5}));
  // A record the scoring check rejects leaves the outputs alone.
  std::vector<double> untouched{42};
  EXPECT_FALSE(fit.stats->ExpandRow(MakeRecord({0, 0.5, 0.5, 1}), untouched));
  EXPECT_EQ(untouched, std::vector<double>{42});
}

TEST(LogComponentTest, SeparatedDataStopsWithSeparationReasons) {
  // Complete separation (7): x < 0 always category 0, x > 0 always 1.
  Rows complete;
  for (int i = 0; i < 20; ++i) complete.push_back({i < 10 ? 0.0 : 1.0, 0, (i - 9.5) / 4.0, 1});
  MCLogRegSettings s = Settings(2, -1, true, false);
  s.SetStartingIteration(4);
  // Quasi-complete (8): both categories at x = 0, separated elsewhere.
  Rows quasi = complete;
  quasi.push_back({0, 0, 0.0, 1});
  quasi.push_back({1, 0, 0.0, 1});
  for (int reason : {7, 8}) {
    Fit fit(s, reason == 7 ? complete : quasi);
    ASSERT_TRUE(fit.status.IsOK()) << fit.status.GetErrorCode();
    EXPECT_EQ(fit.stats->GetStopReason(), reason);
    EXPECT_GE(fit.stats->GetNIterations(), 4);
    for (double b : fit.stats->GetParamEstimates()) EXPECT_TRUE(std::isfinite(b));
  }
}

// A build that ends with the case's status and no model.
struct LogBuildCase {
  const char* name;
  long code;
  Rows rows;
  int position = -1;  // the record position the status names (discrete datum 1)
  int maxPasses = -1, nullAt = -1, cancelAfter = -1;
  bool cancelFirst = false;
  int undeclaredFactor = -1;  // an effect names this position as a factor
  bool pattern = false;
};

class LogBuildStatusTest : public ::testing::TestWithParam<LogBuildCase> {};

TEST_P(LogBuildStatusTest, EndsTheBuild) {
  const LogBuildCase& c = GetParam();
  MCLogRegSettings s = Settings(3, -1, true, true);
  MemoryRecords data(c.rows);
  data.SetMaxPasses(c.maxPasses);
  data.SetNullAt(c.nullAt);
  CancelAfter query(&data, c.cancelAfter);
  if (c.cancelAfter >= 0) s.SetCancelPointer(&query);
  const std::vector<int> indices{kA, c.undeclaredFactor};
  MCModelEffect undeclared(2, 0, &indices);
  if (c.undeclaredFactor >= 0 && undeclared.AddNewFactor(c.undeclaredFactor, false)) {
    s.AddModelEffect(undeclared);
  }
  s.SetUsePatternTabulator(c.pattern);
  MCLogComponent component(s);
  if (c.cancelFirst) component.Cancel();
  const MCStatus status = component.BuildModel(data);
  EXPECT_EQ(status.GetErrorCode(), c.code);
  EXPECT_TRUE(status.IsError());
  EXPECT_EQ(component.GetStatus().GetErrorCode(), c.code);
  EXPECT_FALSE(component.IsModelBuilt());
  if (c.position >= 0) {
    EXPECT_EQ(status.GetDiscreteDatum(1), c.position);
  }
  // The validator's statuses are also among the warnings, as the linear model keeps them.
  if (c.position >= 0 || c.code == 315) {
    const std::vector<MCStatus> warnings = component.GetWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].GetErrorCode(), c.code);
    EXPECT_EQ(warnings[0].GetDiscreteDatum(1), status.GetDiscreteDatum(1));
  }
}

Rows OverlappingWith(int position, double value) {
  Rows rows = Overlapping();
  rows[4][static_cast<std::size_t>(position)] = value;
  return rows;
}

const double kNaN = std::nan(""), kInf = HUGE_VAL;

Rows OneCategory() { return {{1, 0, 0.5, 1}, {1, 1, -0.5, 1}, {1, 2, 0.1, 1}}; }

INSTANTIATE_TEST_SUITE_P(
    Statuses, LogBuildStatusTest,
    ::testing::Values(
        LogBuildCase{"Empty307", 307, {}},
        LogBuildCase{"NoNewEstimationPass307", 307, Overlapping(), -1, 3},
        LogBuildCase{"NullRecord312", 312, Overlapping(), -1, -1, 3},
        LogBuildCase{"ShortRecord315", 315, {{0, 1}}},
        LogBuildCase{"ShortRecordPatterns315", 315, {{0, 1}}, -1, -1, -1, -1, false, -1, true},
        LogBuildCase{"FactorAboveSize316", 316, OverlappingWith(kA, 7), kA},
        // A value that is not a number or infinite cannot be accumulated, whatever its role.
        LogBuildCase{"NaNCovariate313", 313, OverlappingWith(kX, kNaN), kX},
        LogBuildCase{"InfiniteCovariatePatterns313", 313, OverlappingWith(kX, -kInf), kX, -1, -1,
                     -1, false, -1, true},
        LogBuildCase{"NaNDependent313", 313, OverlappingWith(kY, kNaN), kY},
        LogBuildCase{"MinusInfiniteDependent313", 313, OverlappingWith(kY, -kInf), kY},
        LogBuildCase{"OneCategory318", 318, OneCategory()},
        LogBuildCase{"UndeclaredFactor302", 302, Overlapping(), -1, -1, -1, -1, false, 5},
        LogBuildCase{"UndeclaredFactorPatterns302", 302, Overlapping(), -1, -1, -1, -1, false, 5,
                     true},
        LogBuildCase{"CancelledBefore", 1, Overlapping(), -1, -1, -1, -1, true},
        LogBuildCase{"CancelledInEstimation", 1, Overlapping(), -1, -1, -1, 36 * 4 + 5}),
    [](const ::testing::TestParamInfo<LogBuildCase>& info) {
      return std::string(info.param.name);
    });

// Repeats: 306 and 310 leave the built model usable; statistics before a build: 310.
TEST(LogComponentTest, RepeatedStepsGive306And310) {
  MCLogComponent c(Settings(3, -1, true, true));
  IMCRegOutputStats* out = reinterpret_cast<IMCRegOutputStats*>(&c);
  EXPECT_EQ(c.GetOutputStats(out).GetErrorCode(), 310);
  EXPECT_EQ(out, nullptr);
  MemoryRecords data(Overlapping());
  std::vector<MCRegrParameter> parameters;
  ASSERT_TRUE(c.CreateParameters(data, parameters).IsOK());
  EXPECT_EQ(parameters.size(), 10u);
  ASSERT_TRUE(c.BuildModel(data).IsOK());
  // Whatever the source of the repeat (the same, empty, or one that cannot start a pass).
  MemoryRecords empty(Rows{}), spent(Overlapping());
  spent.SetMaxPasses(0);
  for (MemoryRecords* source : {&data, &empty, &spent}) {
    EXPECT_EQ(c.BuildModel(*source).GetErrorCode(), 310);
    EXPECT_EQ(c.CreateParameters(*source, parameters).GetErrorCode(), 306);
    EXPECT_TRUE(c.IsModelBuilt() && c.GetStatus().IsOK());
  }
}

// The inverse information over all (K-1) nBasic parameters is one packed matrix: more than
// 23169 parameters give 305 with the count and the limit before X'X or any other matrix exists.
TEST(LogModelTest, TooManyParametersGive305BeforeAnyMatrix) {
  const int levels = 11585;  // with the intercept 11586 a logit, 23172 over two logits
  MCLogRegSettings s;
  s.SetDependent(0);
  s.AddFactor(1, levels);
  s.SetDependentRefCat(-1, 3);
  const std::vector<int> indices{1};
  MCModelEffect a(1, 0, &indices);
  a.AddNewFactor(1, false);
  s.AddModelEffect(a);
  Rows rows;
  for (int i = 0; i < levels; ++i) rows.push_back({double(i % 3), double(i)});
  MCLogAlgorithm algorithm(&s);
  MemoryRecords data(rows);
  std::vector<MCRegrParameter> parameters;
  const MCStatus status = algorithm.CreateParameters(data, parameters);
  ASSERT_EQ(status.GetErrorCode(), 305);
  EXPECT_EQ(status.GetDiscreteDatum(0), 2 * (levels + 1));
  EXPECT_EQ(status.GetDiscreteDatum(1), 23169);
  EXPECT_EQ(algorithm.GetModel().GetXPrimeX(), nullptr);
}

TEST(LogModelTest, StepStatusesOfTheModel) {
  const MCLogRegSettings s = Settings(3, -1, true, false);
  MCLogModel model(&s);
  bool added = true;
  EXPECT_EQ(model.AddRecord(MakeRecord({0, 0, 0.5, 1}), added).GetErrorCode(), 309);
  EXPECT_FALSE(added);
  EXPECT_EQ(model.FindRedundancy(nullptr).GetErrorCode(), 309);
  const double row[] = {0, 0, 0.5};
  EXPECT_FALSE(model.AddPatternRow(row, {0, 1}));
  EXPECT_EQ(model.SetDependentCategories(MCFactorCounts()).GetErrorCode(), 318);
  // Categories settled and parameters made, but no row added: a category without weight
  // gives 303 when the start values are made.
  MCLogAlgorithm algorithm(&s);
  MemoryRecords data(Overlapping());
  std::vector<MCRegrParameter> parameters;
  ASSERT_TRUE(algorithm.CreateParameters(data, parameters).IsOK());
  std::vector<double> start;
  EXPECT_EQ(algorithm.GetModel().ComputeStartValues(start).GetErrorCode(), 303);
  ASSERT_TRUE(algorithm.BuildModel(data).IsOK());
  // Estimates stored: rows are refused.
  EXPECT_EQ(algorithm.GetModel().AddRecord(MakeRecord({0, 0, 0.5, 1}), added).GetErrorCode(), 310);
}

}  // namespace
