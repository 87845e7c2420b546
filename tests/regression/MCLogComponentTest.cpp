// The logistic component end to end on small data: reference-category rules, start values,
// scoring and its tie rule, classification, separation, output statistics and the statuses of
// the failure tables.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "../../src/regression/MCLogAlgorithm.h"
#include "GLMTestSupport.h"
#include "MCLogComponent.h"
#include "MCLogOutputStats.h"
#include "MCLogRegSettings.h"
#include "MCMV.h"
#include "MCModelEffect.h"
#include "MCRegFactory.h"

namespace {

using glmtest::CancelAfter;
using glmtest::MemoryRecords;
using MCCommon::MCStatus;
using Rows = std::vector<std::vector<double>>;

// Record layout: y at 0, factor A (3 levels) at 1, covariate x at 2, frequency weight at 3.
constexpr int kY = 0, kA = 1, kX = 2, kF = 3;

MCLogRegSettings Settings(int nCategories, int reference, bool withX, bool withA,
                          bool freq = false) {
  MCLogRegSettings s;
  s.SetDependent(kY);
  s.AddFactor(kA, 3);
  s.AddCovariate(kX);
  if (freq) s.SetFrequencyWeightVar(kF);
  static const std::vector<int> indices{kA, kX};
  if (withA) {
    MCModelEffect a(1, 1, &indices);
    a.AddNewFactor(kA, false);
    s.AddModelEffect(a);
  }
  if (withX) {
    MCModelEffect x(1, 1, &indices);
    x.AddCovariate(kX);
    s.AddModelEffect(x);
  }
  s.SetDependentRefCat(reference, nCategories);
  return s;
}

MCCommon::Record RecordOf(const std::vector<double>& row) {
  MCCommon::Record record(static_cast<int>(row.size()));
  for (int i = 0; i < record.Size(); ++i) record[i] = row[static_cast<std::size_t>(i)];
  return record;
}

// Overlapping classes: y depends on x and A but is not separated.
Rows Overlapping() {
  Rows rows;
  const double xs[] = {-1.2, -0.7, -0.3, 0.1, 0.4, 0.9, 1.3, -0.1, 0.6, -0.9, 1.1, 0.2};
  for (int i = 0; i < 36; ++i) {
    const double x = xs[i % 12];
    const int a = i % 3;
    const int y = (i * 7 + a + (x > 0 ? 1 : 0)) % 3;
    rows.push_back({static_cast<double>(y), static_cast<double>(a), x, 1.0 + (i % 2)});
  }
  return rows;
}

struct Fit {
  explicit Fit(const MCLogRegSettings& s, const Rows& rows) : settings(s), data(rows) {
    component = std::make_unique<MCLogComponent>(settings);
    status = component->BuildModel(data);
    IMCRegOutputStats* out = nullptr;
    component->GetOutputStats(out);
    stats = dynamic_cast<MCLogOutputStats*>(out);
  }
  MCLogRegSettings settings;
  MemoryRecords data;
  std::unique_ptr<MCLogComponent> component;
  MCStatus status;
  MCLogOutputStats* stats = nullptr;
};

TEST(LogComponentTest, FactoryMakesTheLogisticComponent) {
  MCLogRegSettings s = Settings(3, -1, true, false);
  MCRegFactory factory;
  std::unique_ptr<IMCRegComponent> c(factory.CreateRegAlgorithm(s));
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->GetModelType(), MCConst::kLogisticModel);
  EXPECT_NE(dynamic_cast<MCLogComponent*>(c.get()), nullptr);
  // Invalid settings: no component, the check's status kept.
  MCLogRegSettings bad;
  EXPECT_EQ(factory.CreateRegAlgorithm(bad), nullptr);
  EXPECT_EQ(factory.GetStatus().GetErrorCode(), 301);
}

TEST(LogComponentTest, OneCategoryGives318AndNoModel) {
  Fit fit(Settings(3, -1, true, false), {{1, 0, 0.5, 1}, {1, 1, -0.5, 1}, {1, 2, 0.1, 1}});
  EXPECT_EQ(fit.status.GetErrorCode(), 318);
  EXPECT_TRUE(fit.status.IsError());
  EXPECT_FALSE(fit.component->IsModelBuilt());
  EXPECT_EQ(fit.stats, nullptr);
  EXPECT_EQ(fit.component->GetStatus().GetErrorCode(), 318);
}

