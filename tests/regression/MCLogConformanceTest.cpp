// Fits every case of the logistic fixtures (tests/fixtures/logit: R's Newton fit checked against
// nnet::multinom, and statsmodels' MNLogit) with and without pattern tabulation and compares
// estimates, standard errors, log-likelihood and pseudo R-squares.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "GLMTestSupport.h"
#include "MCLogComponent.h"
#include "MCLogOutputStats.h"
#include "MCLogRegSettings.h"
#include "MCMV.h"
#include "MCModelEffect.h"
#include "MCRegFactory.h"

namespace {

std::string FixtureDir() {
  const std::string file = __FILE__;
  return file.substr(0, file.find_last_of('/')) + "/../fixtures/logit/";
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

struct Param {
  bool aliased = false;
  double estimate = 0.0;
  double se = 0.0;
};

struct Reference {
  std::map<std::string, std::vector<std::string>> fields;
  std::map<std::pair<int, int>, Param> params;  // (logit, basic) -> value
  bool present = false;

  double Get(const std::string& key) const { return std::stod(fields.at(key).at(0)); }
};

Reference ReadReference(const std::string& path) {
  Reference ref;
  std::ifstream in(path);
  ref.present = static_cast<bool>(in);
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string> w = Words(line);
    if (w.empty()) continue;
    if (w[0] == "param") {
      Param p;
      p.aliased = w[3] == "NA";
      if (!p.aliased) {
        p.estimate = std::stod(w[3]);
        p.se = std::stod(w[4]);
      }
      ref.params[{std::stoi(w[1]), std::stoi(w[2])}] = p;
      continue;
    }
    const std::size_t colon = line.find(':');
    ref.fields[line.substr(0, colon)] = Words(line.substr(colon + 1));
  }
  return ref;
}

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
    for (std::string cell; std::getline(cells, cell, ',');) row.push_back(std::stod(cell));
    rows.push_back(row);
  }
}

// A fitted case: its settings from the reference header and the built component.
class Case {
 public:
  Case(const std::string& name, bool patterns) {
    ref = ReadReference(FixtureDir() + name + ".ref");
    sm = ReadReference(FixtureDir() + name + ".sm");
    ReadCsv(FixtureDir() + name + ".csv", names, rows);
    for (int i = 0; i < static_cast<int>(names.size()); ++i) position[names[i]] = i;

    settings.SetDependent(position.at("y"));
    std::vector<std::string> factorNames;
    for (const std::string& f : ref.fields.at("factors")) {
      const std::size_t sep = f.find(':');
      factorNames.push_back(f.substr(0, sep));
      settings.AddFactor(position.at(factorNames.back()), std::stoi(f.substr(sep + 1)));
      indices.push_back(position.at(factorNames.back()));
    }
    for (const std::string& c : ref.fields.at("covariates")) {
      settings.AddCovariate(position.at(c));
      indices.push_back(position.at(c));
    }
    const std::string freq = ref.fields.at("freq").at(0);
    const std::string regr = ref.fields.at("regr").at(0);
    if (freq != "-") settings.SetFrequencyWeightVar(position.at(freq));
    if (regr != "-") settings.SetRegrWeightVar(position.at(regr));
    freqPos = freq != "-" ? position.at(freq) : -1;
    regrPos = regr != "-" ? position.at(regr) : -1;
    settings.SetInterceptUse(ref.fields.at("intercept").at(0) == "1");
    for (const std::string& e : ref.fields.at("effects")) {
      MCModelEffect effect(static_cast<int>(factorNames.size()),
                           static_cast<int>(ref.fields.at("covariates").size()), &indices);
      std::istringstream parts(e);
      for (std::string part; std::getline(parts, part, '*');) {
        bool isFactor = false;
        for (const std::string& f : factorNames) isFactor = isFactor || f == part;
        if (isFactor) {
          effect.AddNewFactor(position.at(part), false);
        } else {
          effect.AddCovariate(position.at(part));
        }
      }
      settings.AddModelEffect(effect);
    }
    settings.SetDependentRefCat(static_cast<int>(ref.Get("ref")),
                                static_cast<int>(ref.Get("ncat")));
    settings.SetParamEstConCriterion(1e-10);
    settings.SetUsePatternTabulator(patterns);

    MCRegFactory factory;
    component.reset(factory.CreateRegAlgorithm(settings));
    if (component == nullptr) return;
    glmtest::MemoryRecords data(rows);
    built = component->BuildModel(data);
    IMCRegOutputStats* out = nullptr;
    component->GetOutputStats(out);
    stats = dynamic_cast<MCLogOutputStats*>(out);
  }

