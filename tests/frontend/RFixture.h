// R's answers for model formulas and their inference (fixtures/formula/*.ref, written by
// fixtures/formula/make_fixtures.R), as the front end's tests read them.
#ifndef MCSTAT_TESTS_FRONTEND_RFIXTURE_H_
#define MCSTAT_TESTS_FRONTEND_RFIXTURE_H_

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "MCSymMatrix.h"
#include "frontend/FitResult.h"

namespace MCFrontEnd {

struct RFixture {
  struct Effect {
    std::string label;
    std::vector<double> numbers;  // statistic, df1, df2 (NaN for chi-square), p
    std::vector<int> parameters;
  };
  std::string formula;  // ours, with the weights in words after it: "(frequency weight: f)"
  std::string data;     // the data file, relative to the repository
  std::map<std::string, std::vector<double>> values;
  std::vector<std::vector<double>> coefs;
  MCCommonMath::MCSymMatrix vcov;
  std::vector<Effect> effects;

  double operator[](const std::string& key) const {
    const auto it = values.find(key);
    if (it == values.end() || it->second.empty()) {
      ADD_FAILURE() << "no " << key << " in the fixture";
      return NAN;
    }
    return it->second[0];
  }
};

inline double FixtureNumber(const std::string& s) {
  return s == "NA" ? NAN : std::strtod(s.c_str(), nullptr);
}

inline RFixture ReadRFixture(const std::string& name) {
  RFixture f;
  std::ifstream in(std::string(MCSTAT_FIXTURES_DIR) + "/formula/" + name + ".ref");
  EXPECT_TRUE(in) << name;
  std::vector<std::vector<double>> rows;
  for (std::string line; std::getline(in, line);) {
    std::istringstream ss(line);
    std::string key, word;
    ss >> key;
    if (key == "formula" || key == "data") {
      std::getline(ss >> std::ws, key == "formula" ? f.formula : f.data);
      continue;
    }
    if (key == "rcall") continue;
    if (key == "effect") {
      RFixture::Effect e;
      ss >> e.label;
      for (int i = 0; i < 4 && ss >> word; ++i) e.numbers.push_back(FixtureNumber(word));
      for (int k; ss >> k;) e.parameters.push_back(k);
      f.effects.push_back(e);
      continue;
    }
    std::vector<double> numbers;
    while (ss >> word) numbers.push_back(FixtureNumber(word));
    if (key == "coef") {
      f.coefs.push_back(numbers);
    } else if (key == "vcov") {
      rows.push_back(numbers);
    } else {
      f.values[key] = numbers;
    }
  }
  f.vcov.SetNRows(static_cast<int>(rows.size()));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    for (std::size_t j = 0; j <= i; ++j) {
      f.vcov.SetElem(static_cast<int>(i), static_cast<int>(j), rows[i][j]);
    }
  }
  EXPECT_FALSE(f.coefs.empty()) << name;
  EXPECT_EQ(rows.size(), f.coefs.size()) << name;
  return f;
}

// R's value to 1e-10, relative.
inline void ExpectR(const std::optional<double>& got, double want, const std::string& what) {
  ASSERT_TRUE(got.has_value()) << what << " is empty; R has " << want;
  EXPECT_LE(std::fabs(*got - want), 1e-10 * std::fabs(want))
      << what << ": " << *got << " vs R " << want;
}

inline void ExpectEffectTest(const std::optional<EffectTest>& t, const RFixture::Effect& e) {
  ASSERT_TRUE(t.has_value()) << e.label;
  ExpectR(t->statistic, e.numbers[0], e.label + " statistic");
  EXPECT_EQ(t->df1, e.numbers[1]) << e.label;
  if (std::isnan(e.numbers[2])) {
    EXPECT_FALSE(t->df2.has_value()) << e.label;
  } else {
    EXPECT_EQ(t->df2, e.numbers[2]) << e.label;
  }
  ExpectR(t->pValue, e.numbers[3], e.label + " p-value");
}

}  // namespace MCFrontEnd

#endif  // MCSTAT_TESTS_FRONTEND_RFIXTURE_H_