class ReferenceRuleTest : public ::testing::TestWithParam<std::tuple<int, int, bool>> {};

// Categories 0, 2 and 5 occur (6 declared).
TEST_P(ReferenceRuleTest, ResolvesAgainstThePresentCategories) {
  const int requested = std::get<0>(GetParam());
  const int expected = std::get<1>(GetParam());
  const bool warns = std::get<2>(GetParam());
  Rows rows;
  for (int i = 0; i < 18; ++i) {
    const int y = (i % 3 == 0) ? 0 : (i % 3 == 1 ? 2 : 5);
    rows.push_back({static_cast<double>(y), static_cast<double>(i % 3), 0.1 * (i % 5), 1});
  }
  Fit fit(Settings(6, requested, false, false), rows);
  ASSERT_FALSE(fit.status.IsError());
  ASSERT_NE(fit.stats, nullptr);
  const std::vector<int>& categories = fit.stats->GetDependCategories();
  ASSERT_EQ(categories.size(), 3u);
  EXPECT_EQ(categories.back(), expected);
  EXPECT_EQ(fit.status.IsWarning(), warns);
  const std::vector<MCStatus> warnings = fit.component->GetWarnings();
  EXPECT_EQ(warnings.size(), warns ? 1u : 0u);
  if (warns) {
    EXPECT_EQ(warnings[0], MCStatus(319, true));
  }
  // Every other category precedes it in code order.
  std::vector<int> others;
  for (int c : {0, 2, 5}) {
    if (c != expected) others.push_back(c);
  }
  EXPECT_EQ(categories[0], others[0]);
  EXPECT_EQ(categories[1], others[1]);
}

INSTANTIATE_TEST_SUITE_P(Rules, ReferenceRuleTest,
                         ::testing::Values(std::make_tuple(-2, 0, false),
                                           std::make_tuple(-1, 5, false),
                                           std::make_tuple(2, 2, false),
                                           std::make_tuple(3, 5, true)));

TEST(LogComponentTest, InterceptOnlyGivesTheStartValuesWithoutIterating) {
  // Weighted counts 6, 3, 2 for categories 0, 1, 2 (frequency weights).
  const Rows rows{{0, 0, 0.0, 4}, {0, 1, 0.0, 2}, {1, 2, 0.0, 3}, {2, 0, 0.0, 1}, {2, 1, 0.0, 1}};
  Fit fit(Settings(3, -1, false, false, true), rows);
  ASSERT_TRUE(fit.status.IsOK());
  ASSERT_NE(fit.stats, nullptr);
  const std::vector<double>& b = fit.stats->GetParamEstimates();
  ASSERT_EQ(b.size(), 2u);
  EXPECT_DOUBLE_EQ(b[0], std::log(6.0 / 2.0));
  EXPECT_DOUBLE_EQ(b[1], std::log(3.0 / 2.0));
  EXPECT_EQ(fit.stats->GetStopReason(), 9);
  EXPECT_EQ(fit.stats->GetNIterations(), 0);
  EXPECT_EQ(fit.stats->GetModelFitStat(MCConst::kCoxSnellRSquare), 0.0);
  EXPECT_EQ(fit.stats->GetModelFitStat(MCConst::kNagelkerkeRSquare), 0.0);
  EXPECT_EQ(fit.stats->GetModelFitStat(MCConst::kMcFaddenRSquare), 0.0);
  EXPECT_TRUE(MCMV::IsMissing(fit.stats->GetModelFitStat(MCConst::kRMSE)));
  EXPECT_TRUE(MCMV::IsMissing(fit.stats->GetModelFitStat(MCConst::kRSquare)));
  EXPECT_TRUE(MCMV::IsMissing(fit.stats->GetModelFitStat(static_cast<MCConst::MCModelFitStat>(5))));
  // Degrees of freedom: total weight 11 minus 2 parameters.
  EXPECT_EQ(fit.stats->GetNDegFreedom(), 9.0);
  // The inverse information of the intercepts: block (j, l) = (delta_jl / w_j + 1 / w_ref).
  const MCCommonMath::MCSymMatrixData* cov = fit.stats->GetCovarianceMatrix();
  ASSERT_NE(cov, nullptr);
  EXPECT_NEAR(cov->GetElem(0, 0), 1.0 / 6 + 1.0 / 2, 1e-12);
  EXPECT_NEAR(cov->GetElem(1, 0), 1.0 / 2, 1e-12);
}

