// tests/fixtures/logit against R's Newton fit and statsmodels' MNLogit, records and patterns.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "MCLogComponent.h"
#include "MCLogOutputStats.h"
#include "MCLogRegSettings.h"
#include "MCRegFactory.h"
#include "RegTestSupport.h"

namespace {

struct Case : regtest::Fixture {
  Case(const std::string& name, bool patterns) : Fixture(std::string(MCSTAT_FIXTURES_DIR) + "/logit/", name) {
    Configure(settings);
    settings.SetDependentRefCat(static_cast<int>(ref.Number("ref")),
                                static_cast<int>(ref.Number("ncat")));
    settings.SetParamEstConCriterion(1e-10);
    settings.SetUsePatternTabulator(patterns);
    fit = std::make_unique<regtest::Built>(settings, rows);
  }
  MCLogRegSettings settings;
  std::unique_ptr<regtest::Built> fit;
};

const std::vector<std::string> kCases = {
    "covariates_only", "contingency_table", "factor_covariate_interaction", "regression_weights",
    "no_intercept",    "aliased_covariate", "reference_explicit",           "reference_first",
    "reference_last",  "reference_absent"};

void ExpectPeersFit(const Case& c, const std::string& name) {
  ASSERT_FALSE(c.fit->status.IsError()) << c.fit->status.GetErrorCode();
  const bool absent = name == "reference_absent";
  EXPECT_EQ(c.fit->status.IsWarning(), absent);
  if (absent) {
    EXPECT_EQ(c.fit->status.GetErrorCode(), 319);
  }
  ASSERT_NE(c.fit->log, nullptr);
  MCLogOutputStats* stats = c.fit->log;

  std::vector<int> categories;
  for (const std::string& s : c.ref.List("categories")) categories.push_back(std::stoi(s));
  ASSERT_EQ(stats->GetDependCategories(), categories);
  const int K = static_cast<int>(categories.size());
  const int nAll = static_cast<int>(c.ref.params.size());
  ASSERT_EQ(static_cast<int>(stats->GetParamEstimates().size()), nAll);
  const MCCommonMath::MCSymMatrixData* cov = stats->GetCovarianceMatrix();
  ASSERT_NE(cov, nullptr);
  ASSERT_EQ(cov->GetNRows(), nAll);

  // "param logit basic estimate se" lines, NA when aliased; statsmodels' in the same order.
  for (int at = 0; at < nAll; ++at) {
    const std::vector<std::string>& w = c.ref.params[static_cast<std::size_t>(at)];
    const bool aliased = w[2] == "NA";
    SCOPED_TRACE("parameter " + std::to_string(at));
    EXPECT_EQ(stats->GetParameters()[at].GetTargetCategory(), categories[std::stoul(w[0])]);
    EXPECT_EQ(stats->GetRedundancyIndicators().IsIn(at), !aliased);
    const double b = stats->GetParamEstimates()[at];
    const double se = std::sqrt(cov->GetElem(at, at));
    if (aliased) {
      EXPECT_EQ(b, 0.0);
      EXPECT_EQ(cov->GetElem(at, at), 0.0);
      continue;
    }
    for (const std::vector<std::string>* peer :
         {&w, c.sm.present ? &c.sm.params.at(static_cast<std::size_t>(at)) : &w}) {
      EXPECT_NEAR(b, std::stod((*peer)[2]), 1e-7 * std::fabs(std::stod((*peer)[2])));
      EXPECT_NEAR(se, std::stod((*peer)[3]), 1e-6 * std::stod((*peer)[3]));
    }
  }

  const double ll = c.ref.Number("ll");
  EXPECT_NEAR(stats->GetFinalLogLikelihood(), ll, 1e-9 * std::fabs(ll));
  EXPECT_NEAR(stats->GetInitialLogLikelihood(), c.ref.Number("ll0"),
              1e-12 * std::fabs(c.ref.Number("ll0")));
  EXPECT_NEAR(stats->GetModelFitStat(MCConst::kCoxSnellRSquare), c.ref.Number("coxsnell"), 1e-9);
  EXPECT_NEAR(stats->GetModelFitStat(MCConst::kNagelkerkeRSquare), c.ref.Number("nagelkerke"),
              1e-9);
  EXPECT_NEAR(stats->GetModelFitStat(MCConst::kMcFaddenRSquare), c.ref.Number("mcfadden"), 1e-9);
  // Converged by the parameter criterion, or (at the rounding floor of the log-likelihood,
  // where the last tiny Newton step cannot show an increase) by exhausted step halving.
  const int reason = stats->GetStopReason();
  EXPECT_TRUE(reason == 2 || reason == 5) << reason;

  double scored = 0.0;
  for (const std::vector<double>& row : c.rows) {
    double predicted = -1.0;
    std::vector<double> pi;
    ASSERT_TRUE(c.fit->component->Score(regtest::MakeRecord(row), predicted, pi).IsOK());
    ASSERT_EQ(static_cast<int>(pi.size()), K);
    int observed = -1;
    for (int k = 0; k < K; ++k) {
      if (categories[k] == static_cast<int>(row[c.position.at("y")])) observed = k;
    }
    ASSERT_GE(observed, 0);
    scored += c.Weight(row) * std::log(pi[observed]);
  }
  EXPECT_NEAR(scored, ll, 1e-9 * std::fabs(ll));
}

class LogConformanceTest : public ::testing::TestWithParam<std::string> {};

// Patterns change where the rows come from, not the order of the sums.
TEST_P(LogConformanceTest, MatchesPeers) {
  const Case plain(GetParam(), false), patterns(GetParam(), true);
  for (const Case* c : {&plain, &patterns}) {
    SCOPED_TRACE(c == &plain ? "records" : "patterns");
    ExpectPeersFit(*c, GetParam());
  }
  ASSERT_NE(plain.fit->log, nullptr);
  ASSERT_NE(patterns.fit->log, nullptr);
  MCLogOutputStats &a = *plain.fit->log, &b = *patterns.fit->log;
  EXPECT_EQ(a.GetStopReason(), b.GetStopReason());
  EXPECT_EQ(a.GetNIterations(), b.GetNIterations());
  EXPECT_LT(regtest::MaxDiff(a.GetParamEstimates(), b.GetParamEstimates()), 1e-12);
  const double ll = a.GetFinalLogLikelihood();
  EXPECT_NEAR(b.GetFinalLogLikelihood(), ll, 1e-12 * std::fabs(ll));
}

INSTANTIATE_TEST_SUITE_P(Cases, LogConformanceTest, ::testing::ValuesIn(kCases));

}  // namespace
