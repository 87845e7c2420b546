// Fits every case of the linear-model fixtures and compares the fit with R's lm() on the same
// over-parameterised design (tests/fixtures/lm, with the script that made the references).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "GLMTestSupport.h"
#include "MCGLMComponent.h"
#include "MCMV.h"
#include "MCModelEffect.h"
#include "MCRegFactory.h"
#include "MCRegSettings.h"

namespace {

// tests/fixtures/lm beside this folder.
std::string FixtureDir() {
  const std::string file = __FILE__;
  return file.substr(0, file.find_last_of('/')) + "/../fixtures/lm/";
}

struct Reference {
  std::vector<std::pair<std::string, int>> factors;  // name, size
  std::vector<std::string> covariates;
  std::vector<std::string> effects;
  bool intercept = true;
  std::string freq;
  std::string regr;
  double n = 0;
  int rank = 0;
  double r2 = 0;
  double sigma = 0;
  std::vector<bool> aliased;
  std::vector<double> coef;
  std::vector<double> se;
};

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

Reference ReadReference(const std::string& path) {
  Reference ref;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    const std::size_t colon = line.find(':');
    const std::string key = line.substr(0, line.find_first_of(": "));
    if (key == "param") {
      const std::vector<std::string> w = Words(line);
      const bool na = w[2] == "NA";
      ref.aliased.push_back(na);
      ref.coef.push_back(na ? 0.0 : std::stod(w[2]));
      ref.se.push_back(na ? 0.0 : std::stod(w[3]));
      continue;
    }
    const std::vector<std::string> w = Words(line.substr(colon + 1));
    if (key == "factors") {
      for (const std::string& f : w) {
        const std::size_t sep = f.find(':');
        ref.factors.emplace_back(f.substr(0, sep), std::stoi(f.substr(sep + 1)));
      }
    } else if (key == "covariates") {
      ref.covariates = w;
    } else if (key == "effects") {
      ref.effects = w;
    } else if (key == "intercept") {
      ref.intercept = w.at(0) == "1";
    } else if (key == "freq") {
      ref.freq = w.at(0) == "-" ? "" : w.at(0);
    } else if (key == "regr") {
      ref.regr = w.at(0) == "-" ? "" : w.at(0);
    } else if (key == "n") {
      ref.n = std::stod(w.at(0));
    } else if (key == "rank") {
      ref.rank = std::stoi(w.at(0));
    } else if (key == "r2") {
      ref.r2 = std::stod(w.at(0));
    } else if (key == "sigma") {
      ref.sigma = std::stod(w.at(0));
    }
  }
  return ref;
}

// Header names and the rows, "NA" read as the missing value.
void ReadCsv(const std::string& path, std::vector<std::string>& names,
             std::vector<std::vector<double>>& rows) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  std::istringstream header(line);
  for (std::string name; std::getline(header, name, ',');) names.push_back(name);
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::istringstream cells(line);
    std::vector<double> row;
    for (std::string cell; std::getline(cells, cell, ',');) {
      row.push_back(cell == "NA" ? MCMV::Missing() : std::stod(cell));
    }
    rows.push_back(row);
  }
}

// The design value of one parameter for one record, worked out from the parameter's own
// description: 1 when every factor has the parameter's category, times the covariate powers.
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

class GLMConformanceTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    ref_ = ReadReference(FixtureDir() + GetParam() + ".ref");
    ReadCsv(FixtureDir() + GetParam() + ".csv", names_, rows_);
    ASSERT_FALSE(rows_.empty());
    for (int i = 0; i < static_cast<int>(names_.size()); ++i) position_[names_[i]] = i;

    ASSERT_TRUE(settings_.SetDependent(position_.at("y")));
    for (const auto& f : ref_.factors) {
      ASSERT_GT(settings_.AddFactor(position_.at(f.first), f.second), 0);
      indices_.push_back(position_.at(f.first));
    }
    for (const std::string& c : ref_.covariates) {
      ASSERT_GT(settings_.AddCovariate(position_.at(c)), 0);
      indices_.push_back(position_.at(c));
    }
    if (!ref_.freq.empty()) {
      ASSERT_TRUE(settings_.SetFrequencyWeightVar(position_.at(ref_.freq)));
    }
    if (!ref_.regr.empty()) {
      ASSERT_TRUE(settings_.SetRegrWeightVar(position_.at(ref_.regr)));
    }
    settings_.SetInterceptUse(ref_.intercept);
    const int nf = static_cast<int>(ref_.factors.size());
    const int nc = static_cast<int>(ref_.covariates.size());
    for (const std::string& e : ref_.effects) {
      MCModelEffect effect(nf, nc, &indices_);
      std::istringstream parts(e);
      for (std::string part; std::getline(parts, part, '*');) {
        bool isFactor = false;
        for (const auto& f : ref_.factors) isFactor = isFactor || f.first == part;
        if (isFactor) {
          ASSERT_TRUE(effect.AddNewFactor(position_.at(part), false));
        } else {
          ASSERT_GT(effect.AddCovariate(position_.at(part)), 0);
        }
      }
      settings_.AddModelEffect(effect);
    }
  }

  // Weight f x r of a row used by R (complete, positive weights), 0 for one it dropped.
  double UsedWeight(const std::vector<double>& row) const {
    for (double v : row) {
      if (MCMV::IsMissing(v)) return 0.0;
    }
    double w = 1.0;
    if (!ref_.freq.empty()) w *= row[position_.at(ref_.freq)];
    if (!ref_.regr.empty()) w *= row[position_.at(ref_.regr)];
    return w > 0.0 ? w : 0.0;
  }

  Reference ref_;
  std::vector<std::string> names_;
  std::vector<std::vector<double>> rows_;
  std::map<std::string, int> position_;
  std::vector<int> indices_;
  MCRegSettings settings_;
};

