// The logistic component end to end on small data.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
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
using regtest::kA;
using regtest::kF;
using regtest::kX;
using regtest::kY;
using regtest::Logistic;
using regtest::MakeRecord;
using regtest::MemoryRecords;
using regtest::Overlapping;
using regtest::Rows;
using Fit = regtest::Built;

// An intercept-only fit: the start values are the fit. Scoring takes the largest predictor
// above 0, the earlier category on a tie, and the reference when all are below 0.
struct RuleCase {
  int nCategories, reference;
  std::vector<std::pair<int, double>> weights;  // code, frequency weight
  std::vector<int> order;
  bool warns;
  double predicted;
};

class ReferenceRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(ReferenceRuleTest, ResolvesAgainstThePresentCategoriesAndScores) {
  const RuleCase& c = GetParam();
  Rows rows;
  double total = 0.0;
  for (const auto& [code, weight] : c.weights) {
    rows.push_back({double(code), 0, 0.0, 0, weight});
    total += weight;
  }
  Fit fit(Logistic({}, true, c.nCategories, c.reference), rows);
  ASSERT_NE(fit.log, nullptr);
  EXPECT_EQ(fit.log->GetDependCategories(), c.order);
  const std::size_t K = c.order.size();
  std::vector<double> w(K, 0.0);  // in the order of the categories
  for (std::size_t j = 0; j < K; ++j) {
    for (const auto& [code, weight] : c.weights) w[j] += code == c.order[j] ? weight : 0.0;
  }
  const MCCommonMath::MCSymMatrixData* cov = fit.log->GetCovarianceMatrix();
  ASSERT_NE(cov, nullptr);
  for (std::size_t j = 0; j + 1 < K; ++j) {
    EXPECT_DOUBLE_EQ(fit.log->GetParamEstimates()[j], std::log(w[j] / w[K - 1]));
    for (std::size_t l = 0; l <= j; ++l) {
      EXPECT_NEAR(cov->GetElem(int(j), int(l)), (j == l) / w[j] + 1 / w[K - 1], 1e-12);
    }
  }
  EXPECT_EQ(fit.log->GetStopReason(), 9);
  EXPECT_EQ(fit.log->GetNIterations(), 0);
  for (auto which :
       {MCConst::kCoxSnellRSquare, MCConst::kNagelkerkeRSquare, MCConst::kMcFaddenRSquare}) {
    EXPECT_EQ(fit.log->GetModelFitStat(which), 0.0);
  }
  EXPECT_TRUE(MCMV::IsMissing(fit.log->GetModelFitStat(MCConst::kRMSE)));
  EXPECT_TRUE(MCMV::IsMissing(fit.log->GetModelFitStat(MCConst::kRSquare)));
  EXPECT_EQ(fit.log->GetNDegFreedom(), total - double(K - 1));
  EXPECT_EQ(fit.component->GetWarnings(),
            c.warns ? std::vector<MCStatus>{MCStatus(319, true)} : std::vector<MCStatus>{});
  EXPECT_EQ(fit.status.IsWarning(), c.warns);
  EXPECT_EQ(fit.Predict({9, 0, 0.0, 0, 1}), c.predicted);
  ASSERT_TRUE(fit.scored.IsOK());
  ASSERT_EQ(fit.pi.size(), c.order.size());
  for (std::size_t j = 0; j < K; ++j) EXPECT_NEAR(fit.pi[j], w[j] / total, 1e-15) << j;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ReferenceRuleTest,
    ::testing::Values(RuleCase{6, -2, {{0, 1}, {2, 2}, {5, 3}}, {2, 5, 0}, false, 5},
                      RuleCase{6, -1, {{0, 1}, {2, 2}, {5, 3}}, {0, 2, 5}, false, 5},
                      RuleCase{6, 2, {{0, 1}, {2, 2}, {5, 3}}, {0, 5, 2}, false, 5},
                      RuleCase{6, 3, {{0, 1}, {2, 2}, {5, 3}}, {0, 2, 5}, true, 5},
                      RuleCase{3, -1, {{0, 4}, {1, 4}, {2, 2}}, {0, 1, 2}, false, 0},
                      RuleCase{3, -1, {{0, 4}, {1, 3}, {0, 2}, {2, 2}}, {0, 1, 2}, false, 0},
                      RuleCase{3, -1, {{0, 2}, {1, 2}, {2, 4}}, {0, 1, 2}, false, 2},
                      RuleCase{3, -2, {{0, 2}, {1, 4}, {2, 4}}, {1, 2, 0}, false, 1}));

TEST(LogComponentTest, ScoringFailures) {
  // A factor level the data never had: no row, category -1, probabilities missing.
  Rows rows = Overlapping();
  for (auto& r : rows) r[kA] = r[kA] == 2 ? 1 : r[kA];
  Fit two(Logistic({kA, kX}), rows);
  EXPECT_EQ(two.Predict({0, 2, 0.3, 0, 1}), -1.0);
  EXPECT_TRUE(two.scored.IsOK());
  ASSERT_EQ(two.pi.size(), 3u);
  EXPECT_TRUE(MCMV::IsMissing(two.pi[0]));
  Fit fit(Logistic({kA, kX}), Overlapping());
  ASSERT_TRUE(fit.status.IsOK());
  fit.Predict({0, 1.5, 0.3, 0, 1});
  EXPECT_EQ(fit.scored.GetErrorCode(), 316);
}

