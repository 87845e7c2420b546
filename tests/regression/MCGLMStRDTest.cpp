// The linear model on NIST's Statistical Reference Datasets (tests/fixtures/strd).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "MCRegSettings.h"
#include "RegTestSupport.h"

namespace {

// A StRD file: the certified values and the data (y first, then the predictors).
struct StRD {
  explicit StRD(const std::string& name) {
    std::ifstream in(std::string(MCSTAT_FIXTURES_DIR) + "/strd/" + name + ".dat");
    bool data = false;
    for (std::string line; std::getline(in, line);) {
      std::istringstream words(line);
      std::vector<std::string> w;
      for (std::string word; words >> word;) w.push_back(word);
      if (w.empty()) continue;
      if (data) {
        rows.emplace_back();
        for (const std::string& v : w) rows.back().push_back(std::stod(v));
      } else if (w[0] == "Data:" && w.size() > 1 && w[1] == "y") {
        data = true;
        nPredictors = static_cast<int>(w.size()) - 2;
      } else if (w.size() == 3 && w[0].size() >= 2 && w[0][0] == 'B' && std::isdigit(w[0][1])) {
        estimate.push_back(std::stod(w[1]));
        se.push_back(std::stod(w[2]));
      } else if (line.find("Standard Deviation") != std::string::npos && w.size() == 3) {
        residualSD = std::stod(w[2]);
      } else if (w[0] == "R-Squared") {
        rSquare = std::stod(w[1]);
      }
    }
  }
  std::vector<std::vector<double>> rows;
  std::vector<double> estimate, se;
  double residualSD = -1.0, rSquare = -1.0;
  int nPredictors = 0;
};

// Correct significant digits of x against the certified c (absolute when c = 0), at most 15.
double LRE(double x, double c) {
  const double err = c == 0.0 ? std::fabs(x) : std::fabs(x - c) / std::fabs(c);
  return err == 0.0 ? 15.0 : std::min(15.0, -std::log10(err));
}

// One predictor: a polynomial in x of the certified degree (the NoInt sets: x without the
// intercept); several: each predictor once, with the intercept.
std::unique_ptr<regtest::Built> FitSet(const StRD& set, const std::string& name, double tolerance) {
  MCRegSettings settings;
  settings.SetDependent(0);
  std::vector<int> indices;
  for (int k = 1; k <= set.nPredictors; ++k) {
    settings.AddCovariate(k);
    indices.push_back(k);
  }
  const bool intercept = name.rfind("NoInt", 0) != 0;
  settings.SetInterceptUse(intercept);
  const int nTerms = static_cast<int>(set.estimate.size()) - (intercept ? 1 : 0);
  for (int t = 1; t <= nTerms; ++t) {
    MCModelEffect effect(0, set.nPredictors, &indices);
    if (set.nPredictors == 1) {
      for (int power = 0; power < t; ++power) effect.AddCovariate(1);
    } else {
      effect.AddCovariate(t);
    }
    settings.AddModelEffect(effect);
  }
  settings.SetTolerance(tolerance);
  return std::make_unique<regtest::Built>(settings, set.rows);
}

// A line of exact_sweep.txt: the terms an exact rational sweep keeps at a tolerance.
struct ExactDecision {
  std::string name;
  std::string tolerance;
  std::vector<int> kept;
};

std::vector<ExactDecision> ExactDecisions() {
  std::vector<ExactDecision> out;
  std::ifstream in(std::string(MCSTAT_FIXTURES_DIR) + "/strd/exact_sweep.txt");
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    ExactDecision d;
    std::string keptWord;
    words >> d.name >> d.tolerance >> keptWord;
    for (int k; words >> k;) d.kept.push_back(k);
    out.push_back(d);
  }
  return out;
}

class StRDTest : public ::testing::TestWithParam<ExactDecision> {};

// Filip to 7 digits: reading its data as doubles leaves about 7.7 digits to any program.
TEST_P(StRDTest, KeepsTheExactTermsWithTheCertifiedDigits) {
  const ExactDecision& e = GetParam();
  const StRD set(e.name);
  ASSERT_FALSE(set.rows.empty());
  ASSERT_FALSE(set.estimate.empty());
  const std::unique_ptr<regtest::Built> fit = FitSet(set, e.name, std::stod(e.tolerance));
  ASSERT_FALSE(fit->status.IsError()) << fit->status.GetErrorCode();
  IMCRegOutputStats& stats = *fit->stats;
  const std::vector<double>& estimate = stats.GetParamEstimates();
  ASSERT_EQ(estimate.size(), set.estimate.size());
  std::vector<bool> kept(set.estimate.size(), false), fitKept;
  for (int k : e.kept) kept[static_cast<std::size_t>(k)] = true;
  for (std::size_t k = 0; k < kept.size(); ++k)
    fitKept.push_back(stats.GetRedundancyIndicators().IsIn(int(k)));
  EXPECT_EQ(fitKept, kept);
  if (e.kept.size() != set.estimate.size()) return;

  // RMSE is the root of the residual sum over W = n.
  const double n = static_cast<double>(set.rows.size()), rank = e.kept.size();
  const double residualSD = stats.GetModelFitStat(MCConst::kRMSE) * std::sqrt(n / (n - rank));
  double worst = std::min(LRE(residualSD, set.residualSD),
                          LRE(stats.GetModelFitStat(MCConst::kRSquare), set.rSquare));
  for (std::size_t k = 0; k < set.estimate.size(); ++k) {
    const double se = std::sqrt(stats.GetCovarianceMatrix()->GetElem(int(k), int(k))) * residualSD;
    worst = std::min({worst, LRE(estimate[k], set.estimate[k]), LRE(se, set.se[k])});
  }
  EXPECT_GE(worst, e.name == "Filip" ? 7.0 : 12.0);
  std::printf("%-9s tolerance %s: at least %.1f correct digits\n", e.name.c_str(),
              e.tolerance.c_str(), worst);
}

INSTANTIATE_TEST_SUITE_P(Sets, StRDTest, ::testing::ValuesIn(ExactDecisions()),
                         [](const ::testing::TestParamInfo<ExactDecision>& info) {
                           std::string tol = info.param.tolerance;
                           tol.erase(std::remove(tol.begin(), tol.end(), '-'), tol.end());
                           return info.param.name + "_" + tol;
                         });

}  // namespace