  MCCommon::Record RecordOf(const std::vector<double>& row) const {
    MCCommon::Record record(static_cast<int>(row.size()));
    for (int i = 0; i < record.Size(); ++i) record[i] = row[static_cast<std::size_t>(i)];
    return record;
  }

  Reference ref;
  Reference sm;
  std::vector<std::string> names;
  std::vector<std::vector<double>> rows;
  std::map<std::string, int> position;
  std::vector<int> indices;
  int freqPos = -1;
  int regrPos = -1;
  MCLogRegSettings settings;
  std::unique_ptr<IMCRegComponent> component;
  MCCommon::MCStatus built;
  MCLogOutputStats* stats = nullptr;
};

const std::vector<std::string> kCases = {
    "covariates_only", "contingency_table", "factor_covariate_interaction", "regression_weights",
    "no_intercept",    "aliased_covariate", "reference_explicit",           "reference_first",
    "reference_last",  "reference_absent"};

class LogConformanceTest : public ::testing::TestWithParam<std::tuple<std::string, bool>> {};

TEST_P(LogConformanceTest, MatchesPeers) {
  const Case c(std::get<0>(GetParam()), std::get<1>(GetParam()));
  ASSERT_NE(c.component, nullptr);
  ASSERT_FALSE(c.built.IsError()) << c.built.GetErrorCode();
  // Only the absent reference category warns.
  const bool absent = std::get<0>(GetParam()) == "reference_absent";
  EXPECT_EQ(c.built.IsWarning(), absent);
  if (absent) {
    EXPECT_EQ(c.built.GetErrorCode(), 319);
  }
  ASSERT_NE(c.stats, nullptr);

  std::vector<int> categories;
  for (const std::string& s : c.ref.fields.at("categories")) categories.push_back(std::stoi(s));
  ASSERT_EQ(c.stats->GetDependCategories(), categories);
  const int K = static_cast<int>(categories.size());
  const int nAll = static_cast<int>(c.ref.params.size());
  const int nBasic = nAll / (K - 1);
  ASSERT_EQ(static_cast<int>(c.stats->GetParamEstimates().size()), nAll);
  const MCCommonMath::MCSymMatrixData* cov = c.stats->GetCovarianceMatrix();
  ASSERT_NE(cov, nullptr);
  ASSERT_EQ(cov->GetNRows(), nAll);

  for (const auto& entry : c.ref.params) {
    const int at = entry.first.first * nBasic + entry.first.second;
    const Param& r = entry.second;
    SCOPED_TRACE("logit " + std::to_string(entry.first.first) + " parameter " +
                 std::to_string(entry.first.second));
    EXPECT_EQ(c.stats->GetParameters()[at].GetTargetCategory(), categories[entry.first.first]);
    EXPECT_EQ(c.stats->GetRedundancyIndicators().IsIn(at), !r.aliased);
    const double b = c.stats->GetParamEstimates()[at];
    const double se = std::sqrt(cov->GetElem(at, at));
    if (r.aliased) {
      EXPECT_EQ(b, 0.0);
      EXPECT_EQ(cov->GetElem(at, at), 0.0);
      continue;
    }
    EXPECT_NEAR(b, r.estimate, 1e-7 * std::fabs(r.estimate));
    EXPECT_NEAR(se, r.se, 1e-6 * r.se);
    if (c.sm.present) {
      const Param& s = c.sm.params.at(entry.first);
      EXPECT_NEAR(b, s.estimate, 1e-7 * std::fabs(s.estimate));
      EXPECT_NEAR(se, s.se, 1e-6 * s.se);
    }
  }

  const double ll = c.ref.Get("ll");
  EXPECT_NEAR(-2.0 * c.stats->GetFinalLogLikelihood(), -2.0 * ll, 1e-9 * std::fabs(2.0 * ll));
  EXPECT_NEAR(c.stats->GetInitialLogLikelihood(), c.ref.Get("ll0"),
              1e-12 * std::fabs(c.ref.Get("ll0")));
  EXPECT_NEAR(c.stats->GetModelFitStat(MCConst::kCoxSnellRSquare), c.ref.Get("coxsnell"), 1e-9);
  EXPECT_NEAR(c.stats->GetModelFitStat(MCConst::kNagelkerkeRSquare), c.ref.Get("nagelkerke"), 1e-9);
  EXPECT_NEAR(c.stats->GetModelFitStat(MCConst::kMcFaddenRSquare), c.ref.Get("mcfadden"), 1e-9);
  // Converged by the parameter criterion, or (at the rounding floor of the log-likelihood,
  // where the last tiny Newton step cannot show an increase) by exhausted step halving.
  const int reason = c.stats->GetStopReason();
  EXPECT_TRUE(reason == 2 || reason == 5) << reason;

  // Scoring every record reproduces the log-likelihood: sum of w log(pi of the observed).
  double scored = 0.0;
  for (const std::vector<double>& row : c.rows) {
    double predicted = -1.0;
    std::vector<double> pi;
    ASSERT_TRUE(c.component->Score(c.RecordOf(row), predicted, pi).IsOK());
    ASSERT_EQ(static_cast<int>(pi.size()), K);
    int observed = -1;
    for (int k = 0; k < K; ++k) {
      if (categories[k] == static_cast<int>(row[c.position.at("y")])) observed = k;
    }
    ASSERT_GE(observed, 0);
    double w = 1.0;
    if (c.freqPos >= 0) w *= row[c.freqPos];
    if (c.regrPos >= 0) w *= row[c.regrPos];
    scored += w * std::log(pi[observed]);
  }
  EXPECT_NEAR(scored, ll, 1e-9 * std::fabs(ll));
}