TEST(LogComponentTest, ScoringTieRulePrefersTheEarlierCategory) {
  // Intercept-only estimates log(4/2) for categories 0 and 1: an exact tie above 0.
  Fit tie(Settings(3, -1, false, false, true), {{0, 0, 0.0, 4}, {1, 0, 0.0, 4}, {2, 0, 0.0, 2}});
  double predicted = -2;
  std::vector<double> pi;
  ASSERT_TRUE(tie.component->Score(RecordOf({9, 0, 0.0, 1}), predicted, pi).IsOK());
  EXPECT_EQ(predicted, 0.0);
  ASSERT_EQ(pi.size(), 3u);
  EXPECT_NEAR(pi[0], 0.4, 1e-15);
  EXPECT_NEAR(pi[1], 0.4, 1e-15);
  EXPECT_NEAR(pi[2], 0.2, 1e-15);
  // Both predictors below 0: the reference.
  Fit low(Settings(3, -1, false, false, true), {{0, 0, 0.0, 2}, {1, 0, 0.0, 2}, {2, 0, 0.0, 4}});
  ASSERT_TRUE(low.component->Score(RecordOf({0, 0, 0.0, 1}), predicted, pi).IsOK());
  EXPECT_EQ(predicted, 2.0);
  // Reference first in code order (-2): the reference is category 0, listed last.
  Fit first(Settings(3, -2, false, false, true), {{0, 0, 0.0, 2}, {1, 0, 0.0, 4}, {2, 0, 0.0, 4}});
  ASSERT_TRUE(first.component->Score(RecordOf({0, 0, 0.0, 1}), predicted, pi).IsOK());
  EXPECT_EQ(predicted, 1.0);
  EXPECT_NEAR(pi[2], 0.2, 1e-15);
}

TEST(LogComponentTest, ScoringFailures) {
  Fit fit(Settings(3, -1, true, true), Overlapping());
  ASSERT_TRUE(fit.status.IsOK());
  double predicted = 7;
  std::vector<double> pi;
  // A factor level the data never had: no row, category -1, probabilities missing.
  MCLogRegSettings s = Settings(3, -1, true, true);
  Rows rows = Overlapping();
  for (auto& r : rows) {
    if (r[kA] == 2) r[kA] = 1;
  }
  Fit two(s, rows);
  ASSERT_TRUE(two.component->Score(RecordOf({0, 2, 0.3, 1}), predicted, pi).IsOK());
  EXPECT_EQ(predicted, -1.0);
  ASSERT_EQ(pi.size(), 3u);
  EXPECT_TRUE(MCMV::IsMissing(pi[0]));
  // A non-whole factor value fails the scoring check with 316.
  EXPECT_EQ(fit.component->Score(RecordOf({0, 1.5, 0.3, 1}), predicted, pi).GetErrorCode(), 316);
  // Before a build: 311.
  MCLogComponent fresh(s);
  EXPECT_EQ(fresh.Score(RecordOf({0, 1, 0.3, 1}), predicted, pi).GetErrorCode(), 311);
  // A cancel pending: 1.
  fit.component->Cancel();
  EXPECT_EQ(fit.component->Score(RecordOf({0, 1, 0.3, 1}), predicted, pi).GetErrorCode(), 1);
}

