// Front-end fits against R (fixtures/formula/*.ref, made by make_fixtures.R).
#include "frontend/Fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/CodedModel.h"
#include "frontend/DataSource.h"

namespace MCFrontEnd {
namespace {

// Rows of numbers by key ("NA" read as NaN); "vcov" is the lower triangle by rows.
struct RFixture {
  std::string formula;  // ours, with the weights in words after it: "(frequency weight: f)"
  std::string data;     // the data file, relative to the repository
  std::map<std::string, std::vector<std::vector<double>>> rows;
  std::vector<std::string> effects;  // the labels of the effect rows

  // A key the fixture lacks throws, which fails the test.
  const std::vector<std::vector<double>>& Rows(const std::string& key) const {
    return rows.at(key);
  }
  double operator[](const std::string& key) const { return rows.at(key).at(0).at(0); }
};

RFixture ReadRFixture(const std::string& name) {
  RFixture f;
  std::ifstream in(std::string(MCSTAT_FIXTURES_DIR) + "/formula/" + name + ".ref");
  for (std::string line; std::getline(in, line);) {
    std::istringstream ss(line);
    std::string key, word;
    ss >> key;
    if (key == "formula" || key == "data") {
      std::getline(ss >> std::ws, key == "formula" ? f.formula : f.data);
      continue;
    }
    if (key == "rcall") continue;
    if (key == "effect" && ss >> word) f.effects.push_back(word);
    std::vector<double>& numbers = f.rows[key].emplace_back();
    while (ss >> word) numbers.push_back(word == "NA" ? NAN : std::strtod(word.c_str(), nullptr));
  }
  EXPECT_EQ(f.Rows("vcov").size(), f.Rows("coef").size()) << name;
  return f;
}

void ExpectR(const std::optional<double>& got, double want, const std::string& what) {
  ASSERT_TRUE(got.has_value()) << what << " is empty; R has " << want;
  EXPECT_LE(std::fabs(*got - want), 1e-10 * std::fabs(want))
      << what << ": " << *got << " vs R " << want;
}

// "FORMULA (frequency weight: f, regression weight: r)".
ModelRequest RequestOf(const RFixture& f, bool logistic) {
  ModelRequest r;
  r.model = logistic ? "logistic" : "linear";
  const std::size_t open = f.formula.find(" (");
  r.formula = f.formula.substr(0, open);
  const auto weight = [&](const std::string& what) {
    const std::size_t at = f.formula.find(what + ": ", open);
    if (open == std::string::npos || at == std::string::npos) return std::string();
    const std::size_t from = at + what.size() + 2;
    return f.formula.substr(from, f.formula.find_first_of(",)", from) - from);
  };
  r.freqWeight = weight("frequency weight");
  r.regrWeight = weight("regression weight");
  return r;
}

FitResult FitOf(const RFixture& f, bool logistic) {
  const std::unique_ptr<DataSource> data =
      OpenDataFile(std::string(MCSTAT_FIXTURES_DIR) + "/../../" + f.data, FileOptions());
  CodedModel model(*data, RequestOf(f, logistic));
  FitChoices choices;
  choices.confLevel = f["level"];
  // Newton steps converge quadratically: after a change below 1e-10 the estimates are exact.
  choices.logistic.paramCriterion = 1e-10;
  return FitModel(model, choices, nullptr, nullptr);
}

// R has no rows for the redundant parameters.
void ExpectParameters(const RFixture& f, const FitResult& r, bool logistic) {
  std::vector<std::size_t> kept;
  for (std::size_t k = 0; k < r.parameters.size(); ++k) {
    if (!r.parameters[k].redundant) kept.push_back(k);
  }
  ASSERT_EQ(kept.size(), f.Rows("coef").size()) << f.formula;
  const std::size_t n = r.parameters.size();
  ASSERT_EQ(r.covariance.size(), n * n);
  for (std::size_t i = 0; i < kept.size(); ++i) {
    const ParameterResult& p = r.parameters[kept[i]];
    const std::vector<double>& c = f.Rows("coef")[i];
    const std::string what = p.name + (p.target ? " for " + *p.target : "");
    ExpectR(p.estimate, c[0], what + " estimate");
    ExpectR(p.stdError, c[1], what + " standard error");
    // An end near 0 is a difference of estimate and margin: exact to the margin's digits.
    const auto end = [&](const std::optional<double>& got, double want, const std::string& w) {
      ASSERT_TRUE(got) << w;
      EXPECT_LE(std::fabs(*got - want), 1e-10 * std::max(std::fabs(want), c[1])) << w;
    };
    end(p.confLow, c[2], what + " interval low");
    end(p.confHigh, c[3], what + " interval high");
    if (logistic) {
      ExpectR(p.oddsRatio, c[4], what + " odds ratio");
      ExpectR(p.oddsRatioLow, c[5], what + " odds ratio low");
      ExpectR(p.oddsRatioHigh, c[6], what + " odds ratio high");
    } else {
      EXPECT_FALSE(p.oddsRatio) << what;
    }
    // Relative to the variances: a covariance near 0 is as exact as they are.
    const auto v = [&f](std::size_t a, std::size_t b) {
      return a >= b ? f.Rows("vcov")[a][b] : f.Rows("vcov")[b][a];
    };
    for (std::size_t j = 0; j < kept.size(); ++j) {
      const double got = r.covariance[kept[i] * n + kept[j]];
      EXPECT_LE(std::fabs(got - v(i, j)), 1e-10 * std::sqrt(v(i, i) * v(j, j)))
          << what << " covariance " << j;
    }
  }
  for (std::size_t k = 0; k < n; ++k) {
    EXPECT_EQ(std::isnan(r.covariance[k * n + k]), r.parameters[k].redundant) << k;
  }
  ASSERT_EQ(r.effectTests.size(), f.effects.size());
  for (std::size_t e = 0; e < f.effects.size(); ++e) {
    const EffectTest& t = r.effectTests[e];
    const std::vector<double>& want = f.Rows("effect")[e];
    ExpectR(t.statistic, want[0], f.effects[e] + " statistic");
    EXPECT_EQ(t.df1, want[1]) << f.effects[e];
    EXPECT_EQ(t.df2, std::isnan(want[2]) ? std::nullopt : std::optional<double>(want[2]))
        << f.effects[e];
    ExpectR(t.pValue, want[3], f.effects[e] + " p-value");
    EXPECT_EQ(t.effect, r.terms[e]);
  }
}

struct RCase {
  const char* name;
  bool logistic;
};
void PrintTo(const RCase& c, std::ostream* os) { *os << c.name; }

class FormulaAgainstR : public ::testing::TestWithParam<RCase> {};

TEST_P(FormulaAgainstR, EstimatesIntervalsAndTests) {
  const bool logistic = GetParam().logistic;
  const RFixture f = ReadRFixture(GetParam().name);
  const FitResult r = FitOf(f, logistic);
  ExpectParameters(f, r, logistic);
  ExpectR(r.logLikelihood, f["loglik"], "log-likelihood");
  ExpectR(r.aic, f["aic"], "AIC");
  ExpectR(r.bic, f["bic"], "BIC");
  EXPECT_TRUE(r.converged);
  if (logistic) {
    ExpectR(r.lrStatistic, f["lr"], "likelihood ratio");
    EXPECT_EQ(r.lrDf, f["lrdf"]);
    ExpectR(r.lrPValue, f["lrp"], "likelihood-ratio p-value");
    EXPECT_FALSE(r.fStatistic || r.rSquaredAdj);
    return;
  }
  EXPECT_EQ(r.dfError, f["rdf"]);
  ExpectR(r.residualStdError, f["sigma"], "sigma");
  ExpectR(r.rSquared, f["r2"], "R squared");
  ExpectR(r.rSquaredAdj, f["r2adj"], "adjusted R squared");
  ExpectR(r.fStatistic, f["f"], "F");
  EXPECT_EQ(r.fDf1, f["fdf1"]);
  EXPECT_EQ(r.fDf2, f["fdf2"]);
  ExpectR(r.fPValue, f["fp"], "F p-value");
  EXPECT_FALSE(r.lrStatistic);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, FormulaAgainstR,
    ::testing::Values(RCase{"lm_crossing", false}, RCase{"lm_drop1", false},
                      RCase{"lm_regression_weights", false}, RCase{"lm_frequency_weights", false},
                      RCase{"lm_both_weights", false}, RCase{"lm_no_intercept", false},
                      RCase{"glm_binomial", true}, RCase{"glm_no_intercept", true},
                      RCase{"multinom_infert", true}, RCase{"multinom_frequency_weights", true}));

}  // namespace
}  // namespace MCFrontEnd