// A pass to tabulate, one for the cross products (which rewinds the source after it), one per
// iteration and one to confirm the last; kept by patterns, the rows are read in the first two.
TEST(LogComponentTest, PassesOverTheRecords) {
  const Fit fit(Logistic({kA, kX}), Overlapping());
  ASSERT_NE(fit.log, nullptr);
  EXPECT_EQ(fit.data.Passes(), 4 + fit.log->GetNIterations());
  MCLogRegSettings byPatterns = Logistic({kA, kX});
  byPatterns.SetUsePatternTabulator(true);
  EXPECT_EQ(Fit(byPatterns, Overlapping()).data.Passes(), 2);
}

TEST(LogComponentTest, ClassificationTableAndScoreContributions) {
  Fit fit(Logistic({kA, kX}, true), Overlapping());
  ASSERT_TRUE(fit.status.IsOK());
  ASSERT_NE(fit.log, nullptr);
  const int nAll = static_cast<int>(fit.log->GetParamEstimates().size());
  std::vector<double> total(static_cast<std::size_t>(nAll), 0.0), observed(3, 0.0);
  for (const auto& row : Overlapping()) {
    std::vector<double> contributions;
    ASSERT_TRUE(fit.log->AddToClassification(MakeRecord(row), contributions));
    ASSERT_EQ(static_cast<int>(contributions.size()), nAll);
    for (int k = 0; k < nAll; ++k) total[k] += contributions[k];
    observed[static_cast<std::size_t>(row[kY])] += row[kF];
  }
  // At the maximum the score, the sum of the contributions, vanishes.
  for (int k = 0; k < nAll; ++k) EXPECT_NEAR(total[k], 0.0, 1e-7) << k;
  const MCCommonMath::MCRectMatrix& table = fit.log->GetClassificationTable();
  ASSERT_EQ(table.GetNRows(), 3);
  for (int i = 0; i < 3; ++i) {
    double rowSum = 0.0;
    for (int j = 0; j < 3; ++j) rowSum += table.GetElem(i, j);
    EXPECT_DOUBLE_EQ(rowSum, observed[static_cast<std::size_t>(i)]);
  }
  EXPECT_EQ(fit.log->GetNClassified(), 36);
  const std::vector<double> first = Overlapping()[0];
  const int predicted = static_cast<int>(fit.Predict(first));
  ASSERT_TRUE(fit.scored.IsOK());
  const double before = table.GetElem(static_cast<int>(first[kY]), predicted);
  std::vector<double> contributions;
  ASSERT_TRUE(fit.log->AddToClassification(MakeRecord(first), contributions));
  EXPECT_EQ(table.GetElem(static_cast<int>(first[kY]), predicted), before + first[kF]);
}

TEST(LogComponentTest, OutputStatisticsExpandRows) {
  Fit fit(Logistic({kA, kX}, true), Overlapping());
  ASSERT_NE(fit.log, nullptr);
  // Intercept, 3 levels of A (the last aliased with the intercept), x: 5 per logit.
  EXPECT_EQ(fit.log->GetNDegFreedom(), 54.0 - 10);
  // Dense row: intercept, A = 1, x; sparse row over the 4 estimated basic parameters.
  std::vector<double> row;
  ASSERT_TRUE(fit.log->ExpandRow(MakeRecord({0, 1, 0.5, 0, 1}), row));
  EXPECT_EQ(row, (std::vector<double>{1, 0, 1, 0, 0.5}));
  std::vector<int> idx;
  std::vector<double> val;
  ASSERT_TRUE(fit.log->ExpandRow(MakeRecord({0, 2, 0.5, 0, 1}), idx, val));
  EXPECT_EQ(idx, (std::vector<int>{0, 3}));
  EXPECT_EQ(val, (std::vector<double>{1, 0.5}));
  // A record the scoring check rejects leaves the outputs alone.
  std::vector<double> untouched{42};
  EXPECT_FALSE(fit.log->ExpandRow(MakeRecord({0, 0.5, 0.5, 0, 1}), untouched));
  EXPECT_EQ(untouched, std::vector<double>{42});
}

TEST(LogComponentTest, SeparatedDataStopsWithSeparationReasons) {
  // Complete separation (7): x < 0 always category 0, x > 0 always 1.
  Rows complete;
  for (int i = 0; i < 20; ++i) complete.push_back({i < 10 ? 0.0 : 1.0, 0, (i - 9.5) / 4.0, 0, 1});
  MCLogRegSettings s = Logistic({kX}, false, 2);
  s.SetStartingIteration(4);
  // Quasi-complete (8): both categories at x = 0, separated elsewhere.
  Rows quasi = complete;
  quasi.push_back({0, 0, 0.0, 0, 1});
  quasi.push_back({1, 0, 0.0, 0, 1});
  for (int reason : {7, 8}) {
    Fit fit(s, reason == 7 ? complete : quasi);
    ASSERT_TRUE(fit.status.IsOK()) << fit.status.GetErrorCode();
    EXPECT_EQ(fit.log->GetStopReason(), reason);
    EXPECT_GE(fit.log->GetNIterations(), 4);
    for (double b : fit.log->GetParamEstimates()) EXPECT_TRUE(std::isfinite(b));
  }
}

// The inverse information over all (K-1) nBasic parameters is one packed matrix.
TEST(LogModelTest, TooManyParametersGive305BeforeAnyMatrix) {
  const int levels = 11585;  // with the intercept 11586 a logit, 23172 over two logits
  MCLogRegSettings s = regtest::OneFactor<MCLogRegSettings>(levels);
  s.SetDependentRefCat(-1, 3);
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

}  // namespace