TEST(LogComponentTest, ClassificationTableAndScoreContributions) {
  Fit fit(Settings(3, -1, true, true, true), Overlapping());
  ASSERT_TRUE(fit.status.IsOK());
  ASSERT_NE(fit.stats, nullptr);
  const int nAll = static_cast<int>(fit.stats->GetParamEstimates().size());
  std::vector<double> total(static_cast<std::size_t>(nAll), 0.0);
  std::vector<double> observed(3, 0.0);
  double weight = 0.0;
  for (const auto& row : Overlapping()) {
    std::vector<double> contributions;
    ASSERT_TRUE(fit.stats->AddToClassification(RecordOf(row), contributions));
    ASSERT_EQ(static_cast<int>(contributions.size()), nAll);
    for (int k = 0; k < nAll; ++k) total[k] += contributions[k];
    observed[static_cast<std::size_t>(row[kY])] += row[kF];
    weight += row[kF];
  }
  // At the maximum the score, the sum of the contributions, vanishes.
  for (int k = 0; k < nAll; ++k) EXPECT_NEAR(total[k], 0.0, 1e-7) << k;
  const MCCommonMath::MCRectMatrix& table = fit.stats->GetClassificationTable();
  ASSERT_EQ(table.GetNRows(), 3);
  double sum = 0.0;
  for (int i = 0; i < 3; ++i) {
    double rowSum = 0.0;
    for (int j = 0; j < 3; ++j) rowSum += table.GetElem(i, j);
    EXPECT_DOUBLE_EQ(rowSum, observed[static_cast<std::size_t>(i)]);
    sum += rowSum;
  }
  EXPECT_DOUBLE_EQ(sum, weight);
  EXPECT_EQ(fit.stats->GetNClassified(), 36);
  // The predicted column agrees with Score.
  double predicted = -1;
  std::vector<double> pi;
  const Rows all = Overlapping();
  const std::vector<double>& first = all[0];
  const MCStatus scored = fit.component->Score(RecordOf(first), predicted, pi);
  ASSERT_TRUE(scored.IsOK()) << scored.GetErrorCode();
  std::vector<double> contributions;
  const double before = table.GetElem(static_cast<int>(first[kY]), static_cast<int>(predicted));
  ASSERT_TRUE(fit.stats->AddToClassification(RecordOf(first), contributions));
  EXPECT_EQ(table.GetElem(static_cast<int>(first[kY]), static_cast<int>(predicted)),
            before + first[kF]);
}

TEST(LogComponentTest, OutputStatisticsDetails) {
  Fit fit(Settings(3, -1, true, true, true), Overlapping());
  ASSERT_NE(fit.stats, nullptr);
  EXPECT_EQ(fit.stats->GetModelType(), MCConst::kLogisticModel);
  // Intercept, 3 levels of A (the last aliased with the intercept), x: 5 per logit.
  const int nAll = 10;
  ASSERT_EQ(static_cast<int>(fit.stats->GetParameters().size()), nAll);
  EXPECT_EQ(fit.stats->GetTotalFreqWeight(), 54.0);
  EXPECT_EQ(fit.stats->GetNDegFreedom(), 54.0 - nAll);
  const MCCommonMath::MCBitSet& bits = fit.stats->GetRedundancyIndicators();
  for (int j = 0; j < 2; ++j) {
    for (int i = 0; i < 5; ++i) {
      const int k = 5 * j + i;
      EXPECT_EQ(bits.IsIn(k), i != 3) << k;
      EXPECT_EQ(fit.stats->GetParamStats()[k].fNotRedundant, i != 3 ? 1 : 0);
      EXPECT_EQ(fit.stats->GetParamStats()[k].fParamIndex, k);
    }
  }
  EXPECT_EQ(fit.stats->GetParamEstimates()[3], 0.0);
  EXPECT_EQ(fit.stats->GetCovarianceMatrix()->GetElem(8, 8), 0.0);
  EXPECT_GT(fit.stats->GetCovarianceMatrix()->GetElem(9, 9), 0.0);
  // Dense row: intercept, A = 1, x; sparse row over the 4 estimated basic parameters.
  std::vector<double> row;
  ASSERT_TRUE(fit.stats->ExpandRow(RecordOf({0, 1, 0.5, 1}), row));
  EXPECT_EQ(row, (std::vector<double>{1, 0, 1, 0, 0.5}));
  std::vector<int> idx;
  std::vector<double> val;
  ASSERT_TRUE(fit.stats->ExpandRow(RecordOf({0, 2, 0.5, 1}), idx, val));
  EXPECT_EQ(idx, (std::vector<int>{0, 3}));
  EXPECT_EQ(val, (std::vector<double>{1, 0.5}));
  // A record the scoring check rejects leaves the outputs alone.
  std::vector<double> untouched{42};
  EXPECT_FALSE(fit.stats->ExpandRow(RecordOf({0, 0.5, 0.5, 1}), untouched));
  EXPECT_EQ(untouched, std::vector<double>{42});
  EXPECT_FALSE(fit.stats->ExpandRow(RecordOf({0, 1}), untouched));
  // Pseudo R-squares lie in [0, 1) for a fit better than the intercept-only model.
  const double cs = fit.stats->GetModelFitStat(MCConst::kCoxSnellRSquare);
  const double nk = fit.stats->GetModelFitStat(MCConst::kNagelkerkeRSquare);
  EXPECT_GT(cs, 0.0);
  EXPECT_GT(nk, cs);
  EXPECT_LT(nk, 1.0);
}

