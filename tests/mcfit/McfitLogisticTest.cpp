// Runs the built mcfit's multinomial logistic fit as a user would: JSON against a subset of the R
// fixtures (the library's conformance test runs them all), collinearity and category order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "ProgramSupport.h"
#include "nlohmann/json.hpp"

namespace {

using namespace mcfit_test;
using nlohmann::json;
const std::string kLogit = kFixturesRoot + "logit/";

double Num(const json& j) { return j.get<double>(); }

class LogitFixture : public Program,
                     public ::testing::WithParamInterface<std::tuple<const char*, bool>> {};

// mcfit fits the case's model from its .csv, the reference category as the .ref says (first,
// last or a category), and must agree with R's estimates, standard errors and likelihoods.
TEST_P(LogitFixture, JsonAgreesWithR) {
  const std::string name = std::get<0>(GetParam());
  const regtest::FixtureFields ref(kLogit + name + ".ref");
  ASSERT_FALSE(ref.params.empty()) << name;
  const std::string csv = kLogit + name + ".csv";
  std::string args = "fit --model logistic --data '" + csv + "' --dependent y" + ModelArgs(ref) +
                     " --param-criterion 1e-10";
  const int refCode = static_cast<int>(ref.Number("ref"));
  args += refCode == -2  ? " --reference first"
          : refCode >= 0 ? " --reference " + std::to_string(refCode)
                         : "";  // the default: last
  if (std::get<1>(GetParam())) args += " --patterns on";
  const std::string out = fDir + "/fit.json";
  ASSERT_EQ(Run(args + " --json '" + out + "'"), 0) << args << "\n" << fErr;
  const json doc = json::parse(Read(out));
  // No progress line on a pipe; the warnings, there and in the JSON.
  std::string warnings;
  for (const json& w : doc["warnings"]) warnings += "mcfit: warning: " + w.get<std::string>() + "\n";
  EXPECT_EQ(fErr, warnings);
  EXPECT_EQ(warnings.find("term 'x2' is aliased") != std::string::npos, name == "aliased_covariate")
      << warnings;

  // Categories ascending; the library's order (reference last) names the logits.
  const std::vector<std::string>& libOrder = ref.List("categories");
  std::vector<std::string> ascending = libOrder;
  std::sort(ascending.begin(), ascending.end());
  EXPECT_EQ(doc["model"], "logistic");
  EXPECT_EQ(doc["categories"].get<std::vector<std::string>>(), ascending);
  EXPECT_EQ(doc["reference"], libOrder.back());

  const json& ps = doc["parameters"];
  ASSERT_EQ(ps.size(), ref.params.size());
  const int nBasic = static_cast<int>(ref.params.size() / (libOrder.size() - 1));
  for (const std::vector<std::string>& w : ref.params) {
    const int logit = std::stoi(w[0]);
    const json& p = ps[static_cast<std::size_t>(logit * nBasic + std::stoi(w[1]))];
    SCOPED_TRACE(name + " " + p["name"].get<std::string>() + " for " + libOrder[logit]);
    EXPECT_EQ(p["target"], libOrder[logit]);
    EXPECT_EQ(p["redundant"].get<bool>(), w[2] == "NA");
    if (w[2] == "NA") {
      EXPECT_EQ(Num(p["estimate"]), 0.0);
      EXPECT_TRUE(p["std_error"].is_null() && p["statistic"].is_null());
      continue;
    }
    const double b = Num(p["estimate"]);
    const double se = Num(p["std_error"]);
    EXPECT_NEAR(b, std::stod(w[2]), 1e-7 * std::fabs(std::stod(w[2])));
    EXPECT_NEAR(se, std::stod(w[3]), 1e-6 * std::stod(w[3]));
    EXPECT_NEAR(Num(p["statistic"]), b * b / (se * se), 1e-9 * b * b / (se * se));
    EXPECT_EQ(Num(p["df"]), 1.0);
    // Wald chi-square on 1 df: P(X > (b/se)^2) = 2 P(Z > |b/se|).
    EXPECT_NEAR(Num(p["p_value"]), std::erfc(std::fabs(b / se) / std::sqrt(2.0)), 1e-9);
  }

  const json& fit = doc["fit"];
  EXPECT_TRUE(Near(Num(fit["minus2_log_likelihood"]), -2.0 * ref.Number("ll"), 1e-9));
  EXPECT_TRUE(Near(Num(fit["initial_minus2_log_likelihood"]), -2.0 * ref.Number("ll0"), 1e-12));
  EXPECT_NEAR(Num(fit["cox_snell"]), ref.Number("coxsnell"), 1e-9);
  EXPECT_NEAR(Num(fit["nagelkerke"]), ref.Number("nagelkerke"), 1e-9);
  EXPECT_NEAR(Num(fit["mcfadden"]), ref.Number("mcfadden"), 1e-9);
  EXPECT_TRUE(fit["r_squared"].is_null() && fit["df_error"].is_null());
  EXPECT_GT(fit["iterations"].get<int>(), 0);
  EXPECT_TRUE(doc["collinearity"].is_null());

  // Classification rows add up to the (frequency-weighted) count of each observed category.
  const CsvTable data = ReadCsv(csv);
  const std::string f = ref.List("freq").at(0);
  std::map<std::string, double> observed;
  for (std::size_t i = 0; i < data.rows.size(); ++i) {
    observed[data.rows[i][data.Column("y")]] += f == "-" ? 1.0 : data.Number(i, data.Column(f));
  }
  const json& table = doc["classification"];
  ASSERT_EQ(table.size(), ascending.size());
  for (std::size_t i = 0; i < ascending.size(); ++i) {
    double sum = 0.0;
    for (const json& cell : table[i]) sum += Num(cell);
    EXPECT_DOUBLE_EQ(sum, observed[ascending[i]]) << ascending[i];
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogitFixture,
    ::testing::Combine(::testing::Values("contingency_table", "factor_covariate_interaction",
                                         "no_intercept", "aliased_covariate", "reference_explicit",
                                         "reference_first"),
                       ::testing::Bool()));

// For an intercept and one covariate the scaled cross products are [[1, r], [r, 1]] with
// r = sum(x) / sqrt(n sum(x^2)): eigenvalues 1 + r and 1 - r. Records the fit leaves out
// (both weights missing, a weight 0) count for nothing.
TEST_F(Program, CollinearityOfTwoColumns) {
  const std::vector<double> x = {1, 2, 2, 3, 5, 8, 9, 4};
  std::string csv = "y,x,f,w\n0,100,,\n1,50,2,0\n2,70,0,\n";
  double sum = 0.0;
  double sum2 = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    csv += std::to_string(i % 3) + "," + std::to_string(x[i]) + ",1,1\n";
    sum += x[i];
    sum2 += x[i] * x[i];
  }
  WriteFile("d.csv", csv);
  const double r = sum / std::sqrt(x.size() * sum2);
  for (const char* model : {"linear", "logistic"}) {
    ASSERT_EQ(Run("fit --quiet --collinearity --model " + std::string(model) + " --data '" + fDir +
                  "/d.csv' --dependent y --covariates x --freq-weight f --regr-weight w --json '" +
                  fDir + "/o.json'"),
              0)
        << fErr;
    const json col = json::parse(Read(fDir + "/o.json"))["collinearity"];
    ASSERT_EQ(col["eigenvalues"].size(), 2u) << model;
    EXPECT_NEAR(Num(col["eigenvalues"][0]), 1 + r, 1e-12) << model;
    EXPECT_NEAR(Num(col["eigenvalues"][1]), 1 - r, 1e-12) << model;
    EXPECT_NEAR(Num(col["condition_indices"][1]), std::sqrt((1 + r) / (1 - r)), 1e-9) << model;
  }
}

// The classification table counts the records the fit used, with their frequency weights
// (none with a missing weight or a weight of 0); a model of intercepts alone reports its
// likelihood (its start values are its estimates), converged, with no test against itself.
TEST_F(Program, ClassificationAndLikelihoodOfTheRecordsUsed) {
  WriteFile("d.csv", "y,x,f,w\na,1,,1\nb,2,3,0\na,3,2,1\nb,4,1,1\na,5,1,2\nb,6,2,1\n"
                     "a,2,1,1\nb,1,1,1\n");
  const std::string fit = "fit --model logistic --data '" + fDir + "/d.csv' --dependent y ";
  ASSERT_EQ(Run(fit + "--covariates x --freq-weight f --regr-weight w --quiet --json '" + fDir +
                "/o.json'"),
            0)
      << fErr;
  const json doc = json::parse(Read(fDir + "/o.json"));
  const std::vector<double> used = {2 + 1 + 1, 1 + 2 + 1};  // f of the a and b records used
  for (std::size_t i = 0; i < 2; ++i) {
    double sum = 0.0;
    for (const json& cell : doc["classification"][i]) sum += Num(cell);
    EXPECT_EQ(sum, used[i]) << i;
  }
  ASSERT_EQ(Run(fit + "--json '" + fDir + "/i.json'"), 0) << fErr;
  const json only = json::parse(Read(fDir + "/i.json"));
  const json& f = only["fit"];
  ASSERT_TRUE(f["minus2_log_likelihood"].is_number()) << f;
  EXPECT_EQ(Num(f["minus2_log_likelihood"]), Num(f["initial_minus2_log_likelihood"]));
  EXPECT_EQ(Num(f["log_likelihood"]), -0.5 * Num(f["minus2_log_likelihood"]));
  EXPECT_TRUE(only["converged"].get<bool>());
  EXPECT_TRUE(f["lr_statistic"].is_null());
  EXPECT_NE(fOut.find("-2 log-likelihood: " + std::to_string(16 * std::log(2.0)).substr(0, 6)),
            std::string::npos)
      << fOut;
}

}  // namespace