TEST_P(GLMConformanceTest, MatchesR) {
  MCRegFactory factory;
  std::unique_ptr<IMCRegComponent> component(factory.CreateRegAlgorithm(settings_));
  ASSERT_NE(component, nullptr);
  glmtest::MemoryRecords data(rows_);
  const MCCommon::MCStatus built = component->BuildModel(data);
  ASSERT_FALSE(built.IsError()) << built.GetErrorCode();
  ASSERT_TRUE(component->IsModelBuilt());
  IMCRegOutputStats* stats = nullptr;
  ASSERT_FALSE(component->GetOutputStats(stats).IsError());
  ASSERT_NE(stats, nullptr);

  const std::vector<MCRegrParameter>& params = stats->GetParameters();
  const std::vector<double>& b = stats->GetParamEstimates();
  const MCCommonMath::MCBitSet& nonRedundant = stats->GetRedundancyIndicators();
  const MCCommonMath::MCSymMatrixData* cov = stats->GetCovarianceMatrix();
  const int p = static_cast<int>(ref_.coef.size());
  ASSERT_EQ(static_cast<int>(params.size()), p);
  ASSERT_EQ(static_cast<int>(b.size()), p);
  ASSERT_NE(cov, nullptr);
  ASSERT_EQ(cov->GetNRows(), p);
  EXPECT_EQ(nonRedundant.InSet(), ref_.rank);

  for (int k = 0; k < p; ++k) {
    EXPECT_EQ(nonRedundant.IsIn(k), !ref_.aliased[k]) << "parameter " << k;
    EXPECT_EQ(stats->GetParamStats()[k].fNotRedundant, ref_.aliased[k] ? 0 : 1);
    if (ref_.aliased[k]) {
      EXPECT_EQ(b[k], 0.0) << "parameter " << k;
    } else {
      EXPECT_NEAR(b[k], ref_.coef[k], std::max(1e-9 * std::fabs(ref_.coef[k]), 1e-10))
          << "parameter " << k;
    }
  }
  EXPECT_NEAR(stats->GetModelFitStat(MCConst::kRSquare), ref_.r2, 1e-10);

  // Residual variance from the data, the parameters' own description and our estimates.
  double rss = 0.0;
  double n = 0.0;
  std::vector<double> z(static_cast<std::size_t>(p));
  for (const std::vector<double>& row : rows_) {
    const double w = UsedWeight(row);
    if (w == 0.0) continue;
    n += ref_.freq.empty() ? 1.0 : row[position_.at(ref_.freq)];
    double fitted = 0.0;
    for (int k = 0; k < p; ++k) {
      z[k] = DesignValue(params[k], row);
      fitted += b[k] * z[k];
    }
    const double e = row[position_.at("y")] - fitted;
    rss += w * e * e;

    // The output statistics and the component expand and score the record the same way.
    MCCommon::Record record(static_cast<int>(row.size()));
    for (int i = 0; i < record.Size(); ++i) record[i] = row[i];
    std::vector<double> expanded;
    ASSERT_TRUE(stats->ExpandRow(record, expanded));
    ASSERT_EQ(expanded, z);
    double prediction = 0.0;
    std::vector<double> unused;
    ASSERT_FALSE(component->Score(record, prediction, unused).IsError());
    EXPECT_NEAR(prediction, fitted, 1e-12 * std::max(1.0, std::fabs(fitted)));
  }
  EXPECT_EQ(n, ref_.n);
  const double sigma2 = rss / (n - ref_.rank);
  EXPECT_NEAR(std::sqrt(sigma2), ref_.sigma, 1e-10 * ref_.sigma);
  // The model's RMSE is the root of the weighted residual sum over the total frequency weight.
  const double rmse = stats->GetModelFitStat(MCConst::kRMSE);
  EXPECT_NEAR(rmse * rmse * stats->GetTotalFreqWeight(), rss, 1e-10 * rss);
  EXPECT_EQ(stats->GetTotalFreqWeight(), n);

  for (int k = 0; k < p; ++k) {
    if (ref_.aliased[k]) {
      EXPECT_EQ(cov->GetElem(k, k), 0.0) << "parameter " << k;
      continue;
    }
    const double se = std::sqrt(cov->GetElem(k, k) * sigma2);
    EXPECT_NEAR(se, ref_.se[k], 1e-8 * std::max(1.0, ref_.se[k])) << "parameter " << k;
  }
  // Without a given value the error degrees of freedom are the regression weight total
  // minus every parameter, redundant ones included.
  EXPECT_DOUBLE_EQ(stats->GetNDegFreedom(), stats->GetTotalRegrWeight() - p);
  if (ref_.regr.empty()) {
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