TEST(LogComponentTest, SeparatedDataStopsWithSeparationReasons) {
  // Complete separation: x < 0 always category 0, x > 0 always 1.
  Rows complete;
  for (int i = 0; i < 20; ++i) {
    const double x = (i - 9.5) / 4.0;
    complete.push_back({x < 0 ? 0.0 : 1.0, 0, x, 1});
  }
  MCLogRegSettings s = Settings(2, -1, true, false);
  s.SetStartingIteration(4);
  Fit fit(s, complete);
  ASSERT_TRUE(fit.status.IsOK()) << fit.status.GetErrorCode();
  EXPECT_EQ(fit.stats->GetStopReason(), 7);
  EXPECT_GE(fit.stats->GetNIterations(), 4);
  for (double b : fit.stats->GetParamEstimates()) EXPECT_TRUE(std::isfinite(b));

  // Quasi-complete: both categories at x = 0, separated elsewhere.
  Rows quasi = complete;
  quasi.push_back({0, 0, 0.0, 1});
  quasi.push_back({1, 0, 0.0, 1});
  Fit q(s, quasi);
  ASSERT_TRUE(q.status.IsOK()) << q.status.GetErrorCode();
  EXPECT_EQ(q.stats->GetStopReason(), 8);
  for (double b : q.stats->GetParamEstimates()) EXPECT_TRUE(std::isfinite(b));
}

class RecordingListener : public ProgressListener {
 public:
  bool Report(ProgressReport* report) override {
    iterations.push_back(report->DiscreteMeasure("iterNum"));
    return true;
  }
  std::vector<int> iterations;
};

TEST(LogComponentTest, ProgressReportsReachTheHostListener) {
  RecordingListener listener;
  MCLogRegSettings s = Settings(3, -1, true, true);
  s.SetProgressListener(&listener);
  s.SetIterationFrequency(2);
  Fit fit(s, Overlapping());
  ASSERT_NE(fit.stats, nullptr);
  const int last = fit.stats->GetNIterations();
  ASSERT_GE(last, 3);
  std::vector<int> expected;
  for (int i = 0; i <= last; i += 2) expected.push_back(i);
  if (last % 2 != 0) expected.push_back(last);
  EXPECT_EQ(listener.iterations, expected);
}

