// The linear-model fixtures (tests/fixtures/lm) against R's lm() on the same design.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "MCMV.h"
#include "MCRegSettings.h"
#include "RegTestSupport.h"

namespace {

// The design value of one parameter for one record, from the parameter's own description.
double DesignValue(const MCRegrParameter& p, const std::vector<double>& row) {
  double z = 1.0;
  for (int i = 0; i < p.GetNFactors(); ++i) {
    if (row[p.GetFactors()[i]] != p.GetCategories()[i]) return 0.0;
  }
  for (int i = 0; i < p.GetNCovariates(); ++i) {
    for (int m = 0; m < p.GetCovariateMultiplicities()[i]; ++m) z *= row[p.GetCovariates()[i]];
  }
  return z;
}

class GLMConformanceTest : public ::testing::TestWithParam<std::string> {};

TEST_P(GLMConformanceTest, MatchesR) {
  regtest::Fixture fix(std::string(MCSTAT_FIXTURES_DIR) + "/lm/", GetParam());
  ASSERT_FALSE(fix.rows.empty());
  MCRegSettings settings;
  fix.Configure(settings);
  regtest::Built fit(settings, fix.rows);
  ASSERT_FALSE(fit.status.IsError()) << fit.status.GetErrorCode();
  IMCRegOutputStats* stats = fit.stats;
  ASSERT_NE(stats, nullptr);

  const std::vector<MCRegrParameter>& params = stats->GetParameters();
  const std::vector<double>& b = stats->GetParamEstimates();
  const MCCommonMath::MCSymMatrixData* cov = stats->GetCovarianceMatrix();
  const int p = static_cast<int>(fix.ref.params.size());
  const int rank = static_cast<int>(fix.ref.Number("rank"));
  const double sigma = fix.ref.Number("sigma");
  ASSERT_EQ(static_cast<int>(params.size()), p);
  ASSERT_EQ(static_cast<int>(b.size()), p);
  ASSERT_NE(cov, nullptr);
  ASSERT_EQ(cov->GetNRows(), p);
  EXPECT_EQ(stats->GetRedundancyIndicators().InSet(), rank);

  // "param k estimate se" lines, NA for an aliased parameter.
  for (int k = 0; k < p; ++k) {
    const std::vector<std::string>& w = fix.ref.params[static_cast<std::size_t>(k)];
    const bool aliased = w[1] == "NA";
    SCOPED_TRACE("parameter " + std::to_string(k));
    EXPECT_EQ(stats->GetRedundancyIndicators().IsIn(k), !aliased);
    EXPECT_EQ(stats->GetParamStats()[k].fNotRedundant, aliased ? 0 : 1);
    if (aliased) {
      EXPECT_EQ(b[k], 0.0);
      EXPECT_EQ(cov->GetElem(k, k), 0.0);
      continue;
    }
    const double coef = std::stod(w[1]), se = std::stod(w[2]);
    EXPECT_NEAR(b[k], coef, std::max(1e-9 * std::fabs(coef), 1e-10));
    EXPECT_NEAR(std::sqrt(cov->GetElem(k, k)) * sigma, se, 1e-8 * std::max(1.0, se));
  }
  EXPECT_NEAR(stats->GetModelFitStat(MCConst::kRSquare), fix.ref.Number("r2"), 1e-10);

  // Residual variance over the records R used (complete, positive weights).
  double rss = 0.0;
  double n = 0.0;
  std::vector<double> z(static_cast<std::size_t>(p));
  for (const std::vector<double>& row : fix.rows) {
    const bool complete = std::none_of(row.begin(), row.end(), MCMV::IsMissing);
    if (!complete || fix.Weight(row) <= 0.0) continue;
    n += fix.freq < 0 ? 1.0 : row[fix.freq];
    double fitted = 0.0;
    for (int k = 0; k < p; ++k) {
      z[k] = DesignValue(params[k], row);
      fitted += b[k] * z[k];
    }
    const double e = row[fix.position.at("y")] - fitted;
    rss += fix.Weight(row) * e * e;

    // The output statistics and the component expand and score the record the same way.
    const MCCommon::Record record = regtest::MakeRecord(row);
    std::vector<double> expanded;
    ASSERT_TRUE(stats->ExpandRow(record, expanded));
    ASSERT_EQ(expanded, z);
    double prediction = 0.0;
    std::vector<double> unused;
    ASSERT_FALSE(fit.component->Score(record, prediction, unused).IsError());
    EXPECT_NEAR(prediction, fitted, 1e-12 * std::max(1.0, std::fabs(fitted)));
  }
  EXPECT_EQ(n, fix.ref.Number("n"));
  EXPECT_NEAR(std::sqrt(rss / (n - rank)), sigma, 1e-10 * sigma);
  const double rmse = stats->GetModelFitStat(MCConst::kRMSE);
  EXPECT_NEAR(rmse * rmse * stats->GetTotalFreqWeight(), rss, 1e-10 * rss);
  EXPECT_EQ(stats->GetTotalFreqWeight(), n);
  // Redundant parameters count too.
  EXPECT_DOUBLE_EQ(stats->GetNDegFreedom(), stats->GetTotalRegrWeight() - p);
  if (fix.regr < 0) {
    EXPECT_EQ(stats->GetTotalRegrWeight(), n);
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, GLMConformanceTest,
                         ::testing::Values("one_factor", "two_factors_interaction",
                                           "factor_by_covariate", "covariate_power",
                                           "regression_weights", "frequency_weights",
                                           "no_intercept", "duplicated_covariate",
                                           "missing_values"));

}  // namespace
