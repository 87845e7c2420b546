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

#include "MCGLMComponent.h"
#include "MCMV.h"
#include "MCModelEffect.h"
#include "MCRegFactory.h"
#include "MCRegSettings.h"
#include "RegTestSupport.h"

namespace {

// tests/fixtures/lm beside this folder.
std::string FixtureDir() {
  const std::string file = __FILE__;
  return file.substr(0, file.find_last_of('/')) + "/../fixtures/lm/";
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// "key: words" lines, and "param k estimate se" lines with NA for an aliased parameter.
struct Reference {
  explicit Reference(const std::string& path) {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
      const std::vector<std::string> w = Words(line);
      if (!w.empty() && w[0] == "param") {
        aliased.push_back(w[2] == "NA");
        coef.push_back(aliased.back() ? 0.0 : std::stod(w[2]));
        se.push_back(aliased.back() ? 0.0 : std::stod(w[3]));
      } else if (!w.empty()) {
        fields[w[0].substr(0, w[0].size() - 1)] = {w.begin() + 1, w.end()};
      }
    }
    for (const std::string& f : fields["factors"]) {
      factors.emplace_back(f.substr(0, f.find(':')), std::stoi(f.substr(f.find(':') + 1)));
    }
  }
  // A one-word field, "" for "-".
  std::string One(const std::string& key) {
    return fields[key].empty() || fields[key][0] == "-" ? "" : fields[key][0];
  }
  double Number(const std::string& key) { return std::stod(fields[key].at(0)); }

  std::map<std::string, std::vector<std::string>> fields;
  std::vector<std::pair<std::string, int>> factors;  // name, size
  std::vector<bool> aliased;
  std::vector<double> coef, se;
};

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
    ReadCsv(FixtureDir() + GetParam() + ".csv", names_, rows_);
    ASSERT_FALSE(rows_.empty());
    for (int i = 0; i < static_cast<int>(names_.size()); ++i) position_[names_[i]] = i;
    freq_ = ref_.One("freq");
    regr_ = ref_.One("regr");
    ASSERT_TRUE(settings_.SetDependent(position_.at("y")));
    for (const auto& f : ref_.factors) {
      ASSERT_GT(settings_.AddFactor(position_.at(f.first), f.second), 0);
      indices_.push_back(position_.at(f.first));
    }
    for (const std::string& c : ref_.fields["covariates"]) {
      ASSERT_GT(settings_.AddCovariate(position_.at(c)), 0);
      indices_.push_back(position_.at(c));
    }
    ASSERT_TRUE(freq_.empty() || settings_.SetFrequencyWeightVar(position_.at(freq_)));
    ASSERT_TRUE(regr_.empty() || settings_.SetRegrWeightVar(position_.at(regr_)));
    settings_.SetInterceptUse(ref_.One("intercept") == "1");
    const int nf = static_cast<int>(ref_.factors.size());
    const int nc = static_cast<int>(ref_.fields["covariates"].size());
    for (const std::string& e : ref_.fields["effects"]) {
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
    if (!freq_.empty()) w *= row[position_.at(freq_)];
    if (!regr_.empty()) w *= row[position_.at(regr_)];
    return w > 0.0 ? w : 0.0;
  }

  Reference ref_{FixtureDir() + GetParam() + ".ref"};
  std::string freq_, regr_;
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
  regtest::MemoryRecords data(rows_);
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
  const int rank = static_cast<int>(ref_.Number("rank"));
  const double sigma = ref_.Number("sigma");
  ASSERT_EQ(static_cast<int>(params.size()), p);
  ASSERT_EQ(static_cast<int>(b.size()), p);
  ASSERT_NE(cov, nullptr);
  ASSERT_EQ(cov->GetNRows(), p);
  EXPECT_EQ(nonRedundant.InSet(), rank);

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
  EXPECT_NEAR(stats->GetModelFitStat(MCConst::kRSquare), ref_.Number("r2"), 1e-10);

  // Residual variance from the data, the parameters' own description and our estimates.
  double rss = 0.0;
  double n = 0.0;
  std::vector<double> z(static_cast<std::size_t>(p));
  for (const std::vector<double>& row : rows_) {
    const double w = UsedWeight(row);
    if (w == 0.0) continue;
    n += freq_.empty() ? 1.0 : row[position_.at(freq_)];
    double fitted = 0.0;
    for (int k = 0; k < p; ++k) {
      z[k] = DesignValue(params[k], row);
      fitted += b[k] * z[k];
    }
    const double e = row[position_.at("y")] - fitted;
    rss += w * e * e;

    // The output statistics and the component expand and score the record the same way.
    const MCCommon::Record record = regtest::MakeRecord(row);
    std::vector<double> expanded;
    ASSERT_TRUE(stats->ExpandRow(record, expanded));
    ASSERT_EQ(expanded, z);
    double prediction = 0.0;
    std::vector<double> unused;
    ASSERT_FALSE(component->Score(record, prediction, unused).IsError());
    EXPECT_NEAR(prediction, fitted, 1e-12 * std::max(1.0, std::fabs(fitted)));
  }
  EXPECT_EQ(n, ref_.Number("n"));
  const double sigma2 = rss / (n - rank);
  EXPECT_NEAR(std::sqrt(sigma2), sigma, 1e-10 * sigma);
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
  if (regr_.empty()) {
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