TEST(LogComponentTest, StatusesOfTheBuild) {
  const MCLogRegSettings s = Settings(3, -1, true, true);
  // Empty source: 307.
  {
    MCLogComponent c(s);
    MemoryRecords empty(Rows{});
    EXPECT_EQ(c.BuildModel(empty).GetErrorCode(), 307);
    EXPECT_EQ(c.GetStatus().GetErrorCode(), 307);
  }
  // A promised record that does not come: 312.
  {
    MCLogComponent c(s);
    MemoryRecords data(Overlapping());
    data.SetNullAt(3);
    EXPECT_EQ(c.BuildModel(data).GetErrorCode(), 312);
  }
  // A factor value above its size: 316 with the position; a short record: 315.
  {
    MCLogComponent c(s);
    Rows rows = Overlapping();
    rows[4][kA] = 7;
    MemoryRecords data(rows);
    const MCStatus status = c.BuildModel(data);
    EXPECT_EQ(status.GetErrorCode(), 316);
    EXPECT_EQ(status.GetDiscreteDatum(1), kA);
    MCLogComponent c2(s);
    MemoryRecords shortRows(Rows{{0, 1}});
    EXPECT_EQ(c2.BuildModel(shortRows).GetErrorCode(), 315);
  }
  // Repeats: 306 and 310 leave the built model usable; statistics before a build: 310.
  {
    MCLogComponent c(s);
    IMCRegOutputStats* out = reinterpret_cast<IMCRegOutputStats*>(&c);
    EXPECT_EQ(c.GetOutputStats(out).GetErrorCode(), 310);
    EXPECT_EQ(out, nullptr);
    MemoryRecords data(Overlapping());
    std::vector<MCRegrParameter> parameters;
    ASSERT_TRUE(c.CreateParameters(data, parameters).IsOK());
    EXPECT_EQ(parameters.size(), 10u);
    EXPECT_EQ(parameters[0].GetTargetCategory(), 0);
    EXPECT_EQ(parameters[5].GetTargetCategory(), 1);
    EXPECT_EQ(c.CreateParameters(data, parameters).GetErrorCode(), 306);
    ASSERT_TRUE(c.BuildModel(data).IsOK());
    EXPECT_EQ(c.BuildModel(data).GetErrorCode(), 310);
    EXPECT_EQ(c.CreateParameters(data, parameters).GetErrorCode(), 306);
    EXPECT_TRUE(c.IsModelBuilt());
    EXPECT_TRUE(c.GetStatus().IsOK());
    EXPECT_TRUE(c.GetOutputStats(out).IsOK());
    EXPECT_NE(out, nullptr);
  }
  // Cancelled before the build, and by the host's query during the estimation passes.
  {
    MCLogComponent c(s);
    c.Cancel();
    MemoryRecords data(Overlapping());
    EXPECT_EQ(c.BuildModel(data).GetErrorCode(), 1);
    EXPECT_FALSE(c.IsModelBuilt());
  }
  {
    MemoryRecords data(Overlapping());
    CancelAfter query(&data, 36 * 4 + 5);
    MCLogRegSettings cancelling = s;
    cancelling.SetCancelPointer(&query);
    MCLogComponent c(cancelling);
    EXPECT_EQ(c.BuildModel(data).GetErrorCode(), 1);
    EXPECT_FALSE(c.IsModelBuilt());
  }
  // The estimation passes' source refusing a new pass: 307 from the record handler.
  {
    MCLogComponent c(s);
    MemoryRecords data(Overlapping());
    data.SetMaxPasses(3);
    EXPECT_EQ(c.BuildModel(data).GetErrorCode(), 307);
  }
}

TEST(LogModelTest, StepStatusesOfTheModel) {
  const MCLogRegSettings s = Settings(3, -1, true, false);
  MCLogModel model(&s);
  bool added = true;
  EXPECT_EQ(model.AddRecord(RecordOf({0, 0, 0.5, 1}), added).GetErrorCode(), 309);
  EXPECT_FALSE(added);
  EXPECT_EQ(model.FindRedundancy(nullptr).GetErrorCode(), 309);
  const double row[] = {0, 0, 0.5};
  EXPECT_FALSE(model.AddPatternRow(row, {0, 1}));
  // No dependent counts at all: 318.
  MCFactorCounts none;
  EXPECT_EQ(model.SetDependentCategories(none).GetErrorCode(), 318);

  // Categories settled and parameters made, but no row added: a category without weight
  // gives 303 when the start values are made.
  MCLogAlgorithm algorithm(&s);
  MemoryRecords data(Overlapping());
  std::vector<MCRegrParameter> parameters;
  ASSERT_TRUE(algorithm.CreateParameters(data, parameters).IsOK());
  std::vector<double> start;
  EXPECT_EQ(algorithm.GetModel().ComputeStartValues(start).GetErrorCode(), 303);
  // Building after the parameters runs; building twice is refused without changing the status.
  ASSERT_TRUE(algorithm.BuildModel(data).IsOK());
  EXPECT_EQ(algorithm.BuildModel(data).GetErrorCode(), 310);
  EXPECT_TRUE(algorithm.GetStatus().IsOK());
  // Estimates stored: rows are refused.
  EXPECT_EQ(algorithm.GetModel().AddRecord(RecordOf({0, 0, 0.5, 1}), added).GetErrorCode(), 310);
}

}  // namespace