INSTANTIATE_TEST_SUITE_P(Cases, LogConformanceTest,
                         ::testing::Combine(::testing::ValuesIn(kCases), ::testing::Bool()));

class LogPatternAgreementTest : public ::testing::TestWithParam<std::string> {};

// Pattern tabulation only changes where the rows come from, not the order in which they are
// added up: the two fits take the same steps and stop at the same iteration for the same reason,
// also where the last step is lost in the rounding of the log-likelihood (reason 5).
TEST_P(LogPatternAgreementTest, PatternsGiveTheSameFit) {
  const Case plain(GetParam(), false);
  const Case patterns(GetParam(), true);
  ASSERT_NE(plain.stats, nullptr);
  ASSERT_NE(patterns.stats, nullptr);
  EXPECT_EQ(plain.stats->GetStopReason(), patterns.stats->GetStopReason());
  EXPECT_EQ(plain.stats->GetNIterations(), patterns.stats->GetNIterations());
  const std::vector<double>& a = plain.stats->GetParamEstimates();
  const std::vector<double>& b = patterns.stats->GetParamEstimates();
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t k = 0; k < a.size(); ++k) {
    EXPECT_NEAR(a[k], b[k], 1e-12 * std::max(1.0, std::fabs(a[k]))) << k;
  }
  const double ll = plain.stats->GetFinalLogLikelihood();
  EXPECT_NEAR(patterns.stats->GetFinalLogLikelihood(), ll, 1e-12 * std::fabs(ll));
}

INSTANTIATE_TEST_SUITE_P(Cases, LogPatternAgreementTest, ::testing::ValuesIn(kCases));

}  // namespace
